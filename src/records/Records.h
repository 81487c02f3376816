#pragma once

#include "Property.h"
#include "platform/NotificationCenter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quarrow {

// The records that carry recovered items. Texts start empty, integers at -1, flags false; every
// property is read and written indivisibly. Records are shared: a scanner posts one and drops it.

// One note.
class PRNoteNode : public PRObject {
public:
    const char* className() const override { return "PRNoteNode"; }

    OptText noteTitle() const { return noteTitle_.get(); }
    void setNoteTitle(OptText value) { noteTitle_.set(std::move(value)); }
    OptText noteContent() const { return noteContent_.get(); }
    void setNoteContent(OptText value) { noteContent_.set(std::move(value)); }
    // The body without a copy, for the duplicate index that sees every note of a scan.
    template <class F> decltype(auto) viewNoteContent(F&& f) const { return noteContent_.view(std::forward<F>(f)); }
    OptText noteDate() const { return noteDate_.get(); }
    void setNoteDate(OptText value) { noteDate_.set(std::move(value)); }
    std::int32_t uid() const { return uid_.get(); }
    void setUid(std::int32_t value) { uid_.set(value); }
    bool bSelected() const { return bSelected_.get(); }
    void setBSelected(bool value) { bSelected_.set(value); }
    bool bDeleted() const { return bDeleted_.get(); }
    void setBDeleted(bool value) { bDeleted_.set(value); }
    // The folder the note is filed in; absent for stores without folders.
    OptText noteFolder() const { return noteFolder_.get(); }
    void setNoteFolder(OptText value) { noteFolder_.set(std::move(value)); }
    // A password-protected note: its title is readable, its text is not (noteContent is absent).
    bool bLocked() const { return bLocked_.get(); }
    void setBLocked(bool value) { bLocked_.set(value); }
    // The names of the note's attachments (pictures, documents, drawings), in the order they stand.
    std::vector<std::string> noteAttachments() const { return noteAttachments_.get(); }
    void setNoteAttachments(std::vector<std::string> value) { noteAttachments_.set(std::move(value)); }
    // Where a deleted note's text was found in the database's files: "freeblock", "unallocated",
    // "interior page", "free page", "wal frame" or "journal". Absent for a note the database holds.
    OptText recoveredFrom() const { return recoveredFrom_.get(); }
    void setRecoveredFrom(OptText value) { recoveredFrom_.set(std::move(value)); }

private:
    Property<OptText> noteTitle_{std::string()};
    Property<OptText> noteContent_{std::string()};
    Property<OptText> noteDate_{std::string()};
    Property<std::int32_t> uid_{-1};
    Property<bool> bSelected_{false};
    Property<bool> bDeleted_{false};
    Property<OptText> noteFolder_{std::nullopt};
    Property<bool> bLocked_{false};
    Property<std::vector<std::string>> noteAttachments_{{}};
    Property<OptText> recoveredFrom_{std::nullopt};
};
using PRNoteNodePtr = std::shared_ptr<PRNoteNode>;

// One address-book person.
class PRContactNode : public PRObject {
public:
    const char* className() const override { return "PRContactNode"; }

    std::int32_t rowid() const { return rowid_.get(); }
    void setRowid(std::int32_t value) { rowid_.set(value); }
    OptText contactName() const { return contactName_.get(); }
    void setContactName(OptText value) { contactName_.set(std::move(value)); }
    OptText contactPhone() const { return contactPhone_.get(); }
    void setContactPhone(OptText value) { contactPhone_.set(std::move(value)); }
    // The fields the duplicate test compares, without a copy.
    template <class F> decltype(auto) viewContactName(F&& f) const { return contactName_.view(std::forward<F>(f)); }
    template <class F> decltype(auto) viewContactPhone(F&& f) const { return contactPhone_.view(std::forward<F>(f)); }
    OptText contactEmail() const { return contactEmail_.get(); }
    void setContactEmail(OptText value) { contactEmail_.set(std::move(value)); }
    OptText contactHomepage() const { return contactHomepage_.get(); }
    void setContactHomepage(OptText value) { contactHomepage_.set(std::move(value)); }
    OptText contactCompany() const { return contactCompany_.get(); }
    void setContactCompany(OptText value) { contactCompany_.set(std::move(value)); }
    OptText contactBirthday() const { return contactBirthday_.get(); }
    void setContactBirthday(OptText value) { contactBirthday_.set(std::move(value)); }
    OptText contactJobtitle() const { return contactJobtitle_.get(); }
    void setContactJobtitle(OptText value) { contactJobtitle_.set(std::move(value)); }
    OptText contactNote() const { return contactNote_.get(); }
    void setContactNote(OptText value) { contactNote_.set(std::move(value)); }
    OptText contactAdress() const { return contactAdress_.get(); }
    void setContactAdress(OptText value) { contactAdress_.set(std::move(value)); }
    bool bDeleted() const { return bDeleted_.get(); }
    void setBDeleted(bool value) { bDeleted_.set(value); }
    bool bSelected() const { return bSelected_.get(); }
    void setBSelected(bool value) { bSelected_.set(value); }
    // Each phone number on its own, as stored, in the order contactPhone holds them. contactPhone
    // runs them together with blanks, and numbers hold blanks themselves ("+1 (415) 555-0199"), so
    // whatever needs one number at a time (names for numbers, one vCard TEL line per number) reads
    // this list. Empty for records that were not read number by number (carved ones).
    std::vector<std::string> phoneNumbers() const { return phoneNumbers_.get(); }
    void setPhoneNumbers(std::vector<std::string> value) { phoneNumbers_.set(std::move(value)); }

private:
    Property<std::int32_t> rowid_{-1};
    Property<OptText> contactName_{std::string()};
    Property<OptText> contactPhone_{std::string()};
    Property<OptText> contactEmail_{std::string()};
    Property<OptText> contactHomepage_{std::string()};
    Property<OptText> contactCompany_{std::string()};
    Property<OptText> contactBirthday_{std::string()};
    Property<OptText> contactJobtitle_{std::string()};
    Property<OptText> contactNote_{std::string()};
    Property<OptText> contactAdress_{std::string()};
    Property<bool> bDeleted_{false};
    Property<bool> bSelected_{false};
    Property<std::vector<std::string>> phoneNumbers_{{}};
};
using PRContactNodePtr = std::shared_ptr<PRContactNode>;

