#include "scan/ScanRun.h"

#include "DeviceDb.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "records/ScanNotifications.h"
#include "results/ResultCollection.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// Runs a whole scan the way a front end does: worker thread, finish step on this thread.
struct ScanDriver {
    explicit ScanDriver(NotificationCenter& nc) : collection(nc), nc_(nc) {
        Platform::current().setMainThread(&loop);
        collection.onFinish = [this] {
            finishThread = std::this_thread::get_id();
            ++finishes;
        };
    }
    ~ScanDriver() { Platform::current().setMainThread(nullptr); }

    void scan(const std::string& folder,
              std::vector<ScannerEntry> scanners = ScannerRegistry::shared().edition(Edition::Notes)) {
        collection.showView();
        ScanRun run(
            nc_, [this] { collection.ScanThreadFinish(); }, std::move(scanners));
        run.onWorkerDone = [this] { loop.wake(); };
        run.ScanIOSBackFile(folder);
        loop.runUntil([&run] { return run.isFinished(); });
    }

    MainThreadLoop loop;
    ResultCollection collection;
    NotificationCenter& nc_;
    std::thread::id finishThread;
    int finishes = 0;
};

} // namespace

TEST(ScanRun, RunsTheScannersOnAWorkerAndFinishesOnTheMainThread) {
    TempDir dir;
    const auto folder = dir.makeDir("b");
    writeInfoPlist(folder, typicalInfo());
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote({1, "One", "<div>One</div>", 100, 100});
        db.addNote({2, "Two", "<div>Two</div>", 200, 200});
    }
    NotificationCenter nc;
    std::vector<std::string> order;
    std::thread::id scannerThread;
    std::string copy;
    auto first = [&](ScanContext& c, const std::string& path) {
        scannerThread = std::this_thread::get_id();
        order.push_back("notes");
        scanNoteThread(c, path);
        copy = c.sqlite.foldedCopy(notesSqlitePath(folder)).value_or("");
    };
    auto second = [&](ScanContext& c, const std::string&) {
        order.push_back("second");
        EXPECT_EQ(c.sqlite.foldedCopy(notesSqlitePath(folder)), copy); // the copy is shared across scanners
    };
    ScanDriver driver(nc);
    driver.scan(folder,
                {{"first", Category::Note, {}, 70, false, first}, {"second", Category::Note, {}, 96, true, second}});
    EXPECT_FALSE(copy.empty());
    EXPECT_FALSE(std::filesystem::exists(copy)); // the work folder went with the scan
    EXPECT_EQ(order, (std::vector<std::string>{"notes", "second"}));
    EXPECT_NE(scannerThread, std::this_thread::get_id());
    EXPECT_EQ(driver.finishThread, std::this_thread::get_id());
    EXPECT_EQ(driver.finishes, 1);
    EXPECT_EQ(driver.collection.noteArray().size(), 2u);
    EXPECT_EQ(driver.collection.counters().BackUpFilesNum, 2);

    // Back home and a second scan: the same collection hears each notification once.
    driver.collection.releaseUIMemory();
    driver.scan(folder);
    EXPECT_EQ(driver.collection.noteArray().size(), 2u);
    EXPECT_EQ(driver.finishes, 2);
}

TEST(ScanRun, FinishesWithoutAnyNotesDatabase) {
    TempDir dir;
    const auto folder = dir.makeDir("b");
    writeInfoPlist(folder, typicalInfo());
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    NotificationCenter nc;
    std::vector<long long> progress;
    nc.addObserver(ScanNotification::kProgress, [&](const Notification& n) { progress.push_back(*n.number()); });
    ScanDriver driver(nc);
    driver.scan(folder);
    EXPECT_EQ(driver.finishes, 1);
    EXPECT_TRUE(progress.empty());
    EXPECT_TRUE(log.contains("messageDB is not exist"));
    EXPECT_TRUE(driver.collection.noteArray().empty());
}

// A scanner that reads ahead does its reading while the scanners before it run, yet posts in its
// own turn: a scan shows the same records in the same order with it as without it.
TEST(ScanRun, AScannerReadingAheadReadsDuringEarlierScannersAndPostsInItsTurn) {
    NotificationCenter nc;
    std::mutex mutex;
    std::condition_variable changed;
    bool readingStarted = false;
    bool sawReading = false;
    std::vector<std::string> order;
    auto first = [&](ScanContext&, const std::string&) {
        std::unique_lock lock(mutex);
        sawReading = changed.wait_for(lock, std::chrono::seconds(10), [&] { return readingStarted; });
        order.push_back("first");
    };
    auto ahead = [&](ScanContext&, const std::string&) {
        return readAhead([&]() -> ScannerPost {
            {
                std::lock_guard lock(mutex);
                readingStarted = true;
                order.push_back("second reads");
            }
            changed.notify_all();
            return [&](ScanContext&) { order.push_back("second posts"); };
        });
    };
    ScanDriver driver(nc);
    driver.scan("/nowhere", {{"first", Category::Note, {}, 70, false, first},
                             {"second", Category::Note, {}, 96, true, nullptr, ahead}});
    EXPECT_TRUE(sawReading);
    EXPECT_EQ(order, (std::vector<std::string>{"second reads", "first", "second posts"}));
    EXPECT_EQ(driver.finishes, 1);
}
