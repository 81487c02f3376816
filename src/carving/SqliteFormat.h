#pragma once

// The SQLite 3 file format as the carving engine reads it: the database header, b-tree pages and
// their cells, varints, serial types and the split of a payload between a page and its overflow
// pages. Everything takes bytes already read (a page image) and checks every access against them.
//
// Database header, the first 100 bytes of page 1 (multi-byte values big-endian):
//
//   offset  size  meaning
//   0       16    "SQLite format 3\0"
//   16      2     page size: a power of two from 512 to 32768, or 1 for 65536
//   18      1     write version: 1 rollback journal, 2 write-ahead log
//   20      1     bytes reserved at the end of every page (the usable size is the rest)
//   24      4     file change counter
//   28      4     database size in pages, trusted when offset 92 equals offset 24
//   32      4     first free-list trunk page (0: no free list)
//   36      4     number of free-list pages
//   44      4     schema format: 1 to 4; from 4 on the integers 0 and 1 take serial types 8 and 9
//   52      4     largest root page when auto-vacuum is on, else 0
//   56      4     text encoding: 1 UTF-8, 2 UTF-16le, 3 UTF-16be
//   92      4     the change counter this size was written at
//
// B-tree page header, at offset 0 of every b-tree page (offset 100 on page 1):
//
//   offset  size  meaning
//   0       1     page type: 0x02 index interior, 0x05 table interior, 0x0a index leaf, 0x0d table leaf
//   1       2     first freeblock (0: none); each freeblock starts with 2 bytes "next freeblock" and
//                 2 bytes "size of this block", and the chain runs in ascending order
//   3       2     number of cells
//   5       2     start of the cell content area (0 means 65536)
//   7       1     fragmented free bytes (runs of 1 to 3 bytes that no freeblock holds)
//   8       4     interior pages only: the right-most child page
//
// The cell pointer array (2 bytes per cell, page-relative) follows the header; the unallocated gap
// lies between its end and the content area. Cells:
//
//   table leaf       varint payload size, varint rowid, payload, [4-byte first overflow page]
//   table interior   4-byte left child page, varint rowid
//   index leaf       varint payload size, payload, [4-byte first overflow page]
//   index interior   4-byte left child page, varint payload size, payload, [first overflow page]
//
// A payload is a record: a header (its own size as a varint, then one varint serial type per
// column) and then the column contents in order. An overflow page starts with the 4-byte number of
// the next overflow page (0 on the last) and holds usable size - 4 bytes of payload. A free-list
// trunk page holds the next trunk (4 bytes), a count L (4 bytes) and L leaf page numbers; leaf
// pages are not written when they join the free list, so their old content stays.
//
// Corruption policy, for every function here: nothing is read outside the bytes given, a value
// that would need such bytes makes the answer "nothing", and counts are clamped to what a page can
// hold. No function loops longer than the bytes it is given.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quarrow::carving {

using Bytes = std::span<const std::uint8_t>;

inline constexpr std::size_t kDatabaseHeaderSize = 100;
inline constexpr std::string_view kDatabaseMagic{"SQLite format 3\0", 16};
inline constexpr std::uint32_t kMinPageSize = 512;
inline constexpr std::uint32_t kMaxPageSize = 65536;

// True when n bytes from at lie inside a span of len bytes (written so that nothing overflows).
constexpr bool fits(std::size_t len, std::size_t at, std::size_t n) {
    return n <= len && at <= len - n;
}

constexpr std::uint16_t be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
constexpr std::uint32_t be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
// The value at `at`, or 0 when the bytes are not all there.
inline std::uint16_t be16At(Bytes b, std::size_t at) {
    return fits(b.size(), at, 2) ? be16(b.data() + at) : 0;
}
inline std::uint32_t be32At(Bytes b, std::size_t at) {
    return fits(b.size(), at, 4) ? be32(b.data() + at) : 0;
}

// A varint: 1 to 9 bytes, big-endian, 7 bits per byte with the high bit meaning "more follows";
// the ninth byte gives all its 8 bits.
struct Varint {
    std::uint64_t value = 0;
    std::uint32_t length = 0; // 0: the bytes ended first
};
inline Varint readVarint(Bytes b, std::size_t at) {
    std::uint64_t v = 0;
    for (std::uint32_t i = 0; i < 9; ++i) {
        if (at + i >= b.size()) {
            return {};
        }
        const std::uint8_t c = b[at + i];
        if (i == 8) {
            return {v << 8 | c, 9};
        }
        v = v << 7 | (c & 0x7f);
        if (c < 0x80) {
            return {v, i + 1};
        }
    }
    return {};
}
// How many bytes the varint of v takes.
constexpr std::uint32_t varintLength(std::uint64_t v) {
    if (v >> 56 != 0) {
        return 9;
    }
    std::uint32_t n = 1;
    while ((v >>= 7) != 0) {
        ++n;
    }
    return n;
}

