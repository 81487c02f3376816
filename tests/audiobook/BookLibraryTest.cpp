#include "audiobook/BookLibrary.h"
#include "BookFixtures.h"
#include "DeviceDb.h"
#include "audiobook/BookListStore.h"
#include "audiobook/BookStoreImport.h"
#include "audiobook/UnpackFolder.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "support/ScopedCacheHome.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quarrow;
using namespace quarrow::fixtures;
namespace fs = std::filesystem;

namespace {

class Library : public ::testing::Test {
protected:
    ImportOptions options() const { return {}; }
    // Serves the main thread's hand-offs until the library's worker is idle and they are done.
    void settle(BookLibrary& library, MainThreadLoop& loop) {
        library.waitUntilIdle();
        bool flushed = false;
        loop.post([&] { flushed = true; });
        loop.runUntil([&] { return flushed; });
    }
    std::vector<std::string> shownNames(const BookLibrary& library) const {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < library.numberOfItemsInImageBrowser(); ++i) {
            names.push_back(library.imageBrowserItemAtIndex(i)->fileName);
        }
        return names;
    }

    test::TempDir dir;
    test::ScopedCacheHome cacheHome{dir.file("cache")};
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

TEST_F(Library, ImportsInOrderReportsProblemsAndKeepsTheListBetweenRuns) {
    writeZip(dir.file("Contes.epub"), epubFiles(threeChapterBook()));
    writeFile(dir.file("Notes.txt"), "hello");
    writeFile(dir.file("Two.pdf"), makePdf({{{"x"}}, {{}}}));
    const BookListStore store(dir.file("data/imported-books"));
    const std::vector<std::string> chosen = {dir.file("Contes.epub"), dir.file("missing.rtf"), dir.file("Notes.txt"),
                                             dir.file("Two.pdf"), dir.file("Contes.epub")};
    MainThreadLoop loop;
    {
        BookLibrary library(loop, options(), store);
        int reloads = 0;
        library.setReloadHandler([&] { ++reloads; });
        std::vector<std::pair<std::size_t, std::size_t>> progress;
        std::vector<ImportProblem> problems;
        library.importFiles(chosen, {[&](std::size_t done, std::size_t total) { progress.emplace_back(done, total); },
                                     [&](std::vector<ImportProblem> p) { problems = std::move(p); }});
        settle(library, loop);

        EXPECT_FALSE(library.biBooks()) << "the imported view is shown after an import";
        EXPECT_EQ(shownNames(library),
                  (std::vector<std::string>{"Contes.epub", "Notes.txt", "Two.pdf", "Contes.epub"}));
        EXPECT_EQ(library.bookArray().size(), 4u);
        ASSERT_EQ(progress.size(), 5u);
        EXPECT_EQ(progress.back(), (std::pair<std::size_t, std::size_t>{5, 5}));
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].path, dir.file("missing.rtf"));
        EXPECT_FALSE(problems[0].imported);
        EXPECT_GT(reloads, 0);
        EXPECT_EQ(store.load(), (std::vector<std::string>{dir.file("Contes.epub"), dir.file("Notes.txt"),
                                                          dir.file("Two.pdf"), dir.file("Contes.epub")}));

        // Removing a book takes its cover, its record and its saved line; its folder goes with it.
        const std::string folder = library.imageBrowserItemAtIndex(0)->bookNode->unpackFolder()->path();
        EXPECT_FALSE(library.removeFromList(9));
        EXPECT_TRUE(library.removeFromList(0));
        EXPECT_FALSE(fs::exists(folder));
        EXPECT_EQ(shownNames(library), (std::vector<std::string>{"Notes.txt", "Two.pdf", "Contes.epub"}));
        EXPECT_EQ(library.bookArray().size(), 3u);
        EXPECT_EQ(store.load().size(), 3u);
    }
    EXPECT_TRUE(fs::is_empty(dir.file("cache/quarrow"))) << "no unpacked book outlives the library";

    // The next run reads the saved books again; a file gone since is dropped quietly.
    fs::remove(dir.file("Notes.txt"));
    BookLibrary again(loop, options(), store);
    bool restored = false;
    again.restoreSavedBooks([&] { restored = true; });
    settle(again, loop);
    EXPECT_TRUE(restored);
    again.ActClickBooks();
    EXPECT_EQ(shownNames(again), (std::vector<std::string>{"Two.pdf", "Contes.epub"}));
    EXPECT_EQ(store.load(), (std::vector<std::string>{dir.file("Two.pdf"), dir.file("Contes.epub")}));
    EXPECT_TRUE(log.contains("1 saved books can no longer be read"));
}

