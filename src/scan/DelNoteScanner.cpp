#include "DelNoteScanner.h"

#include "ScanContext.h"
#include "carving/DatabaseFile.h"
#include "carving/NoteCarving.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "records/ValueHelpers.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>

namespace quarrow {

namespace {

PRNoteNodePtr noteRecord(const carving::CarvedNote& found) {
    auto note = std::make_shared<PRNoteNode>();
    if (found.title && !found.title->empty()) {
        note->setNoteTitle(GetStringFormChar(*found.title));
    }
    if (!found.content.empty()) {
        note->setNoteContent(GetStringFormChar(found.content));
    }
    if (found.modified) {
        if (const auto seconds = wholeSeconds(*found.modified)) {
            if (auto text = dateText(*seconds, 1)) {
                note->setNoteDate(std::move(*text));
            }
        }
    }
    note->setUid(static_cast<std::int32_t>(std::clamp<std::int64_t>(found.uid, std::numeric_limits<std::int32_t>::min(),
                                                                    std::numeric_limits<std::int32_t>::max())));
    note->setRecoveredFrom(std::string(carving::recoveredFromText(found.from)));
    return note;
}

// The engine reads a database, its -wal and its -journal where the backup keeps them (it never
// writes, so it needs no private copy); nothing when the file cannot be opened (logged there).
std::optional<carving::NoteCarving> carveInPlace(const LocatedFile& file) {
    const auto opened = carving::openDatabaseInPlace(file.path, file.walPath, file.journalPath, file.path);
    if (!opened) {
        return std::nullopt;
    }
    return carving::carveDeletedNotes(*opened->file);
}

// Deleted notes of the note store: each note whose document came back whole is posted.
void postNoteStore(ScanContext& context, const LocatedFile& store, const carving::NoteCarving& carved) {
    for (const carving::CarvedNote& found : carved.notes) {
        auto note = noteRecord(found);
        if (!note->noteTitle() || note->noteTitle()->empty()) {
            // The store titles a note with its text's first line; a text whose row is gone keeps it.
            if (const std::string first = found.content.substr(0, found.content.find('\n')); !first.empty()) {
                note->setNoteTitle(GetStringFormChar(first));
            }
        }
        context.nc.post(ScanNotification::kDelNote, std::shared_ptr<PRObject>(std::move(note)));
    }
    systemLog("Note store carved: " + std::to_string(carved.notes.size()) + " deleted notes, " +
              std::to_string(carved.cutBodies) + " cut short, " + std::to_string(carved.titlesOnly) +
              " titles without their text: " + store.path);
}

void postNotesDatabase(ScanContext& context, const LocatedFile& notes, const carving::NoteCarving& carved) {
    for (const carving::CarvedNote& found : carved.notes) {
        context.nc.post(ScanNotification::kDelNote, std::shared_ptr<PRObject>(noteRecord(found)));
    }
    if (carved.cutBodies != 0 || carved.titlesOnly != 0) {
        systemLog("Notes database " + notes.path + ": " + std::to_string(carved.cutBodies) +
                  " deleted bodies cut short and " + std::to_string(carved.titlesOnly) +
                  " deleted titles without their body are not shown");
    }
}

// What the carver found in the note store and in the older notes database.
struct Carved {
    std::optional<LocatedFile> store, notes;
    std::optional<carving::NoteCarving> fromStore, fromNotes;
};

void post(ScanContext& context, const Carved& carved) {
    if (carved.store && carved.fromStore) {
        postNoteStore(context, *carved.store, *carved.fromStore);
    }
    if (!carved.notes) {
        systemLog("NoteDB is not exist");
        if (carved.store) {
            context.nc.post(ScanNotification::kProgress, 96LL);
        }
        return;
    }
    if (carved.fromNotes) {
        postNotesDatabase(context, *carved.notes, *carved.fromNotes);
    }
    context.nc.post(ScanNotification::kProgress, 96LL);
}

} // namespace

std::future<ScannerPost> carveDelNotesAhead(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return readAhead([] { return ScannerPost(); });
    }
    auto carved = std::make_shared<Carved>();
    carved->store = context.filesFor(backupFolder).locateFirst({DeviceFiles::kNoteStore});
    carved->notes = context.filesFor(backupFolder).notesDatabase();
    return readAhead([carved]() -> ScannerPost {
        if (carved->store) {
            carved->fromStore = carveInPlace(*carved->store);
        }
        if (carved->notes) {
            carved->fromNotes = carveInPlace(*carved->notes);
        }
        return [carved](ScanContext& context) { post(context, *carved); };
    });
}

void scanDelNoteThread(ScanContext& context, const std::string& backupFolder) {
    if (const ScannerPost post = carveDelNotesAhead(context, backupFolder).get()) {
        post(context);
    }
}

} // namespace quarrow
