#pragma once

// A SQLite database as it stands on disk, read in place and read-only: the main file, and the
// write-ahead log beside it when there is one. It answers the current image of every page (the
// log's latest committed frame, else the main file's page), the schema as sqlite_master records
// it, and the live rows of a table, all through our own reader: no SQLite library call, no
// private copy, no mapping (a file that shrinks under a mapping kills the process; under pread it
// reads as zeros, which the log reports).

#include "DbFileReader.h"
#include "RecordDecoder.h"
#include "SchemaParser.h"
#include "SqliteFormat.h"
#include "WalFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow::carving {

struct DatabaseFiles {
    const DbFileReader* db = nullptr;      // required
    const DbFileReader* wal = nullptr;     // "<db>-wal", when it exists
    const DbFileReader* journal = nullptr; // "<db>-journal", when it exists
};

class DatabaseFile {
public:
    // Reads the header (from the current page 1), the log's frame index and the schema. Nothing,
    // and a log line naming `where`, when the main file is no SQLite database.
    static std::unique_ptr<DatabaseFile> open(DatabaseFiles files, std::string where);

    const DatabaseFiles& files() const { return files_; }
    const std::string& where() const { return where_; }
    const DatabaseHeader& header() const { return header_; }
    std::uint32_t pageSize() const { return header_.pageSize; }
    std::uint32_t usableSize() const { return header_.usableSize(); }
    TextEncoding encoding() const { return header_.encoding; }
    // Pages of the current state of the database.
    std::uint32_t pageCount() const { return pageCount_; }
    // Whole pages the main file holds (more than pageCount when the log shrank the database).
    std::uint32_t filePageCount() const { return filePages_; }
    const WalFile* wal() const { return wal_ ? &*wal_ : nullptr; }

    // The rowid tables of the schema (WITHOUT ROWID tables have no rows of this kind), each with
    // its root page. sqlite_master itself is not among them.
    const std::vector<TableShape>& tables() const { return tables_; }
    const TableShape* table(std::string_view name) const;
    // Root pages of every b-tree: sqlite_master, the tables, the indexes.
    const std::vector<std::uint32_t>& roots() const { return roots_; }

    // The current image of a page (pageSize bytes); false, and zeros, for a page outside the
    // database.
    bool readPage(std::uint32_t page, std::vector<std::uint8_t>& out) const;
    // The b-tree header offset of a page: 100 on page 1, else 0.
    static std::uint32_t headerOffsetOf(std::uint32_t page) { return page == 1 ? kDatabaseHeaderSize : 0; }

    // The whole payload of a cell on a page image: its local bytes and its overflow chain (current
    // images). Nothing when the chain is broken, loops or leaves the database.
    std::optional<std::vector<std::uint8_t>> payloadOf(Bytes page, const Cell& cell) const;

    // Every live row of a table in rowid order, decoded; f answers false to stop.
    void forEachLiveRow(const TableShape& table,
                        const std::function<bool(std::int64_t rowid, std::vector<Value>& values)>& f) const;
    // The live row with the rowid, found by descending the table's b-tree.
    std::optional<std::vector<Value>> liveRow(const TableShape& table, std::int64_t rowid) const;

    // Reports once that a file came back shorter than it was when opened.
    void noteShortRead() const;

private:
    DatabaseFile() = default;
    // Calls f for every cell of every leaf of the b-tree at root, in key order.
    void walkLeaves(std::uint32_t root, const std::function<bool(Bytes page, const Cell& cell)>& f) const;
    void readSchema();

    DatabaseFiles files_;
    std::string where_;
    DatabaseHeader header_;
    std::uint32_t pageCount_ = 0;
    std::uint32_t filePages_ = 0;
    std::optional<WalFile> wal_;
    std::vector<TableShape> tables_;
    std::vector<std::uint32_t> roots_;
    mutable bool shortReadLogged_ = false;
};

// A database on disk with the files beside it, each read in place.
struct DatabaseOnDisk {
    std::unique_ptr<DbFileReader> db, wal, journal;
    std::unique_ptr<DatabaseFile> file;
};
// Opens the database at path, with "<path>-wal" and "<path>-journal" when they are regular files,
// read-only and without blocking. Nothing (and a log line naming `where`) when the main file is no
// regular file or no database.
std::unique_ptr<DatabaseOnDisk> openDatabaseInPlace(const std::string& path, const std::string& where);
// The same with the log and journal where they lie: a backup of today's layout keeps a database's
// -wal and -journal as files of their own names. An empty path means there is none.
std::unique_ptr<DatabaseOnDisk> openDatabaseInPlace(const std::string& path, const std::string& walPath,
                                                    const std::string& journalPath, const std::string& where);

} // namespace quarrow::carving
