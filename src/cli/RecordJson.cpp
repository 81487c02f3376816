#include "RecordJson.h"

#include "Json.h"

#include <initializer_list>
#include <utility>

namespace quarrow::cli {

namespace {

// {"name": value, ...} from pairs whose values are JSON already.
std::string object(std::initializer_list<std::pair<const char*, std::string>> fields) {
    std::string out = "{";
    for (const auto& [name, value] : fields) {
        if (out.size() > 1) {
            out += ", ";
        }
        out += '"';
        out += name;
        out += "\": ";
        out += value;
    }
    return out + "}";
}

std::string flag(bool value) {
    return value ? "true" : "false";
}

} // namespace

std::string recordJson(const PRPhotoAndVideoNode& r) {
    return object({{"fileNodeName", jsonString(r.fileNodeName())},
                   {"fileNodeSize", jsonString(r.fileNodeSize())},
                   {"filePath", jsonString(r.filePath())},
                   {"bmov", flag(r.bmov())}});
}

std::string recordJson(const PRContactNode& r) {
    return object({{"rowid", std::to_string(r.rowid())},
                   {"contactName", jsonString(r.contactName())},
                   {"contactPhone", jsonString(r.contactPhone())},
                   {"contactEmail", jsonString(r.contactEmail())},
                   {"contactHomepage", jsonString(r.contactHomepage())},
                   {"contactCompany", jsonString(r.contactCompany())},
                   {"contactBirthday", jsonString(r.contactBirthday())},
                   {"contactJobtitle", jsonString(r.contactJobtitle())},
                   {"contactNote", jsonString(r.contactNote())},
                   {"contactAdress", jsonString(r.contactAdress())},
                   {"bDeleted", flag(r.bDeleted())}});
}

std::string recordJson(const PRMessageNode& r) {
    return object({{"messageName", jsonString(r.messageName())},
                   {"messagePhone", jsonString(r.messagePhone())},
                   {"messageContent", jsonString(r.messageContent())},
                   {"messageDate", jsonString(r.messageDate())},
                   {"messageType", jsonString(r.messageType())},
                   {"bImessage", flag(r.bImessage())},
                   {"handle_id", std::to_string(r.handle_id())},
                   {"bDeleted", flag(r.bDeleted())}});
}

std::string recordJson(const PRNoteNode& r) {
    std::string out = object({{"noteTitle", jsonString(r.noteTitle())},
                              {"noteContent", jsonString(r.noteContent())},
                              {"noteDate", jsonString(r.noteDate())},
                              {"uid", std::to_string(r.uid())},
                              {"bDeleted", flag(r.bDeleted())}});
    // What only notes of the note store have is written only for them, so the output for older
    // backups stays as it was: a folder, the lock, attachments.
    out.pop_back();
    if (const auto folder = r.noteFolder()) {
        out += ", \"noteFolder\": " + jsonString(*folder);
    }
    if (r.bLocked()) {
        out += ", \"bLocked\": true";
    }
    if (const auto attachments = r.noteAttachments(); !attachments.empty()) {
        out += ", \"noteAttachments\": [";
        for (std::size_t i = 0; i < attachments.size(); ++i) {
            out += (i ? ", " : "") + jsonString(attachments[i]);
        }
        out += "]";
    }
    // Only a carved note has a place it was found in.
    if (const auto from = r.recoveredFrom(); r.bDeleted() && from) {
        out += ", \"recoveredFrom\": " + jsonString(*from);
    }
    return out + "}";
}

std::string recordJson(const PRCallHistoryNode& r) {
    return object({{"callName", jsonString(r.callName())},
                   {"callPhone", jsonString(r.callPhone())},
                   {"callDate", jsonString(r.callDate())},
                   {"callType", jsonString(r.callType())},
                   {"callTime", std::to_string(r.callTime())},
                   {"callDuration", jsonString(r.callDuration())},
                   {"bDeleted", flag(r.bDeleted())}});
}

} // namespace quarrow::cli
