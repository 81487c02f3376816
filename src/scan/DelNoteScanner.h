#pragma once

#include <string>

namespace quarrow {

class ScanContext;

// The deleted-note carver's adapter: finds the backup's notes database, carves its private copy
// (with any log folded in, as the carver reads the folded file's header), never the backup's file,
// posts one "ScanDelNoteInfo" per rebuilt note and then "ScanProgressInfo" 96. Logs "NoteDB is not
// exist" and posts nothing when the backup holds no notes database. The note store of iOS 9 and
// later (NoteStore.sqlite) is carved too, where it lies, with the -wal and -journal the backup keeps
// as files of their own.
void scanDelNoteThread(ScanContext& context, const std::string& backupFolder);

} // namespace quarrow
