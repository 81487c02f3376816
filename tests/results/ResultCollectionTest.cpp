#include "results/ResultCollection.h"

#include "platform/Platform.h"
#include "scan/ScanNotifications.h"

#include <gtest/gtest.h>

using namespace quarrow;

namespace {

PRNoteNodePtr note(OptText title, OptText content) {
    auto n = std::make_shared<PRNoteNode>();
    n->setNoteTitle(std::move(title));
    n->setNoteContent(std::move(content));
    return n;
}

PRContactNodePtr contact(OptText name, OptText phone) {
    auto c = std::make_shared<PRContactNode>();
    c->setContactName(std::move(name));
    c->setContactPhone(std::move(phone));
    return c;
}

PRMessageNodePtr message(OptText phone, OptText content, OptText date = "01-01-2013 10:00") {
    auto m = std::make_shared<PRMessageNode>();
    m->setMessagePhone(std::move(phone));
    m->setMessageContent(std::move(content));
    m->setMessageDate(std::move(date));
    return m;
}

PRCallHistoryNodePtr call(OptText name, OptText phone, OptText date = "01-01-2013 10:00") {
    auto c = std::make_shared<PRCallHistoryNode>();
    c->setCallName(std::move(name));
    c->setCallPhone(std::move(phone));
    c->setCallDate(std::move(date));
    return c;
}

class Collection : public ::testing::Test {
protected:
    NotificationCenter nc;
    ResultCollection collection{nc};
};

} // namespace

TEST_F(Collection, DeletedNoteIsComparedByContentOnly) {
    collection.ScanNoteInfomationHandle(note("Live", "same body"));
    collection.ScanDelNoteInfomationHandle(note("Other title", "same body"));
    collection.ScanDelNoteInfomationHandle(note("Live", "new body"));
    collection.ScanDelNoteInfomationHandle(note("Again", "new body")); // duplicates a deleted one
    const auto& notes = collection.noteArray();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_TRUE(notes[1]->bDeleted());
    EXPECT_EQ(notes[1]->noteContent(), "new body");
    EXPECT_EQ(collection.counters().noteNum, 1);
    EXPECT_EQ(collection.counters().delNoteNum, 1);
    EXPECT_EQ(collection.counters().BackUpFilesNum, 1);
    EXPECT_EQ(collection.counters().deleteeFilesNum, 1);
}

TEST_F(Collection, NoteDropRuleAndAbsentTexts) {
    collection.ScanDelNoteInfomationHandle(note(std::nullopt, std::nullopt)); // dropped before comparing
    collection.ScanDelNoteInfomationHandle(note("", ""));                     // empty texts are compared
    collection.ScanDelNoteInfomationHandle(note("x", ""));                    // a listed note has empty content
    collection.ScanDelNoteInfomationHandle(note("t", std::nullopt));          // absent matches nothing
    collection.ScanDelNoteInfomationHandle(note("t", std::nullopt));
    ASSERT_EQ(collection.noteArray().size(), 3u);
    EXPECT_EQ(collection.counters().delNoteNum, 3);
}

TEST_F(Collection, DeletedContactsCompareNameAndPhone) {
    collection.ScanContactInfomationHandle(contact("Anna", " 555"));
    collection.ScanDelContactInfomationHandle(contact("Anna", " 555"));
    collection.ScanDelContactInfomationHandle(contact("Anna", " 556"));
    collection.ScanDelContactInfomationHandle(contact(std::nullopt, " 555"));
    EXPECT_EQ(collection.contactArray().size(), 3u);
    EXPECT_EQ(collection.counters().delContactNum, 2);
}

TEST_F(Collection, DeletedMessagesDropEmptyOnesAndCompareThreeFields) {
    collection.ScanDelMessageInfomationHandle(message(std::nullopt, std::nullopt));
    collection.ScanDelMessageInfomationHandle(message("", ""));
    collection.ScanDelMessageInfomationHandle(message("", std::nullopt));
    collection.ScanMessageInfomationHandle(message("+1", "hi"));
    collection.ScanDelMessageInfomationHandle(message("+1", "hi"));
    collection.ScanDelMessageInfomationHandle(message("+1", "hi", "02-01-2013 10:00"));
    EXPECT_EQ(collection.messageArray().size(), 2u);
    EXPECT_EQ(collection.counters().delMessageNum, 1);
}

TEST_F(Collection, DeletedCallsDropOnlyBothEmpty) {
    collection.ScanDelCallHistoryInfomationHandle(call("", ""));
    collection.ScanDelCallHistoryInfomationHandle(call(std::nullopt, ""));   // passes the drop rule
    collection.ScanDelCallHistoryInfomationHandle(call("Someone", "", "x")); // same phone, other date
    collection.ScanDelCallHistoryInfomationHandle(call("Else", ""));         // same phone and date
    EXPECT_EQ(collection.callHistoryArray().size(), 2u);
    EXPECT_EQ(collection.counters().delCallNum, 2);
}

