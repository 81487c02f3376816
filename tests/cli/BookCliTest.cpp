#include "BookFixtures.h"
#include "DeviceDb.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// quarrow-cli book, with its own home, cache and data folders.
class BookCli : public ::testing::Test {
protected:
    void SetUp() override {
        fixtures::writeZip(dir.file("Contes.epub"), fixtures::epubFiles(fixtures::threeChapterBook()));
        fixtures::writeFile(dir.file("Two.pdf"),
                            fixtures::makePdf({{{"Page one speaks."}}, {{}}}, "Deux pages", "Ann"));
    }

    struct Run {
        int status;
        std::string out;
        std::string err;
    };
    Run book(const std::vector<std::string>& args) {
        std::string command = "HOME=" + shellQuoted(dir.path()) + " XDG_CACHE_HOME=" + shellQuoted(dir.file("cache")) +
                              " XDG_DATA_HOME=" + shellQuoted(dir.file("data")) + " " + shellQuoted(QUARROW_CLI_PATH) +
                              " book";
        for (const auto& a : args) {
            command += " " + shellQuoted(a);
        }
        const CliResult r = runCommand(command + " 2>" + shellQuoted(dir.file("err")));
        return {r.status, r.out, fixtures::readFile(dir.file("err"))};
    }
    bool cacheIsEmpty() const {
        return !std::filesystem::exists(dir.file("cache/quarrow")) ||
               std::filesystem::is_empty(dir.file("cache/quarrow"));
    }

    TempDir dir;
};

TEST_F(BookCli, InfoAsJsonForEachKind) {
    const Run epub = book({"info", dir.file("Contes.epub"), "--json"});
    ASSERT_EQ(epub.status, 0) << epub.err;
    for (const std::string field :
         {"\"kind\": \"epub\"", "\"title\": \"Contes d\xC3\xA9j\xC3\xA0 lus \xE2\x80\x94 \xE6\x9D\xB1\xE4\xBA\xAC\"",
          "\"author\": \"Zo\xC3\xAB Br\xC3\xB6nte\"", "\"pages\": null", "\"chapters\": 3",
          "{\"number\": 3, \"name\": \"Contes.epub_2\", \"title\": \"\xC3\x89pilogue\"}", "\"cover\": true",
          "\"warning\": null"}) {
        EXPECT_NE(epub.out.find(field), std::string::npos) << field << "\n" << epub.out;
    }
    const Run pdf = book({"info", dir.file("Two.pdf"), "--json"});
    ASSERT_EQ(pdf.status, 0) << pdf.err;
    for (const std::string field :
         {"\"kind\": \"pdf\"", "\"title\": \"Deux pages\"", "\"pages\": 2", "\"chapters\": null", "\"cover\": true"}) {
        EXPECT_NE(pdf.out.find(field), std::string::npos) << field << "\n" << pdf.out;
    }
    EXPECT_TRUE(cacheIsEmpty()) << "the unpacked book is removed when the command ends";
}

TEST_F(BookCli, TextOfAChapterAPageOrTheWholeBook) {
    const Run chapter = book({"text", dir.file("Contes.epub"), "--chapter", "2"});
    ASSERT_EQ(chapter.status, 0) << chapter.err;
    EXPECT_NE(chapter.out.find("La suite & la fin."), std::string::npos) << chapter.out;
    EXPECT_EQ(chapter.out.find("Fin."), std::string::npos);

    const Run whole = book({"text", dir.file("Contes.epub")});
    ASSERT_EQ(whole.status, 0);
    EXPECT_LT(whole.out.find("Il \xC3\xA9tait une fois."), whole.out.find("La suite")) << "spine order";
    EXPECT_LT(whole.out.find("La suite"), whole.out.find("Fin."));

    EXPECT_NE(book({"text", dir.file("Two.pdf"), "--page", "1"}).out.find("Page one speaks."), std::string::npos);
    EXPECT_EQ(book({"text", dir.file("Two.pdf"), "--page", "2"}).out, "\n") << "a blank page speaks nothing";
}

TEST_F(BookCli, BadRequestsAndUnreadableBooks) {
    const std::pair<std::vector<std::string>, int> kCases[] = {
        {{"text", dir.file("Contes.epub"), "--chapter", "4"}, 2},
        {{"text", dir.file("Contes.epub"), "--chapter", "0"}, 2},
        {{"text", dir.file("Contes.epub"), "--page", "1"}, 2},
        {{"text", dir.file("Two.pdf"), "--page", "3"}, 2},
        {{"text", dir.file("Two.pdf"), "--chapter", "1", "--page", "1"}, 2},
        {{"info"}, 2},
        {{"frobnicate"}, 2},
        {{"info", dir.file("missing.epub")}, 1},
        {{"info", dir.file("notes.doc")}, 1},
    };
    for (const auto& [args, status] : kCases) {
        const Run r = book(args);
        EXPECT_EQ(r.status, status) << args.front() << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(r.err.empty());
    }
}

TEST_F(BookCli, ImportListAndRemoveKeepTheSavedList) {
    ASSERT_EQ(book({"import", dir.file("Contes.epub"), dir.file("Two.pdf"), dir.file("missing.txt")}).status, 1);
    const Run list = book({"list", "--json"});
    ASSERT_EQ(list.status, 0) << list.err;
    const auto epub = list.out.find("\"bookName\": \"Contes.epub\"");
    ASSERT_NE(epub, std::string::npos) << list.out;
    EXPECT_LT(epub, list.out.find("\"bookName\": \"Two.pdf\""));
    EXPECT_NE(list.out.find("\"library\": []"), std::string::npos);
    EXPECT_EQ(list.out.find("missing"), std::string::npos);

    ASSERT_EQ(book({"remove", dir.file("Contes.epub")}).status, 0);
    EXPECT_EQ(book({"list"}).out.find("Contes"), std::string::npos);
    EXPECT_EQ(book({"remove", dir.file("Contes.epub")}).status, 1);
}

} // namespace
