#pragma once

// A plain seek-and-read implementation of the carver primitives: every call seeks a stdio stream
// opened with "rb" and reads the few bytes it needs, bytes go through hex text and are converted
// back digit by digit, as the primitives are defined. Slow and simple, it is the reference that the
// memory-served primitives are compared with.

#include <cstdint>
#include <cstdio>
#include <string>

namespace quarrow::test::ref {

inline constexpr std::int32_t kFarAway = 0x7fffffff;

// Hex text of n bytes at offset (zeros past the end), or "" when nothing is read (offset <= 0,
// n <= 0).
std::string hexAt(std::FILE* f, std::int64_t offset, std::int64_t n);
std::int32_t demaNumber(const std::string& text, std::int32_t n);
std::int32_t getAlterInteger(std::uint8_t a, std::uint8_t b); // by its base-2 digit strings
std::int32_t getFieldDataLengthBy(std::int32_t t);
std::int32_t getPageType(std::FILE* f, std::int64_t offset);
std::int32_t checkSQliteVersion(std::FILE* f, std::int64_t offset);

struct Field {
    bool read = false;
    std::int32_t dataoff = 0;
    std::string bytes; // the output buffer after the call
};
// The one-byte and two-byte slot readers, into an output buffer of bufferSize zeroed bytes.
Field oneByte(std::FILE* f, std::int32_t k, std::int32_t dataoff, std::int64_t offset, std::int64_t head,
              std::int64_t length, std::size_t bufferSize);
Field twoByte(std::FILE* f, std::int32_t k, std::int32_t dataoff, std::int64_t offset, std::int64_t head,
              std::int64_t length, std::size_t bufferSize);

std::int32_t getDeletedMark(std::FILE* f, std::int64_t offset, std::int64_t n, std::int32_t type);
std::int32_t GetFildLength(std::FILE* f, std::int64_t offset);
std::int32_t accquireField(std::FILE* f, std::int64_t offset);
std::int32_t accquireFieldLength(std::FILE* f, std::int64_t offset);
std::int32_t oneByteTest(std::FILE* f, std::int64_t offset, int which); // bNoteAlter ... AddressIsAlterbleDBFile
std::int32_t CheckNoteBodyMark(std::FILE* f, std::int64_t offset);
std::int32_t bIsAlterbleDBFileType(std::FILE* f, std::int64_t offset, std::int32_t type);
std::int32_t bIsAlterbleDBFileVersion(std::FILE* f, std::int64_t offset, std::int32_t version);
std::int32_t checkTitleAlterable(std::FILE* f, std::int64_t offset, std::int32_t postion);
std::int32_t CheckAlterSummary(std::FILE* f, std::int64_t offset, std::int32_t version);
std::int32_t bSortAlter(std::FILE* f, std::int64_t offset);

} // namespace quarrow::test::ref
