#pragma once

#include "records/Records.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarrow {

class DbFileReader;

// Receives each rebuilt note, in order.
using RebuiltNoteSink = std::function<void(const PRNoteNodePtr&)>;

// The deleted-note carver over the bytes of a notes database: walks the pages into noteArray and
// noteValueArray (the scan's working lists), pairs notes with bodies and hands every rebuilt note to
// `rebuilt`. `where` names the file in the log. It knows nothing of a scan: the scan's adapter
// finds the file, feeds it here and posts what comes out.
void carveDelNotes(DbFileReader& file, std::vector<PRNoteNodePtr>& noteArray,
                   std::vector<PRNoteValueNodePtr>& noteValueArray, const RebuiltNoteSink& rebuilt,
                   const std::string& where);

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
// first; the last matching body wins) and hands each note to `rebuilt`. The notes are distinct
// records. A body's text goes to its notes and is then emptied in the body, so that it is held
// once: read the bodies' texts before, not after.
void pairCarvedNotes(const std::vector<PRNoteNodePtr>& noteArray, const std::vector<PRNoteValueNodePtr>& noteValueArray,
                     const RebuiltNoteSink& rebuilt);

} // namespace quarrow