// One text message.
class PRMessageNode : public PRObject {
public:
    const char* className() const override { return "PRMessageNode"; }

    OptText messageName() const { return messageName_.get(); }
    void setMessageName(OptText value) { messageName_.set(std::move(value)); }
    OptText messagePhone() const { return messagePhone_.get(); }
    void setMessagePhone(OptText value) { messagePhone_.set(std::move(value)); }
    OptText messageContent() const { return messageContent_.get(); }
    void setMessageContent(OptText value) { messageContent_.set(std::move(value)); }
    OptText messageDate() const { return messageDate_.get(); }
    void setMessageDate(OptText value) { messageDate_.set(std::move(value)); }
    // The fields the duplicate test compares, without a copy.
    template <class F> decltype(auto) viewMessagePhone(F&& f) const { return messagePhone_.view(std::forward<F>(f)); }
    template <class F> decltype(auto) viewMessageContent(F&& f) const {
        return messageContent_.view(std::forward<F>(f));
    }
    template <class F> decltype(auto) viewMessageDate(F&& f) const { return messageDate_.view(std::forward<F>(f)); }
    OptText messageType() const { return messageType_.get(); }
    void setMessageType(OptText value) { messageType_.set(std::move(value)); }
    bool bImessage() const { return bImessage_.get(); }
    void setBImessage(bool value) { bImessage_.set(value); }
    bool bSelected() const { return bSelected_.get(); }
    void setBSelected(bool value) { bSelected_.set(value); }
    bool bDeleted() const { return bDeleted_.get(); }
    void setBDeleted(bool value) { bDeleted_.set(value); }
    std::int32_t handle_id() const { return handle_id_.get(); }
    void setHandle_id(std::int32_t value) { handle_id_.set(value); }

private:
    Property<OptText> messageName_{std::string()};
    Property<OptText> messagePhone_{std::string()};
    Property<OptText> messageContent_{std::string()};
    Property<OptText> messageDate_{std::string()};
    Property<OptText> messageType_{std::string()};
    Property<bool> bImessage_{false};
    Property<bool> bSelected_{false};
    Property<bool> bDeleted_{false};
    Property<std::int32_t> handle_id_{-1};
};
using PRMessageNodePtr = std::shared_ptr<PRMessageNode>;

// One call.
class PRCallHistoryNode : public PRObject {
public:
    const char* className() const override { return "PRCallHistoryNode"; }

    OptText callName() const { return callName_.get(); }
    void setCallName(OptText value) { callName_.set(std::move(value)); }
    OptText callPhone() const { return callPhone_.get(); }
    void setCallPhone(OptText value) { callPhone_.set(std::move(value)); }
    OptText callDate() const { return callDate_.get(); }
    void setCallDate(OptText value) { callDate_.set(std::move(value)); }
    // The fields the duplicate test compares, without a copy.
    template <class F> decltype(auto) viewCallPhone(F&& f) const { return callPhone_.view(std::forward<F>(f)); }
    template <class F> decltype(auto) viewCallDate(F&& f) const { return callDate_.view(std::forward<F>(f)); }
    OptText callType() const { return callType_.get(); }
    void setCallType(OptText value) { callType_.set(std::move(value)); }
    std::int32_t callTime() const { return callTime_.get(); }
    void setCallTime(std::int32_t value) { callTime_.set(value); }
    OptText callDuration() const { return callDuration_.get(); }
    void setCallDuration(OptText value) { callDuration_.set(std::move(value)); }
    bool bSelected() const { return bSelected_.get(); }
    void setBSelected(bool value) { bSelected_.set(value); }
    bool bDeleted() const { return bDeleted_.get(); }
    void setBDeleted(bool value) { bDeleted_.set(value); }

private:
    Property<OptText> callName_{std::string()};
    Property<OptText> callPhone_{std::string()};
    Property<OptText> callDate_{std::string()};
    Property<OptText> callType_{std::string()};
    Property<std::int32_t> callTime_{-1};
    Property<OptText> callDuration_{std::string()};
    Property<bool> bSelected_{false};
    Property<bool> bDeleted_{false};
};
using PRCallHistoryNodePtr = std::shared_ptr<PRCallHistoryNode>;

