#pragma once

// Deleted notes from a notes database, through the carving engine: which tables hold notes and
// their bodies, and how a carved note row and a carved body row make one note. The engine knows
// nothing of notes; this is all that does.
//
// Three layouts:
//   The note store (NoteStore.sqlite, iOS 9 and later): ZICCLOUDSYNCINGOBJECT rows of the ICNote
//     entity (ZTITLE1, ZMODIFICATIONDATE1 or ZMODIFICATIONDATE, ZNOTEDATA) and ZICNOTEDATA(Z_PK,
//     ..., ZNOTE, ZDATA). ZDATA is gzip around a note document; a carved one counts only when it
//     unzips with its checksum intact and parses, and its plain text becomes the note's content.
//     A locked note's data is ciphertext and never comes back.
//   Core Data (iOS 4 to 8): ZNOTE(Z_PK, Z_ENT, Z_OPT, ..., ZBODY, ..., ZMODIFICATIONDATE, ...,
//     ZTITLE) and ZNOTEBODY(Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT, ...). A note's ZBODY is its
//     body's Z_PK and the body's ZOWNER is the note's Z_PK; keys may be integers of any width.
//     Z_ENT is the entity number Z_PRIMARYKEY gives "Note" and "NoteBody", and Z_OPT counts the
//     saves of a row, so a note and its body saved together carry the same Z_OPT.
//   iPhone OS 1 to 3: Note(ROWID, ..., title, ..., modification_date, ...) and
//     note_bodies(note_id, data), note_id being the note's rowid.
//
// A deleted note is a version of a note that the database no longer holds: a deleted note, or an
// older version of an edited one. It is reported when its body comes back whole: with its title
// when a note row of the same key pairs with it (the same save count, or the title is in the
// body), without a title when no note row does. A note row without a whole body is not reported:
// a title alone is not the note. Bodies whose overflow pages are gone are cut and not reported.

#include "DatabaseFile.h"
#include "RowCarver.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarrow::carving {

struct CarvedNote {
    std::optional<std::string> title;              // absent when no note row pairs with the body
    std::string content;                           // the body as stored (HTML, UTF-8; the plain text of a document)
    std::optional<double> modified;                // seconds since 2001-01-01, when the note row gives it
    std::int64_t uid = 0;                          // the note's key
    RecoveredFrom from = RecoveredFrom::Freeblock; // where the body was found
};

struct NoteCarving {
    std::vector<CarvedNote> notes; // in the order their rows were found
    std::size_t cutBodies = 0;     // bodies found cut short, not reported
    std::size_t titlesOnly = 0;    // note rows whose body did not come back, not reported
};

// The deleted notes of an open notes database, in either layout (both when both exist).
NoteCarving carveDeletedNotes(const DatabaseFile& database);

} // namespace quarrow::carving
