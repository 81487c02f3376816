#include "NoteScanner.h"

#include "ScanContext.h"
#include "ScanNotifications.h"
#include "ValueHelpers.h"
#include "platform/Log.h"

#include <cstdlib>
#include <memory>
#include <sqlite3.h>

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

// The whole seconds of a date value rendered as text ("372.5" gives 372, "9.0e+300" is out of
// range); nothing when the text does not start with a number or the value has no int64 form, so a
// text or a runaway value in a date column gives no date rather than one in 2001.
std::optional<std::int64_t> leadingInteger(std::string_view text) {
    const std::string copy(text);
    const char* start = copy.c_str();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    if (end == start || !(value > -9.2e18 && value < 9.2e18)) {
        return std::nullopt;
    }
    // Integers beyond 2^53 lose nothing that matters: no calendar reaches them.
    return static_cast<std::int64_t>(value);
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
        if (const auto date = columnBytes(stmt, 2); !date.empty()) {
            if (const auto seconds = leadingInteger(date)) {
                if (auto text = dateText(*seconds, 1)) {
                    note->setNoteDate(std::move(*text));
                }
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
    if (const auto copy = context.workingCopyOf(*original)) {
        commitDB(*copy);
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(copy->c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        Database db(raw, sqlite3_close);
        if (rc != SQLITE_OK) {
            systemLog("Notes database cannot be opened: " + *original);
        } else {
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
    }
    context.nc.post(ScanNotification::kProgress, 70LL);
}

} // namespace quarrow
