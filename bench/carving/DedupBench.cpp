// Posts 100,000 carved notes into a result collection that already lists 100,000 notes and times
// how long the collection takes to keep or drop them (half are copies of listed notes).
// Usage: quarrow_bench_dedup [LISTED [CARVED]]

#include "platform/NotificationCenter.h"
#include "records/ScanNotifications.h"
#include "results/ResultCollection.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace quarrow;

namespace {

PRNoteNodePtr note(long i) {
    auto n = std::make_shared<PRNoteNode>();
    n->setUid(static_cast<std::int32_t>(i));
    n->setNoteTitle("Note " + std::to_string(i));
    n->setNoteContent("<div>Note " + std::to_string(i) + "</div><div>" + std::string(200, 'x') + "</div>");
    n->setNoteDate("03-07-2012 09:05");
    return n;
}

} // namespace

int main(int argc, char** argv) {
    const long listed = argc > 1 ? std::atol(argv[1]) : 100000;
    const long carved = argc > 2 ? std::atol(argv[2]) : 100000;
    NotificationCenter nc;
    ResultCollection collection(nc);
    collection.showView();
    for (long i = 0; i < listed; ++i) {
        nc.post(ScanNotification::kNote, std::shared_ptr<PRObject>(note(i)));
    }
    // Build the carved records first so that only the collection's work is timed.
    std::vector<PRNoteNodePtr> batch;
    batch.reserve(static_cast<std::size_t>(carved));
    for (long i = 0; i < carved; ++i) {
        batch.push_back(note(i % 2 == 0 ? i : listed + i)); // every other one a copy of a listed note
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto& n : batch) {
        nc.post(ScanNotification::kDelNote, std::shared_ptr<PRObject>(std::move(n)));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("listed %ld, carved %ld posted: %.3f s (%.2f us each); kept %d deleted, list now %zu\n", listed, carved,
                seconds, seconds * 1e6 / static_cast<double>(carved), collection.counters().delNoteNum,
                collection.noteArray().size());
    return 0;
}
