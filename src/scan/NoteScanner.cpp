#include "NoteScanner.h"

#include "NoteStoreScanner.h"
#include "ScanContext.h"
#include "SqlRows.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "records/ValueHelpers.h"

#include <initializer_list>
#include <memory>
#include <sqlite3.h>
#include <string_view>

namespace quarrow {

namespace {

constexpr const char* kOlderStatement = "select TITLE,SUMMARY,MODIFICATION_DATE,CREATION_DATE,DATA from note LEFT JOIN "
                                        "NOTE_BODIES ON NOTE.ROWID = NOTE_BODIES.NOTE_ID";
constexpr const char* kNewerStatement = "select ZTITLE,ZSUMMARY,ZMODIFICATIONDATE,ZCREATIONDATE,ZCONTENT from znote "
                                        "LEFT JOIN ZNOTEBODY ON ZNOTE.Z_PK = ZNOTEBODY.Z_PK";

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

// The two layouts, in the order they are tried, with the columns each statement reads.
struct NotesLayout {
    const char* statement;
    const char* notesTable;
    std::initializer_list<std::string_view> noteColumns;
    const char* bodiesTable;
    std::initializer_list<std::string_view> bodyColumns;
};
const NotesLayout kLayouts[] = {
    {kOlderStatement,
     "note",
     {"TITLE", "SUMMARY", "MODIFICATION_DATE", "CREATION_DATE"},
     "NOTE_BODIES",
     {"NOTE_ID", "DATA"}},
    {kNewerStatement,
     "znote",
     {"ZTITLE", "ZSUMMARY", "ZMODIFICATIONDATE", "ZCREATIONDATE", "Z_PK"},
     "ZNOTEBODY",
     {"Z_PK", "ZCONTENT"}},
};

// The statement of the first layout whose tables and columns the database has and that prepares.
Statement prepareNotes(sqlite3* db) {
    for (const NotesLayout& layout : kLayouts) {
        if (!SqliteSource::hasColumns(db, layout.notesTable, layout.noteColumns) ||
            !SqliteSource::hasColumns(db, layout.bodiesTable, layout.bodyColumns)) {
            continue;
        }
        if (Statement stmt = prepareStatement(db, layout.statement)) {
            return stmt;
        }
    }
    return Statement();
}

} // namespace

void scanNoteThread(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return;
    }
    const BackupFiles& files = context.filesFor(backupFolder);
    const auto notes = files.notesDatabase();
    const auto store = files.locateFirst({DeviceFiles::kNoteStore});
    if (!notes && !store) {
        systemLog("messageDB is not exist");
        return;
    }
    if (notes) {
        if (const SqliteHandle db = context.sqlite.open(*notes)) {
            if (const Statement stmt = prepareNotes(db.get())) {
                postNotes(context, stmt.get(), notes->path);
            } else {
                SqliteSource::logUnread(db.get(), "Notes database", "holds no notes tables", notes->path);
            }
        }
    }
    // A device that moved on from the older database keeps its notes in the note store; one that
    // kept notes "On My iPhone" in the older database may hold both.
    if (store) {
        scanNoteStore(context, *store);
    }
    context.nc.post(ScanNotification::kProgress, 70LL);
}

} // namespace quarrow
