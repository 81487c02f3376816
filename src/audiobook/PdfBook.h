#pragma once

#include "PRBookNode.h"

#include <memory>
#include <optional>
#include <string>

namespace poppler {
class document;
}

namespace quarrow {

// A PDF read with poppler: its information, the text of each page in reading order, and its first
// page drawn as a cover. poppler's own messages go to the log.
class PdfBook {
public:
    // The document in the file, or nothing when it cannot be read (damaged, or locked by a password).
    static std::unique_ptr<PdfBook> open(const std::string& path, std::string* error = nullptr);
    ~PdfBook();
    PdfBook(const PdfBook&) = delete;
    PdfBook& operator=(const PdfBook&) = delete;

    int pageCount() const;
    std::optional<std::string> title() const;
    std::optional<std::string> author() const;
    // The text of page `index` (from 0) as UTF-8; empty when the page holds nothing to speak, such
    // as only white space and form feeds, or when there is no such page.
    std::string pageText(int index) const;
    // The first page drawn `height` pixels high, or nothing when it cannot be drawn.
    BookCoverPtr renderCover(int height) const;

private:
    explicit PdfBook(std::unique_ptr<poppler::document> document);
    std::unique_ptr<poppler::document> document_;
};

} // namespace quarrow
