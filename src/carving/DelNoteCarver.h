#pragma once

#include "scan/Records.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarrow {

class DbFileReader;
class NotificationCenter;
class ScanContext;

// Rebuilds notes from the bytes of the backup's notes database, deleted ones included, and posts
// one "ScanDelNoteInfo" per rebuilt note and then "ScanProgressInfo" 96. Carves the scan's private
// working copy (switched to write-ahead logging first), never the backup's file. Logs "NoteDB is not
// exist" and posts nothing when the backup holds no notes database.
void scanDelNoteThread(ScanContext& context, const std::string& backupFolder);

// The carver over bytes already open: walks the pages into context.noteArray and
// context.noteValueArray, pairs and posts, then posts the progress. `where` names the file in the
// log.
void carveDelNotes(DbFileReader& file, ScanContext& context, const std::string& where);

// What the page walk found, for callers that keep the records elsewhere.
struct NoteCarveCallbacks {
    std::function<void(PRNoteNodePtr)> note;
    std::function<void(PRNoteValueNodePtr)> body;
    // When set, takes the place of body: the body comes with its text as created, and the text it
    // was rebuilt with (absent when its field held none) comes beside it, to be kept without a copy.
    std::function<void(PRNoteValueNodePtr, OptText)> bodyAndText;
};

// Walks every table leaf page and rebuilds every note record and note body record whose bytes
// match the notes tables' patterns, live or deleted, in file order (on each page: notes first,
// then bodies). A page size of 0 carves nothing (logged).
void carveNoteRecords(DbFileReader& file, const NoteCarveCallbacks& found, const std::string& where);

// Pairs bodies with notes by uid (a note whose uid equals the previous note's is raised by one
// first; the last matching body wins), posts each note as "ScanDelNoteInfo", then posts
// "ScanProgressInfo" 96. The notes are distinct records. A body's text goes to its notes and is
// then emptied in the body, so that it is held once: read the bodies' texts before, not after.
void postCarvedNotes(NotificationCenter& nc, const std::vector<PRNoteNodePtr>& noteArray,
                     const std::vector<PRNoteValueNodePtr>& noteValueArray);

} // namespace quarrow
