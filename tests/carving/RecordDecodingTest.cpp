#include "carving/RecordDecoding.h"
#include "scan/Utf8.h"

#include "carving/RecordChecks.h"
#include "scan/ValueHelpers.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <vector>

using namespace quarrow;

namespace {

// Bytes placed at given offsets of an otherwise zero file of the given size.
class Bytes {
public:
    explicit Bytes(std::size_t size) : bytes_(size, 0) {}
    Bytes& at(std::size_t offset, std::initializer_list<int> values) {
        for (int v : values) {
            bytes_.at(offset++) = static_cast<std::uint8_t>(v);
        }
        return *this;
    }
    Bytes& text(std::size_t offset, const std::string& s) {
        std::memcpy(&bytes_.at(offset), s.data(), s.size());
        return *this;
    }
    DbFileReader& reader() {
        reader_ = std::make_unique<DbFileReader>(bytes_);
        return *reader_;
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::unique_ptr<DbFileReader> reader_;
};

std::string hex(DbFileReader& file, std::int64_t offset, std::int64_t n) {
    std::vector<char> buffer(2 * static_cast<std::size_t>(n) + 1, 'x');
    const char* text = getHexString(file, offset, n, buffer);
    return text ? text : "<nil>";
}

std::string field(const std::vector<std::uint8_t>& out) {
    return reinterpret_cast<const char*>(out.data());
}

} // namespace

TEST(HexText, TwoLowercaseDigitsPerByteAndZerosPastTheEnd) {
    Bytes b(120);
    auto& file = b.at(100, {0x0d, 0x9c, 0x00}).reader();
    EXPECT_EQ(hex(file, 100, 3), "0d9c00");
    EXPECT_EQ(hex(file, 119, 3), "000000");
    EXPECT_EQ(hex(file, 5000, 3), "000000");
    EXPECT_EQ(hex(file, 0, 3), "<nil>");
    EXPECT_EQ(hex(file, 100, 0), "<nil>");
    std::vector<char> small(5, 'x'); // room for two bytes only: cut, still terminated
    EXPECT_STREQ(getHexString(file, 100, 3, small), "0d9c");
}

TEST(Numbers, FromHexTextAndBigEndianBytes) {
    EXPECT_EQ(DemaNumberFormHexChar("1000", 4), 4096);
    EXPECT_EQ(DemaNumberFormHexChar("10", 4), 0);
    EXPECT_EQ(DemaNumberFormHexChar("0A", 2), 0);
    EXPECT_EQ(DemaNumberFormHexChar(nullptr, 2), 0);
    const std::uint8_t bytes[] = {0x01, 0x02, 0x03, 0xff};
    EXPECT_EQ(readBigEndian(bytes, 1, 3), 0x0203ffu);
    EXPECT_EQ(readBigEndian(bytes, 0, 0), 0u);
    EXPECT_EQ(readBigEndian(bytes, 2, 4), 0x03ff0000u); // bytes past the array count as zeros
    EXPECT_EQ(integerToText(-42, 10), "-42");
    EXPECT_EQ(integerToText(-2147483647 - 1, 10), "-2147483648");
    EXPECT_EQ(integerToText(-1, 16), "ffffffff");
    EXPECT_EQ(integerToText(0, 2), "0");
    EXPECT_EQ(integerToText(35, 36), "z");
    EXPECT_EQ(integerToText(5, 1), std::nullopt);
    EXPECT_EQ(integerToText(5, 37), std::nullopt);
}

TEST(Numbers, TwoByteSerialTypes) {
    EXPECT_EQ(getAlterInteger(0x81, 0x05), 133);
    EXPECT_EQ(getAlterInteger(0x9f, 0x7f), 4095);
    EXPECT_EQ(getAlterInteger(0xa0, 0x00), 4096);
    EXPECT_EQ(getAlterInteger(0xc1, 0x05), 24709);
}

TEST(Pages, TypesVersionAndCount) {
    Bytes b(10000);
    auto& file = b.at(4096, {0x0d}).at(18, {0x02}).at(16, {0x10, 0x00}).reader();
    EXPECT_EQ(getPageType(file, 0), -1);
    EXPECT_EQ(getPageType(file, 4096), 1);
    EXPECT_EQ(getPageType(file, 4097), -1);
    EXPECT_EQ(checkSQliteVersion(file, 18), 1);
    EXPECT_EQ(checkSQliteVersion(file, 19), 0);
    EXPECT_EQ(file.size() / static_cast<std::uint64_t>(DemaNumberFormHexChar(hex(file, 16, 2).c_str(), 4)), 2u);
}

namespace {

struct SlotCase {
    const char* name;
    std::vector<int> slot;    // serial type bytes at offset + 1
    std::vector<int> content; // content at offset + length
    bool twoByte;
    bool read;
    std::int32_t dataoffAfter;
    std::string text; // for integer slots: the decimal text; for the rest: the content bytes
};

class Slots : public ::testing::TestWithParam<SlotCase> {};

std::vector<int> bigEndian(std::uint64_t v, int n) {
    std::vector<int> out;
    for (int i = n - 1; i >= 0; --i) {
        out.push_back(static_cast<int>((v >> (8 * i)) & 0xff));
    }
    return out;
}

} // namespace

TEST_P(Slots, ReadTheirContentAndMoveDataoff) {
    const SlotCase& c = GetParam();
    Bytes b(8192);
    // The anchor is offset 1000: slot 1 at 1001, content at 1000 + 20 + dataoff.
    for (std::size_t i = 0; i < c.slot.size(); ++i) {
        b.at(1001 + i, {c.slot[i]});
    }
    for (std::size_t i = 0; i < c.content.size(); ++i) {
        b.at(1020 + 3 + i, {c.content[i]});
    }
    auto& file = b.reader();
    std::vector<std::uint8_t> out(4096 + 1, 0);
    std::int32_t dataoff = 3;
    const std::uint8_t* got = c.twoByte ? AnalyseAlterbleDB(file, 1, &dataoff, 1000, 20, {out.data(), 4096})
                                        : AnalyseDBDataFile(file, 1, &dataoff, 1000, 20, {out.data(), 4096});
    EXPECT_EQ(got != nullptr, c.read);
    EXPECT_EQ(dataoff, c.dataoffAfter);
    EXPECT_EQ(field(out), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Slots,
    ::testing::Values(
        SlotCase{"NullKeepsEverything", {0x00}, {0x41}, false, false, 3, ""},
        SlotCase{"ConstantOneHasNoField", {0x09}, {0x41}, false, false, 3, ""},
        SlotCase{"OneByteFF", {0x01}, {0xff}, false, true, 4, "255"},
        SlotCase{"TwoBytes8000", {0x02}, {0x80, 0x00}, false, true, 5, "32768"},
        SlotCase{"FourBytesAllOnes", {0x04}, {0xff, 0xff, 0xff, 0xff}, false, true, 7, "-1"},
        SlotCase{"SixBytesKeepLow32Bits", {0x05}, {0x00, 0x01, 0x00, 0x00, 0x00, 0x05}, false, true, 9, "5"},
        SlotCase{"SixByteServerIdIsItsLowBits", {0x05}, bigEndian(0xffff00000000ull, 6), false, true, 9, "0"},
        // A float (note dates) gives its value cut toward zero, not its bit pattern.
        SlotCase{"FloatCutTowardZero",
                 {0x07},
                 bigEndian(std::bit_cast<std::uint64_t>(352803900.75), 8),
                 false,
                 true,
                 11,
                 "352803900"},
        SlotCase{"NegativeFloat", {0x07}, bigEndian(std::bit_cast<std::uint64_t>(-2.9), 8), false, true, 11, "-2"},
        SlotCase{"Text3", {0x13}, {'a', 'b', 'c', 'd'}, false, true, 6, "abc"},
        SlotCase{"TwoByteText", {0x81, 0x05}, {'x', 'y'}, true, true, 3 + 60, "xy"},
        SlotCase{"TwoByteAbove4095", {0xa0, 0x00}, {'x'}, true, false, 3, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Slots, LargestTwoByteFieldAndCutting) {
    Bytes b(8192);
    auto& file = b.at(1001, {0x8f, 0x7d}).text(1020, std::string(1016, 'q') + "!").reader();
    std::vector<std::uint8_t> out(2000, 0);
    std::int32_t dataoff = 0;
    ASSERT_NE(AnalyseAlterbleDB(file, 1, &dataoff, 1000, 20, out), nullptr);
    EXPECT_EQ(dataoff, 1016);
    EXPECT_EQ(field(out), std::string(1016, 'q'));
    // A buffer shorter than the field is filled to its end and no further.
    std::vector<std::uint8_t> small(16, 0);
    small.push_back(0xee);
    dataoff = 0;
    ASSERT_NE(AnalyseAlterbleDB(file, 1, &dataoff, 1000, 20, {small.data(), 16}), nullptr);
    EXPECT_EQ(dataoff, 1016);
    EXPECT_EQ(small.back(), 0xee);
    // An integer's 260-byte text field is cut the same way.
    auto& ints = b.at(1001, {0x01}).at(1020, {0x07}).reader();
    std::vector<std::uint8_t> two(3, 0xee);
    dataoff = 0;
    ASSERT_NE(AnalyseDBDataFile(ints, 1, &dataoff, 1000, 20, {two.data(), 2}), nullptr);
    EXPECT_EQ(two, (std::vector<std::uint8_t>{'7', 0, 0xee}));
}

TEST(Slots, ShiftedReadersAddTheirHeadToBothPositions) {
    Bytes b(4096);
    auto& file = b.at(1005, {0x15}).text(1024, "hello").reader();
    std::vector<std::uint8_t> out(300, 0);
    std::int32_t dataoff = 0;
    ASSERT_NE(AnalyseTheDBDataFile(file, 1, &dataoff, 1000, 4, 20, out), nullptr);
    EXPECT_EQ(field(out), "hell");
    auto& wide = b.at(1005, {0x80, 0x15}).reader();
    std::fill(out.begin(), out.end(), 0);
    dataoff = 0;
    ASSERT_NE(AnalyseAlterbleDBFile(wide, 1, &dataoff, 1000, 4, 20, out), nullptr);
    EXPECT_EQ(dataoff, 4);
    EXPECT_EQ(field(out), "hell");
}

TEST(Checks, PatternWindows) {
    EXPECT_EQ(bcheckSubStringIsValid("0a0101010000", 6, 6), 1);
    EXPECT_EQ(bcheckSubStringIsValid("000000010101", 6, 6), 0); // the last window is not tried
    EXPECT_EQ(bcheckSubStringIsValid("010101", 6, 6), 0);
    EXPECT_EQ(bcheckSubStringIsValid(nullptr, 6, 6), 0);
    EXPECT_EQ(bcheckSubStringIsValid("x01010", 6, 3), 0); // a pattern longer than the window never fits
    EXPECT_EQ(bCheckDataIsValid("ffd8ffe000104a46", 4), 1);
    EXPECT_EQ(bCheckDataIsValid("ffd8ffe000104a46", 3), -1);
    EXPECT_EQ(bCheckDataIsValid("010101", 7), -1);
    EXPECT_EQ(bCheckDataIsValid("00110012", 2), 1);
    EXPECT_EQ(bCheckDataIsValid(nullptr, 2), 0);
    EXPECT_EQ(bcheckChatIOS6SubStringIsValid("00010155ffff", 6), 1);
    EXPECT_EQ(bcheckMessageIOS6SubStringIsValid("f0800010000aaaaaaaaa", 10), 1);
    EXPECT_EQ(bcheckMessageIOS6SubStringIsValid("ff0800010000aaaaaaaa", 10), 1);
    EXPECT_EQ(bcheckMessageIOS6SubStringIsValid("080001000", 5), 0);
}

TEST(Checks, BytesAndMarkerSearches) {
    Bytes b(300);
    auto& file = b.at(100, {0x01, 0x01, 0x01, 0x1b, 0x00})
                     .at(110, {0x01, 0x01, 0x01, 0x81, 0x1a, 0x00})
                     .at(120, {0x01, 0x01, 0x01, 0x0b, 0x00})
                     .at(130, {0x01, 0x01, 0x01, 0x1b, 0x05, 0x07})
                     .at(140, {0x05, 0x07, 0x03})
                     .at(150, {121, 136, 120, 137})
                     .at(200, {0x07, 0x00, 0x41, 0x42})
                     .at(290, std::initializer_list<int>{0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41})
                     .reader();
    EXPECT_EQ(CheckNoteBodyMark(file, 100), 1);
    EXPECT_EQ(CheckNoteBodyMark(file, 110), 1);
    EXPECT_EQ(CheckNoteBodyMark(file, 120), 0);
    EXPECT_EQ(CheckNoteBodyMark(file, 130), 0);
    EXPECT_EQ(bIsAlterbleDBFile(file, 140, AlterVersion{1}), 2);
    EXPECT_EQ(bIsAlterbleDBFile(file, 142, AlterVersion{1}), 0);
    EXPECT_EQ(bIsAlterbleDBFile(file, 140, AlterVersion{1}, 1), kFarAway); // past its limit
    EXPECT_EQ(CheckAlterSummary(file, 140, 1), 0);
    EXPECT_EQ(ISAlterPropertFiled(file, 150), 1);
    EXPECT_EQ(ISAlterPropertFiled(file, 151), 1);
    EXPECT_EQ(ISAlterPropertFiled(file, 152), 0);
    EXPECT_EQ(ISAlterPropertFiled(file, 153), 0);
    EXPECT_EQ(CheckTitlePostion(file, 0), 19);
    EXPECT_EQ(CheckTitlePostion(file, 150), 15);
    // Searches stop at the ends of the file: no 0x03 after 143, so a distance no caller treats
    // specially; a search for 0x00 finds the zeros past the end.
    EXPECT_EQ(bIsAlterbleDBFile(file, 143, AlterVersion{1}), kFarAway);
    EXPECT_EQ(bIsAlterbleDBFile(file, 290, AlterType{6}), 10);
    EXPECT_EQ(bSortAlter(file, 203), 2);
    Bytes noZeros(60);
    // Backward searches stop at the start without looking at offset 0.
    EXPECT_EQ(bSortAlter(noZeros.text(1, std::string(59, 'A')).reader(), 50), kFarAway);
    EXPECT_EQ(accquireFieldLength(file, 203), 7);
    EXPECT_EQ(accquireField(file, 201), 0);
    EXPECT_EQ(getDeletedMark(file, 120, 2, 5), 0);
    auto& marks = b.at(40, {0x0c, 0x00}).reader();
    EXPECT_EQ(getDeletedMark(marks, 40, 2, 5), 1);
    EXPECT_EQ(getDeletedMark(marks, 40, 2, 8), 0);
    EXPECT_EQ(GetFildLength(b.at(60, {0x23, 0x00}).reader(), 60), 2);
}

TEST(FieldText, AnswersAsTheHelperForValidAndBrokenUtf8AtEveryPosition) {
    // Characters of every length and broken sequences (a lone continuation byte, an overlong form,
    // a surrogate, a value past U+10FFFF, a cut sequence), each put at every position of an ASCII
    // run longer than the steps the check takes over ASCII, and cut at every length.
    const std::string pieces[] = {
        "é", "日", "🙂", "\x80", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe6\x97", "\xf0\x9f\x99", "\xff"};
    for (const std::string& piece : pieces) {
        for (std::size_t at = 0; at <= 40; ++at) {
            std::string bytes = std::string(at, 'a') + piece + std::string(37, 'b') + piece + "c";
            for (std::size_t cut = 0; cut <= bytes.size(); cut += 3) {
                const std::string_view text(bytes.data(), cut);
                ASSERT_EQ(fieldTextOf(text), GetStringFormChar(text)) << at << " " << cut;
            }
        }
    }
    // The text ends at the first 0, whatever follows it.
    EXPECT_EQ(fieldTextOf(std::string_view("abc\0\xff", 5)), "abc");
    EXPECT_EQ(fieldTextOf(std::string_view("\xff\0abc", 5)), "");
}

TEST(FieldText, BothUtf8ChecksAnswerAsTheHelperOnRandomBytes) {
    // Runs of ASCII with bytes of every class among them: continuations, leads of two, three and
    // four bytes, the leads that are never valid, and the bytes that make overlong forms,
    // surrogates and values past U+10FFFF.
    const unsigned char special[] = {0x80, 0x8f, 0x90, 0x9f, 0xa0, 0xbf, 0xc0, 0xc1, 0xc2, 0xdf,
                                     0xe0, 0xe1, 0xed, 0xef, 0xf0, 0xf1, 0xf4, 0xf5, 0xf8, 0xff};
    const std::string characters[] = {"é", "ß", "日", "語", "\xef\xbf\xbf", "🙂", "\xf4\x8f\xbf\xbf", "\xed\x9f\xbf"};
    // Whole sequences that are well formed but not allowed: a surrogate, overlong forms of three,
    // four and two bytes, a value past U+10FFFF.
    const std::string broken[] = {"\xed\xa0\x80", "\xe0\x80\x80", "\xf0\x80\x80\x80", "\xf4\x90\x80\x80", "\xc1\xbf"};
    std::mt19937 rng(2024);
    int valid = 0;
    for (int round = 0; round < 60000; ++round) {
        const std::size_t pieces = rng() % 60;
        const unsigned brokenShare = 2 + rng() % 40;
        std::string text;
        for (std::size_t i = 0; i < pieces; ++i) {
            const unsigned r = rng();
            if (r % brokenShare == 0) {
                text += static_cast<char>(special[(r >> 8) % sizeof special]);
            } else if (r % brokenShare == 1) {
                text += broken[(r >> 8) % std::size(broken)];
            } else if (r % 3 == 0) {
                text += characters[(r >> 8) % std::size(characters)];
            } else {
                text += static_cast<char>('a' + (r >> 8) % 26);
            }
        }
        std::vector<std::uint32_t> units(text.size() + 1);
        const bool want = text.empty() || Char2Unicode(text, units.data(), units.size()) > 0;
        ASSERT_EQ(isStrictUtf8(text, Utf8Check::Best), want) << round;
        ASSERT_EQ(isStrictUtf8(text, Utf8Check::Plain), want) << round;
        valid += want;
    }
    EXPECT_GT(valid, 10000);
    EXPECT_LT(valid, 50000);
}