// One picture or movie file of the backup.
class PRPhotoAndVideoNode : public PRObject {
public:
    const char* className() const override { return "PRPhotoAndVideoNode"; }

    OptText fileNodeName() const { return fileNodeName_.get(); }
    void setFileNodeName(OptText value) { fileNodeName_.set(std::move(value)); }
    OptText fileNodeSize() const { return fileNodeSize_.get(); }
    void setFileNodeSize(OptText value) { fileNodeSize_.set(std::move(value)); }
    OptText filePath() const { return filePath_.get(); }
    void setFilePath(OptText value) { filePath_.set(std::move(value)); }
    bool bmov() const { return bmov_.get(); }
    void setBmov(bool value) { bmov_.set(value); }
    bool bSelected() const { return bSelected_.get(); }
    void setBSelected(bool value) { bSelected_.set(value); }

    // A file of an encrypted backup: filePath holds its ciphertext, decrypted only when it is
    // exported, with this key (its record's wrapped key: protection class and the key wrapped under
    // that class's key, of no use without the backup's password) into fileByteCount bytes.
    OptText encryptionKey() const { return encryptionKey_.get(); }
    void setEncryptionKey(OptText value) { encryptionKey_.set(std::move(value)); }
    bool bEncrypted() const {
        return encryptionKey_.view([](const OptText& key) { return key.has_value(); });
    }
    // The size of the picture or movie itself, in bytes.
    std::uint64_t fileByteCount() const { return fileByteCount_.get(); }
    void setFileByteCount(std::uint64_t value) { fileByteCount_.set(value); }

private:
    Property<OptText> fileNodeName_{std::string()};
    Property<OptText> fileNodeSize_{std::string()};
    Property<OptText> filePath_{std::string()};
    Property<bool> bmov_{false};
    Property<bool> bSelected_{false};
    Property<OptText> encryptionKey_{std::nullopt};
    Property<std::uint64_t> fileByteCount_{0};
};
using PRPhotoAndVideoNodePtr = std::shared_ptr<PRPhotoAndVideoNode>;

// A carved note body.
class PRNoteValueNode : public PRObject {
public:
    const char* className() const override { return "PRNoteValueNode"; }

    OptText noteValue() const { return noteValue_.get(); }
    void setNoteValue(OptText value) { noteValue_.set(std::move(value)); }
    std::int32_t uid() const { return uid_.get(); }
    void setUid(std::int32_t value) { uid_.set(value); }

private:
    Property<OptText> noteValue_{std::string()};
    Property<std::int32_t> uid_{-1};
};
using PRNoteValueNodePtr = std::shared_ptr<PRNoteValueNode>;

// A carved multi-value entry of a person.
class DelContactValue : public PRObject {
public:
    const char* className() const override { return "DelContactValue"; }

    OptText contactValue() const { return contactValue_.get(); }
    void setContactValue(OptText value) { contactValue_.set(std::move(value)); }
    std::int32_t valueType() const { return valueType_.get(); }
    void setValueType(std::int32_t value) { valueType_.set(value); }
    std::int32_t rowID() const { return rowID_.get(); }
    void setRowID(std::int32_t value) { rowID_.set(value); }

private:
    Property<OptText> contactValue_{std::string()};
    Property<std::int32_t> valueType_{-1};
    Property<std::int32_t> rowID_{-1};
};
using DelContactValuePtr = std::shared_ptr<DelContactValue>;

// A carved handle of a message partner.
class PRChatMessageNode : public PRObject {
public:
    const char* className() const override { return "PRChatMessageNode"; }

    std::int32_t rowid() const { return rowid_.get(); }
    void setRowid(std::int32_t value) { rowid_.set(value); }
    OptText phoneValue() const { return phoneValue_.get(); }
    void setPhoneValue(OptText value) { phoneValue_.set(std::move(value)); }

private:
    Property<std::int32_t> rowid_{-1};
    Property<OptText> phoneValue_{std::string()};
};
using PRChatMessageNodePtr = std::shared_ptr<PRChatMessageNode>;

} // namespace quarrow
