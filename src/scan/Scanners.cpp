// The scanners built into the program, one line each. Their progress values are the order a full
// scan runs them in: photos (their running values 1 to 30), contacts 40, messages 50, calls 60,
// notes 70, then the carvers: deleted contacts 75, deleted messages 85, deleted notes 96, deleted
// calls 100.

#include "DelNoteScanner.h"
#include "NoteScanner.h"
#include "ScannerRegistry.h"

namespace quarrow {

std::vector<ScannerEntry> builtInScanners() {
    using namespace DeviceFiles;
    const std::vector<DeviceFile> notes(std::begin(kNotesDatabases), std::end(kNotesDatabases));
    return {
        {"scanNoteThread", Category::Note, notes, 70, false, scanNoteThread},
        {"scanDelNoteThread", Category::Note, notes, 96, true, scanDelNoteThread},
    };
}

} // namespace quarrow
