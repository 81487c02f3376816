#include "BookCommand.h"

#include "CommandHelp.h"
#include "Json.h"
#include "audiobook/BookImport.h"
#include "audiobook/BookListStore.h"
#include "audiobook/BookStoreImport.h"
#include "audiobook/BookText.h"
#include "audiobook/PdfBook.h"
#include "platform/Platform.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <optional>

namespace quarrow::cli {

namespace {

constexpr int kUsageError = 2;
constexpr int kUnreadable = 1;

int usageError(const std::string& message) {
    std::fprintf(stderr, "quarrow-cli: book: %s (see 'quarrow-cli book --help')\n", message.c_str());
    return kUsageError;
}

ImportOptions importOptions() {
    return {};
}

BookListStore savedList() {
    return BookListStore(BookListStore::defaultPath(Platform::current().host().homeFolder()));
}

std::optional<int> positiveNumber(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1) {
        return std::nullopt;
    }
    return value;
}

std::string bookJson(const std::string& file, const PRBookNode& book, const std::string& warning) {
    const std::string kind = book.fileType().value_or("");
    std::string out = "{\"file\": " + jsonString(file) + ", \"bookName\": " + jsonString(book.bookName()) +
                      ", \"kind\": " + jsonString(kind) + ", \"title\": " + jsonString(book.title()) +
                      ", \"author\": " + jsonString(book.author());
    out += ", \"pages\": " + (kind == "pdf" ? std::to_string(book.pageCount()) : std::string("null"));
    const auto chapters = book.iBookArray();
    if (kind == "epub") {
        out += ", \"chapters\": " + std::to_string(chapters.size()) + ", \"chapterList\": [";
        for (std::size_t i = 0; i < chapters.size(); ++i) {
            out += std::string(i ? ", " : "") + "{\"number\": " + std::to_string(i + 1) +
                   ", \"name\": " + jsonString(chapters[i]->bookName()) +
                   ", \"title\": " + jsonString(chapters[i]->chapterTitle()) + "}";
        }
        out += "]";
    } else {
        out += ", \"chapters\": null";
    }
    out += std::string(", \"cover\": ") + (book.imageIcon() ? "true" : "false");
    out += ", \"warning\": " + (warning.empty() ? std::string("null") : jsonString(warning)) + "}";
    return out;
}

void printBook(const std::string& file, const PRBookNode& book, const std::string& warning) {
    const std::string kind = book.fileType().value_or("");
    std::printf("File:     %s\n", file.c_str());
    std::printf("Kind:     %s\n", kind.c_str());
    std::printf("Title:    %s\n", book.title().value_or("(none)").c_str());
    std::printf("Author:   %s\n", book.author().value_or("(none)").c_str());
    if (kind == "pdf") {
        std::printf("Pages:    %d\n", book.pageCount());
    }
    if (kind == "epub") {
        const auto chapters = book.iBookArray();
        std::printf("Chapters: %zu\n", chapters.size());
        for (std::size_t i = 0; i < chapters.size(); ++i) {
            const auto title = chapters[i]->chapterTitle();
            std::printf("  %zu. %s%s%s\n", i + 1, title.value_or("").c_str(), title ? "  " : "",
                        chapters[i]->bookName().value_or("").c_str());
        }
    }
    std::printf("Cover:    %s\n", book.imageIcon() ? "yes" : "no");
    if (!warning.empty()) {
        std::printf("Warning:  %s\n", warning.c_str());
    }
}

// Imports one file for a command; reports why it cannot be read on standard error.
ImportOutcome importForCommand(const std::string& file) {
    ImportOutcome outcome = importBookFile(file, importOptions());
    if (!outcome.book) {
        std::fprintf(stderr, "quarrow-cli: book: %s: %s\n", file.c_str(), outcome.error.c_str());
    } else if (!outcome.warning.empty()) {
        std::fprintf(stderr, "quarrow-cli: book: %s: %s\n", file.c_str(), outcome.warning.c_str());
    }
    return outcome;
}

int commandInfo(const std::vector<std::string>& args) {
    std::optional<std::string> file;
    bool json = false;
    for (const auto& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option for info: " + arg);
        } else if (file) {
            return usageError("info takes one book file");
        } else {
            file = arg;
        }
    }
    if (!file) {
        return usageError("info needs a book file");
    }
    const ImportOutcome outcome = importForCommand(*file);
    if (!outcome.book) {
        return kUnreadable;
    }
    if (json) {
        std::printf("%s\n", bookJson(*file, *outcome.book, outcome.warning).c_str());
    } else {
        printBook(*file, *outcome.book, outcome.warning);
    }
    return 0;
}

int commandText(const std::vector<std::string>& args) {
    std::optional<std::string> file;
    std::optional<int> chapter;
    std::optional<int> page;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--chapter" || arg == "--page") {
            const auto n = i + 1 < args.size() ? positiveNumber(args[i + 1]) : std::nullopt;
            if (!n) {
                return usageError(arg + " needs a number from 1");
            }
            (arg == "--chapter" ? chapter : page) = *n;
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option for text: " + arg);
        } else if (file) {
            return usageError("text takes one book file");
        } else {
            file = arg;
        }
    }
    if (!file) {
        return usageError("text needs a book file");
    }
    if (chapter && page) {
        return usageError("give --chapter or --page, not both");
    }
    const auto type = bookTypeForPath(*file);
    if (chapter && type != "epub") {
        return usageError("--chapter is for ePub books");
    }
    if (page && type != "pdf") {
        return usageError("--page is for PDF books");
    }
    const ImportOutcome outcome = importForCommand(*file);
    if (!outcome.book) {
        return kUnreadable;
    }
    std::optional<std::string> text;
    if (chapter) {
        const auto chapters = outcome.book->iBookArray();
        if (static_cast<std::size_t>(*chapter) > chapters.size()) {
            std::fprintf(stderr, "quarrow-cli: book: there is no chapter %d (the book has %zu)\n", *chapter,
                         chapters.size());
            return kUsageError;
        }
        text = textOfBook(*chapters[static_cast<std::size_t>(*chapter - 1)]);
    } else if (page) {
        const auto pdf = PdfBook::open(*file);
        if (pdf && *page > pdf->pageCount()) {
            std::fprintf(stderr, "quarrow-cli: book: there is no page %d (the book has %d)\n", *page, pdf->pageCount());
            return kUsageError;
        }
        if (pdf) {
            text = pdf->pageText(*page - 1);
        }
    } else {
        text = textOfBook(*outcome.book);
    }
    if (!text) {
        std::fprintf(stderr, "quarrow-cli: book: %s: the text cannot be read\n", file->c_str());
        return kUnreadable;
    }
    std::fwrite(text->data(), 1, text->size(), stdout);
    std::printf("\n");
    return 0;
}

