#pragma once

#include "records/Records.h"

#include <string>
#include <vector>

namespace quarrow {

// One labelled line of a detail area, or its long-text view.
struct DetailLine {
    std::string name; // the label's name in the detail area, e.g. "noteTitlelab"
    std::string text;
    bool visible = true;
};

// What the detail area shows for one record: its labelled lines in display order and, for notes,
// messages and contacts, the long text (shown in a scrollable view that takes no input).
struct ItemDetail {
    std::vector<DetailLine> lines;
    bool hasLongText = false;
    DetailLine longText;
};

// Values are shown as the records hold them; an absent value reads as the empty text. The contact
// detail hides lines whose value is empty; the note detail hides the folder and attachment lines of
// notes that have none and the "Recovered from:" line of notes that were not carved, and shows
// kLockedNoteText in place of a locked note's text.
ItemDetail contactDetail(const PRContactNode& contact);
ItemDetail messageDetail(const PRMessageNode& message);
ItemDetail callHistoryDetail(const PRCallHistoryNode& call);
ItemDetail noteDetail(const PRNoteNode& note);
// The name, size and path of a picture or movie, for the preview beside the photo table.
ItemDetail photoDetail(const PRPhotoAndVideoNode& photo);

// What the detail area says in place of a password-protected note's text.
inline constexpr const char* kLockedNoteText =
    "This note is locked. Its text is protected by the note's password and is not shown.";

// The caption in front of a contact's note in its long-text view.
inline constexpr const char* kContactNoteCaption = "Note: ";

} // namespace quarrow
