#pragma once

// The carving engine: rebuilds the rows of chosen tables that a database no longer holds, from
// every place their bytes can survive, and only rows whose bytes decode exactly.
//
// Where it looks, and how each place is named in recoveredFrom:
//   "freeblock"      a freeblock (or fragment) between the live cells of a b-tree page
//   "unallocated"    the gap between a leaf page's cell pointers and its cell content
//   "interior page"  the free space of an interior page: a root that split keeps its old cells there
//   "free page"      a page the database no longer uses: free-list trunk and leaf pages, pages no
//                    b-tree or free list reaches, pages past the database's end, and the main
//                    file's older image of a page that the write-ahead log has replaced
//   "wal frame"      any frame of the write-ahead log: the free space of current frames, and all of
//                    older frames, superseded versions and uncommitted transactions included
//   "journal"        the page images of a rollback journal
//
// A page image that is still a b-tree page gives its cells from its cell pointer array; the
// cells live in the current image of a page are skipped by their position, not by their content.
// Everything else is free space, searched at every byte for a record of one of the schema's
// tables: its header intact, or (a deleted cell's first four bytes are a freeblock header) with
// the payload size, rowid, header size and sometimes the rowid alias's NULL type overwritten,
// which the table's column count lets us restore.
//
// No invented rows: a candidate becomes a row only if its header decodes, every serial type fits
// its column's affinity, its content fits the bytes it lies in (no live cell and no later record
// written over it), its texts are valid in the database's encoding, and the table's request
// accepts it. Overflow chains are followed only through pages that are free now, claimed by no
// other carved row; otherwise the row is kept as it lies on the page and marked cut. A row equal
// to a live row (same rowid where the bytes still tell it, same content) is a copy, not a deleted
// row, and is dropped; identical rows found in several places are reported once.

#include "DatabaseFile.h"
#include "RecordDecoder.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow::carving {

enum class RecoveredFrom : std::uint8_t { Freeblock, Unallocated, InteriorPage, FreePage, WalFrame, Journal };
std::string_view recoveredFromText(RecoveredFrom from);

struct TableRequest {
    std::string table; // a rowid table of the schema, by name (case does not matter)
    // Checks a complete candidate beyond its shape (an entity number, say); absent accepts all.
    std::function<bool(const std::vector<Value>& values)> accept;
};

struct CarvedRow {
    std::size_t request = 0; // index of the request the row answers
    std::optional<std::int64_t> rowid;
    // One value per column of the table. The rowid's alias holds the rowid when it is known. In a
    // cut row, the values from column cutColumn on are what the page still holds: the cut column
    // itself only its first bytes, the ones after it NULL.
    std::vector<Value> values;
    RecoveredFrom from = RecoveredFrom::Freeblock;
    bool cut = false;
    std::size_t cutColumn = 0;
    std::uint32_t page = 0;       // page number of the image it was found in
    std::uint64_t fileOffset = 0; // offset of its first byte in that file
};

struct CarveResult {
    std::vector<CarvedRow> rows; // in the order found: main file, then log frames, then journal
    std::size_t copiesOfLiveRows = 0;
};

// Carves deleted rows of the requested tables (unknown tables are ignored).
CarveResult carveDeletedRows(const DatabaseFile& database, const std::vector<TableRequest>& requests);

} // namespace quarrow::carving
