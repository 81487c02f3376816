#include "carving/RecordDecoding.h"

#include "carving/RecordChecks.h"
#include "records/ValueHelpers.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <vector>

using namespace quarrow;

namespace {

// A file of zeros with bytes placed at given offsets.
struct Placed {
    std::size_t offset;
    std::vector<int> bytes;
};

struct Bytes {
    std::vector<std::uint8_t> data;
    DbFileReader reader;
    Bytes(std::size_t size, std::initializer_list<Placed> placed) : data(make(size, placed)), reader(data) {}
    static std::vector<std::uint8_t> make(std::size_t size, std::initializer_list<Placed> placed) {
        std::vector<std::uint8_t> out(size, 0);
        for (const auto& p : placed) {
            for (std::size_t i = 0; i < p.bytes.size(); ++i) {
                out.at(p.offset + i) = static_cast<std::uint8_t>(p.bytes[i]);
            }
        }
        return out;
    }
};

std::vector<int> bigEndian(std::uint64_t v, int n) {
    std::vector<int> out;
    for (int i = n - 1; i >= 0; --i) {
        out.push_back(static_cast<int>((v >> (8 * i)) & 0xff));
    }
    return out;
}

std::vector<int> text(const std::string& s) {
    return {s.begin(), s.end()};
}

} // namespace

// Byte semantics that the differential test cannot see, since it takes them from the same rules.
TEST(ByteSemantics, Table) {
    Bytes f(300, {{16, {0x10, 0x00, 0x02}},
                  {100, {0x0d, 0x9c, 0x00}},
                  {140, {0x05, 0x07, 0x03}},
                  {200, {0x07, 0x00, 0x41}},
                  {290, text("AAAAAAAAAA")}});
    std::vector<char> buf(7, 'x');
    EXPECT_STREQ(getHexString(f.reader, 100, 3, buf), "0d9c00");
    EXPECT_STREQ(getHexString(f.reader, 299, 3, buf), "410000"); // zeros past the end
    EXPECT_EQ(getHexString(f.reader, 0, 3, buf), nullptr);
    EXPECT_EQ(getHexString(f.reader, 100, 0, buf), nullptr);
    std::vector<char> small(5, 'x'); // room for two bytes: cut, still terminated
    EXPECT_STREQ(getHexString(f.reader, 100, 3, small), "0d9c");

    EXPECT_EQ(DemaNumberFormHexChar("1000", 4), 4096);
    EXPECT_EQ(DemaNumberFormHexChar("10", 4), 0);           // shorter than asked
    EXPECT_EQ(DemaNumberFormHexChar("0A", 2), 0);           // uppercase counts 0
    EXPECT_EQ(DemaNumberFormHexChar("ffffffffff", 10), -1); // wraps like 32 bits
    EXPECT_EQ(DemaNumberFormHexChar(nullptr, 2), 0);
    const std::uint8_t be[] = {0x01, 0x02, 0x03, 0xff};
    EXPECT_EQ(readBigEndian(be, 1, 3), 0x0203ffu);
    EXPECT_EQ(readBigEndian(be, 2, 4), 0x03ff0000u); // past the span: zeros
    EXPECT_EQ(integerToText(-2147483647 - 1, 10), "-2147483648");
    EXPECT_EQ(integerToText(-1, 16), "ffffffff");
    EXPECT_EQ(integerToText(35, 36), "z");
    EXPECT_EQ(integerToText(5, 37), std::nullopt);

    EXPECT_EQ(getAlterInteger(0x81, 0x05), 133);
    EXPECT_EQ(getAlterInteger(0x9f, 0x7f), 4095);
    EXPECT_EQ(getAlterInteger(0xa0, 0x00), 4096);
    EXPECT_EQ(getAlterInteger(0xc1, 0x05), 24709); // keeps its leading bit: refused by every caller
    const std::pair<int, int> lengths[] = {{-1, 0}, {0, 0},  {4, 4},  {5, 6},  {6, 8},  {7, 8},
                                           {8, 0},  {13, 0}, {14, 1}, {15, 1}, {19, 3}, {4095, 2041}};
    for (auto [t, n] : lengths) {
        EXPECT_EQ(getFieldDataLengthBy(t), n) << t;
    }

    EXPECT_EQ(getPageType(f.reader, 100), 1);
    EXPECT_EQ(getPageType(f.reader, 140), 2);
    EXPECT_EQ(getPageType(f.reader, 0), -1);
    EXPECT_EQ(checkSQliteVersion(f.reader, 18), 1);

    // Windows slide one digit at a time, so a pattern half a byte off counts; the last is not tried.
    EXPECT_EQ(bcheckSubStringIsValid("0a0101010000", 6, 6), 1);
    EXPECT_EQ(bcheckSubStringIsValid("a01010100000", 6, 6), 1);
    EXPECT_EQ(bcheckSubStringIsValid("000000010101", 6, 6), 0);
    EXPECT_EQ(bcheckSubStringIsValid("x01010", 6, 3), 0);
    EXPECT_EQ(bCheckDataIsValid("ffd8ffe000104a46", 4), 1);
    EXPECT_EQ(bCheckDataIsValid("ffd8ffe000104a46", 3), -1);
    EXPECT_EQ(bCheckDataIsValid(nullptr, 2), 0);
    EXPECT_EQ(bcheckChatIOS6SubStringIsValid("00010155ffff", 6), 1);
    EXPECT_EQ(bcheckMessageIOS6SubStringIsValid("f0800010000aaaaaaaaa", 10), 1);
    EXPECT_EQ(bcheckMessageIOS6SubStringIsValid("080001000", 5), 0);

    // Marker searches stop at the ends of the file: no 0x03 after 143; zeros past the end count.
    EXPECT_EQ(bIsAlterbleDBFile(f.reader, 140, AlterVersion{1}), 2);
    EXPECT_EQ(bIsAlterbleDBFile(f.reader, 140, AlterVersion{1}, 1), kFarAway);
    EXPECT_EQ(bIsAlterbleDBFile(f.reader, 143, AlterVersion{1}), kFarAway);
    EXPECT_EQ(bIsAlterbleDBFile(f.reader, 290, AlterType{6}), 10);
    EXPECT_EQ(bSortAlter(f.reader, 202), 1);
    Bytes noZeros(60, {{1, text(std::string(59, 'A'))}});
    EXPECT_EQ(bSortAlter(noZeros.reader, 50), kFarAway); // never looks at offset 0
}

