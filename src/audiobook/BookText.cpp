#include "BookText.h"

#include "BookFiles.h"
#include "HtmlText.h"
#include "PdfBook.h"
#include "RtfText.h"
#include "TextDecoding.h"

namespace quarrow {

namespace {

// Text files of books are far smaller; a larger one is refused rather than read into memory.
constexpr std::uint64_t kMaxTextFile = 1ull << 30;

} // namespace

std::optional<std::string> htmlFileText(const std::string& path) {
    const auto bytes = readFileBytes(path, kMaxTextFile);
    if (!bytes) {
        return std::nullopt;
    }
    return stringByConvertingHTMLToPlainText(decodeBookText(*bytes));
}

std::optional<std::string> txtFileText(const std::string& path) {
    const auto bytes = readFileBytes(path, kMaxTextFile);
    if (!bytes) {
        return std::nullopt;
    }
    return decodeBookText(*bytes);
}

std::optional<std::string> rtfFileText(const std::string& path) {
    const auto bytes = readFileBytes(path, kMaxTextFile);
    if (!bytes) {
        return std::nullopt;
    }
    return parseRtf(*bytes).text;
}

std::optional<std::vector<std::string>> pdfPageTexts(const std::string& path) {
    const auto pdf = PdfBook::open(path);
    if (!pdf) {
        return std::nullopt;
    }
    std::vector<std::string> pages;
    pages.reserve(static_cast<std::size_t>(pdf->pageCount()));
    for (int i = 0; i < pdf->pageCount(); ++i) {
        pages.push_back(pdf->pageText(i));
    }
    return pages;
}

std::string joinTexts(const std::vector<std::string>& parts) {
    std::size_t total = 0;
    for (const auto& part : parts) {
        total += part.size() + 1;
    }
    std::string out;
    out.reserve(total);
    for (const auto& part : parts) {
        if (part.empty()) {
            continue;
        }
        if (!out.empty()) {
            out.push_back('\n');
        }
        out += part;
    }
    return out;
}

std::optional<std::string> textOfBook(const PRBookNode& book) {
    const auto path = book.filePath();
    const std::string type = book.fileType().value_or("");
    if (type == "epub") {
        std::vector<std::string> parts;
        for (const auto& chapter : book.iBookArray()) {
            if (auto text = textOfBook(*chapter)) {
                parts.push_back(std::move(*text));
            }
        }
        return joinTexts(parts);
    }
    if (!path) {
        return std::nullopt;
    }
    if (type == "pdf") {
        const auto pages = pdfPageTexts(*path);
        return pages ? std::optional<std::string>(joinTexts(*pages)) : std::nullopt;
    }
    if (type == "html") {
        return htmlFileText(*path);
    }
    if (type == "txt") {
        return txtFileText(*path);
    }
    if (type == "rtf") {
        return rtfFileText(*path);
    }
    return std::nullopt;
}

} // namespace quarrow
