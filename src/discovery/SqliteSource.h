#pragma once

#include "BackupFiles.h"

#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace quarrow {

class WorkFolder;
struct DatabaseFiles; // a database and its logs, as the source reads them

struct SqliteClose {
    void operator()(sqlite3* db) const;
};
// An open database connection, closed when the handle goes.
using SqliteHandle = std::unique_ptr<sqlite3, SqliteClose>;

// The one way a scanner reaches a database of the backup. The backup is evidence and is never
// written, and a hostile backup must not stall or crash a scan:
// - the file is opened without blocking (O_NONBLOCK) and must be a regular file: a FIFO, a device
//   or a folder under a database's name is logged and skipped;
// - a database with nothing to fold in (rollback journal mode, no write-ahead log beside it, no hot
//   journal) is read where it lies, read-only and immutable, without memory mapping, so that a file
//   shrinking under the scan cannot fault it;
// - otherwise a private copy of the file and its logs is made in the scan's work folder, once per
//   scan, and the logs are folded into the copy (commitDB) before it is read;
// - failures are logged with the file's path and the reason, never with its contents.
class SqliteSource {
public:
    explicit SqliteSource(WorkFolder& workFolder);
    ~SqliteSource();
    SqliteSource(const SqliteSource&) = delete;
    SqliteSource& operator=(const SqliteSource&) = delete;

    // The database at a path, open for reading, or nothing (logged). A located file brings the logs
    // the backup holds for it; a bare path has them beside it ("<path>-wal", "<path>-journal").
    SqliteHandle open(const std::string& backupPath);
    SqliteHandle open(const LocatedFile& file);

    // The private copy of a file of the backup with its logs folded in, made on the first request
    // and shared by every later one in the scan; nothing (logged) when the file is not a regular
    // file or cannot be copied. For readers that need the folded bytes themselves (the carvers).
    std::optional<std::string> foldedCopy(const std::string& backupPath);
    std::optional<std::string> foldedCopy(const LocatedFile& file);
    // Forgets the private copies, when their work folder is removed.
    void forgetCopies() { copies_.clear(); }

    // The columns a table declares, in order; empty when the database has no such table.
    static std::vector<std::string> tableColumns(sqlite3* db, std::string_view table);
    // Whether the table exists with every one of the columns (names compared without regard to
    // letter case, as SQL compares them).
    static bool hasColumns(sqlite3* db, std::string_view table, std::initializer_list<std::string_view> columns);
    // What keeps the database's schema from being read ("file is not a database", "database disk
    // image is malformed"), or nothing when it reads. For telling a damaged file from one that
    // simply lacks the tables a scanner wants.
    static std::optional<std::string> schemaDamage(sqlite3* db);
    // Logs why a database gave a scanner nothing: "<what> cannot be read (<damage>): <path>" when
    // it is damaged or not a database at all, else "<what> <lacking>: <path>".
    static void logUnread(sqlite3* db, std::string_view what, std::string_view lacking, const std::string& path);

    WorkFolder& workFolder() { return workFolder_; }

private:
    SqliteHandle openFiles(const DatabaseFiles& files);
    std::optional<std::string> foldedCopyOf(const DatabaseFiles& files);

    WorkFolder& workFolder_;
    std::map<std::string, std::string> copies_; // backup path -> private copy
};

// Switches the database file to write-ahead logging and folds any log beside it into it. Only ever
// applied to a private copy, never to a file of the backup. Failures are logged.
void commitDB(const std::string& databasePath);

} // namespace quarrow
