#include "AudioOutputNames.h"

#include <cstdio>

namespace quarrow {

std::string audioBookFolder(const std::string& documentsFolder) {
    return documentsFolder + "/AudioBook";
}

std::string nameWithoutExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return name;
    }
    return name.substr(0, dot);
}

std::string bookFileName(const PRBookNode& book) {
    if (auto name = book.bookName(); name && !name->empty()) {
        return *name;
    }
    const std::string path = book.filePath().value_or("");
    return path.substr(path.rfind('/') + 1);
}

std::string safeFileStem(const std::string& name) {
    std::string result;
    result.reserve(name.size());
    for (const char c : name) {
        result += (c == '/' || c == '\0') ? '_' : c;
    }
    if (result.empty() || result == "." || result == "..") {
        return "Book";
    }
    return result;
}

std::string pdfPageStem(const std::string& bookName, int pageIndex) {
    return bookName + "_" + std::to_string(pageIndex);
}

std::string epubChapterStem(const std::string& fatherBookName, int chapterNumber) {
    char number[16];
    std::snprintf(number, sizeof number, chapterNumber < 10 ? "0%d" : "%d", chapterNumber);
    return fatherBookName + " -" + number;
}

std::string epubFolderName(const std::string& fatherBookName) {
    return nameWithoutExtension(fatherBookName);
}

} // namespace quarrow
