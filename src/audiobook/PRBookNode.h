#pragma once

#include "platform/NotificationCenter.h"
#include "records/Property.h"

#include <memory>
#include <string>
#include <vector>

namespace quarrow {

class UnpackFolder;

// A book's cover picture: the encoded image file an ePub or a library carries (JPEG, PNG, ...), or
// pixels drawn by the PDF renderer (opaque 32-bit ARGB in native byte order, rows
// `stride` bytes apart). Never changed once made; chapters share their book's.
struct BookCover {
    enum class Form { Encoded, Argb32 };
    Form form = Form::Encoded;
    std::string bytes;
    std::string mediaType; // for Encoded, when the book names it
    int width = 0;         // for Argb32
    int height = 0;
    int stride = 0;
};
using BookCoverPtr = std::shared_ptr<const BookCover>;

class PRBookNode;
using PRBookNodePtr = std::shared_ptr<PRBookNode>;

// A book of the converter, or one chapter of an ePub. Texts start empty, every property is read
// and written indivisibly, so the import worker can fill a record that the GUI already shows.
class PRBookNode : public PRObject {
public:
    const char* className() const override { return "PRBookNode"; }

    bool bSelected() const { return bSelected_.get(); }
    void setBSelected(bool value) { bSelected_.set(value); }
    // The book file; for a chapter, its HTML file in the unpacked book.
    OptText filePath() const { return filePath_.get(); }
    void setFilePath(OptText value) { filePath_.set(std::move(value)); }
    // "html", "pdf", "rtf", "txt" or "epub"; a library book's own type; "html" for a chapter.
    OptText fileType() const { return fileType_.get(); }
    void setFileType(OptText value) { fileType_.set(std::move(value)); }
    // The name shown and used for output files (already safe as a file name).
    OptText bookName() const { return bookName_.get(); }
    void setBookName(OptText value) { bookName_.set(std::move(value)); }
    BookCoverPtr imageIcon() const { return imageIcon_.get(); }
    void setImageIcon(BookCoverPtr value) { imageIcon_.set(std::move(value)); }
    // The chapters of an ePub in reading order; empty for other books.
    std::vector<PRBookNodePtr> iBookArray() const { return iBookArray_.get(); }
    void setIBookArray(std::vector<PRBookNodePtr> value) { iBookArray_.set(std::move(value)); }
    OptText languageType() const { return languageType_.get(); }
    void setLanguageType(OptText value) { languageType_.set(std::move(value)); }
    // For a chapter: the bookName of its book.
    OptText fatherBookName() const { return fatherBookName_.get(); }
    void setFatherBookName(OptText value) { fatherBookName_.set(std::move(value)); }
    OptText publisherName() const { return publisherName_.get(); }
    void setPublisherName(OptText value) { publisherName_.set(std::move(value)); }

    // What the book says about itself (absent when it says nothing): its title and author, and for
    // a chapter the title its table of contents gives.
    OptText title() const { return title_.get(); }
    void setTitle(OptText value) { title_.set(std::move(value)); }
    OptText author() const { return author_.get(); }
    void setAuthor(OptText value) { author_.set(std::move(value)); }
    OptText chapterTitle() const { return chapterTitle_.get(); }
    void setChapterTitle(OptText value) { chapterTitle_.set(std::move(value)); }
    // Pages of a PDF; 0 for other books and for a PDF that cannot be read.
    int pageCount() const { return pageCount_.get(); }
    void setPageCount(int value) { pageCount_.set(value); }

    // The private folder an ePub was unpacked into. The book and its chapters share it; it is
    // removed when the last of them goes.
    std::shared_ptr<UnpackFolder> unpackFolder() const { return unpackFolder_.get(); }
    void setUnpackFolder(std::shared_ptr<UnpackFolder> value) { unpackFolder_.set(std::move(value)); }

private:
    Property<bool> bSelected_{false};
    Property<OptText> filePath_{std::nullopt};
    Property<OptText> fileType_{std::nullopt};
    Property<OptText> bookName_{std::nullopt};
    Property<BookCoverPtr> imageIcon_{nullptr};
    Property<std::vector<PRBookNodePtr>> iBookArray_{{}};
    Property<OptText> languageType_{std::nullopt};
    Property<OptText> fatherBookName_{std::nullopt};
    Property<OptText> publisherName_{std::nullopt};
    Property<OptText> title_{std::nullopt};
    Property<OptText> author_{std::nullopt};
    Property<OptText> chapterTitle_{std::nullopt};
    Property<int> pageCount_{0};
    Property<std::shared_ptr<UnpackFolder>> unpackFolder_{nullptr};
};

} // namespace quarrow
