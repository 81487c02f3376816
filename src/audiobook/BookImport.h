#pragma once

#include "PRBookNode.h"
#include "ZipArchive.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

struct OpenPanelRequest;

// The open panel of the import: several files at once, of the types a book can have.
OpenPanelRequest importFilesPanelRequest();

// "html", "pdf", "rtf", "txt" or "epub" for a file name whose extension (in any case) is one the
// import takes ("htm" gives "html"); nothing otherwise.
std::optional<std::string> bookTypeForPath(std::string_view path);

// How an import goes. ePubs are unpacked into work folders under the user's cache folder.
struct ImportOptions {
    UnpackLimits limits;   // how much one ePub may unpack to
    int coverHeight = 200; // pixels, for covers drawn from a PDF's first page
};

// The book a file gives, or why it gives none. A book that imports with a problem (an ePub that is
// not an archive, a PDF that cannot be read, chapters lost to damage) comes with a warning.
struct ImportOutcome {
    PRBookNodePtr book;
    std::string error;   // set when there is no book
    std::string warning; // set when the book imported with a problem
};

// Makes the book record for one file: its type by extension, its name, title, author and cover,
// and for an ePub its private unpack folder and chapters in reading order. Reads the file, never
// changes it. Never throws; the next file can always follow.
ImportOutcome importBookFile(const std::string& path, const ImportOptions& options);

// The chapter records of an ePub unpacked (or stored by the library) in `folder`.
struct EpubChapterNaming {
    std::string bookName;       // the book record's name
    std::string fatherBookName; // what the chapters say they belong to
    bool libraryNames = false;  // name chapters after their files, as the system library does
};
std::vector<PRBookNodePtr> makeChapterRecords(const std::string& folder, const struct EpubBook& book,
                                              const EpubChapterNaming& naming, const BookCoverPtr& cover);

// An encoded cover, or nothing for no bytes.
BookCoverPtr encodedCover(std::optional<std::string> bytes, std::string mediaType);

} // namespace quarrow
