#pragma once

#include "discovery/BackupFiles.h"

namespace quarrow {

class ScanContext;

// Reads the notes of the note store of iOS 9 and later (NoteStore.sqlite), posting one
// "ScanNoteInfo" per note, or "ScanDelNoteInfo" for a note in the bin ("Recently Deleted"). Posts
// no progress: the note scanner that calls it does.
//
// Each note is a row of ZICCLOUDSYNCINGOBJECT of the ICNote entity: its title is ZTITLE1, its folder
// the ZTITLE2 of the row ZFOLDER names, its modification date a 2001-based number in the first of
// the known date columns the store has; its text is the ZDATA of its ZICNOTEDATA row, decoded from
// gzip and the note document (records/NoteDocument.h). Column names changed between versions, so
// the statement is made from the columns the file has. A password-protected note is reported with
// its title, locked and without text: its data is ciphertext and is never decoded or shown.
// Attachments are reported by name (the media's file name, else the attachment's title, else its
// type), in the order the text holds them.
void scanNoteStore(ScanContext& context, const LocatedFile& store);

} // namespace quarrow
