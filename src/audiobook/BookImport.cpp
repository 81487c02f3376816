#include "BookImport.h"

#include "BookFiles.h"
#include "EpubPackage.h"
#include "HtmlText.h"
#include "PdfBook.h"
#include "RtfText.h"
#include "TextDecoding.h"
#include "UnpackFolder.h"
#include "platform/Alerts.h"
#include "platform/Log.h"

#include <algorithm>
#include <unistd.h>

namespace quarrow {

namespace {

// Enough of an HTML file to hold its head.
constexpr std::uint64_t kHtmlHeadBytes = std::uint64_t{256} * 1024;
constexpr std::uint64_t kMaxBookFile = 1ull << 31;

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return out;
}

std::optional<std::string> nonEmpty(std::string text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(std::move(text));
}

// The text of the first <title> element, when the head of the file has one.
std::optional<std::string> htmlTitle(const std::string& path) {
    const auto head = readFileHead(path, kHtmlHeadBytes);
    if (!head) {
        return std::nullopt;
    }
    const std::string text = decodeBookText(*head);
    const std::string folded = lowerAscii(text);
    const auto open = folded.find("<title");
    const auto start = open == std::string::npos ? open : folded.find('>', open);
    const auto end = start == std::string::npos ? start : folded.find("</title", start);
    if (end == std::string::npos) {
        return std::nullopt;
    }
    return nonEmpty(stringByConvertingHTMLToPlainText(std::string_view(text).substr(start + 1, end - start - 1)));
}

void importEpub(const std::string& path, const ImportOptions& options, PRBookNode& book, ImportOutcome& outcome) {
    book.setPublisherName(std::string("Public Domain"));
    auto archive = ZipArchive::UnzipOpenFile(path);
    if (!archive) {
        outcome.warning = "It is not a readable ePub archive, so it has no chapters.";
        return;
    }
    auto folder = UnpackFolder::create();
    if (!folder) {
        outcome.error = "It could not be unpacked: no private folder can be made in the cache folder.";
        return;
    }
    const UnpackResult unpacked = archive->UnzipFileTo(*folder, options.limits);
    if (!unpacked.ok) {
        outcome.error = unpacked.error;
        return;
    }
    std::vector<std::string> archiveOrder;
    for (const ZipEntry& entry : archive->entries()) {
        if (auto safe = safeEntryPath(entry, options.limits.maxDepth); safe && !entry.isFolder) {
            archiveOrder.push_back(std::move(*safe));
        }
    }
    archive->UnzipCloseFile();

    const EpubBook epub = readEpubFolder(folder->path(), archiveOrder);
    const std::string name = book.bookName().value_or("");
    book.setTitle(epub.title);
    book.setAuthor(epub.author);
    const BookCoverPtr cover = encodedCover(epub.coverBytes, epub.coverMediaType);
    book.setImageIcon(cover);
    book.setUnpackFolder(folder);
    auto chapters = makeChapterRecords(folder->path(), epub, {name, name, false}, cover);
    for (const auto& chapter : chapters) {
        chapter->setUnpackFolder(folder);
    }
    book.setIBookArray(std::move(chapters));
    if (unpacked.entriesSkipped == 1) {
        outcome.warning = "One file of the book was damaged or had an unsafe name, and was left out.";
    } else if (unpacked.entriesSkipped > 1) {
        outcome.warning = std::to_string(unpacked.entriesSkipped) +
                          " files of the book were damaged or had unsafe names, and were left out.";
    } else if (epub.chapters.empty()) {
        outcome.warning = "It has no chapters with text.";
    }
}

void importPdf(const std::string& path, const ImportOptions& options, PRBookNode& book, ImportOutcome& outcome) {
    std::string error;
    const auto pdf = PdfBook::open(path, &error);
    if (!pdf) {
        outcome.warning = "It cannot be read: " + error + ".";
        return;
    }
    book.setPageCount(pdf->pageCount());
    book.setTitle(pdf->title());
    book.setAuthor(pdf->author());
    book.setImageIcon(pdf->renderCover(options.coverHeight));
}

} // namespace

