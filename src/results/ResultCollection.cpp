#include "ResultCollection.h"

#include "platform/Platform.h"
#include "records/ScanNotifications.h"
#include "records/ValueHelpers.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace quarrow {

namespace {

// The hash of a record's compared fields, each read in place; nothing when one is absent (an absent
// text matches nothing).
class FieldsHash {
public:
    void add(const OptText& field) {
        if (!field) {
            absent_ = true;
            return;
        }
        hash_ = (hash_ ^ std::hash<std::string_view>{}(*field)) * 0x100000001b3ULL + field->size();
    }
    std::optional<std::size_t> value() const { return absent_ ? std::nullopt : std::optional<std::size_t>(hash_); }

private:
    std::size_t hash_ = 0xcbf29ce484222325ULL;
    bool absent_ = false;
};

// Whether two present texts are equal (an absent text matches nothing).
bool samePresent(const OptText& x, const OptText& y) {
    return x && y && *x == *y;
}

std::optional<std::size_t> contentHash(const PRNoteNode& n) {
    return n.viewNoteContent([](const OptText& t) -> std::optional<std::size_t> {
        if (!t) {
            return std::nullopt;
        }
        return std::hash<std::string_view>{}(*t);
    });
}

std::optional<std::size_t> contactHash(const PRContactNode& c) {
    FieldsHash h;
    c.viewContactName([&h](const OptText& t) { h.add(t); });
    c.viewContactPhone([&h](const OptText& t) { h.add(t); });
    return h.value();
}
// Each field is read under its own lock, so a record is never compared field by field with itself.
bool sameContact(const PRContactNode& a, const PRContactNode& b) {
    return &a == &b || (a.viewContactName([&b](const OptText& x) {
        return b.viewContactName([&x](const OptText& y) { return samePresent(x, y); });
    }) && a.viewContactPhone([&b](const OptText& x) {
        return b.viewContactPhone([&x](const OptText& y) { return samePresent(x, y); });
    }));
}

std::optional<std::size_t> messageHash(const PRMessageNode& m) {
    FieldsHash h;
    m.viewMessagePhone([&h](const OptText& t) { h.add(t); });
    m.viewMessageContent([&h](const OptText& t) { h.add(t); });
    m.viewMessageDate([&h](const OptText& t) { h.add(t); });
    return h.value();
}
bool sameMessage(const PRMessageNode& a, const PRMessageNode& b) {
    return &a == &b || (a.viewMessagePhone([&b](const OptText& x) {
        return b.viewMessagePhone([&x](const OptText& y) { return samePresent(x, y); });
    }) && a.viewMessageContent([&b](const OptText& x) {
        return b.viewMessageContent([&x](const OptText& y) { return samePresent(x, y); });
    }) && a.viewMessageDate([&b](const OptText& x) {
        return b.viewMessageDate([&x](const OptText& y) { return samePresent(x, y); });
    }));
}

std::optional<std::size_t> callHash(const PRCallHistoryNode& c) {
    FieldsHash h;
    c.viewCallPhone([&h](const OptText& t) { h.add(t); });
    c.viewCallDate([&h](const OptText& t) { h.add(t); });
    return h.value();
}
bool sameCall(const PRCallHistoryNode& a, const PRCallHistoryNode& b) {
    return &a == &b || (a.viewCallPhone([&b](const OptText& x) {
        return b.viewCallPhone([&x](const OptText& y) { return samePresent(x, y); });
    }) && a.viewCallDate([&b](const OptText& x) {
        return b.viewCallDate([&x](const OptText& y) { return samePresent(x, y); });
    }));
}

// Remembers a record under the hash of its compared fields (records with an absent field are never
// found, so they are not remembered).
template <class Node> void remember(ContentIndex<Node>& index, const Node& record, std::optional<std::size_t> hash) {
    if (hash) {
        index.insert(*hash, &record);
    }
}

template <class Node, class Same>
bool listed(const ContentIndex<Node>& index, const Node& record, std::optional<std::size_t> hash, Same same) {
    return hash && index.any(*hash, [&record, same](const Node& other) { return same(record, other); });
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
        } else if (auto r = n.recordAs<PRPhotoAndVideoNode>()) {
            ScanPhotoAndVideoNodeHandle(r);
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
    contactIndex_.clear();
    messageIndex_.clear();
    callIndex_.clear();
}

void ResultCollection::keepRecordsUntilExit() {
    struct Records {
        std::vector<PRPhotoAndVideoNodePtr> photos;
        std::vector<PRContactNodePtr> contacts;
        std::vector<PRMessageNodePtr> messages;
        std::vector<PRCallHistoryNodePtr> calls;
        std::vector<PRNoteNodePtr> notes;
    };
    static std::mutex mutex;
    static auto* const kept = new std::vector<Records>(); // never freed, on purpose
    {
        const std::lock_guard lock(mutex);
        kept->push_back({std::move(photoAndVideoArray_), std::move(contactArray_), std::move(messageArray_),
                         std::move(callHistoryArray_), std::move(noteArray_)});
    }
    releaseUIMemory();
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
    remember(contactIndex_, *contact, contactHash(*contact));
    contactArray_.push_back(contact);
    ++counters_.BackUpFilesNum;
    ++counters_.contactNum;
}

void ResultCollection::ScanDelContactInfomationHandle(const PRContactNodePtr& contact) {
    const auto hash = contactHash(*contact);
    if (listed(contactIndex_, *contact, hash, sameContact)) {
        return;
    }
    contact->setBDeleted(true);
    remember(contactIndex_, *contact, hash);
    contactArray_.push_back(contact);
    ++counters_.deleteeFilesNum;
    ++counters_.delContactNum;
}

void ResultCollection::ScanMessageInfomationHandle(const PRMessageNodePtr& message) {
    remember(messageIndex_, *message, messageHash(*message));
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
    const auto hash = messageHash(*message);
    if (listed(messageIndex_, *message, hash, sameMessage)) {
        return;
    }
    message->setBDeleted(true);
    remember(messageIndex_, *message, hash);
    messageArray_.push_back(message);
    ++counters_.deleteeFilesNum;
    ++counters_.delMessageNum;
}

void ResultCollection::ScanCallHistoryInfomationHandle(const PRCallHistoryNodePtr& call) {
    remember(callIndex_, *call, callHash(*call));
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
    const auto hash = callHash(*call);
    if (listed(callIndex_, *call, hash, sameCall)) {
        return;
    }
    call->setBDeleted(true);
    remember(callIndex_, *call, hash);
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
    node->setFileByteCount(static_cast<std::uint64_t>(st.st_size));
    node->setFilePath(path);
    addPhotoAndVideo(std::move(node));
}

void ResultCollection::ScanPhotoAndVideoNodeHandle(const PRPhotoAndVideoNodePtr& photo) {
    Platform::current().mainThread().runAndWait([this, &photo] { addPhotoAndVideo(photo); });
}

void ResultCollection::addPhotoAndVideo(PRPhotoAndVideoNodePtr photo) {
    photoAndVideoArray_.push_back(std::move(photo));
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