namespace {

struct SlotCase {
    const char* name;
    std::vector<int> slot;    // serial type bytes at 1001
    std::vector<int> content; // at 1023 (anchor 1000, length 20, dataoff 3)
    bool twoByte;
    bool read;
    std::int32_t dataoffAfter;
    std::string text;
};

class Slots : public ::testing::TestWithParam<SlotCase> {};

} // namespace

TEST_P(Slots, ReadTheirContentAndMoveDataoff) {
    const SlotCase& c = GetParam();
    Bytes f(8192, {{1001, c.slot}, {1023, c.content}});
    std::vector<std::uint8_t> out(4097, 0);
    std::int32_t dataoff = 3;
    const std::span<std::uint8_t> buf(out.data(), 4096);
    const auto* got = c.twoByte ? AnalyseAlterbleDB(f.reader, 1, &dataoff, 1000, 20, buf)
                                : AnalyseDBDataFile(f.reader, 1, &dataoff, 1000, 20, buf);
    EXPECT_EQ(got != nullptr, c.read);
    EXPECT_EQ(dataoff, c.dataoffAfter);
    EXPECT_EQ(reinterpret_cast<const char*>(out.data()), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Slots,
    ::testing::Values(
        SlotCase{"NullReadsNothing", {0x00}, {0x41}, false, false, 3, ""},
        SlotCase{"ConstantOneHasNoField", {0x09}, {0x41}, false, false, 3, ""},
        SlotCase{"OneByteFF", {0x01}, {0xff}, false, true, 4, "255"},
        SlotCase{"FourBytesAllOnes", {0x04}, {0xff, 0xff, 0xff, 0xff}, false, true, 7, "-1"},
        SlotCase{"SixBytesKeepLow32Bits", {0x05}, bigEndian(0xffff00000005ull, 6), false, true, 9, "5"},
        SlotCase{"FloatDateCutTowardZero",
                 {0x07},
                 bigEndian(std::bit_cast<std::uint64_t>(352803900.75), 8),
                 false,
                 true,
                 11,
                 "352803900"},
        SlotCase{"NegativeFloat", {0x07}, bigEndian(std::bit_cast<std::uint64_t>(-2.9), 8), false, true, 11, "-2"},
        SlotCase{"Text3", {0x13}, text("abcd"), false, true, 6, "abc"},
        SlotCase{"TwoByteText", {0x81, 0x05}, text("xy"), true, true, 63, "xy"},
        SlotCase{"TwoByteLargest", {0x9f, 0x7f}, text("z"), true, true, 3 + 2041, "z"},
        SlotCase{"TwoByteAbove4095", {0xa0, 0x00}, text("x"), true, false, 3, ""}),
    [](const auto& info) { return std::string(info.param.name); });