TEST_F(Library, LeavingDuringAnImportStopsTheWorkerAndDropsItsHandOffs) {
    for (int i = 0; i < 20; ++i) {
        writeFile(dir.file("b" + std::to_string(i) + ".pdf"), makePdf({{{"page"}}}));
    }
    std::vector<std::string> paths;
    for (int i = 0; i < 20; ++i) {
        paths.push_back(dir.file("b" + std::to_string(i) + ".pdf"));
    }
    MainThreadLoop loop;
    bool finished = false;
    {
        BookLibrary library(loop, options(), std::nullopt);
        library.importFiles(paths, {{}, [&](std::vector<ImportProblem>) { finished = true; }});
    }
    // Whatever the worker handed over before it stopped now finds no library and does nothing.
    bool flushed = false;
    loop.post([&] { flushed = true; });
    loop.runUntil([&] { return flushed; });
    EXPECT_FALSE(finished);
}

TEST_F(Library, ListsKeepEveryPathWhateverItsCharacters) {
    const BookListStore store(dir.file("deep/er/list"));
    const std::vector<std::string> paths = {"/books/plain.epub", "/books/line\nbreak.txt", "/books/back\\slash.pdf",
                                            "/books/\\n literally.rtf",
                                            "/b\xC3\xBC"
                                            "cher/\xE6\x9D\xB1.html"};
    ASSERT_TRUE(store.save(paths));
    EXPECT_EQ(store.load(), paths);
    EXPECT_TRUE(BookListStore(dir.file("none")).load().empty());
}

// The system book library, as a home folder copied from a Mac holds it.
class BookStore : public Library {
protected:
    std::string libraryFolder() const { return bookStoreFolder(dir.path()); }
    void writeList(const std::string& entries) const {
        fs::create_directories(libraryFolder());
        writeFile(libraryFolder() + "/Books.plist",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Books</key><array>" +
                      entries + "</array></dict></plist>");
    }
    static std::string entry(const std::vector<std::pair<std::string, std::string>>& keys) {
        std::string out = "<dict>";
        for (const auto& [k, v] : keys) {
            out += "<key>" + k + "</key><string>" + v + "</string>";
        }
        return out + "</dict>";
    }
    std::vector<PRBookNodePtr> read() const {
        std::vector<PRBookNodePtr> books;
        exportiBookStoreThread(dir.path(), [&](PRBookNodePtr b) { books.push_back(std::move(b)); });
        return books;
    }
};

TEST_F(BookStore, NoLibraryMeansNothingAndNoMessage) {
    EXPECT_TRUE(read().empty());
    fs::create_directories(libraryFolder());
    EXPECT_TRUE(read().empty());
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(BookStore, BooksComeWithChaptersInSpineOrderAndTheLibrarysNames) {
    // An unpacked ePub folder as the library keeps it, its chapters named after the book ("bm").
    const std::string folder = libraryFolder() + "/Tale.epub";
    EpubSpec spec = threeChapterBook();
    spec.chapters[0].fileName = "bm03.xhtml";
    spec.chapters[1].fileName = "bm01.xhtml";
    spec.chapters[2].fileName = "bm02.xhtml";
    for (const auto& f : epubFiles(spec)) {
        fs::create_directories(fs::path(folder + "/" + f.name).parent_path());
        writeFile(folder + "/" + f.name, f.data);
    }
    writeFile(folder + "/iTunesArtwork", "artwork bytes");
    writeList(entry({{"path", "/Users/someone/Library/Books/Tale.epub"},
                     {"itemName", "Tale"},
                     {"fileExtension", "epub"},
                     {"primaryLanguage", "fr"},
                     {"publisher", "Maison"}}) +
              entry({{"path", libraryFolder() + "/Gone.pdf"}, {"itemName", "Gone"}}) + "<string>not a book</string>");

    const auto books = read();
    ASSERT_EQ(books.size(), 2u);
    const PRBookNode& tale = *books[0];
    EXPECT_EQ(tale.filePath(), folder) << "a path from another home is found in this library";
    EXPECT_EQ(tale.bookName(), "Tale.epub");
    EXPECT_EQ(tale.fileType(), "epub");
    EXPECT_EQ(tale.languageType(), "fr");
    EXPECT_EQ(tale.publisherName(), "Maison");
    ASSERT_TRUE(tale.imageIcon());
    EXPECT_EQ(tale.imageIcon()->bytes, "artwork bytes");
    const auto chapters = tale.iBookArray();
    ASSERT_EQ(chapters.size(), 3u);
    EXPECT_EQ(chapters[0]->bookName(), "Tale03");
    EXPECT_EQ(chapters[1]->bookName(), "Tale01");
    EXPECT_EQ(chapters[0]->fatherBookName(), "Tale");
    EXPECT_EQ(chapters[0]->chapterTitle(), spec.chapters[0].title);

    const PRBookNode& gone = *books[1];
    EXPECT_EQ(gone.bookName(), "Gone.pdf");
    EXPECT_EQ(gone.languageType(), "en");
    EXPECT_EQ(gone.publisherName(), "Public Domain");
    EXPECT_FALSE(gone.imageIcon());
}

TEST_F(BookStore, NamesFromTheListAreMadeSafe) {
    writeList(entry({{"path", "/x/a.epub"}, {"itemName", "../../evil/\tname"}}));
    const auto books = read();
    ASSERT_EQ(books.size(), 1u);
    EXPECT_EQ(books[0]->bookName(), ".._.._evil__name.epub");
}

} // namespace
