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

// Deleted notes of the note store: the engine reads the store, its -wal and its -journal where
// the backup keeps them (it never writes), and each note whose document came back whole is posted.
void carveNoteStore(ScanContext& context, const LocatedFile& store) {
    const auto opened = carving::openDatabaseInPlace(store.path, store.walPath, store.journalPath, store.path);
    if (!opened) {
        return; // logged where it failed
    }
    const carving::NoteCarving carved = carving::carveDeletedNotes(*opened->file);
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
    // The carver never writes, so the database and the -wal and -journal the backup keeps are read
    // where they lie.
    if (const auto opened =
            carving::openDatabaseInPlace(notes->path, notes->walPath, notes->journalPath, notes->path)) {
        const carving::NoteCarving carved = carving::carveDeletedNotes(*opened->file);
        for (const carving::CarvedNote& found : carved.notes) {
            context.nc.post(ScanNotification::kDelNote, std::shared_ptr<PRObject>(noteRecord(found)));
        }
        if (carved.cutBodies != 0 || carved.titlesOnly != 0) {
            systemLog("Notes database " + notes->path + ": " + std::to_string(carved.cutBodies) +
                      " deleted bodies cut short and " + std::to_string(carved.titlesOnly) +
                      " deleted titles without their body are not shown");
        }
    }
    context.nc.post(ScanNotification::kProgress, 96LL);
}

} // namespace quarrow
