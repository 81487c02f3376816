#include "BookFixtures.h"
#include "DeviceDb.h"
#include "audiobook/BookFiles.h"
#include "audiobook/BookImport.h"
#include "audiobook/BookText.h"
#include "audiobook/EpubPackage.h"
#include "audiobook/UnpackFolder.h"
#include "audiobook/ZipArchive.h"
#include "platform/Log.h"
#include "support/ScopedCacheHome.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace quarrow;
using namespace quarrow::fixtures;
namespace fs = std::filesystem;

namespace {

class EpubImport : public ::testing::Test {
protected:
    ImportOptions options() const { return {}; }
    std::string write(const std::string& name, const std::vector<ZipFileSpec>& files) const {
        const std::string path = dir.file(name);
        EXPECT_TRUE(writeZip(path, files));
        return path;
    }
    // Every file below the temporary folder except those in the unpack folders and the books.
    std::vector<std::string> strayFiles() const {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
            const std::string p = e.path().string();
            if (e.is_regular_file() && p.find("/cache/quarrow/book-") == std::string::npos &&
                e.path().extension() != ".epub") {
                found.push_back(p);
            }
        }
        return found;
    }

    test::TempDir dir;
    test::ScopedCacheHome cacheHome{dir.file("cache")};
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

TEST_F(EpubImport, ChaptersFollowTheSpineWithTitlesCoverAndText) {
    const std::string path = write("Contes.epub", epubFiles(threeChapterBook()));
    const ImportOutcome outcome = importBookFile(path, options());
    ASSERT_TRUE(outcome.book) << outcome.error;
    EXPECT_EQ(outcome.warning, "");
    const PRBookNode& book = *outcome.book;
    EXPECT_EQ(book.fileType(), "epub");
    EXPECT_EQ(book.bookName(), "Contes.epub");
    EXPECT_EQ(book.publisherName(), "Public Domain");
    EXPECT_EQ(book.title(), threeChapterBook().title);
    EXPECT_EQ(book.author(), threeChapterBook().author);
    ASSERT_TRUE(book.imageIcon());
    EXPECT_EQ(book.imageIcon()->bytes, makePng(34, 50, 0x8A5B2F));

    const auto chapters = book.iBookArray();
    ASSERT_EQ(chapters.size(), 3u);
    const char* const kFiles[] = {"c_first.xhtml", "a_second.xhtml", "b_third.xhtml"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(lastPathComponent(chapters[i]->filePath().value_or("")), kFiles[i]);
        EXPECT_EQ(chapters[i]->bookName(), "Contes.epub_" + std::to_string(i));
        EXPECT_EQ(chapters[i]->fatherBookName(), "Contes.epub");
        EXPECT_EQ(chapters[i]->fileType(), "html");
        EXPECT_EQ(chapters[i]->chapterTitle(), threeChapterBook().chapters[i].title);
        EXPECT_EQ(chapters[i]->imageIcon(), book.imageIcon());
    }
    const auto text = textOfBook(*chapters[1]).value_or("");
    EXPECT_NE(text.find("Deuxi\xC3\xA8me partie  La suite & la fin."), std::string::npos) << text;
    EXPECT_EQ(text.find("<"), std::string::npos);

    // The unpack folder is private, and goes with the last record that holds it.
    const std::string folder = book.unpackFolder()->path();
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(EpubImport, UnpackFoldersArePrivatePerBookAndRemovedWithTheLastRecord) {
    const std::string first = write("Same.epub", epubFiles(threeChapterBook()));
    std::string folderA, folderB;
    {
        ImportOutcome a = importBookFile(first, options());
        ImportOutcome b = importBookFile(first, options());
        ASSERT_TRUE(a.book && b.book);
        folderA = a.book->unpackFolder()->path();
        folderB = b.book->unpackFolder()->path();
        EXPECT_NE(folderA, folderB);
        EXPECT_EQ(folderA.rfind(dir.file("cache/quarrow") + "/book-", 0), 0u);
        const auto chapter = a.book->iBookArray().front();
        a.book.reset();
        EXPECT_TRUE(fs::exists(folderA)) << "a chapter still holds the folder";
        EXPECT_TRUE(fs::exists(chapter->filePath().value_or("")));
        EXPECT_TRUE(fs::exists(b.book->iBookArray().front()->filePath().value_or("")));
    }
    EXPECT_FALSE(fs::exists(folderA));
    EXPECT_FALSE(fs::exists(folderB));
    EXPECT_TRUE(fs::is_empty(dir.file("cache/quarrow")));
}

TEST_F(EpubImport, UnsafeNamesAreSkippedAndNothingIsWrittenOutside) {
    auto files = epubFiles(threeChapterBook());
    files.push_back({"../escaped.txt", "x"});
    files.push_back({"OEBPS/../../escaped2.txt", "x"});
    files.push_back({"..\\escaped3.txt", "x"});
    files.push_back({"/tmp/quarrow-absolute-name.txt", "x"});
    files.push_back({"OEBPS\\images\\back.png", makePng(2, 2, 0)});
    files.push_back({std::string("OEBPS/caf\x82.txt"), "cp437"});
    const std::string path = write("Slip.epub", files);

    const ImportOutcome outcome = importBookFile(path, options());
    ASSERT_TRUE(outcome.book) << outcome.error;
    EXPECT_EQ(outcome.book->iBookArray().size(), 3u);
    EXPECT_NE(outcome.warning.find("4 files of the book"), std::string::npos) << outcome.warning;
    EXPECT_TRUE(log.contains("skipped: unsafe name"));
    EXPECT_FALSE(log.contains("escaped")) << "names stay out of the log";
    EXPECT_FALSE(fs::exists("/tmp/quarrow-absolute-name.txt"));
    EXPECT_TRUE(strayFiles().empty());
    const std::string folder = outcome.book->unpackFolder()->path();
    EXPECT_TRUE(fs::exists(folder + "/OEBPS/images/back.png")) << "backslashes are folder separators";
    EXPECT_TRUE(fs::exists(folder + "/OEBPS/caf\xC3\xA9.txt")) << "a name that is not UTF-8 is CP437";
}

TEST_F(EpubImport, NulInANameIsRefused) {
    auto files = epubFiles(threeChapterBook());
    files.push_back({"OEBPS/nulXname.txt", "x"});
    std::string bytes = zipBytes(files);
    // The name appears twice (local header and central directory); put a NUL in both.
    for (auto at = bytes.find("nulXname"); at != std::string::npos; at = bytes.find("nulXname", at + 1)) {
        bytes[at + 3] = '\0';
    }
    ASSERT_TRUE(writeFile(dir.file("Nul.epub"), bytes));
    const ImportOutcome outcome = importBookFile(dir.file("Nul.epub"), options());
    ASSERT_TRUE(outcome.book);
    EXPECT_NE(outcome.warning.find("One file of the book"), std::string::npos) << outcome.warning;
    EXPECT_FALSE(fs::exists(outcome.book->unpackFolder()->path() + "/OEBPS/nul"));
}

TEST_F(EpubImport, ADamagedChapterIsLeftOutAndTheRestImports) {
    auto files = epubFiles(threeChapterBook());
    for (auto& f : files) {
        f.stored = true; // the damage below lands in the data as written
    }
    std::string bytes = zipBytes(files);
    const auto at = bytes.find("La suite");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'l'; // the CRC no longer matches
    ASSERT_TRUE(writeFile(dir.file("Crc.epub"), bytes));

    const ImportOutcome outcome = importBookFile(dir.file("Crc.epub"), options());
    ASSERT_TRUE(outcome.book) << outcome.error;
    const auto chapters = outcome.book->iBookArray();
    ASSERT_EQ(chapters.size(), 2u);
    EXPECT_EQ(lastPathComponent(chapters[0]->filePath().value_or("")), "c_first.xhtml");
    EXPECT_EQ(lastPathComponent(chapters[1]->filePath().value_or("")), "b_third.xhtml");
    EXPECT_EQ(chapters[1]->bookName(), "Crc.epub_2") << "numbers keep the spine's gaps";
    EXPECT_FALSE(fs::exists(outcome.book->unpackFolder()->path() + "/OEBPS/a_second.xhtml"));
    EXPECT_NE(outcome.warning.find("One file of the book"), std::string::npos);
}

TEST_F(EpubImport, AZipBombStopsWithAClearErrorAndLeavesNothing) {
    auto files = epubFiles(threeChapterBook());
    files.push_back({"OEBPS/zeros.bin", std::string(8u << 20, '\0')});
    const std::string path = write("Bomb.epub", files);
    ASSERT_LT(fs::file_size(path), 64u * 1024);
    ImportOptions small = options();
    small.limits.maxTotalBytes = 1u << 20;
    const ImportOutcome outcome = importBookFile(path, small);
    EXPECT_FALSE(outcome.book);
    EXPECT_NE(outcome.error.find("more than 1 MB"), std::string::npos) << outcome.error;
    EXPECT_TRUE(fs::is_empty(dir.file("cache/quarrow")));
}

TEST_F(EpubImport, ATruncatedOrForeignFileKeepsTheBookWithoutChapters) {
    const std::string whole = zipBytes(epubFiles(threeChapterBook()));
    ASSERT_TRUE(writeFile(dir.file("Cut.epub"), whole.substr(0, whole.size() / 2)));
    ASSERT_TRUE(writeFile(dir.file("Text.epub"), "not an archive"));
    for (const char* name : {"Cut.epub", "Text.epub"}) {
        const ImportOutcome outcome = importBookFile(dir.file(name), options());
        ASSERT_TRUE(outcome.book) << name;
        EXPECT_TRUE(outcome.book->iBookArray().empty());
        EXPECT_NE(outcome.warning.find("not a readable ePub"), std::string::npos);
        EXPECT_EQ(textOfBook(*outcome.book), "");
    }
}

TEST_F(EpubImport, Epub3NavigationAndAMissingPackageDocument) {
    EpubSpec spec = threeChapterBook();
    spec.ncx = false;
    spec.nav = true;
    ImportOutcome nav = importBookFile(write("Nav.epub", epubFiles(spec)), options());
    ASSERT_TRUE(nav.book);
    ASSERT_EQ(nav.book->iBookArray().size(), 3u);
    EXPECT_EQ(nav.book->iBookArray()[2]->chapterTitle(), "\xC3\x89pilogue");

    // Without a container the chapters are the HTML files in the archive's own order.
    auto files = epubFiles(threeChapterBook());
    files.erase(files.begin() + 1);
    ImportOutcome bare = importBookFile(write("Bare.epub", files), options());
    ASSERT_TRUE(bare.book);
    const auto chapters = bare.book->iBookArray();
    ASSERT_EQ(chapters.size(), 3u);
    EXPECT_EQ(lastPathComponent(chapters[0]->filePath().value_or("")), "a_second.xhtml");
    EXPECT_FALSE(bare.book->title().has_value());
}

TEST(EntryNames, OnlySafeRelativePathsPass) {
    const std::pair<std::string, std::optional<std::string>> kCases[] = {
        {"OEBPS/text/ch1.xhtml", "OEBPS/text/ch1.xhtml"},
        {"./OEBPS//a.html", "OEBPS/a.html"},
        {"./", ""},
        {"../x", std::nullopt},
        {"a/../../x", std::nullopt},
        {"a/..", std::nullopt},
        {"/etc/passwd", std::nullopt},
        {"..", std::nullopt},
        {"a/b/c/d/e", std::nullopt}, // deeper than the limit of 4 below
        {"a..b/c", "a..b/c"},
    };
    for (const auto& [name, expected] : kCases) {
        ZipEntry entry;
        entry.name = name;
        EXPECT_EQ(safeEntryPath(entry, 4), expected) << name;
    }
    ZipEntry nul;
    nul.name = "a";
    nul.nameHasNul = true;
    EXPECT_FALSE(safeEntryPath(nul, 4));
}

TEST(PackagePaths, ResolveInsideThePackageOnly) {
    const std::tuple<std::string, std::string, std::optional<std::string>> kCases[] = {
        {"OEBPS", "text/ch%201.xhtml#part", "OEBPS/text/ch 1.xhtml"},
        {"OEBPS/text", "../images/c.png", "OEBPS/images/c.png"},
        {"", "a.html", "a.html"},
        {"OEBPS", "../../x", std::nullopt},
        {"OEBPS", "/etc/passwd", std::nullopt},
        {"OEBPS", "http://example.org/a.html", std::nullopt},
        {"OEBPS", "a%00b", std::nullopt},
        {"OEBPS", "#only-a-fragment", std::nullopt},
    };
    for (const auto& [base, href, expected] : kCases) {
        EXPECT_EQ(resolvePackagePath(base, href), expected) << base << " + " << href;
    }
}

TEST(PackageDocument, ReadsTheFirstOfEachAndRefusesEntityDeclarations) {
    const auto content = parsePackageDocument(
        "<package xmlns='http://www.idpf.org/2007/opf'><metadata xmlns:dc='http://purl.org/dc/elements/1.1/'>"
        "<dc:title>  One\n  Title </dc:title><dc:title>Two</dc:title><dc:creator>A</dc:creator>"
        "<meta name='cover' content='img'/></metadata>"
        "<manifest><item id='x' href='x.html' media-type='text/html'/><item id='x' href='dup.html'/>"
        "<item id='img' href='c.jpg' media-type='image/jpeg' properties='cover-image'/></manifest>"
        "<spine toc='ncx'><itemref idref='x'/><itemref idref='missing'/></spine></package>");
    ASSERT_TRUE(content);
    EXPECT_EQ(content->title, "One Title");
    EXPECT_EQ(content->author, "A");
    EXPECT_EQ(content->coverId, "img");
    EXPECT_EQ(content->_manifest.at("x").href, "x.html");
    EXPECT_EQ(content->_spine, (std::vector<std::string>{"x", "missing"}));
    EXPECT_EQ(content->tocId, "ncx");

    EXPECT_FALSE(parsePackageDocument("<!DOCTYPE p [<!ENTITY a 'aaaaaaaa'><!ENTITY b '&a;&a;&a;'>]>"
                                      "<package><metadata><title>&b;</title></metadata></package>"));
    EXPECT_FALSE(parsePackageDocument("<package><metadata>"));
    EXPECT_EQ(parseContainerRootPath("<container><rootfiles><rootfile full-path='a.opf'/>"
                                     "<rootfile full-path='b.opf' media-type='application/oebps-package+xml'/>"
                                     "</rootfiles></container>"),
              "b.opf");
}

} // namespace
