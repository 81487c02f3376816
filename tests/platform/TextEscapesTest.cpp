#include "platform/TextEscapes.h"

#include <gtest/gtest.h>

using namespace quarrow;

struct TerminalCase {
    const char* name;
    std::string text;
    std::string shown;
};

class TerminalTextTable : public ::testing::TestWithParam<TerminalCase> {};

TEST_P(TerminalTextTable, LeavesNoByteATerminalWouldObey) {
    const auto& c = GetParam();
    const std::string shown = terminalText(c.text);
    EXPECT_EQ(shown, c.shown);
    for (const char ch : shown) {
        const auto b = static_cast<unsigned char>(ch);
        EXPECT_TRUE(b >= 0x20 || b == '\n' || b == '\t') << int(b);
        EXPECT_NE(b, 0x7F);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TerminalTextTable,
    ::testing::Values(TerminalCase{"Plain", "Anna's iPhone", "Anna's iPhone"},
                      TerminalCase{"UnicodeKept", "Zoë 日本 🎵", "Zoë 日本 🎵"},
                      TerminalCase{"LinesAndTabsKept", "a\nb\tc", "a\nb\tc"},
                      TerminalCase{"WindowTitle", "\x1b]0;owned\x07name", "\\x1b]0;owned\\x07name"},
                      TerminalCase{"ClearScreen", "\x1b[2J", "\\x1b[2J"},
                      TerminalCase{"CarriageReturnHidesWhatCameBefore", "safe\rEVIL", "safe\\x0dEVIL"},
                      TerminalCase{"Delete", "a\x7f", "a\\x7f"}, TerminalCase{"Nul", std::string("a\0b", 3), "a\\x00b"},
                      TerminalCase{"C1ControlAsUtf8",
                                   "\xc2\x9b"
                                   "2J",
                                   "\\u009b2J"},
                      TerminalCase{"NoBreakSpaceIsNoControl", "\xc2\xa0", "\xc2\xa0"},
                      TerminalCase{"RawC1Byte",
                                   "\x9b"
                                   "2J",
                                   "\\x9b2J"},
                      TerminalCase{"NotUtf8", "Caf\xe9 \xff", "Caf\\xe9 \\xff"},
                      TerminalCase{"CutSequence", "\xe6\x97", "\\xe6\\x97"},
                      TerminalCase{"Surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileUri, NamesEveryPathByteForByte) {
    const std::string all = [] {
        std::string bytes = "/";
        for (int b = 1; b < 256; ++b) {
            bytes += static_cast<char>(b);
        }
        return bytes;
    }();
    for (const std::string& path :
         {std::string("/Backup/plain"), std::string("/Backup/Caf\xe9/\xff\xfe"), std::string("/a b/%41/?#"), all}) {
        const std::string uri = fileUriOf(path);
        EXPECT_EQ(uri.rfind("file:///", 0), 0u) << uri;
        for (const char ch : uri) {
            EXPECT_TRUE(ch > 0x20 && ch < 0x7F) << uri;
        }
        EXPECT_EQ(pathOfFileUri(uri), path) << uri;
    }
    EXPECT_EQ(fileUriOf("/Backup/Caf\xe9"), "file:///Backup/Caf%E9");
    EXPECT_EQ(pathOfFileUri("file://localhost/tmp/x%20y"), "/tmp/x y");
}

TEST(FileUri, RefusesWhatIsNoFileUri) {
    for (const char* text :
         {"/tmp/x", "file:/tmp/x", "file://host/tmp", "file:///tmp/%4", "file:///tmp/%zz", "http:///tmp"}) {
        EXPECT_EQ(pathOfFileUri(text), std::nullopt) << text;
    }
}