TEST_F(Collection, DuplicateIndexAgreesWithALinearPass) {
    // Random traffic over a small alphabet: the index must accept exactly what a linear pass
    // over the list (first match drops) would accept, in the same order.
    std::vector<PRNoteNodePtr> reference;
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < 3000; ++i) {
        const unsigned r = next();
        OptText content = (r >> 8) % 7 == 0 ? OptText{} : OptText{std::to_string((r >> 12) % 50)};
        OptText title = (r >> 4) % 11 == 0 ? OptText{} : OptText{"t"};
        auto n = note(title, content);
        if ((r >> 20) % 3 == 0) {
            collection.ScanNoteInfomationHandle(n);
            reference.push_back(n);
            continue;
        }
        collection.ScanDelNoteInfomationHandle(n);
        if (!title && !content) {
            continue;
        }
        bool duplicate = false;
        for (const auto& listed : reference) {
            if (content && listed->noteContent() && *listed->noteContent() == *content) {
                duplicate = true;
                break;
            }
        }
        if (!duplicate) {
            reference.push_back(n);
        }
    }
    ASSERT_EQ(collection.noteArray(), reference);
}

TEST_F(Collection, ProgressRewritesTheCountLabels) {
    collection.showView();
    EXPECT_EQ(collection.progressText(), "1%");
    EXPECT_EQ(collection.countLabels().noteNumlab, "Notes:  ");
    std::vector<long long> seen;
    collection.onProgress = [&](long long p) { seen.push_back(p); };
    nc.post(ScanNotification::kNote, std::shared_ptr<PRObject>(note("a", "a")));
    EXPECT_EQ(collection.countLabels().noteNumlab, "Notes:  "); // records alone change no label
    nc.post(ScanNotification::kDelNote, std::shared_ptr<PRObject>(note("b", "b")));
    nc.post(ScanNotification::kProgress, 70LL);
    EXPECT_EQ(collection.progressText(), "70%");
    EXPECT_EQ(collection.countLabels().noteNumlab, "Notes:  1");
    EXPECT_EQ(collection.countLabels().delNoteNumlab, "Notes:  1");
    EXPECT_EQ(collection.countLabels().delPhotovideoNumlab, "Photo&Video:  0");
    EXPECT_EQ(collection.countLabels().callNumlab, "Call History:  0");
    EXPECT_EQ(seen, std::vector<long long>{70});
}

TEST_F(Collection, FinishKeepsTotalsAndResetsCategoryCounts) {
    collection.ScanNoteInfomationHandle(note("a", "a"));
    collection.ScanDelNoteInfomationHandle(note("b", "b"));
    bool finished = false;
    collection.onFinish = [&] { finished = true; };
    collection.ScanThreadFinish();
    EXPECT_TRUE(finished);
    EXPECT_EQ(collection.counters().BackUpFilesNum, 1);
    EXPECT_EQ(collection.counters().deleteeFilesNum, 1);
    EXPECT_EQ(collection.counters().noteNum, 0);
    EXPECT_EQ(collection.counters().delNoteNum, 0);
    EXPECT_EQ(collection.progressText(), "0%");
    collection.releaseUIMemory();
    EXPECT_TRUE(collection.noteArray().empty());
    collection.ScanDelNoteInfomationHandle(note("b", "b")); // the index was emptied too
    EXPECT_EQ(collection.noteArray().size(), 1u);
}

TEST_F(Collection, TickingCountsChangesOnly) {
    auto a = note("a", "a"), b = note("b", "b"), c = note("c", "c");
    c->setBSelected(true);
    collection.counters().selectedFilesNum = 1;
    collection.setSelected(std::vector<PRNoteNodePtr>{a, b, c}, true);
    EXPECT_EQ(collection.counters().selectedFilesNum, 3);
    collection.setSelected(std::vector<PRNoteNodePtr>{a, b, c}, false);
    EXPECT_EQ(collection.counters().selectedFilesNum, 0);
}

TEST(CollectionRegistration, ReceivesEachNotificationOnceAndStopsWhenDestroyed) {
    NotificationCenter nc;
    {
        ResultCollection collection(nc);
        nc.post(ScanNotification::kNote, std::shared_ptr<PRObject>(note("a", "a")));
        nc.post(ScanNotification::kNote, std::string("not a record"));
        EXPECT_EQ(collection.noteArray().size(), 1u);
    }
    nc.post(ScanNotification::kNote, std::shared_ptr<PRObject>(note("a", "a"))); // nobody listens
}
