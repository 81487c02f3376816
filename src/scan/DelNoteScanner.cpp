#include "DelNoteScanner.h"

#include "ScanContext.h"
#include "carving/DatabaseFile.h"
#include "carving/DbFileReader.h"
#include "carving/DelNoteCarver.h"
#include "carving/NoteCarving.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "records/ValueHelpers.h"

#include <algorithm>
#include <limits>

namespace quarrow {

namespace {

// Deleted notes of the note store: the engine reads the store, its -wal and its -journal where
// the backup keeps them (it never writes), and each note whose document came back whole is posted.
void carveNoteStore(ScanContext& context, const LocatedFile& store) {
    const auto opened = carving::openDatabaseInPlace(store.path, store.walPath, store.journalPath, store.path);
    if (!opened) {
        return; // logged where it failed
    }
    const carving::NoteCarving carved = carving::carveDeletedNotes(*opened->file);
    for (const carving::CarvedNote& found : carved.notes) {
        auto note = std::make_shared<PRNoteNode>();
        if (found.title && !found.title->empty()) {
            note->setNoteTitle(GetStringFormChar(*found.title));
        } else if (const std::string first = found.content.substr(0, found.content.find('\n')); !first.empty()) {
            // The store titles a note with its text's first line; a text whose row is gone keeps it.
            note->setNoteTitle(GetStringFormChar(first));
        }
        note->setNoteContent(GetStringFormChar(found.content));
        if (found.modified && *found.modified > -1e15 && *found.modified < 1e15) {
            if (auto text = dateText(static_cast<std::int64_t>(*found.modified), 1)) {
                note->setNoteDate(std::move(*text));
            }
        }
        note->setUid(static_cast<std::int32_t>(std::clamp<std::int64_t>(
            found.uid, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max())));
        context.nc.post(ScanNotification::kDelNote, std::shared_ptr<PRObject>(std::move(note)));
    }
    systemLog("Note store carved: " + std::to_string(carved.notes.size()) + " deleted notes, " +
              std::to_string(carved.cutBodies) + " cut short, " + std::to_string(carved.titlesOnly) +
              " titles without their text: " + store.path);
}

} // namespace

void scanDelNoteThread(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return;
    }
    const auto store = context.filesFor(backupFolder).locateFirst({DeviceFiles::kNoteStore});
    if (store) {
        carveNoteStore(context, *store);
    }
    const auto notes = context.filesFor(backupFolder).notesDatabase();
    if (!notes) {
        systemLog("NoteDB is not exist");
        if (store) {
            context.nc.post(ScanNotification::kProgress, 96LL);
        }
        return;
    }
    const auto copy = context.sqlite.foldedCopy(notes->path);
    if (!copy) {
        return; // logged where the copy failed
    }
    const auto file = DbFileReader::openFile(*copy);
    if (!file) {
        return;
    }
    carveDelNotes(
        *file, context.noteArray, context.noteValueArray,
        [&context](const PRNoteNodePtr& note) {
            context.nc.post(ScanNotification::kDelNote, std::shared_ptr<PRObject>(note));
        },
        notes->path);
    context.nc.post(ScanNotification::kProgress, 96LL);
}

} // namespace quarrow
