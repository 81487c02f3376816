// A note store's ZDATA: gzip around a protocol-buffer document. Decoding must give the text as
// stored, and give nothing (never garbage) for anything else.

#include "records/NoteDocument.h"

#include "NoteStore.h"

#include <gtest/gtest.h>

using namespace quarrow;

namespace {

// The document spelled out byte by byte, independent of any protocol-buffer library: field 2
// (document) holds field 3 (note) whose field 2 is the text. If the fields we read ever moved,
// this is what would fail.
std::string handEncoded(const std::string& text) {
    const auto lengthDelimited = [](int field, const std::string& payload) {
        std::string out(1, static_cast<char>(field << 3 | 2));
        out += static_cast<char>(payload.size()); // every payload here is under 128 bytes
        return out + payload;
    };
    const std::string version = std::string("\x10\x00", 2); // document field 2: version 0
    return lengthDelimited(2, version + lengthDelimited(3, lengthDelimited(2, text)));
}

std::string withByteFlipped(std::string bytes, std::size_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x40);
    return bytes;
}

} // namespace

TEST(NoteDocument, GivesTheTextExactlyAsStored) {
    const std::string text = "Einkauf\nMilch, Brot 🥖\n\t  und Kaffee  \n";
    const DecodedNoteData decoded = decodeNoteData(fixtures::gzipBytes(handEncoded(text)));
    ASSERT_EQ(decoded.status, NoteDataStatus::Ok) << noteDataProblem(decoded);
    EXPECT_EQ(decoded.document.text, text);
    EXPECT_TRUE(decoded.document.attachmentIdentifiers.empty());
}

TEST(NoteDocument, NamesTheAttachmentsInTextOrderAndSkipsFieldsItDoesNotRead) {
    const std::vector<fixtures::NoteStoreAttachment> attachments = {{"A1-PHOTO", "public.jpeg", "IMG_0042.jpeg", ""},
                                                                    {"B2-SCAN", "com.adobe.pdf", "Lease.pdf", ""}};
    const std::string text = "Flat\n\xEF\xBF\xBC and \xEF\xBF\xBC\n";
    std::string document = fixtures::noteStoreDocument(text, attachments);
    // Fields the real documents carry and the reader does not declare: a varint (field 9) and a
    // nested message (field 13) at the top level.
    document += std::string("\x48\x05\x6a\x04\x08\x01\x10\x02", 8);
    const DecodedNoteData decoded = decodeNoteData(fixtures::gzipBytes(document));
    ASSERT_EQ(decoded.status, NoteDataStatus::Ok) << noteDataProblem(decoded);
    EXPECT_EQ(decoded.document.text, text);
    EXPECT_EQ(decoded.document.attachmentIdentifiers, (std::vector<std::string>{"A1-PHOTO", "B2-SCAN"}));
}

struct BrokenBlob {
    const char* name;
    std::string bytes;
    NoteDataStatus status;
    GunzipError gzipError;
};

class BrokenNoteData : public ::testing::TestWithParam<BrokenBlob> {};

TEST_P(BrokenNoteData, GivesAReasonAndNoText) {
    const DecodedNoteData decoded = decodeNoteData(GetParam().bytes);
    EXPECT_EQ(decoded.status, GetParam().status);
    if (decoded.status == NoteDataStatus::NoGzip) {
        EXPECT_EQ(decoded.gzipError, GetParam().gzipError) << noteDataProblem(decoded);
    }
    EXPECT_TRUE(decoded.document.text.empty());
}

const std::string kGood = fixtures::noteStoreData("Packing list\nPassport\nCharger");
// The stream's last eight bytes are its CRC-32 and its length.
const std::size_t kCrcAt = kGood.size() - 8;
// A stream of zeros that inflates to 65 MiB: larger than any note.
const std::string kBomb = fixtures::gzipBytes(std::string((std::size_t{65} << 20), '\0'));

INSTANTIATE_TEST_SUITE_P(
    Blobs, BrokenNoteData,
    ::testing::Values(
        BrokenBlob{"Empty", "", NoteDataStatus::NoGzip, GunzipError::NotGzip},
        BrokenBlob{"Ciphertext", std::string("\x9c\x41\x07\xee\x10\x3b\x88\x01", 8), NoteDataStatus::NoGzip,
                   GunzipError::NotGzip},
        BrokenBlob{"PlainDocument", handEncoded("not compressed"), NoteDataStatus::NoGzip, GunzipError::NotGzip},
        BrokenBlob{"Truncated", kGood.substr(0, kGood.size() / 2), NoteDataStatus::NoGzip, GunzipError::Damaged},
        BrokenBlob{"HeaderOnly", kGood.substr(0, 10), NoteDataStatus::NoGzip, GunzipError::Damaged},
        BrokenBlob{"WrongCrc", withByteFlipped(kGood, kCrcAt), NoteDataStatus::NoGzip, GunzipError::Checksum},
        BrokenBlob{"WrongLength", withByteFlipped(kGood, kGood.size() - 1), NoteDataStatus::NoGzip,
                   GunzipError::Checksum},
        BrokenBlob{"Bomb", kBomb, NoteDataStatus::NoGzip, GunzipError::TooLarge},
        BrokenBlob{"NotADocument", fixtures::gzipBytes("\xff\xff\xff\xff"), NoteDataStatus::NotADocument,
                   GunzipError::NotGzip},
        BrokenBlob{"NoNote", fixtures::gzipBytes(std::string("\x12\x02\x10\x00", 4)), NoteDataStatus::NotADocument,
                   GunzipError::NotGzip}),
    [](const ::testing::TestParamInfo<BrokenBlob>& info) { return std::string(info.param.name); });

TEST(Gunzip, TheLimitIsExactAndTrailingBytesAreIgnored) {
    const std::string data(5000, 'n');
    const std::string stream = fixtures::gzipBytes(data);
    EXPECT_EQ(gunzip(stream, data.size()).data, data);
    EXPECT_EQ(gunzip(stream, data.size() - 1).error, GunzipError::TooLarge);
    EXPECT_EQ(gunzip(stream + "trailing", data.size()).data, data);
}
