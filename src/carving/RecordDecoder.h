#pragma once

// Exact decoding of SQLite records: the serial types of a record header, checked against the
// columns of the table the record is said to belong to, and the column values of its content.
// One decoder serves the live rows (the schema, the dedup of carved copies) and every carved
// candidate, so a carved row is read exactly as a live one is.

#include "SchemaParser.h"
#include "SqliteFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow::carving {

// Whether a serial type may be stored in a column: NULL anywhere (but the rowid's alias is always
// NULL); numbers in Integer, Real and Numeric columns (SQLite stores an integral real as an
// integer); text in Text columns; anything in Blob columns. The reserved types 10 and 11 nowhere.
constexpr bool typeFits(std::uint64_t t, Affinity affinity, bool rowidAlias) {
    if (rowidAlias) {
        return t == Serial::kNull;
    }
    if (t == Serial::kNull) {
        return true;
    }
    if (Serial::isReserved(t)) {
        return false;
    }
    switch (affinity) {
    case Affinity::Integer:
    case Affinity::Real:
    case Affinity::Numeric:
        return Serial::isInteger(t) || t == Serial::kFloat;
    case Affinity::Text:
        return Serial::isText(t);
    case Affinity::Blob:
        return true;
    }
    return false;
}

struct Value {
    enum class Type : std::uint8_t { Null, Integer, Real, Text, Blob };
    Type type = Type::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes; // a text in UTF-8, or a blob's bytes

    bool operator==(const Value&) const = default;
};

// The value of serial type t whose content (Serial::contentSize(t) bytes) starts at p. A text is
// converted to UTF-8 from the database's encoding.
Value decodeValue(std::uint64_t t, const std::uint8_t* p, TextEncoding encoding);

// The value as its column gives it back: a REAL column stores an integral value as an integer to
// save space, and reads it as a real again.
void applyAffinity(Value& value, Affinity affinity);

// Whether the bytes of a text are valid in the database's encoding (strict UTF-8, or UTF-16 of an
// even length without unpaired surrogates).
bool validText(std::string_view bytes, TextEncoding encoding);

// The serial types of one record, as its header lists them.
struct RecordHeader {
    std::uint32_t headerSize = 0; // bytes of the header, its own size varint included
    std::uint64_t bodySize = 0;   // bytes of the content
    std::vector<std::uint64_t> types;

    std::uint64_t payloadSize() const { return headerSize + bodySize; }
};

// Reads the serial types of columns [firstColumn, columns) of the table from b[at, end), one
// varint each, and checks that each fits its column. Answers the bytes they took, or nothing when
// the bytes end first or a type does not fit. The types are appended to `types` and their content
// sizes added to `bodySize`.
std::optional<std::uint32_t> readColumnTypes(Bytes b, std::size_t at, std::size_t end, const TableShape& table,
                                             std::size_t firstColumn, std::vector<std::uint64_t>& types,
                                             std::uint64_t& bodySize);

// The header of the whole record in `payload` (at least its header bytes) when it fits the table
// exactly: a header size that ends right after the table's last column type. With `allowFewer`,
// a record of fewer columns (one written before ALTER TABLE ADD COLUMN) is accepted too.
std::optional<RecordHeader> readRecordHeader(Bytes payload, const TableShape& table, bool allowFewer);

// Every column of a whole record (header and content, overflow already joined); columns the
// record does not store are NULL. Nothing when the content is shorter than the header says.
std::optional<std::vector<Value>> decodeRecord(Bytes payload, const TableShape& table, TextEncoding encoding,
                                               bool allowFewer = true);

} // namespace quarrow::carving