int commandList(const std::vector<std::string>& args) {
    bool json = false;
    for (const auto& arg : args) {
        if (arg == "--json") {
            json = true;
        } else {
            return usageError("unknown argument for list: " + arg);
        }
    }
    std::vector<std::string> imported;
    std::vector<std::string> library;
    for (const auto& file : savedList().load()) {
        const ImportOutcome outcome = importBookFile(file, importOptions());
        if (!outcome.book) {
            std::fprintf(stderr, "quarrow-cli: book: %s: %s\n", file.c_str(), outcome.error.c_str());
            continue;
        }
        imported.push_back(json ? bookJson(file, *outcome.book, outcome.warning)
                                : outcome.book->bookName().value_or("") + "  " + file);
    }
    exportiBookStoreThread(Platform::current().host().homeFolder(), [&](const PRBookNodePtr& book) {
        const std::string file = book->filePath().value_or("");
        library.push_back(json ? bookJson(file, *book, {}) : book->bookName().value_or("") + "  " + file);
    });
    if (json) {
        std::printf("{\"imported\": [");
        for (std::size_t i = 0; i < imported.size(); ++i) {
            std::printf("%s\n  %s", i ? "," : "", imported[i].c_str());
        }
        std::printf("%s], \"library\": [", imported.empty() ? "" : "\n");
        for (std::size_t i = 0; i < library.size(); ++i) {
            std::printf("%s\n  %s", i ? "," : "", library[i].c_str());
        }
        std::printf("%s]}\n", library.empty() ? "" : "\n");
        return 0;
    }
    std::printf("Imported books (%zu)\n", imported.size());
    for (const auto& line : imported) {
        std::printf("  %s\n", line.c_str());
    }
    if (!library.empty()) {
        std::printf("Library books (%zu)\n", library.size());
        for (const auto& line : library) {
            std::printf("  %s\n", line.c_str());
        }
    }
    return 0;
}

int commandImport(const std::vector<std::string>& args) {
    bool json = false;
    std::vector<std::string> files;
    for (const auto& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option for import: " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        return usageError("import needs one or more book files");
    }
    const BookListStore store = savedList();
    std::vector<std::string> saved = store.load();
    std::vector<std::string> results;
    int status = 0;
    for (const auto& file : files) {
        const ImportOutcome outcome = importForCommand(file);
        if (!outcome.book) {
            status = kUnreadable;
            continue;
        }
        // The list keeps absolute paths, so that it means the same from any folder.
        char* resolved = ::realpath(file.c_str(), nullptr);
        saved.emplace_back(resolved ? resolved : file);
        std::free(resolved);
        results.push_back(json ? bookJson(saved.back(), *outcome.book, outcome.warning)
                               : "Imported " + outcome.book->bookName().value_or(""));
    }
    if (!store.save(saved)) {
        std::fprintf(stderr, "quarrow-cli: book: the list of imported books cannot be written\n");
        return kUnreadable;
    }
    if (json) {
        std::printf("[");
        for (std::size_t i = 0; i < results.size(); ++i) {
            std::printf("%s\n  %s", i ? "," : "", results[i].c_str());
        }
        std::printf("%s]\n", results.empty() ? "" : "\n");
    } else {
        for (const auto& line : results) {
            std::printf("%s\n", line.c_str());
        }
    }
    return status;
}

int commandRemove(const std::vector<std::string>& args) {
    if (args.empty()) {
        return usageError("remove needs one or more book files");
    }
    const BookListStore store = savedList();
    std::vector<std::string> saved = store.load();
    int status = 0;
    for (const auto& file : args) {
        char* resolved = ::realpath(file.c_str(), nullptr);
        const std::string full = resolved ? resolved : file;
        std::free(resolved);
        const auto it =
            std::find_if(saved.begin(), saved.end(), [&](const std::string& s) { return s == full || s == file; });
        if (it == saved.end()) {
            std::fprintf(stderr, "quarrow-cli: book: %s is not in the list\n", file.c_str());
            status = kUnreadable;
            continue;
        }
        saved.erase(it);
    }
    if (!store.save(saved)) {
        return kUnreadable;
    }
    return status;
}

} // namespace

int runBookCommand(const std::vector<std::string>& args) {
    if (args.empty()) {
        return usageError("which book command? info, text, list, import or remove");
    }
    const std::string& sub = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (sub == "info") {
        return commandInfo(rest);
    }
    if (sub == "text") {
        return commandText(rest);
    }
    if (sub == "list") {
        return commandList(rest);
    }
    if (sub == "import") {
        return commandImport(rest);
    }
    if (sub == "remove") {
        return commandRemove(rest);
    }
    return usageError("unknown book command: " + sub);
}

} // namespace quarrow::cli