// Serial types: 0 NULL; 1 to 6 big-endian signed integers of 1, 2, 3, 4, 6 and 8 bytes; 7 an IEEE
// 754 double; 8 and 9 the integers 0 and 1 without content; 10 and 11 reserved; even N >= 12 a
// blob of (N - 12) / 2 bytes; odd N >= 13 a text of (N - 13) / 2 bytes.
namespace Serial {
inline constexpr std::uint64_t kNull = 0;
inline constexpr std::uint64_t kFloat = 7;
inline constexpr std::uint64_t kZero = 8;
inline constexpr std::uint64_t kOne = 9;
constexpr bool isInteger(std::uint64_t t) {
    return (t >= 1 && t <= 6) || t == kZero || t == kOne;
}
constexpr bool isText(std::uint64_t t) {
    return t >= 13 && t % 2 == 1;
}
constexpr bool isBlob(std::uint64_t t) {
    return t >= 12 && t % 2 == 0;
}
constexpr bool isReserved(std::uint64_t t) {
    return t == 10 || t == 11;
}
constexpr std::uint64_t contentSize(std::uint64_t t) {
    constexpr std::uint8_t fixed[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
    return t < 12 ? fixed[t] : (t - 12) / 2;
}
} // namespace Serial

// The big-endian two's-complement integer of n (1 to 8) bytes.
std::int64_t signedBigEndian(const std::uint8_t* p, std::uint32_t n);

enum class TextEncoding : std::uint8_t { Utf8 = 1, Utf16le = 2, Utf16be = 3 };

struct DatabaseHeader {
    std::uint32_t pageSize = 0;
    std::uint8_t writeVersion = 0;
    std::uint8_t reservedBytes = 0;
    std::uint32_t pageCount = 0; // 0 when the header's count is not to be trusted
    std::uint32_t firstTrunk = 0;
    std::uint32_t freePages = 0;
    std::uint32_t schemaFormat = 0;
    std::uint32_t autoVacuumRoot = 0;
    TextEncoding encoding = TextEncoding::Utf8;

    std::uint32_t usableSize() const { return pageSize - reservedBytes; }
};
// The header of the first bytes of a database file, or nothing when they do not start with the
// magic or give no valid page size. A reserved size that leaves less than 480 usable bytes, or an
// unknown encoding, counts as invalid too.
std::optional<DatabaseHeader> parseDatabaseHeader(Bytes first);
// The page size of the 2 bytes at file offset 16, or 0 when they give none.
std::uint32_t pageSizeFromField(std::uint16_t field);

namespace PageType {
inline constexpr std::uint8_t kIndexInterior = 0x02;
inline constexpr std::uint8_t kTableInterior = 0x05;
inline constexpr std::uint8_t kIndexLeaf = 0x0a;
inline constexpr std::uint8_t kTableLeaf = 0x0d;
constexpr bool isBtree(std::uint8_t t) {
    return t == kIndexInterior || t == kTableInterior || t == kIndexLeaf || t == kTableLeaf;
}
} // namespace PageType

struct BtreePageHeader {
    std::uint8_t type = 0;
    std::uint32_t headerOffset = 0; // 100 on page 1
    std::uint32_t firstFreeblock = 0;
    std::uint32_t cellCount = 0;
    std::uint32_t contentStart = 0; // 65536 for a stored 0
    std::uint32_t rightChild = 0;

    bool leaf() const { return type == PageType::kTableLeaf || type == PageType::kIndexLeaf; }
    bool table() const { return type == PageType::kTableLeaf || type == PageType::kTableInterior; }
    std::uint32_t headerSize() const { return leaf() ? 8 : 12; }
    std::uint32_t pointerArrayStart() const { return headerOffset + headerSize(); }
    std::uint32_t pointerArrayEnd() const { return pointerArrayStart() + 2 * cellCount; }
};
// The b-tree header of a page image, or nothing when the type byte is no b-tree type or the cell
// pointer array does not fit the usable bytes.
std::optional<BtreePageHeader> parseBtreePageHeader(Bytes page, std::uint32_t headerOffset, std::uint32_t usable);

// How many bytes of a payload of `payload` bytes stay on a table leaf page (index pages split
// earlier); the rest goes to overflow pages of usable - 4 bytes each.
std::uint64_t localPayloadSize(std::uint64_t payload, std::uint32_t usable, bool tableLeaf);
// Overflow pages a payload needs.
std::uint64_t overflowPageCount(std::uint64_t payload, std::uint32_t usable, bool tableLeaf);

struct Cell {
    std::uint32_t start = 0;
    std::uint32_t end = 0; // one past the cell's last byte on the page
    std::uint32_t leftChild = 0;
    bool hasRowid = false;
    std::int64_t rowid = 0;
    bool hasPayload = false;
    std::uint64_t payloadSize = 0;
    std::uint32_t payloadStart = 0;
    std::uint32_t localSize = 0;
    std::uint32_t firstOverflow = 0; // 0: the payload is whole on the page
};
// The cell that starts at `at` on a b-tree page of the given type, or nothing when it does not fit
// the usable bytes.
std::optional<Cell> parseCell(Bytes page, std::uint32_t at, std::uint8_t pageType, std::uint32_t usable);

} // namespace quarrow::carving