OpenPanelRequest importFilesPanelRequest() {
    OpenPanelRequest request;
    request.message = "You can covert any pdf, epub, html, txt, rtf ebooks to audio books.";
    request.allowedFileTypes = {"html", "htm", "pdf", "txt", "rtf", "epub"};
    request.allowsMultipleSelection = true;
    return request;
}

std::optional<std::string> bookTypeForPath(std::string_view path) {
    const std::string ext = lowerAscii(pathExtension(path));
    if (ext == "html" || ext == "htm") {
        return std::string("html");
    }
    if (ext == "pdf" || ext == "rtf" || ext == "txt" || ext == "epub") {
        return ext;
    }
    return std::nullopt;
}

BookCoverPtr encodedCover(std::optional<std::string> bytes, std::string mediaType) {
    if (!bytes || bytes->empty()) {
        return nullptr;
    }
    auto cover = std::make_shared<BookCover>();
    cover->form = BookCover::Form::Encoded;
    cover->bytes = std::move(*bytes);
    cover->mediaType = std::move(mediaType);
    return cover;
}

std::vector<PRBookNodePtr> makeChapterRecords(const std::string& folder, const EpubBook& book,
                                              const EpubChapterNaming& naming, const BookCoverPtr& cover) {
    std::vector<PRBookNodePtr> chapters;
    chapters.reserve(book.chapters.size());
    const std::string stem(deletingPathExtension(naming.bookName));
    for (const EpubChapter& c : book.chapters) {
        auto chapter = std::make_shared<PRBookNode>();
        chapter->setFilePath(folder + "/" + c.relativePath);
        chapter->setFileType(std::string("html"));
        std::string name;
        if (naming.libraryNames) {
            // The library names a chapter after its file, with "bm" standing for the book.
            name = std::string(deletingPathExtension(lastPathComponent(c.relativePath)));
            for (std::size_t at = name.find("bm"); at != std::string::npos; at = name.find("bm", at + stem.size())) {
                name.replace(at, 2, stem);
            }
        } else {
            name = naming.bookName + "_" + std::to_string(c.spineIndex);
        }
        chapter->setBookName(safeFileName(name));
        chapter->setFatherBookName(naming.fatherBookName);
        chapter->setChapterTitle(c.title);
        chapter->setImageIcon(cover);
        chapters.push_back(std::move(chapter));
    }
    return chapters;
}

ImportOutcome importBookFile(const std::string& path, const ImportOptions& options) {
    ImportOutcome outcome;
    const auto type = bookTypeForPath(path);
    if (!type) {
        outcome.error = "It is not a kind of book Quarrow reads (pdf, epub, html, htm, txt, rtf).";
        return outcome;
    }
    if (!isRegularFile(path) || ::access(path.c_str(), R_OK) != 0) {
        outcome.error = "The file cannot be read.";
        return outcome;
    }
    auto book = std::make_shared<PRBookNode>();
    book->setFilePath(path);
    book->setFileType(*type);
    book->setBookName(safeFileName(lastPathComponent(path)));
    if (*type == "epub") {
        importEpub(path, options, *book, outcome);
    } else if (*type == "pdf") {
        importPdf(path, options, *book, outcome);
    } else if (*type == "html") {
        book->setTitle(htmlTitle(path));
    } else if (*type == "rtf") {
        if (const auto bytes = readFileBytes(path, kMaxBookFile)) {
            RtfDocument doc = parseRtf(*bytes);
            book->setTitle(doc.title ? nonEmpty(std::move(*doc.title)) : std::nullopt);
            book->setAuthor(doc.author ? nonEmpty(std::move(*doc.author)) : std::nullopt);
        }
    }
    if (outcome.error.empty()) {
        outcome.book = std::move(book);
    }
    return outcome;
}

} // namespace quarrow
