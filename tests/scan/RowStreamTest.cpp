// Rows read on one thread and posted on the scan's worker as they come: every row once, in the
// order read, the end only after the last row, and no wait for rows that will never come.

#include "scan/RowStream.h"

#include "platform/NotificationCenter.h"
#include "scan/ScanContext.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

using namespace quarrow;

TEST(RowStream, TakesEveryRowOnceInTheOrderReadAcrossBatches) {
    RowStream<int> stream;
    std::thread reader([&stream] {
        for (int i = 0; i < 2000; ++i) { // several batches and a part of one
            stream.push(i);
        }
        stream.close();
    });
    std::vector<int> taken;
    std::vector<int> batch;
    while (stream.next(batch)) {
        taken.insert(taken.end(), batch.begin(), batch.end());
    }
    reader.join();
    ASSERT_EQ(taken.size(), 2000u);
    for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(taken[static_cast<std::size_t>(i)], i);
    }
}

TEST(RowStream, PostsWhatWasReadThenFinishesOnceAndNeverWaitsAfterAFailedRead) {
    NotificationCenter nc;
    ScanContext context(nc);
    std::vector<int> posted;
    int finished = 0;
    auto post = [&posted](ScanContext&, int& row) { posted.push_back(row); };
    auto finish = [&](ScanContext&) {
        EXPECT_EQ(posted.size(), 700u); // every row was posted before the end
        ++finished;
    };
    auto read = [](RowStream<int>& out) {
        for (int i = 0; i < 700; ++i) {
            out.push(i);
        }
    };
    ScannerPost answer = streamAhead<int>(read, post, finish).get();
    ASSERT_TRUE(answer);
    answer(context);
    EXPECT_EQ(finished, 1);
    ASSERT_EQ(posted.size(), 700u);
    EXPECT_EQ(posted.back(), 699);

    // A reading that fails halfway closes the stream: the rows read are posted and the failure is
    // the reader's own, not a scan waiting forever.
    posted.clear();
    finished = 0;
    auto failing = [](RowStream<int>& out) {
        out.push(1);
        throw std::runtime_error("disk gone");
    };
    answer = streamAhead<int>(failing, post, [&](ScanContext&) { ++finished; }).get();
    EXPECT_THROW(answer(context), std::runtime_error);
    EXPECT_EQ(posted, std::vector<int>{1});
    EXPECT_EQ(finished, 0);
}
