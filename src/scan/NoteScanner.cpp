#include "NoteScanner.h"

#include "NoteStoreScanner.h"
#include "RowStream.h"
#include "ScanContext.h"
#include "SqlRows.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "records/ValueHelpers.h"

#include <initializer_list>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <string_view>

namespace quarrow {

namespace {

constexpr const char* kOlderStatement = "select TITLE,SUMMARY,MODIFICATION_DATE,CREATION_DATE,DATA from note LEFT JOIN "
                                        "NOTE_BODIES ON NOTE.ROWID = NOTE_BODIES.NOTE_ID";
constexpr const char* kNewerStatement = "select ZTITLE,ZSUMMARY,ZMODIFICATIONDATE,ZCREATIONDATE,ZCONTENT from znote "
                                        "LEFT JOIN ZNOTEBODY ON ZNOTE.Z_PK = ZNOTEBODY.Z_PK";

// Reads every note row into the stream, one record each, on the reading thread.
void readNotes(sqlite3_stmt* stmt, const std::string& path, RowStream<PRNoteNodePtr>& out) {
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
        out.push(std::move(note));
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

std::future<ScannerPost> readNotesAhead(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return readAhead([] { return ScannerPost(); });
    }
    const BackupFiles& files = context.filesFor(backupFolder);
    const auto notes = files.notesDatabase();
    auto store = files.locateFirst({DeviceFiles::kNoteStore});
    if (!notes && !store) {
        return readAhead([] { return ScannerPost([](ScanContext&) { systemLog("messageDB is not exist"); }); });
    }
    // Opened here, on the scan's worker, which is the only thread that reaches the backup's files.
    std::shared_ptr<sqlite3> db;
    std::string path;
    if (notes) {
        db.reset(context.sqlite.open(*notes).release(), SqliteClose()); // a failure is logged where it happens
        path = notes->path;
    }
    auto read = [db, path](RowStream<PRNoteNodePtr>& out) {
        if (!db) {
            return;
        }
        if (const Statement stmt = prepareNotes(db.get())) {
            readNotes(stmt.get(), path, out);
        } else {
            SqliteSource::logUnread(db.get(), "Notes database", "holds no notes tables", path);
        }
    };
    auto post = [](ScanContext& context, PRNoteNodePtr& note) {
        context.nc.post(ScanNotification::kNote, std::shared_ptr<PRObject>(std::move(note)));
    };
    // A device that moved on from the older database keeps its notes in the note store; one that
    // kept notes "On My iPhone" in the older database may hold both.
    auto finish = [store = std::move(store)](ScanContext& context) {
        if (store) {
            scanNoteStore(context, *store);
        }
        context.nc.post(ScanNotification::kProgress, 70LL);
    };
    return streamAhead<PRNoteNodePtr>(read, post, finish);
}

void scanNoteThread(ScanContext& context, const std::string& backupFolder) {
    if (const ScannerPost post = readNotesAhead(context, backupFolder).get()) {
        post(context);
    }
}

} // namespace quarrow
