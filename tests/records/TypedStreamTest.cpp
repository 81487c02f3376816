// The text of a message whose only copy is message.attributedBody: a typedstream archive of an
// attributed string. The reader must give that text exactly, and nothing (never garbage) for
// anything that is not such an archive.

#include "records/TypedStream.h"

#include "ModernMessages.h"

#include <gtest/gtest.h>

using namespace quarrow;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

std::string withLength(const std::string& text) {
    return std::string(1, static_cast<char>(text.size())) + text;
}

// An archive as a device writes it, spelled out from the format rather than by the fixture's
// writer: header, "@", a new NSAttributedString (class chain NSAttributedString, NSObject), "@"
// (a reference to the first string), a new NSString whose superclass refers back to NSObject, "+",
// the text, then the end of the string object and the start of the attribute runs.
std::string handWritten(const std::string& text, bool bigEndian = false) {
    std::string out = bytes({0x04}) + withLength(bigEndian ? "typedstream" : "streamtyped") +
                      (bigEndian ? bytes({0x81, 0x03, 0xE8}) : bytes({0x81, 0xE8, 0x03}));
    out += bytes({0x84}) + withLength("@");
    out += bytes({0x84, 0x84, 0x84}) + withLength("NSAttributedString") + bytes({0x00});
    out += bytes({0x84, 0x84}) + withLength("NSObject") + bytes({0x00, 0x85});
    out += bytes({0x92, 0x84, 0x84, 0x84}) + withLength("NSString") + bytes({0x01, 0x94});
    out += bytes({0x84}) + withLength("+");
    if (text.size() < 128) {
        out += withLength(text);
    } else if (bigEndian) {
        out += bytes({0x81, static_cast<int>(text.size() >> 8), static_cast<int>(text.size() & 0xff)}) + text;
    } else {
        out += bytes({0x81, static_cast<int>(text.size() & 0xff), static_cast<int>(text.size() >> 8)}) + text;
    }
    return out + bytes({0x86, 0x84, 0x02, 'i', 'I', 0x01});
}

} // namespace

TEST(TypedStream, ReadsTheStringOfAnArchivedAttributedString) {
    const std::string long200(200, 'x');
    const std::string long40k = std::string(40000, 'y') + "😀";
    for (const std::string& text :
         {std::string("On my way 🚗"), std::string("Ja, bis später!\n  Kuss"), std::string(), long200, long40k}) {
        EXPECT_EQ(typedStreamString(fixtures::attributedBody(text)), text) << text.size();
    }
    EXPECT_EQ(typedStreamString(handWritten("Hello")), "Hello");
    EXPECT_EQ(typedStreamString(handWritten(long200)), long200);
    EXPECT_EQ(typedStreamString(handWritten(long200, true)), long200);
}

TEST(TypedStream, AcceptsAnArchivedPlainString) {
    std::string archive = bytes({0x04}) + withLength("streamtyped") + bytes({0x81, 0xE8, 0x03});
    archive += bytes({0x84}) + withLength("@") + bytes({0x84, 0x84, 0x84}) + withLength("NSMutableString") +
               bytes({0x01, 0x84, 0x84}) + withLength("NSString") + bytes({0x01, 0x84, 0x84}) + withLength("NSObject") +
               bytes({0x00, 0x85, 0x84}) + withLength("+") + withLength("plain");
    EXPECT_EQ(typedStreamString(archive), "plain");
}

struct BrokenArchive {
    const char* name;
    std::string bytes;
};

class BrokenTypedStream : public ::testing::TestWithParam<BrokenArchive> {};

TEST_P(BrokenTypedStream, GivesNothing) {
    EXPECT_EQ(typedStreamString(GetParam().bytes), std::nullopt);
}

const std::string kGood = handWritten("Hello");

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    s.replace(s.find(from), from.size(), to);
    return s;
}

std::string deepChain() {
    std::string out =
        bytes({0x04}) + withLength("streamtyped") + bytes({0x81, 0xE8, 0x03, 0x84}) + withLength("@") + bytes({0x84});
    for (int i = 0; i < 40; ++i) {
        out += bytes({0x84, 0x84}) + withLength("C" + std::to_string(i)) + bytes({0x00});
    }
    return out + bytes({0x85});
}

INSTANTIATE_TEST_SUITE_P(
    Archives, BrokenTypedStream,
    ::testing::Values(BrokenArchive{"Empty", ""}, BrokenArchive{"PlainText", "Hello, this is not an archive"},
                      BrokenArchive{"BinaryPropertyList", "bplist00\xd1\x01\x02"},
                      BrokenArchive{"WrongVersion", replaced(kGood, bytes({0x04, 0x0B}), bytes({0x05, 0x0B}))},
                      BrokenArchive{"WrongSignature", replaced(kGood, "streamtyped", "streamtypex")},
                      BrokenArchive{"CutInTheText", kGood.substr(0, kGood.find("Hello") + 3)},
                      BrokenArchive{"CutInTheHeader", kGood.substr(0, 9)},
                      BrokenArchive{"LengthPastTheEnd", replaced(kGood, withLength("Hello"), bytes({0x7F}) + "Hello")},
                      BrokenArchive{"NegativeLength", replaced(kGood, withLength("Hello"), bytes({0x81, 0xFF, 0xFF}))},
                      BrokenArchive{"ReferenceToNothing", replaced(kGood, bytes({0x01, 0x94}), bytes({0x01, 0xF0}))},
                      BrokenArchive{"NotAString", replaced(kGood, "NSString", "NSNumber")},
                      BrokenArchive{"ClassChainTooDeep", deepChain()}),
    [](const ::testing::TestParamInfo<BrokenArchive>& info) { return std::string(info.param.name); });

// Every prefix of a real archive is either the whole text or nothing: a cut archive never gives
// part of a message as if it were all of it.
TEST(TypedStream, APrefixGivesTheWholeTextOrNothing) {
    const std::string text = "Meet at the station at 6";
    const std::string archive = fixtures::attributedBody(text);
    for (std::size_t n = 0; n < archive.size(); ++n) {
        const auto read = typedStreamString(archive.substr(0, n));
        EXPECT_TRUE(!read || *read == text) << n;
    }
}
