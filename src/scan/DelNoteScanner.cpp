#include "DelNoteScanner.h"

#include "ScanContext.h"
#include "carving/DbFileReader.h"
#include "carving/DelNoteCarver.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"

namespace quarrow {

void scanDelNoteThread(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return;
    }
    const auto notes = context.filesFor(backupFolder).notesDatabase();
    if (!notes) {
        systemLog("NoteDB is not exist");
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
