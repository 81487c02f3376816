// Times the text extraction of the ebook import against the usual command-line tools, on the same
// files in the same run:
//   - a 1,000-page PDF: every page's text (PdfBook) against `pdftotext FILE -`;
//   - an ePub of about 5 MB: the import (unpacking into a private folder, reading the package) and
//     the text of every chapter (HTML to text) against `unzip -p FILE` (decompression alone).
//
// Usage: quarrow_bench_booktext [FOLDER] [ROUNDS]
//   Writes the two books into FOLDER (default: a new folder under /tmp, removed at the end) unless
//   they exist, then runs each measurement ROUNDS times (default 5) in a child process of its own
//   and reports the median wall-clock and CPU seconds and their ratios to the tool's.

#include "BookFixtures.h"
#include "DeviceDb.h"
#include "audiobook/BookImport.h"
#include "audiobook/BookText.h"
#include "audiobook/PdfBook.h"
#include "audiobook/UnpackFolder.h"
#include "platform/Log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quarrow;

namespace {

class QuietSink : public LogSink {
public:
    void write(std::string_view) override {}
};

struct Times {
    double wall = 0;
    double cpu = 0;
};

double cpuOfChildren() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs `work` in a child process with standard output on /dev/null, and times it.
Times timeChild(const std::function<int()>& work) {
    const double cpu0 = cpuOfChildren();
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const auto t1 = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a measurement failed (status %d)\n", status);
        std::exit(1);
    }
    return {std::chrono::duration<double>(t1 - t0).count(), cpuOfChildren() - cpu0};
}

Times timeCommand(std::vector<std::string> argv) {
    return timeChild([&] {
        std::vector<char*> args;
        for (auto& a : argv) {
            args.push_back(a.data());
        }
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        return 127;
    });
}

Times median(std::vector<Times> runs) {
    const auto mid = runs.size() / 2;
    std::nth_element(runs.begin(), runs.begin() + mid, runs.end(),
                     [](const Times& a, const Times& b) { return a.wall < b.wall; });
    Times m = runs[mid];
    std::vector<double> cpus;
    for (const auto& r : runs) {
        cpus.push_back(r.cpu);
    }
    std::nth_element(cpus.begin(), cpus.begin() + mid, cpus.end());
    m.cpu = cpus[mid];
    return m;
}

// Text that reads like prose: words of a small vocabulary in sentences.
std::string prose(std::mt19937& rng, std::size_t words) {
    static const char* const kWords[] = {"the",
                                         "river",
                                         "night",
                                         "lantern",
                                         "quietly",
                                         "over",
                                         "she",
                                         "found",
                                         "a",
                                         "letter",
                                         "under",
                                         "stone",
                                         "\xC3\xA9t\xC3\xA9",
                                         "and",
                                         "never",
                                         "spoke",
                                         "of",
                                         "it",
                                         "again",
                                         "while",
                                         "ships",
                                         "came",
                                         "north",
                                         "with",
                                         "salt",
                                         "bread",
                                         "wine"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kWords) - 1);
    std::string out;
    for (std::size_t i = 0; i < words; ++i) {
        out += kWords[pick(rng)];
        out += (i % 13 == 12) ? ". " : " ";
    }
    return out;
}

void makeBooks(const std::string& pdfPath, const std::string& epubPath) {
    std::mt19937 rng(12);
    if (!std::filesystem::exists(pdfPath)) {
        std::vector<fixtures::PdfPageSpec> pages(1000);
        for (auto& page : pages) {
            for (int line = 0; line < 46; ++line) {
                page.lines.push_back(prose(rng, 12));
            }
        }
        fixtures::writeFile(pdfPath, fixtures::makePdf(pages, "A Long Book", "Bench Mark"));
    }
    if (!std::filesystem::exists(epubPath)) {
        fixtures::EpubSpec spec;
        spec.title = "A Long ePub";
        spec.author = "Bench Mark";
        for (int c = 0; c < 60; ++c) {
            std::string body;
            for (int p = 0; p < 60; ++p) {
                body += "<p>" + prose(rng, 90) + "</p>\n";
            }
            spec.chapters.push_back(
                {"chapter" + std::to_string(1000 + c) + ".xhtml", "Chapter " + std::to_string(c + 1), body});
        }
        // Pictures do not compress: most of a real ePub's bytes are its illustrations.
        std::string noise(4500u << 10, '\0');
        for (char& ch : noise) {
            ch = static_cast<char>(rng());
        }
        spec.coverPng = fixtures::makePng(600, 900, 0x305070);
        auto files = fixtures::epubFiles(spec);
        files.push_back({"OEBPS/images/plates.bin", noise, true});
        fixtures::writeZip(epubPath, files);
    }
}

void report(const char* what, const Times& ours, const Times& tool, const char* toolName) {
    std::printf("%-28s %8.3f s wall %8.3f s cpu\n", what, ours.wall, ours.cpu);
    std::printf("%-28s %8.3f s wall %8.3f s cpu\n", toolName, tool.wall, tool.cpu);
    std::printf("%-28s %8.2fx wall %8.2fx cpu\n\n", "ratio (ours / tool)", ours.wall / tool.wall, ours.cpu / tool.cpu);
}

} // namespace

int main(int argc, char** argv) {
    static QuietSink quiet;
    ScopedLogSink scoped(quiet);
    const bool ownFolder = argc < 2;
    std::string folder = ownFolder ? "/tmp/quarrow-bench-books-XXXXXX" : argv[1];
    if (ownFolder && !::mkdtemp(folder.data())) {
        return 1;
    }
    std::filesystem::create_directories(folder);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string pdf = folder + "/long.pdf";
    const std::string epub = folder + "/long.epub";
    makeBooks(pdf, epub);
    std::printf("PDF: %d pages, %.1f MB; ePub: %.1f MB\n\n", PdfBook::open(pdf)->pageCount(),
                static_cast<double>(std::filesystem::file_size(pdf)) / 1e6,
                static_cast<double>(std::filesystem::file_size(epub)) / 1e6);

    ::setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
    const ImportOptions options;
    std::size_t pdfChars = 0;
    std::size_t epubChars = 0;
    {
        const auto pages = pdfPageTexts(pdf);
        pdfChars = joinTexts(*pages).size();
        const auto book = importBookFile(epub, options);
        epubChars = textOfBook(*book.book)->size();
    }
    std::printf("text: PDF %zu bytes, ePub %zu bytes\n\n", pdfChars, epubChars);

    std::vector<Times> pdfOurs, pdfTool, epubOurs, epubTool;
    for (int r = 0; r < rounds; ++r) {
        pdfOurs.push_back(timeChild([&] {
            const auto pages = pdfPageTexts(pdf);
            return pages && joinTexts(*pages).size() == pdfChars ? 0 : 1;
        }));
        pdfTool.push_back(timeCommand({"pdftotext", "-q", pdf, "-"}));
        epubOurs.push_back(timeChild([&] {
            const auto book = importBookFile(epub, options);
            const auto text = book.book ? textOfBook(*book.book) : std::nullopt;
            return text && text->size() == epubChars ? 0 : 1;
        }));
        epubTool.push_back(timeCommand({"unzip", "-p", epub}));
    }
    std::printf("median of %d rounds\n\n", rounds);
    report("PDF, every page's text", median(pdfOurs), median(pdfTool), "pdftotext FILE -");
    report("ePub, import and text", median(epubOurs), median(epubTool), "unzip -p FILE");

    if (ownFolder) {
        std::filesystem::remove_all(folder);
    }
    return 0;
}
