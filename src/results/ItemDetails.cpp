#include "ItemDetails.h"

#include "NoteText.h"

namespace quarrow {

namespace {

std::string textOf(const OptText& t) {
    return t ? *t : std::string();
}

DetailLine line(const char* name, const char* caption, const OptText& value) {
    return DetailLine{name, std::string(caption) + textOf(value), true};
}

} // namespace

ItemDetail contactDetail(const PRContactNode& c) {
    const std::pair<DetailLine, OptText> rows[] = {
        {line("contactNamelab", "Name: ", c.contactName()), c.contactName()},
        {line("contactPhonelab", "Phone: ", c.contactPhone()), c.contactPhone()},
        {line("contactEmaillab", "Email: ", c.contactEmail()), c.contactEmail()},
        {line("contactHomePagelab", "HomePage: ", c.contactHomepage()), c.contactHomepage()},
        {line("contactCompanylab", "Company: ", c.contactCompany()), c.contactCompany()},
        {line("contactJobTitlelab", "JobTitle: ", c.contactJobtitle()), c.contactJobtitle()},
        {line("contactBirthdaylab", "Birthday: ", c.contactBirthday()), c.contactBirthday()},
    };
    ItemDetail detail;
    for (const auto& [l, value] : rows) {
        DetailLine shown = l;
        shown.visible = value && !value->empty();
        detail.lines.push_back(std::move(shown));
    }
    const OptText note = c.contactNote();
    detail.hasLongText = true;
    detail.longText = DetailLine{"contactNotelab", kContactNoteCaption + textOf(note), note && !note->empty()};
    return detail;
}

ItemDetail messageDetail(const PRMessageNode& m) {
    ItemDetail detail;
    detail.lines = {
        line("messageNamelab", "Name: ", m.messageName()), line("messagePhonelab", "Phone: ", m.messagePhone()),
        line("messageTypelab", "Type: ", m.messageType()), line("messageDatelab", "Date: ", m.messageDate())};
    detail.hasLongText = true;
    detail.longText = DetailLine{"messageConteView", textOf(m.messageContent()), true};
    return detail;
}

ItemDetail callHistoryDetail(const PRCallHistoryNode& c) {
    ItemDetail detail;
    detail.lines = {line("callNamelab", "Name: ", c.callName()), line("callPhonelab", "Phone: ", c.callPhone()),
                    line("callTypelab", "Type: ", c.callType()), line("callTimelab", "Duration: ", c.callDuration()),
                    line("callDatelab", "Date: ", c.callDate())};
    return detail;
}

ItemDetail noteDetail(const PRNoteNode& n) {
    ItemDetail detail;
    const OptText folder = n.noteFolder();
    const OptText from = n.recoveredFrom();
    std::string attachments;
    for (const std::string& name : n.noteAttachments()) {
        attachments += (attachments.empty() ? "" : ", ") + name;
    }
    detail.lines = {line("noteTitlelab", "Title: ", n.noteTitle()), line("noteDatelab", "Date: ", n.noteDate()),
                    DetailLine{"noteFolderlab", "Folder: " + textOf(folder), folder.has_value()},
                    DetailLine{"noteAttachmentslab", "Attachments: " + attachments, !attachments.empty()},
                    DetailLine{"noteRecoveredFromlab", "Recovered from: " + textOf(from), from.has_value()}};
    detail.hasLongText = true;
    detail.longText = DetailLine{
        "noteContentView", n.bLocked() ? std::string(kLockedNoteText) : visibleText(textOf(n.noteContent())), true};
    return detail;
}

ItemDetail photoDetail(const PRPhotoAndVideoNode& p) {
    ItemDetail detail;
    detail.lines = {line("imageFileNamelab", "Name: ", p.fileNodeName()),
                    line("imageFileSizelab", "Size: ", p.fileNodeSize())};
    detail.hasLongText = false;
    detail.longText = DetailLine{"imageView", textOf(p.filePath()), true};
    return detail;
}

} // namespace quarrow
