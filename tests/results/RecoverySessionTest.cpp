// The recovery session both front ends drive: a scan with the chosen edition, the categories that
// ran, the export, and the way back home.

#include "results/RecoverySession.h"

#include "DeviceDb.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/Platform.h"
#include "records/ScanNotifications.h"
#include "scan/ScanContext.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>

using namespace quarrow;
using namespace quarrow::test;

namespace {

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        folder = dir.makeDir("backup");
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote({1, "Kept", "<div>Kept</div>", 352803900, 352803900});
        db.addNote({2, "Gone", "<div>Gone</div>", 352803960, 352803960});
        db.deleteNote(2);
    }

    TempDir dir;
    std::string folder;
    NotificationCenter nc;
    RecoverySession session{nc};
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

// A contacts scanner registered for one test.
struct ContactScanner {
    ContactScanner() {
        ScannerRegistry::shared().add({"scanSessionContactThread",
                                       Category::Contact,
                                       {},
                                       40,
                                       false,
                                       [](ScanContext& context, const std::string&) {
                                           auto contact = std::make_shared<PRContactNode>();
                                           contact->setContactName("Ann");
                                           context.nc.post(ScanNotification::kContact,
                                                           std::shared_ptr<PRObject>(contact));
                                           context.nc.post(ScanNotification::kProgress, 40LL);
                                       }});
    }
    ~ContactScanner() { ScannerRegistry::shared().remove("scanSessionContactThread"); }
};

} // namespace

TEST_F(Session, ScansWithTheNotesEditionByDefault) {
    std::vector<long long> progress;
    ASSERT_TRUE(session.runScan(folder, &progress));
    EXPECT_EQ(progress, (std::vector<long long>{70, 96}));
    EXPECT_EQ(session.categoriesRan(), std::set<Category>{Category::Note});
    EXPECT_EQ(session.scanners().size(), 2u);
    // The finish step keeps only the totals.
    EXPECT_EQ(session.collection().counters().BackUpFilesNum, 1);
    EXPECT_EQ(session.collection().counters().deleteeFilesNum, 1);
    EXPECT_FALSE(session.isScanning());
    EXPECT_FALSE(session.runScan(dir.file("missing"), &progress));
}

TEST_F(Session, TheFullEditionRunsEveryRegisteredScannerAndKnowsTheirCategories) {
    const ContactScanner contacts;
    session.setEdition(Edition::Full);
    std::vector<long long> progress;
    ASSERT_TRUE(session.runScan(folder, &progress));
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_NE(std::find(progress.begin(), progress.end(), 40), progress.end());
    EXPECT_EQ(progress.back(), 96);
    EXPECT_EQ(session.categoriesRan(), categoriesOf(ScannerRegistry::shared().edition(Edition::Full)));
    EXPECT_TRUE(session.categoryRan(Category::Contact));
    EXPECT_TRUE(session.categoryRan(Category::Note));
    ASSERT_EQ(session.collection().contactArray().size(), 1u);
    EXPECT_EQ(session.collection().contactArray()[0]->contactName(), "Ann");

    session.goHome();
    EXPECT_TRUE(session.collection().contactArray().empty());
    EXPECT_TRUE(session.collection().noteArray().empty());
    EXPECT_EQ(session.collection().counters().BackUpFilesNum, 0);
    EXPECT_TRUE(session.categoriesRan().empty());
}

TEST_F(Session, OneScanAndOneExportAtATime) {
    // The finish step is served here, as a front end's main thread would.
    MainThreadLoop loop;
    Platform::current().setMainThread(&loop);
    std::mutex mutex;
    std::condition_variable cv;
    bool release = false;
    ScannerRegistry::shared().add(
        {"scanSessionWaitThread", Category::Message, {}, 50, false, [&](ScanContext&, const std::string&) {
             std::unique_lock lock(mutex);
             cv.wait(lock, [&] { return release; });
         }});
    session.setEdition(Edition::Full);
    session.onScanWorkerDone = [&] { loop.wake(); };
    ASSERT_TRUE(session.startScan(folder));
    EXPECT_TRUE(session.isScanning());
    EXPECT_FALSE(session.startScan(folder)); // refused while the first runs
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    cv.notify_all();
    loop.runUntil([&] { return !session.isScanning(); });
    session.releaseScan();
    ScannerRegistry::shared().remove("scanSessionWaitThread");
    Platform::current().setMainThread(nullptr);
    EXPECT_TRUE(session.categoryRan(Category::Message));

    session.collection().setSelected(session.collection().noteArray(), true);
    ExportRun* run = session.newExport(dir.file("Export"));
    ASSERT_TRUE(run);
    EXPECT_EQ(session.newExport(dir.file("Other")), nullptr);
    run->openFolderWhenDone = false;
    run->recoverFilesThread();
    EXPECT_TRUE(std::filesystem::exists(dir.file("Export/Note/Notes.txt")));
    session.releaseExport();
    EXPECT_FALSE(session.isExporting());
    EXPECT_TRUE(session.newExport(dir.file("Other")));
}
