#pragma once

#include "ScannerRegistry.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace quarrow {

// Rows that one thread reads and another takes as they come, a batch at a time, so that a scanner
// reading ahead can post its first records while the rest are still being read.
template <class Row> class RowStream {
public:
    // Reader: adds a row; every few hundred rows become a batch the taker may have.
    void push(Row row) {
        filling_.push_back(std::move(row));
        if (filling_.size() >= kBatch) {
            handOver(false);
        }
    }
    // Reader: no more rows.
    void close() { handOver(true); }

    // Taker: waits for the next batch; false once the reader closed and every batch was taken.
    bool next(std::vector<Row>& batch) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !batches_.empty() || closed_; });
        if (batches_.empty()) {
            return false;
        }
        batch = std::move(batches_.front());
        batches_.erase(batches_.begin());
        return true;
    }

private:
    static constexpr std::size_t kBatch = 512;

    void handOver(bool last) {
        {
            std::lock_guard lock(mutex_);
            if (!filling_.empty()) {
                batches_.push_back(std::move(filling_));
            }
            closed_ = closed_ || last;
        }
        filling_ = {};
        ready_.notify_one();
    }

    std::vector<Row> filling_; // the reader's alone
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<std::vector<Row>> batches_;
    bool closed_ = false;
};

// A scanner reading ahead whose records are posted while it still reads: `read` runs on a thread of
// its own, pushing rows into the stream and closing it; in the scanner's turn the answered post takes
// them batch by batch with `post`, then calls `finish` once the reading is over. Reads in the
// scanner's turn when no thread can be had.
template <class Row, class Read, class Post, class Finish>
std::future<ScannerPost> streamAhead(Read read, Post post, Finish finish) {
    auto stream = std::make_shared<RowStream<Row>>();
    auto reading = std::make_shared<std::future<void>>();
    auto work = [stream, read] {
        // Closed however the reading ends, so that the taker never waits for rows that will not come.
        struct Closer {
            RowStream<Row>& stream;
            ~Closer() { stream.close(); }
        } closer{*stream};
        read(*stream);
    };
    try {
        *reading = std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        *reading = std::async(std::launch::deferred, work);
    }
    std::promise<ScannerPost> answer;
    answer.set_value([stream, reading, post, finish](ScanContext& context) {
        if (reading->wait_for(std::chrono::seconds(0)) == std::future_status::deferred) {
            reading->get();
        }
        std::vector<Row> batch;
        while (stream->next(batch)) {
            for (Row& row : batch) {
                post(context, row);
            }
        }
        if (reading->valid()) {
            reading->get();
        }
        finish(context);
    });
    return answer.get_future();
}

} // namespace quarrow
