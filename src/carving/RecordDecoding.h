#pragma once

// Reading primitives shared by the deleted-record carvers: bytes as hex text or raw, numbers from
// hex text and big-endian bytes, serial types, page types, and the four field readers that step
// through one record.
//
// What is read of the SQLite file format (multi-byte values big-endian):
//
//   file offset 16, 2 bytes   page size (1 means 65536)
//   file offset 18, 1 byte    write version: 1 legacy journal, 2 write-ahead log
//   page offset 0, 1 byte     page type: 0x0d table leaf, 0x05 table interior,
//                             0x0a index leaf, 0x02 index interior
//   page offset 8, 2 bytes    on a leaf page, the page-relative offset of its first cell
//
// A record is a header (its length, then one varint serial type per column) and then the column
// contents in column order. The field readers find a column from three numbers the carver gives:
// `offset`, from which header slot k lies at offset + k; `length`, the distance from offset to the
// first content byte; and `dataoff`, the content bytes already read for this record (the caller
// sets it to 0 per record and every successful read adds the size it read).
//
// Corruption policy, for every primitive: nothing is ever read outside the file (bytes there are
// zeros), a read at an offset of 0 or below reads nothing (the spot where a real record can never
// start: it is the file header), and nothing is ever written past the end of a caller's buffer: a
// field that does not fit is cut to the buffer.

#include "DbFileReader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quarrow {

// Serial types, as stored in record headers.
namespace SerialType {
inline constexpr std::int32_t kNull = 0;
inline constexpr std::int32_t kFloat64 = 7;
inline constexpr std::int32_t kLastFixed = 13; // 8 to 13: no content (0, 1, reserved)
// The largest type a two-byte varint slot may give that the carvers accept: content of 2041 bytes.
inline constexpr std::int32_t kLargestTwoByte = 4095;
} // namespace SerialType

namespace PageType {
inline constexpr std::uint8_t kTableLeaf = 0x0d;
inline constexpr std::uint8_t kTableInterior = 0x05;
inline constexpr std::uint8_t kIndexLeaf = 0x0a;
inline constexpr std::uint8_t kIndexInterior = 0x02;
} // namespace PageType

// Size of the text field an integer column is written into by the one-byte field readers.
inline constexpr std::size_t kIntegerFieldSize = 260;

// Hex text of `longth` bytes at offset: two lowercase digits per byte, then a terminating 0. Bytes
// past the end of the file give 00. Answers the buffer, or nullptr (buffer untouched) when the
// offset is 0 or below or longth is 0 or below. A buffer shorter than 2 * longth + 1 gets as many
// whole bytes as fit, still terminated.
char* getHexString(DbFileReader& file, std::int64_t offset, std::int64_t longth, std::span<char> theChar);

// `longth` raw bytes at offset into the buffer (zeros past the end of the file). nullptr (buffer
// untouched) for an offset of 0 or below, a longth of 0 or below or an empty buffer; a short buffer
// gets the bytes that fit.
std::uint8_t* readData(DbFileReader& file, std::span<std::uint8_t> buffer, std::int64_t offset, std::int64_t longth);

// The first `longth` characters of text read as lowercase hex digits (any other character counts
// 0). 0 for a null text or one shorter than longth. Wraps like a 32-bit number past 8 digits.
std::int32_t DemaNumberFormHexChar(const char* text, std::int32_t longth);

// Big-endian value of `size` bytes from point[start]; 0 for a size below 1. Bytes beyond the span
// count as zeros; only the low 64 bits are kept.
std::uint64_t readBigEndian(std::span<const std::uint8_t> point, std::size_t start, std::int32_t size);

// The value as text in base 2 to 36 (digits then lowercase letters); base 10 writes a negative
// value with a minus sign, other bases take it unsigned. Nothing for a base outside 2 to 36.
std::optional<std::string> integerToText(std::int32_t value, std::int32_t base);

// The serial type of a two-byte varint slot (first, num) as the carvers decode it: (a - 0x80) * 128
// + b for a true two-byte varint; a first byte of 0xc0 or more keeps its leading bit and so gives a
// value above 4095, which every caller refuses.
std::int32_t getAlterInteger(std::uint8_t first, std::uint8_t num);

// Content size of a serial type (0 for a negative one).
constexpr std::int32_t getFieldDataLengthBy(std::int32_t serialType) {
    if (serialType < 0) {
        return 0;
    }
    if (serialType <= 4) {
        return serialType;
    }
    if (serialType == 5) {
        return 6;
    }
    if (serialType == 6 || serialType == 7) {
        return 8;
    }
    if (serialType <= SerialType::kLastFixed) {
        return 0;
    }
    return serialType % 2 == 0 ? (serialType - 12) / 2 : (serialType - 13) / 2;
}

// Serial types whose one-byte slot gives no field: NULL, the constants 0 and 1, the reserved types.
constexpr bool hasNoOneByteField(std::int32_t t) {
    return t <= SerialType::kLastFixed && !(t >= 1 && t <= SerialType::kFloat64);
}

// The value whose decimal text a one-byte reader writes for an integer or float content (serial
// types 1 to 7) of getFieldDataLengthBy(serialType) big-endian bytes: the low 32 bits as a signed
// number, or a float's value cut toward zero (0 for NaN, clamped to 64 bits).
std::int64_t integerFieldValue(std::int32_t serialType, const std::uint8_t* bytes);

