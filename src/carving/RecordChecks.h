#pragma once

// Recognition checks of the carvers: decide from a few bytes whether a table's rows live on a page,
// whether a record header of that table starts at an offset, how wide a serial-type slot is and
// where a record's content begins. They know no more of SQLite than the byte patterns a table's
// rows leave: the serial types of its leading columns, its first content bytes, a few magic values.
//
// Three families:
// 1. Pattern tests on hex text (two lowercase digits per byte). A window slides one digit at a
//    time, so a pattern may be found starting in the middle of a byte.
// 2. One-byte tests at an offset.
// 3. Marker searches: the distance from an offset to the first byte with a given value, forward or
//    backward (0 when the byte at the offset holds it). They stop at the ends of the file, and after
//    `limit` positions when the caller gives one, answering kFarAway (larger than any distance a
//    carver treats specially).

#include "DbFileReader.h"
#include "RecordDecoding.h"

#include <cstdint>

namespace quarrow {

// Selects the record type of bIsAlterbleDBFile by what its third argument names.
struct AlterType {
    std::int32_t type;
};
struct AlterVersion {
    std::int32_t version;
};

// 1 when text begins with one of the patterns of the record kind (1 to 6), -1 otherwise, 0 for a
// null text.
std::int32_t bCheckDataIsValid(const char* text, std::int32_t type);
// 1 when a window of `longth` digits starting at digit 0 ... L - longth - 1 passes bCheckDataIsValid
// (L the text's length; the last possible window is not tried), else 0.
std::int32_t bcheckSubStringIsValid(const char* text, std::int32_t type, std::int32_t longth);
// The same window loop with the fixed pattern 010155 (chats of iOS 6 message databases).
std::int32_t bcheckChatIOS6SubStringIsValid(const char* text, std::int32_t longth);
// The same window loop with the fixed pattern 0800010000 (messages of iOS 6 databases).
std::int32_t bcheckMessageIOS6SubStringIsValid(const char* text, std::int32_t longth);

// The notes carver's page test without the hex text: what bcheckSubStringIsValid(hex text of the n
// bytes at offset, 6, n) answers, that is 1 when 010101 starts at one of the digits 0 to n - 1 of
// that text (so also half a byte off the byte boundaries), else 0; 0 for an offset of 0 or below.
std::int32_t holdsNoteMark(DbFileReader& file, std::int64_t offset, std::int32_t n);

// One-byte tests on the byte at offset.
std::int32_t bNoteAlter(DbFileReader& file, std::int64_t offset);                 // 0x80 to 0x89
std::int32_t bImageURLAlter(DbFileReader& file, std::int64_t offset);             // not 0x09
std::int32_t IsAlterAboutContent(DbFileReader& file, std::int64_t offset);        // not 0x04
std::int32_t ISAlterMessageContentFiled(DbFileReader& file, std::int64_t offset); // not 0x55
std::int32_t ISAlterPropertFiled(DbFileReader& file, std::int64_t offset);        // 121 to 136
std::int32_t CheckTitlePostion(DbFileReader& file, std::int64_t offset);          // 19 for 0x00, else 15
std::int32_t AddressIsAlterbleDBFile(DbFileReader& file, std::int64_t offset);    // always 0

// 1 when the byte at o + 3 is 0x10 or more and the byte at o + 4 or the one at o + 5 is 0x00: a
// note body record whose fourth slot holds a text serial type of one byte or of two.
std::int32_t CheckNoteBodyMark(DbFileReader& file, std::int64_t offset);

// type 2: 1 when the byte at offset is 14 or more; type 6: distance to the next 0x00; other: 0.
std::int32_t bIsAlterbleDBFile(DbFileReader& file, std::int64_t offset, AlterType type, std::int64_t limit = kNoLimit);
// version 0: distance to the next 0x00; version 1: distance to the next 0x03; other: 0.
std::int32_t bIsAlterbleDBFile(DbFileReader& file, std::int64_t offset, AlterVersion version,
                               std::int64_t limit = kNoLimit);
// postion 15: distance to the next 0x00; postion 19: 1 when the byte at offset is not 0x03 and the
// one after is not 0x01, else 0; other: 0.
std::int32_t checkTitleAlterable(DbFileReader& file, std::int64_t offset, std::int32_t postion,
                                 std::int64_t limit = kNoLimit);
// version 0: distance to the next 0x03; other: 0 without reading.
std::int32_t CheckAlterSummary(DbFileReader& file, std::int64_t offset, std::int32_t version,
                               std::int64_t limit = kNoLimit);
// Distance back to the nearest 0x00 at or before offset, never looking at offset 0 or below.
std::int32_t bSortAlter(DbFileReader& file, std::int64_t offset, std::int64_t limit = kNoLimit);

} // namespace quarrow
