#pragma once

#include "AtomicCount.h"
#include "ContentIndex.h"
#include "platform/NotificationCenter.h"
#include "records/Records.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarrow {

struct ResultCounters {
    std::int32_t BackUpFilesNum = 0;   // existing records accepted
    std::int32_t deleteeFilesNum = 0;  // deleted records accepted
    std::int32_t selectedFilesNum = 0; // ticked records
    AtomicCount recovredFilesNum;      // records exported so far; the export worker counts, the timer reads
    std::int32_t photovideoNum = 0;
    std::int32_t delPhotovideoNum = 0;
    std::int32_t contactNum = 0;
    std::int32_t delContactNum = 0;
    std::int32_t messageNum = 0;
    std::int32_t delMessageNum = 0;
    std::int32_t noteNum = 0;
    std::int32_t delNoteNum = 0;
    std::int32_t callNum = 0;
    std::int32_t delCallNum = 0;
};

// The texts of the ten count labels, rewritten at every progress notification.
struct CountLabels {
    std::string photovideoNumlab = "Photo&Video:  ", delPhotovideoNumlab = "Photo&Video:  ";
    std::string contactNumlab = "Contacts:  ", delContactNumlab = "Contacts:  ";
    std::string messageNumlab = "Messages:  ", delMessageNumlab = "Messages:  ";
    std::string noteNumlab = "Notes:  ", delNoteNumlab = "Notes:  ";
    std::string callNumlab = "Call History:  ", delCallNumlab = "Call History:  ";
};

// The records a scan reports, one master list per category in arrival order, with the counters
// and the progress texts. Both front ends own one and drive it; it registers for every scan
// notification when created and unregisters when destroyed.
//
// Handlers run on the scan's worker thread; the lists are read by the main thread only after the
// finish step has begun, so they carry no lock.
class ResultCollection {
public:
    explicit ResultCollection(NotificationCenter& nc = NotificationCenter::defaultCenter());
    ~ResultCollection();
    ResultCollection(const ResultCollection&) = delete;
    ResultCollection& operator=(const ResultCollection&) = delete;

    const std::vector<PRPhotoAndVideoNodePtr>& photoAndVideoArray() const { return photoAndVideoArray_; }
    const std::vector<PRContactNodePtr>& contactArray() const { return contactArray_; }
    const std::vector<PRMessageNodePtr>& messageArray() const { return messageArray_; }
    const std::vector<PRCallHistoryNodePtr>& callHistoryArray() const { return callHistoryArray_; }
    const std::vector<PRNoteNodePtr>& noteArray() const { return noteArray_; }

    ResultCounters& counters() { return counters_; }
    const ResultCounters& counters() const { return counters_; }
    const CountLabels& countLabels() const { return labels_; }
    long long progressValue() const { return progress_; }
    const std::string& progressText() const { return progressText_; }

    // Prepares for a new scan: counters to 0, labels to their captions, progress to 1 ("1%").
    // Must be complete before the scan posts its first notification.
    void showView();
    // Empties the master lists (the way back home).
    void releaseUIMemory();
    // Empties the master lists of a process that is about to end: the records stay in memory until
    // it does, since freeing a hundred thousand of them one by one only delays the exit.
    void keepRecordsUntilExit();

    // Sent by the scan run on its worker after the last scanner: runs ScanFinishOnMainThread on the
    // main thread and returns when it is over.
    void ScanThreadFinish();
    void ScanFinishOnMainThread();

    // Front-end hooks. onProgress runs on the posting thread after the texts are rewritten;
    // onFinish on the main thread at the end of the finish step.
    std::function<void(long long percent)> onProgress;
    std::function<void()> onFinish;

    // Handlers, one per notification; public so that tests can drive them directly.
    void ScanNoteInfomationHandle(const PRNoteNodePtr& note);
    void ScanDelNoteInfomationHandle(const PRNoteNodePtr& note);
    void ScanContactInfomationHandle(const PRContactNodePtr& contact);
    void ScanDelContactInfomationHandle(const PRContactNodePtr& contact);
    void ScanMessageInfomationHandle(const PRMessageNodePtr& message);
    void ScanDelMessageInfomationHandle(const PRMessageNodePtr& message);
    void ScanCallHistoryInfomationHandle(const PRCallHistoryNodePtr& call);
    void ScanDelCallHistoryInfomationHandle(const PRCallHistoryNodePtr& call);
    void ScanPhotoAndVideoInfomationHandle(const std::string& path);
    void ScanMovNodeToMainThreadHandle(const std::string& path);
    // A file of an encrypted backup, posted as its record (it carries its key for the export).
    void ScanPhotoAndVideoNodeHandle(const PRPhotoAndVideoNodePtr& photo);
    void ScanProgressInfomationHandle(long long percent);

    // Ticks or unticks records and keeps selectedFilesNum in step: +1 for every record that changes
    // from unticked to ticked, -1 for every one that changes back.
    template <class Node> void setSelected(const std::vector<std::shared_ptr<Node>>& records, bool ticked) {
        for (const auto& r : records) {
            if (r && r->bSelected() != ticked) {
                r->setBSelected(ticked);
                counters_.selectedFilesNum += ticked ? 1 : -1;
            }
        }
    }

private:
    void addPhotoAndVideo(PRPhotoAndVideoNodePtr photo);

    // Duplicate tests look the record up instead of walking the list: each category's index keeps
    // its records by the hash of exactly the fields the comparison uses, read in place, and a hash
    // match is confirmed on the fields themselves; a record with an absent field is never found
    // (absent matches nothing). The outcome equals a linear pass over the list in order.
    // Notes come by the hundred thousand with long bodies, messages by the ten thousand: no copy of
    // a text is kept, only a hash and the record.
    using NoteIndex = ContentIndex<PRNoteNode>;
    void rememberNote(const PRNoteNode& note);

    NotificationCenter& nc_;
    std::vector<NotificationCenter::Token> tokens_;

    std::vector<PRPhotoAndVideoNodePtr> photoAndVideoArray_;
    std::vector<PRContactNodePtr> contactArray_;
    std::vector<PRMessageNodePtr> messageArray_;
    std::vector<PRCallHistoryNodePtr> callHistoryArray_;
    std::vector<PRNoteNodePtr> noteArray_;
    NoteIndex noteIndex_;
    ContentIndex<PRContactNode> contactIndex_;
    ContentIndex<PRMessageNode> messageIndex_;
    ContentIndex<PRCallHistoryNode> callIndex_;

    ResultCounters counters_;
    CountLabels labels_;
    long long progress_ = 1;
    std::string progressText_ = "1%";
};

} // namespace quarrow