// 1 table leaf, 2 table interior, 3 index interior, 4 index leaf, -1 otherwise (and at offset 0).
std::int32_t getPageType(DbFileReader& file, std::int64_t offset);

// 1 when the byte at offset is 0x02 (write-ahead log), else 0.
std::int32_t checkSQliteVersion(DbFileReader& file, std::int64_t offset);

// One-byte slot reader: serial type at offset + postion, content at offset + length + *dataoff.
// Integers (types 1 to 6) are written as the decimal text of their low 32 bits taken as a signed
// number; an 8-byte float (type 7) as the decimal text of its value cut toward zero; both into a
// zeroed field of kIntegerFieldSize bytes copied to the start of data. Text and blobs are copied raw
// (no terminator; the caller zeroes data). Answers data and adds the content size to *dataoff, or
// nullptr leaving both untouched for types 0 and 8 to 13 (or a null dataoff).
std::uint8_t* AnalyseDBDataFile(DbFileReader& file, std::int32_t postion, std::int32_t* dataoff, std::int64_t offset,
                                std::int64_t length, std::span<std::uint8_t> data);
// As AnalyseDBDataFile with head added to both the slot and the content position.
std::uint8_t* AnalyseTheDBDataFile(DbFileReader& file, std::int32_t postion, std::int32_t* dataoff, std::int64_t offset,
                                   std::int64_t head, std::int64_t length, std::span<std::uint8_t> data);

// Two-byte slot reader: serial type from the bytes at offset + postion and the one after
// (getAlterInteger), content copied raw whatever the type. nullptr, nothing changed, for a type
// above 4095.
std::uint8_t* AnalyseAlterbleDB(DbFileReader& file, std::int32_t postion, std::int32_t* dataOff, std::int64_t offset,
                                std::int64_t length, std::span<std::uint8_t> Data);
// As AnalyseAlterbleDB with Head added to both the slot and the content position.
std::uint8_t* AnalyseAlterbleDBFile(DbFileReader& file, std::int32_t postion, std::int32_t* dataoff,
                                    std::int64_t offset, std::int64_t Head, std::int64_t length,
                                    std::span<std::uint8_t> data);

// What a one-byte (twoByte false) or two-byte field reader does to dataoff, without reading the
// content: for a column whose value is not wanted. Answers 1 when the reader would have read.
inline std::int32_t skipField(DbFileReader& file, bool twoByte, std::int32_t postion, std::int32_t* dataoff,
                              std::int64_t offset) {
    if (!dataoff) {
        return 0;
    }
    const std::int64_t slot = offset + postion;
    // A slot at offset 0 or below reads nothing, that is serial type 0.
    const auto byteAt = [&file](std::int64_t at) -> std::int32_t { return at <= 0 ? 0 : file.byteAt(at); };
    std::int32_t t = 0;
    if (twoByte) {
        t = getAlterInteger(static_cast<std::uint8_t>(byteAt(slot)), static_cast<std::uint8_t>(byteAt(slot + 1)));
        if (t > SerialType::kLargestTwoByte) {
            return 0;
        }
    } else {
        t = byteAt(slot);
        if (hasNoOneByteField(t)) {
            return 0;
        }
    }
    *dataoff += getFieldDataLengthBy(t);
    return 1;
}

// 1 when the first two of `longth` bytes at offset are one of the deleted-row marks of the record
// type (see the table in the source), else 0.
std::int32_t getDeletedMark(DbFileReader& file, std::int64_t offset, std::int64_t longth, std::int32_t type);

// Marker searches stop after examining `limit` positions past the first; a search that stops, or
// that reaches an end of the file, answers kFarAway where it answers a distance.
inline constexpr std::int32_t kFarAway = 0x7fffffff;
inline constexpr std::int64_t kNoLimit = INT64_MAX;

// From the first 0x00 at or after offset, the byte before it: 2 for 34 to 36, 1 for 18 to 20,
// else 0 (also when the search stops at its limit).
std::int32_t GetFildLength(DbFileReader& file, std::int64_t offset, std::int64_t limit = kNoLimit);
// 1 when the byte at offset is 0x11, else 0.
std::int32_t accquireField(DbFileReader& file, std::int64_t offset);
// From the nearest 0x00 at or before offset (never looking at offset 0 or below), the byte before
// it: 7 for 7 or 8, v - 1 for 9 to 11, else 0 (also when no 0x00 is met).
std::int32_t accquireFieldLength(DbFileReader& file, std::int64_t offset, std::int64_t limit = kNoLimit);

// Shared by the searches: distance from offset to the first byte equal to marker, forward, within
// the file and within limit; kFarAway when not met. Zeros past the end of the file count, so a
// search for 0x00 that reaches the end answers the distance to it.
std::int32_t forwardDistance(DbFileReader& file, std::int64_t offset, std::uint8_t marker, std::int64_t limit);
// Backward: positions offset, offset - 1, ... down to 1; kFarAway when not met.
std::int32_t backwardDistance(DbFileReader& file, std::int64_t offset, std::uint8_t marker, std::int64_t limit);

} // namespace quarrow
