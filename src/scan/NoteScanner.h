#pragma once

#include <string>

namespace quarrow {

class ScanContext;

// Reads the notes that still exist in the backup's notes database with SQL, posting one
// "ScanNoteInfo" per row and then "ScanProgressInfo" 70. Tries the iPhone OS 1-3 layout (note,
// note_bodies) first and the Core Data layout (ZNOTE, ZNOTEBODY) when that query fails. Then reads
// the note store of iOS 9 and later when the backup holds one (NoteStoreScanner.h).
void scanNoteThread(ScanContext& context, const std::string& backupFolder);

} // namespace quarrow
