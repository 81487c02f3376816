// The scanners built into the program, one line each. Their progress values are the order a full
// scan runs them in: photos (their running values 1 to 30), contacts 40, messages 50, calls 60,
// notes 70, then the carvers: deleted contacts 75, deleted messages 85, deleted notes 96, deleted
// calls 100.

#include "CallHistoryScanner.h"
#include "ContactScanner.h"
#include "DelNoteScanner.h"
#include "MessageScanner.h"
#include "NoteScanner.h"
#include "PhotoAndVideoScanner.h"
#include "ScannerRegistry.h"

namespace quarrow {

std::vector<ScannerEntry> builtInScanners() {
    using namespace DeviceFiles;
    const std::vector<DeviceFile> notes(std::begin(kNotesDatabases), std::end(kNotesDatabases));
    std::vector<DeviceFile> liveNotes = notes;
    liveNotes.push_back(kNoteStore);
    return {
        {"scanPhotoAndVideoThread", Category::PhotoAndVideo, {}, 30, false, scanPhotoAndVideoThread},
        {"scanContactThread", Category::Contact, {kAddressBook}, 40, false, scanContactThread},
        {"scanMessageThread", Category::Message, {kMessages}, 50, false, scanMessageThread, readMessagesAhead},
        {"scanCallHistoryThread",
         Category::CallHistory,
         {kCallHistoryStore, kCallHistory, kCallHistoryLegacy},
         60,
         false,
         scanCallHistoryThread,
         readCallHistoryAhead},
        {"scanNoteThread", Category::Note, liveNotes, 70, false, scanNoteThread, readNotesAhead},
        {"scanDelNoteThread", Category::Note, liveNotes, 96, true, scanDelNoteThread, carveDelNotesAhead},
    };
}

} // namespace quarrow
