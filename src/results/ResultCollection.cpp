#include "ResultCollection.h"

#include "platform/Platform.h"
#include "records/ScanNotifications.h"
#include "records/ValueHelpers.h"

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <sys/stat.h>

namespace quarrow {

namespace {

// Joins the compared fields into one key; each field is length-prefixed so that no two different
// field lists give the same key. Nothing when a field is absent.
std::optional<std::string> keyOf(std::initializer_list<OptText> fields) {
    std::string key;
    for (const OptText& f : fields) {
        if (!f) {
            return std::nullopt;
        }
        key += std::to_string(f->size());
        key += ':';
        key += *f;
    }
    return key;
}

bool contains(const std::unordered_set<std::string>& keys, const std::optional<std::string>& key) {
    return key && keys.count(*key) != 0;
}

void remember(std::unordered_set<std::string>& keys, std::optional<std::string> key) {
    if (key) {
        keys.insert(std::move(*key));
    }
}

std::optional<std::size_t> contentHash(const PRNoteNode& n) {
    return n.viewNoteContent([](const OptText& t) -> std::optional<std::size_t> {
        if (!t) {
            return std::nullopt;
        }
        return std::hash<std::string_view>{}(*t);
    });
}
std::optional<std::string> contactKey(const PRContactNode& c) {
    return keyOf({c.contactName(), c.contactPhone()});
}
std::optional<std::string> messageKey(const PRMessageNode& m) {
    return keyOf({m.messagePhone(), m.messageContent(), m.messageDate()});
}
std::optional<std::string> callKey(const PRCallHistoryNode& c) {
    return keyOf({c.callPhone(), c.callDate()});
}

std::size_t lengthOf(const OptText& t) {
    return t ? t->size() : 0;
}

} // namespace

ResultCollection::ResultCollection(NotificationCenter& nc) : nc_(nc) {
    namespace N = ScanNotification;
    auto add = [this](const char* name, auto handler) { tokens_.push_back(nc_.addObserver(name, handler)); };
    add(N::kPhotoAndVideo, [this](const Notification& n) {
        if (const auto* path = n.text()) {
            ScanPhotoAndVideoInfomationHandle(*path);
        }
    });
    add(N::kContact, [this](const Notification& n) {
        if (auto r = n.recordAs<PRContactNode>()) {
            ScanContactInfomationHandle(r);
        }
    });
    add(N::kMessage, [this](const Notification& n) {
        if (auto r = n.recordAs<PRMessageNode>()) {
            ScanMessageInfomationHandle(r);
        }
    });
    add(N::kCallHistory, [this](const Notification& n) {
        if (auto r = n.recordAs<PRCallHistoryNode>()) {
            ScanCallHistoryInfomationHandle(r);
        }
    });
    add(N::kNote, [this](const Notification& n) {
        if (auto r = n.recordAs<PRNoteNode>()) {
            ScanNoteInfomationHandle(r);
        }
    });
    add(N::kDelContact, [this](const Notification& n) {
        if (auto r = n.recordAs<PRContactNode>()) {
            ScanDelContactInfomationHandle(r);
        }
    });
    add(N::kDelMessage, [this](const Notification& n) {
        if (auto r = n.recordAs<PRMessageNode>()) {
            ScanDelMessageInfomationHandle(r);
        }
    });
    add(N::kDelNote, [this](const Notification& n) {
        if (auto r = n.recordAs<PRNoteNode>()) {
            ScanDelNoteInfomationHandle(r);
        }
    });
    add(N::kDelCallHistory, [this](const Notification& n) {
        if (auto r = n.recordAs<PRCallHistoryNode>()) {
            ScanDelCallHistoryInfomationHandle(r);
        }
    });
    add(N::kProgress, [this](const Notification& n) {
        if (const auto* value = n.number()) {
            ScanProgressInfomationHandle(*value);
        }
    });
}

ResultCollection::~ResultCollection() {
    for (auto token : tokens_) {
        nc_.removeObserver(token);
    }
}

void ResultCollection::showView() {
    counters_ = ResultCounters{};
    labels_ = CountLabels{};
    progress_ = 1;
    progressText_ = "1%";
}

void ResultCollection::releaseUIMemory() {
    photoAndVideoArray_.clear();
    contactArray_.clear();
    messageArray_.clear();
    callHistoryArray_.clear();
    noteArray_.clear();
    noteIndex_.clear();
    contactKeys_.clear();
    messageKeys_.clear();
    callKeys_.clear();
}

void ResultCollection::ScanThreadFinish() {
    Platform::current().mainThread().runAndWait([this] { ScanFinishOnMainThread(); });
}

void ResultCollection::ScanFinishOnMainThread() {
    progress_ = 0;
    progressText_ = "0%";
    // The per-category counts start again for the next scan; the totals and the label texts stay.
    const ResultCounters kept = counters_;
    counters_ = ResultCounters{};
    counters_.BackUpFilesNum = kept.BackUpFilesNum;
    counters_.deleteeFilesNum = kept.deleteeFilesNum;
    counters_.selectedFilesNum = kept.selectedFilesNum;
    counters_.recovredFilesNum = kept.recovredFilesNum;
    if (onFinish) {
        onFinish();
    }
}

void ResultCollection::rememberNote(const PRNoteNode& note) {
    if (const auto hash = contentHash(note)) {
        noteIndex_.insert(*hash, &note);
    }
}

void ResultCollection::ScanNoteInfomationHandle(const PRNoteNodePtr& note) {
    rememberNote(*note);
    noteArray_.push_back(note);
    ++counters_.BackUpFilesNum;
    ++counters_.noteNum;
}

void ResultCollection::ScanDelNoteInfomationHandle(const PRNoteNodePtr& note) {
    const auto hash = contentHash(*note);
    if (!hash && !note->noteTitle()) {
        return;
    }
    // Compared on the body alone; an absent body matches nothing.
    if (hash && noteIndex_.any(*hash, [&note](const PRNoteNode& listed) {
            return note->viewNoteContent([&listed](const OptText& body) {
                return listed.viewNoteContent([&body](const OptText& text) { return text && *text == *body; });
            });
        })) {
        return;
    }
    note->setBDeleted(true);
    if (hash) {
        noteIndex_.insert(*hash, note.get());
    }
    noteArray_.push_back(note);
    ++counters_.deleteeFilesNum;
    ++counters_.delNoteNum;
}

void ResultCollection::ScanContactInfomationHandle(const PRContactNodePtr& contact) {
    remember(contactKeys_, contactKey(*contact));
    contactArray_.push_back(contact);
    ++counters_.BackUpFilesNum;
    ++counters_.contactNum;
}

void ResultCollection::ScanDelContactInfomationHandle(const PRContactNodePtr& contact) {
    auto key = contactKey(*contact);
    if (contains(contactKeys_, key)) {
        return;
    }
    contact->setBDeleted(true);
    remember(contactKeys_, std::move(key));
    contactArray_.push_back(contact);
    ++counters_.deleteeFilesNum;
    ++counters_.delContactNum;
}

void ResultCollection::ScanMessageInfomationHandle(const PRMessageNodePtr& message) {
    remember(messageKeys_, messageKey(*message));
    messageArray_.push_back(message);
    ++counters_.BackUpFilesNum;
    ++counters_.messageNum;
}

void ResultCollection::ScanDelMessageInfomationHandle(const PRMessageNodePtr& message) {
    const OptText phone = message->messagePhone();
    const OptText content = message->messageContent();
    const bool bothEmpty = phone && phone->empty() && content && content->empty();
    if (bothEmpty || (lengthOf(phone) == 0 && lengthOf(content) == 0)) {
        return;
    }
    auto key = messageKey(*message);
    if (contains(messageKeys_, key)) {
        return;
    }
    message->setBDeleted(true);
    remember(messageKeys_, std::move(key));
    messageArray_.push_back(message);
    ++counters_.deleteeFilesNum;
    ++counters_.delMessageNum;
}

void ResultCollection::ScanCallHistoryInfomationHandle(const PRCallHistoryNodePtr& call) {
    remember(callKeys_, callKey(*call));
    callHistoryArray_.push_back(call);
    ++counters_.BackUpFilesNum;
    ++counters_.callNum;
}

void ResultCollection::ScanDelCallHistoryInfomationHandle(const PRCallHistoryNodePtr& call) {
    const OptText name = call->callName();
    const OptText phone = call->callPhone();
    if (name && name->empty() && phone && phone->empty()) {
        return;
    }
    auto key = callKey(*call);
    if (contains(callKeys_, key)) {
        return;
    }
    call->setBDeleted(true);
    remember(callKeys_, std::move(key));
    callHistoryArray_.push_back(call);
    ++counters_.deleteeFilesNum;
    ++counters_.delCallNum;
}

void ResultCollection::ScanPhotoAndVideoInfomationHandle(const std::string& path) {
    Platform::current().mainThread().runAndWait([this, &path] { ScanMovNodeToMainThreadHandle(path); });
}

void ResultCollection::ScanMovNodeToMainThreadHandle(const std::string& path) {
    // Only a regular file becomes a record: a link is never followed to whatever it names.
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    auto node = std::make_shared<PRPhotoAndVideoNode>();
    node->setFileNodeName(std::filesystem::path(path).filename().string());
    node->setFileNodeSize(sizeTextForBytes(static_cast<std::uint64_t>(st.st_size)));
    node->setFilePath(path);
    photoAndVideoArray_.push_back(std::move(node));
    ++counters_.BackUpFilesNum;
    ++counters_.photovideoNum;
}

void ResultCollection::ScanProgressInfomationHandle(long long percent) {
    progress_ = percent;
    progressText_ = std::to_string(percent) + "%";
    const ResultCounters& c = counters_;
    labels_.photovideoNumlab = "Photo&Video:  " + std::to_string(c.photovideoNum);
    labels_.delPhotovideoNumlab = "Photo&Video:  0";
    labels_.contactNumlab = "Contacts:  " + std::to_string(c.contactNum);
    labels_.delContactNumlab = "Contacts:  " + std::to_string(c.delContactNum);
    labels_.messageNumlab = "Messages:  " + std::to_string(c.messageNum);
    labels_.delMessageNumlab = "Messages:  " + std::to_string(c.delMessageNum);
    labels_.noteNumlab = "Notes:  " + std::to_string(c.noteNum);
    labels_.delNoteNumlab = "Notes:  " + std::to_string(c.delNoteNum);
    labels_.callNumlab = "Call History:  " + std::to_string(c.callNum);
    labels_.delCallNumlab = "Call History:  " + std::to_string(c.delCallNum);
    if (onProgress) {
        onProgress(percent);
    }
}

} // namespace quarrow
