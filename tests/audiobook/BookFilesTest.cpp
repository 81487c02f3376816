#include "audiobook/BookFiles.h"
#include "BookFixtures.h"
#include "DeviceDb.h"
#include "audiobook/BookImport.h"
#include "audiobook/BookText.h"
#include "audiobook/PdfBook.h"
#include "platform/Alerts.h"
#include "support/ScopedCacheHome.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quarrow;
using namespace quarrow::fixtures;

namespace {

class Books : public ::testing::Test {
protected:
    ImportOptions options() const { return {}; }
    std::string write(const std::string& name, const std::string& bytes) const {
        EXPECT_TRUE(writeFile(dir.file(name), bytes));
        return dir.file(name);
    }
    test::TempDir dir;
    test::ScopedCacheHome cacheHome{dir.file("cache")};
};

TEST_F(Books, TypeComesFromTheExtensionInAnyCase) {
    const std::pair<const char*, std::optional<std::string>> kCases[] = {
        {"A.HTM", "html"},       {"b.Html", "html"},
        {"B.EPUB", "epub"},      {"c.pdf", "pdf"},
        {"d.TxT", "txt"},        {"e.rtf", "rtf"},
        {"f.doc", std::nullopt}, {"epub", std::nullopt},
        {".pdf", std::nullopt},  {"dir.pdf/notes", std::nullopt},
    };
    for (const auto& [name, type] : kCases) {
        EXPECT_EQ(bookTypeForPath(name), type) << name;
    }
    const OpenPanelRequest panel = importFilesPanelRequest();
    EXPECT_TRUE(panel.allowsMultipleSelection);
    EXPECT_EQ(panel.allowedFileTypes, (std::vector<std::string>{"html", "htm", "pdf", "txt", "rtf", "epub"}));
    EXPECT_EQ(panel.message, "You can covert any pdf, epub, html, txt, rtf ebooks to audio books.");
}

TEST_F(Books, FilesThatCannotBeBooksAreErrorsNotRecords) {
    write("notes.doc", "x");
    ::mkdir(dir.file("folder.txt").c_str(), 0700);
    write("secret.txt", "x");
    ::chmod(dir.file("secret.txt").c_str(), 0);
    for (const char* name : {"notes.doc", "missing.pdf", "folder.txt"}) {
        const ImportOutcome outcome = importBookFile(dir.file(name), options());
        EXPECT_FALSE(outcome.book) << name;
        EXPECT_FALSE(outcome.error.empty()) << name;
    }
    if (::geteuid() != 0) {
        EXPECT_FALSE(importBookFile(dir.file("secret.txt"), options()).book);
    }
}

TEST_F(Books, TextAndTitlesOfHtmlTxtAndRtf) {
    const std::string html =
        write("Page.htm",
              "\xEF\xBB\xBF<html><head><title>Le &eacute;t\xC3\xA9</title></head><body><p>Un</p>deux</body></html>");
    const std::string rtf = write("Story.rtf", "{\\rtf1\\ansi{\\info{\\title Tale}{\\author Ann}}Once\\par upon}");
    const std::string txt = write("Plain.txt", std::string("\xFF\xFEO\0k\0", 6));

    const ImportOutcome h = importBookFile(html, options());
    ASSERT_TRUE(h.book);
    EXPECT_EQ(h.book->fileType(), "html");
    EXPECT_EQ(h.book->bookName(), "Page.htm");
    EXPECT_EQ(h.book->title(), "Le \xC3\xA9t\xC3\xA9");
    EXPECT_FALSE(h.book->imageIcon());
    EXPECT_EQ(textOfBook(*h.book), "Le \xC3\xA9t\xC3\xA9  Un deux  ");

    const ImportOutcome r = importBookFile(rtf, options());
    ASSERT_TRUE(r.book);
    EXPECT_EQ(r.book->title(), "Tale");
    EXPECT_EQ(r.book->author(), "Ann");
    EXPECT_EQ(textOfBook(*r.book), "Once\nupon");

    const ImportOutcome t = importBookFile(txt, options());
    ASSERT_TRUE(t.book);
    EXPECT_FALSE(t.book->title());
    EXPECT_EQ(textOfBook(*t.book), "Ok");
}

TEST_F(Books, PdfPagesTitleAuthorAndCover) {
    const std::string path = write(
        "Two.pdf", makePdf({{{"First page, caf\xC3\xA9.", "Second line."}}, {{}}}, "Titre \xC3\xA9t\xC3\xA9", "Ann"));
    const ImportOutcome outcome = importBookFile(path, options());
    ASSERT_TRUE(outcome.book) << outcome.error;
    EXPECT_EQ(outcome.warning, "");
    const PRBookNode& book = *outcome.book;
    EXPECT_EQ(book.fileType(), "pdf");
    EXPECT_EQ(book.pageCount(), 2);
    EXPECT_EQ(book.title(), "Titre \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(book.author(), "Ann");
    ASSERT_TRUE(book.imageIcon());
    EXPECT_EQ(book.imageIcon()->form, BookCover::Form::Argb32);
    EXPECT_EQ(book.imageIcon()->height, 200);
    EXPECT_NEAR(book.imageIcon()->width, 155, 1); // US Letter's proportions
    EXPECT_GE(book.imageIcon()->bytes.size(),
              static_cast<std::size_t>(book.imageIcon()->stride) * static_cast<std::size_t>(book.imageIcon()->height));

    const auto pages = pdfPageTexts(path);
    ASSERT_TRUE(pages);
    ASSERT_EQ(pages->size(), 2u);
    EXPECT_NE((*pages)[0].find("First page, caf\xC3\xA9."), std::string::npos) << (*pages)[0];
    EXPECT_NE((*pages)[0].find("Second line."), std::string::npos);
    EXPECT_EQ((*pages)[1], "") << "a blank page has nothing to speak";
    EXPECT_EQ(textOfBook(book), joinTexts({(*pages)[0]}));
}

TEST_F(Books, AnUnreadablePdfStaysWithoutPages) {
    const ImportOutcome outcome = importBookFile(write("Broken.pdf", "%PDF-1.4\nnothing else"), options());
    ASSERT_TRUE(outcome.book);
    EXPECT_EQ(outcome.book->pageCount(), 0);
    EXPECT_NE(outcome.warning.find("cannot be read"), std::string::npos);
    EXPECT_FALSE(textOfBook(*outcome.book));
}

TEST(SafeNames, NeverAPathOrAFolderName) {
    const std::pair<std::string, std::string> kCases[] = {
        {"Tale.epub", "Tale.epub"},
        {"a/b/../c", "a_b_.._c"},
        {"..", "_.."},
        {".", "_."},
        {"  spaced  ", "spaced"},
        {"tab\there\nnew", "tab_here_new"},
        {"", "_"},
        {"Wait... what.epub", "Wait... what.epub"},
    };
    for (const auto& [name, safe] : kCases) {
        EXPECT_EQ(safeFileName(name), safe) << name;
    }
    const std::string longName = std::string(199, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(safeFileName(longName), std::string(199, 'a')) << "cut before a character, never inside it";
}

TEST(Joining, EmptyPartsAddNothing) {
    EXPECT_EQ(joinTexts({"a", "", "b", ""}), "a\nb");
    EXPECT_EQ(joinTexts({}), "");
}

} // namespace
