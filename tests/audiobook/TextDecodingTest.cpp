#include "audiobook/TextDecoding.h"
#include "audiobook/RtfText.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace quarrow;

namespace {

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::string text;
};
// Test lists show the case's name, not its bytes.
void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class BookTextDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(BookTextDecoding, Decodes) {
    EXPECT_EQ(decodeBookText(GetParam().bytes), GetParam().text);
}

// A byte-order mark decides first; then valid UTF-8 stays UTF-8; anything else is Windows-1252.
INSTANTIATE_TEST_SUITE_P(
    Cases, BookTextDecoding,
    ::testing::Values(DecodeCase{"Utf8WithMark",
                                 "\xEF\xBB\xBF"
                                 "caf\xC3\xA9",
                                 "caf\xC3\xA9"},
                      DecodeCase{"Utf8MarkThenBadByte",
                                 "\xEF\xBB\xBF"
                                 "a\xFF"
                                 "b",
                                 "a\xEF\xBF\xBD"
                                 "b"},
                      DecodeCase{"Utf16LittleEndianWithPair",
                                 std::string("\xFF\xFE"
                                             "A\0\x3D\xD8\x00\xDE",
                                             8),
                                 "A\xF0\x9F\x98\x80"},
                      DecodeCase{"Utf16BigEndian", std::string("\xFE\xFF\0h\0\xE9", 6), "h\xC3\xA9"},
                      DecodeCase{"Utf16LoneSurrogateAndOddByte",
                                 std::string("\xFF\xFE\x3D\xD8"
                                             "B\0"
                                             "C",
                                             7),
                                 "\xEF\xBF\xBD"
                                 "B"},
                      DecodeCase{"Utf32LittleEndian", std::string("\xFF\xFE\0\0\x00\xF6\x01\0", 8), "\xF0\x9F\x98\x80"},
                      DecodeCase{"PlainUtf8", "\xE6\x9D\xB1\xE4\xBA\xAC", "\xE6\x9D\xB1\xE4\xBA\xAC"},
                      DecodeCase{"Windows1252",
                                 "\x93"
                                 "caf\xE9\x94 \x80 \x81",
                                 "\xE2\x80\x9C"
                                 "caf\xC3\xA9\xE2\x80\x9D \xE2\x82\xAC \xC2\x81"},
                      DecodeCase{"OverlongIsNotUtf8", "\xC0\xAF", "\xC3\x80\xC2\xAF"}, DecodeCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CodePages, DecodeWhatRtfNames) {
    const std::pair<int, std::pair<std::string, std::string>> kCases[] = {
        {1251, {"\xCF\xF0\xE8\xE2\xE5\xF2", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"}},
        {437, {"\x82\xE1", "\xC3\xA9\xC3\x9F"}},
        {10000, {"\x8E", "\xC3\xA9"}},
        {932, {"\x93\xFA\x96\x7B", "\xE6\x97\xA5\xE6\x9C\xAC"}},
        {1252, {"\x80", "\xE2\x82\xAC"}},
        {4242, {"\xE9", "\xC3\xA9"}}, // unknown: Windows-1252
    };
    for (const auto& [codePage, io] : kCases) {
        CodePageDecoder decoder(codePage);
        std::string out;
        decoder.append(out, io.first);
        EXPECT_EQ(out, io.second) << codePage;
    }
    // A sequence the code page cannot decode (here cut off) gives one replacement.
    CodePageDecoder shiftJis(932);
    std::string out;
    shiftJis.append(out, "a\x81");
    EXPECT_EQ(out, "a\xEF\xBF\xBD");
}

struct RtfCase {
    const char* name;
    std::string rtf;
    std::string text;
};
// Test lists show the case's name, not its bytes.
void PrintTo(const RtfCase& c, std::ostream* os) {
    *os << c.name;
}

class RtfParsing : public ::testing::TestWithParam<RtfCase> {};

TEST_P(RtfParsing, ReadsText) {
    EXPECT_EQ(parseRtf(GetParam().rtf).text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfParsing,
    ::testing::Values(
        RtfCase{"ParagraphsLinesTabs", "{\\rtf1\\ansi Hello\\par World\\line A\\tab B}", "Hello\nWorld\nA\tB"},
        RtfCase{"HexInCodePage", "{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'93q\\'94}",
                "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D"},
        RtfCase{"HexInCyrillicCodePage", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}", "\xD0\x9F\xD1\x80\xD0\xB8"},
        RtfCase{"HexPairsInDoubleByteCodePage", "{\\rtf1\\ansi\\ansicpg932 \\'93\\'fa\\'96{\\b}\\'7b}",
                "\xE6\x97\xA5\xEF\xBF\xBD{"},
        RtfCase{"UnicodeWithFallback", "{\\rtf1 \\u233?t\\u8364\\'80!}", "\xC3\xA9t\xE2\x82\xAC!"},
        RtfCase{"UnicodeNegativeAndSkipCount", "{\\rtf1\\uc2 \\u-3913xy{\\uc0 \\u26085}z}",
                "\xEF\x82\xB7\xE6\x97\xA5z"},
        RtfCase{"UnicodeSurrogatePair", "{\\rtf1 \\u-10179?\\u-8704?!\\u-10179?x}", "\xF0\x9F\x98\x80!\xEF\xBF\xBDx"},
        RtfCase{"FallbackEndsAtGroup", "{\\rtf1\\uc3 {\\u233}ab}",
                "\xC3\xA9"
                "ab"},
        RtfCase{"SkippedDestinations",
                "{\\rtf1{\\fonttbl{\\f0\\fswiss Helvetica;}{\\f1 Times{\\*\\panose 0}}}"
                "{\\colortbl;\\red255\\green0\\blue0;}{\\stylesheet{\\s0 Normal;}}"
                "{\\info{\\title T}{\\author A}{\\operator O}}{\\*\\generator Word;}"
                "{\\pict\\pngblip 89504e47}{\\header Head}Body{\\*\\bkmkstart b}.}",
                "Body."},
        RtfCase{"FieldShowsItsResult", "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt Link}} text}",
                "Link text"},
        RtfCase{"EscapedSymbols", "{\\rtf1 a\\{b\\}c\\\\d\\~e\\-f\\_g\\emdash}",
                "a{b}c\\d\xC2\xA0"
                "ef\xE2\x80\x91g\xE2\x80\x94"},
        RtfCase{"BinaryDataIsSteppedOver", "{\\rtf1 a{\\pict\\bin4 }}{x}b}", "ab"},
        RtfCase{"SourceLineBreaksAreNotText", "{\\rtf1 one\r\ntwo\\\ntwo}", "onetwo\ntwo"},
        RtfCase{"UnbalancedAndCutOff", "}}{\\rtf1 x{{y\\u", "xy"},
        RtfCase{"NotRtfAtAll", "plain words", "plain words"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RtfInfo, TitleAndAuthorComeFromTheInfoGroupOnly) {
    const RtfDocument doc = parseRtf("{\\rtf1{\\info{\\title Le Caf\\'e9}{\\author \\u1040?nna}}{\\title no}Text}");
    EXPECT_EQ(doc.title, "Le Caf\xC3\xA9");
    EXPECT_EQ(doc.author, "\xD0\x90nna");
    EXPECT_EQ(doc.text, "Text");
    EXPECT_FALSE(parseRtf("{\\rtf1 x}").title.has_value());
}

TEST(RtfLimits, DeepNestingAndLongWordsStayBounded) {
    // Far deeper than any book: the text outside the deep groups survives, nothing recurses.
    const std::string deep = "{\\rtf1 a" + std::string(100000, '{') + "hidden" + std::string(100000, '}') + "b}";
    EXPECT_EQ(parseRtf(deep).text.substr(0, 1), "a");
    EXPECT_EQ(parseRtf(deep).text.back(), 'b');
    const std::string longWord = "{\\rtf1 \\" + std::string(5000, 'x') + "99999999999999999999 y}";
    EXPECT_NO_FATAL_FAILURE(parseRtf(longWord));
}

} // namespace
