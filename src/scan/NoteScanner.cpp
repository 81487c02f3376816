#include "NoteScanner.h"

#include "ScanContext.h"
#include "ScanNotifications.h"
#include "ValueHelpers.h"
#include "platform/Log.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>

namespace quarrow {

namespace {

constexpr const char* kOlderStatement = "select TITLE,SUMMARY,MODIFICATION_DATE,CREATION_DATE,DATA from note LEFT JOIN "
                                        "NOTE_BODIES ON NOTE.ROWID = NOTE_BODIES.NOTE_ID";
constexpr const char* kNewerStatement = "select ZTITLE,ZSUMMARY,ZMODIFICATIONDATE,ZCREATIONDATE,ZCONTENT from znote "
                                        "LEFT JOIN ZNOTEBODY ON ZNOTE.Z_PK = ZNOTEBODY.Z_PK";

using Database = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;
using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

std::string_view columnBytes(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text) {
        return {};
    }
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))};
}

// The whole seconds of a date value, its fraction dropped. Numbers are read as numbers; a text is
// read for its leading number ("372.5" gives 372). Nothing for NULL, an empty value, a text that
// does not start with a number, or a value outside the int64 range, so a runaway or textual date
// gives no date rather than one in 2001.
std::optional<std::int64_t> dateSeconds(sqlite3_stmt* stmt, int column) {
    double value;
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_INTEGER:
        return sqlite3_column_int64(stmt, column);
    case SQLITE_FLOAT:
        value = sqlite3_column_double(stmt, column);
        break;
    default: {
        const auto text = columnBytes(stmt, column);
        if (text.empty()) {
            return std::nullopt;
        }
        const std::string copy(text);
        char* end = nullptr;
        value = std::strtod(copy.c_str(), &end);
        if (end == copy.c_str()) {
            return std::nullopt;
        }
    }
    }
    if (!(value > -9.2e18 && value < 9.2e18)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(value);
}

// A file: URI for the path, with every byte outside the unreserved set escaped.
std::string fileUri(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + "?immutable=1";
}

// True when the file can be read where it lies with nothing to fold in: a rollback-journal
// database with no write-ahead log beside it. Switching such a file to write-ahead logging changes
// only two header bytes, so reading it in place, immutable, gives exactly the rows a working copy
// would, without copying the whole file.
bool readableInPlace(const std::string& path) {
    struct stat st {};
    if (::stat((path + "-wal").c_str(), &st) == 0) {
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        return false;
    }
    unsigned char header[20] = {};
    const bool whole = std::fread(header, 1, sizeof header, f) == sizeof header;
    std::fclose(f);
    return whole && std::memcmp(header, "SQLite format 3", 16) == 0 && header[18] == 1 && header[19] == 1;
}

Database openNotes(ScanContext& context, const std::string& original) {
    sqlite3* raw = nullptr;
    int rc;
    if (readableInPlace(original)) {
        rc = sqlite3_open_v2(fileUri(original).c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    } else if (const auto copy = context.workingCopyOf(original)) {
        commitDB(*copy);
        rc = sqlite3_open_v2(copy->c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    } else {
        return Database(nullptr, sqlite3_close);
    }
    Database db(raw, sqlite3_close);
    if (rc != SQLITE_OK) {
        systemLog("Notes database cannot be opened: " + original);
        db.reset();
    } else {
        // The whole table is read once, front to back: map the file rather than copy every page
        // through read(). SQLite falls back to reading where mapping is not possible.
        sqlite3_exec(db.get(), "PRAGMA mmap_size=1073741824;", nullptr, nullptr, nullptr);
    }
    return db;
}

void postNotes(ScanContext& context, sqlite3_stmt* stmt, const std::string& path) {
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        auto note = std::make_shared<PRNoteNode>();
        if (const auto body = columnBytes(stmt, 4); !body.empty()) {
            note->setNoteContent(GetStringFormChar(body));
        }
        if (const auto title = columnBytes(stmt, 0); !title.empty()) {
            note->setNoteTitle(GetStringFormChar(title));
        }
        if (const auto seconds = dateSeconds(stmt, 2)) {
            if (auto text = dateText(*seconds, 1)) {
                note->setNoteDate(std::move(*text));
            }
        }
        context.nc.post(ScanNotification::kNote, std::shared_ptr<PRObject>(std::move(note)));
    }
    if (rc != SQLITE_DONE) {
        systemLog("Notes database stopped reading at a damaged row: " + path + ": " +
                  sqlite3_errmsg(sqlite3_db_handle(stmt)));
    }
}

} // namespace

void scanNoteThread(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return;
    }
    const auto original = notesDatabasePath(backupFolder);
    if (!original) {
        systemLog("messageDB is not exist");
        return;
    }
    if (const Database db = openNotes(context, *original)) {
        sqlite3_stmt* rawStmt = nullptr;
        if (sqlite3_prepare_v2(db.get(), kOlderStatement, -1, &rawStmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(rawStmt);
            rawStmt = nullptr;
            if (sqlite3_prepare_v2(db.get(), kNewerStatement, -1, &rawStmt, nullptr) != SQLITE_OK) {
                systemLog("Notes database holds no notes tables: " + *original + ": " + sqlite3_errmsg(db.get()));
                sqlite3_finalize(rawStmt);
                rawStmt = nullptr;
            }
        }
        Statement stmt(rawStmt, sqlite3_finalize);
        if (stmt) {
            postNotes(context, stmt.get(), *original);
        }
    }
    context.nc.post(ScanNotification::kProgress, 70LL);
}

} // namespace quarrow
