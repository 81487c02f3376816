#include "records/Records.h"

#include <gtest/gtest.h>

#include <thread>

using namespace quarrow;

TEST(Records, StartEmptyWithMinusOneAndFalse) {
    PRCallHistoryNode call;
    EXPECT_EQ(call.callTime(), -1);
    EXPECT_EQ(call.callName(), "");
    EXPECT_FALSE(call.bDeleted());
    PRMessageNode message;
    EXPECT_EQ(message.handle_id(), -1);
    EXPECT_EQ(message.messageContent(), "");
    PRNoteNode note;
    EXPECT_EQ(note.uid(), -1);
    EXPECT_EQ(note.noteTitle(), "");
    EXPECT_STREQ(note.className(), "PRNoteNode");
}

TEST(Records, AbsentIsNotEmpty) {
    PRMessageNode message;
    message.setMessageName(std::nullopt);
    EXPECT_FALSE(message.messageName().has_value());
    message.setMessageName("");
    ASSERT_TRUE(message.messageName().has_value());
    EXPECT_EQ(*message.messageName(), "");
}

TEST(Records, ConcurrentWritesNeverTearAText) {
    // A reader must always see one of the written values whole, never a mix.
    PRNoteNode note;
    const std::string a(4096, 'a'), b(8192, 'b');
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            note.setNoteContent(i % 2 ? a : b);
        }
        stop = true;
    });
    while (!stop) {
        const auto seen = note.noteContent().value();
        ASSERT_TRUE(seen.empty() || seen == a || seen == b);
    }
    writer.join();
}
