#include "results/ResultCollection.h"

#include "records/ScanNotifications.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

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

// One scan's traffic for a category, and what must be left of it: records listed, deleted ones counted.
struct DropCase {
    const char* name;
    std::function<void(ResultCollection&)> feed;
    std::size_t listed;
    int deleted;
};

class DropAndDuplicate : public ::testing::TestWithParam<DropCase> {};

TEST_P(DropAndDuplicate, KeepsOnlyNewRecords) {
    NotificationCenter nc;
    ResultCollection collection(nc);
    GetParam().feed(collection);
    EXPECT_EQ(collection.noteArray().size() + collection.contactArray().size() + collection.messageArray().size() +
                  collection.callHistoryArray().size(),
              GetParam().listed);
    EXPECT_EQ(collection.counters().deleteeFilesNum, GetParam().deleted);
}

INSTANTIATE_TEST_SUITE_P(Categories, DropAndDuplicate,
                         ::testing::Values(
                             // Notes compare content only; absent content matches nothing, empty texts are compared.
                             DropCase{"Notes",
                                      [](ResultCollection& c) {
                                          c.ScanNoteInfomationHandle(note("Live", "same"));
                                          c.ScanDelNoteInfomationHandle(note("Other", "same"));
                                          c.ScanDelNoteInfomationHandle(note(std::nullopt, std::nullopt)); // dropped
                                          c.ScanDelNoteInfomationHandle(note("", ""));
                                          c.ScanDelNoteInfomationHandle(note("x", "")); // duplicates the empty one
                                          c.ScanDelNoteInfomationHandle(note("t", std::nullopt));
                                          c.ScanDelNoteInfomationHandle(note("t", std::nullopt));
                                      },
                                      4u, 3},
                             DropCase{"Contacts",
                                      [](ResultCollection& c) {
                                          c.ScanContactInfomationHandle(contact("Anna", " 555"));
                                          c.ScanDelContactInfomationHandle(contact("Anna", " 555"));
                                          c.ScanDelContactInfomationHandle(contact("Anna", " 556"));
                                          c.ScanDelContactInfomationHandle(contact(std::nullopt, " 555"));
                                      },
                                      3u, 2},
                             DropCase{"Messages",
                                      [](ResultCollection& c) {
                                          c.ScanDelMessageInfomationHandle(message(std::nullopt, std::nullopt));
                                          c.ScanDelMessageInfomationHandle(message("", ""));
                                          c.ScanDelMessageInfomationHandle(message("", std::nullopt));
                                          c.ScanMessageInfomationHandle(message("+1", "hi"));
                                          c.ScanDelMessageInfomationHandle(message("+1", "hi"));
                                          c.ScanDelMessageInfomationHandle(message("+1", "hi", "02-01-2013 10:00"));
                                      },
                                      2u, 1},
                             DropCase{"Calls",
                                      [](ResultCollection& c) {
                                          c.ScanDelCallHistoryInfomationHandle(call("", ""));
                                          c.ScanDelCallHistoryInfomationHandle(call(std::nullopt, ""));
                                          c.ScanDelCallHistoryInfomationHandle(call("Someone", "", "x")); // other date
                                          c.ScanDelCallHistoryInfomationHandle(call("Else", "")); // same phone and date
                                      },
                                      2u, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

class Collection : public ::testing::Test {
protected:
    NotificationCenter nc;
    ResultCollection collection{nc};
};

TEST_F(Collection, DuplicateIndexAgreesWithALinearPass) {
    // Random traffic over a small alphabet: the index must accept exactly what a linear pass
    // over the list (first match drops) would accept, in the same order.
    std::vector<PRNoteNodePtr> reference;
    unsigned seed = 12345;
    for (int i = 0; i < 3000; ++i) {
        const unsigned r = seed = seed * 1103515245u + 12345u;
        OptText content = (r >> 8) % 7 == 0 ? OptText{} : OptText{std::to_string((r >> 12) % 50)};
        OptText title = (r >> 4) % 11 == 0 ? OptText{} : OptText{"t"};
        auto n = note(title, content);
        if ((r >> 20) % 3 == 0) {
            collection.ScanNoteInfomationHandle(n);
            reference.push_back(n);
            continue;
        }
        collection.ScanDelNoteInfomationHandle(n);
        const bool duplicate = std::any_of(reference.begin(), reference.end(), [&](const auto& listed) {
            return content && listed->noteContent() == content;
        });
        if ((title || content) && !duplicate) {
            reference.push_back(n);
        }
    }
    ASSERT_EQ(collection.noteArray(), reference);
}

TEST_F(Collection, ProgressRewritesTheCountLabels) {
    collection.showView();
    EXPECT_EQ(collection.progressText(), "1%");
    nc.post(ScanNotification::kNote, std::shared_ptr<PRObject>(note("a", "a")));
    EXPECT_EQ(collection.countLabels().noteNumlab, "Notes:  "); // records alone change no label
    nc.post(ScanNotification::kDelNote, std::shared_ptr<PRObject>(note("b", "b")));
    nc.post(ScanNotification::kProgress, 70LL);
    EXPECT_EQ(collection.progressText(), "70%");
    EXPECT_EQ(collection.countLabels().noteNumlab, "Notes:  1");
    EXPECT_EQ(collection.countLabels().delNoteNumlab, "Notes:  1");
    EXPECT_EQ(collection.countLabels().delPhotovideoNumlab, "Photo&Video:  0");
    EXPECT_EQ(collection.countLabels().callNumlab, "Call History:  0");
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
    collection.ScanDelNoteInfomationHandle(note("b", "b")); // the index was emptied too
    EXPECT_EQ(collection.noteArray().size(), 1u);
}

} // namespace

TEST(CollectionAtExit, KeepsTheRecordsAliveButListsNothing) {
    NotificationCenter nc;
    std::weak_ptr<PRNoteNode> kept;
    {
        ResultCollection collection(nc);
        auto listed = std::make_shared<PRNoteNode>();
        listed->setNoteContent(std::string("body"));
        kept = listed;
        collection.ScanNoteInfomationHandle(listed);
        listed.reset();
        collection.keepRecordsUntilExit();
        EXPECT_TRUE(collection.noteArray().empty());
        // The index went with the lists: the same body is no duplicate of anything now.
        auto again = std::make_shared<PRNoteNode>();
        again->setNoteContent(std::string("body"));
        collection.ScanDelNoteInfomationHandle(again);
        EXPECT_EQ(collection.noteArray().size(), 1u);
    }
    EXPECT_FALSE(kept.expired()); // neither the lists nor the collection's end freed it
}
