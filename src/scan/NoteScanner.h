#pragma once

#include "ScannerRegistry.h"

#include <future>
#include <string>

namespace quarrow {

class ScanContext;

// Reads the notes that still exist in the backup's notes database with SQL, posting one
// "ScanNoteInfo" per row and then "ScanProgressInfo" 70. Tries the iPhone OS 1-3 layout (note,
// note_bodies) first and the Core Data layout (ZNOTE, ZNOTEBODY) when that query fails. Then reads
// the note store of iOS 9 and later when the backup holds one (NoteStoreScanner.h).
void scanNoteThread(ScanContext& context, const std::string& backupFolder);

// The same scanner reading ahead: the rows of the notes database are read and made into records on
// a thread of their own while the scanners before them run, and posted in the scanner's turn as they
// come. The note store is read in that turn.
std::future<ScannerPost> readNotesAhead(ScanContext& context, const std::string& backupFolder);

} // namespace quarrow
