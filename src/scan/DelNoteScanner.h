#pragma once

#include "ScannerRegistry.h"

#include <future>
#include <string>

namespace quarrow {

class ScanContext;

// The deleted-note carver's adapter: carves the backup's notes database where it lies, with the
// -wal and -journal the backup keeps (read-only: the carver writes nothing, so it needs no private
// copy), and the note store of iOS 9 and later (NoteStore.sqlite) the same way. Posts one
// "ScanDelNoteInfo" per deleted note, each with where it was found, and then "ScanProgressInfo" 96.
// Logs "NoteDB is not exist" when the backup holds no notes database.
void scanDelNoteThread(ScanContext& context, const std::string& backupFolder);

// The same carver reading ahead: finds the notes files on the scan's worker and carves them on a
// thread of its own while the scanners before it run; what it answers posts as scanDelNoteThread
// does.
std::future<ScannerPost> carveDelNotesAhead(ScanContext& context, const std::string& backupFolder);

} // namespace quarrow
