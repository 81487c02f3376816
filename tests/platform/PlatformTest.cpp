#include "platform/Alerts.h"
#include "platform/Host.h"
#include "platform/LocalizedStrings.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

using namespace quarrow;

TEST(NotificationCenter, DeliversSynchronouslyOnThePostingThreadInOrder) {
    NotificationCenter nc;
    std::vector<std::string> seen;
    std::thread::id deliveredOn;
    nc.addObserver("A", [&](const Notification& n) {
        seen.push_back("first:" + n.name);
        deliveredOn = std::this_thread::get_id();
    });
    nc.addObserver("", [&](const Notification& n) { seen.push_back("all:" + n.name); });
    const auto token = nc.addObserver("A", [&](const Notification&) { seen.push_back("removed"); });
    nc.removeObserver(token);
    std::thread worker([&] { nc.post("A", 70LL); });
    worker.join();
    nc.post("B");
    EXPECT_EQ(seen, (std::vector<std::string>{"first:A", "all:A", "all:B"}));
    EXPECT_NE(deliveredOn, std::this_thread::get_id());
}

namespace {
struct TestRecord : PRObject {
    const char* className() const override { return "TestRecord"; }
};
} // namespace

TEST(NotificationCenter, CarriesRecordsTextsAndNumbers) {
    NotificationCenter nc;
    std::shared_ptr<TestRecord> received;
    std::string text;
    long long number = 0;
    nc.addObserver("", [&](const Notification& n) {
        if (auto r = n.recordAs<TestRecord>()) {
            received = r;
        } else if (n.text()) {
            text = *n.text();
        } else if (n.number()) {
            number = *n.number();
        }
    });
    auto note = std::make_shared<TestRecord>();
    nc.post("r", std::shared_ptr<PRObject>(note));
    nc.post("t", std::string("/path"));
    nc.post("n", 96LL);
    EXPECT_EQ(received, note);
    EXPECT_EQ(text, "/path");
    EXPECT_EQ(number, 96);
}

TEST(NotificationCenter, HandlersMayPostAndSubscribe) {
    NotificationCenter nc;
    int inner = 0;
    nc.addObserver("outer", [&](const Notification&) {
        nc.addObserver("inner", [&](const Notification&) { ++inner; });
        nc.post("inner");
    });
    nc.post("outer");
    EXPECT_EQ(inner, 1);
}

TEST(UserDefaults, PersistYesAndNoPerUser) {
    test::TempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    const std::string path = FileUserDefaults::defaultPath("/home/nobody");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(path, dir.path() + "/quarrow/defaults");
    EXPECT_EQ(FileUserDefaults::defaultPath("/home/u"), "/home/u/.config/quarrow/defaults");
    {
        FileUserDefaults defaults(path);
        EXPECT_FALSE(defaults.boolForKey("FirstStartData"));
        defaults.setBool("FirstStartData", true);
        defaults.setString("BackupRoot", "/media/disk/Backup = copied");
        defaults.setString("Bad", "two\nlines");
    }
    FileUserDefaults reread(path);
    EXPECT_EQ(reread.stringForKey("FirstStartData"), "YES");
    EXPECT_TRUE(reread.boolForKey("FirstStartData"));
    EXPECT_EQ(reread.stringForKey("BackupRoot"), "/media/disk/Backup = copied");
    EXPECT_EQ(reread.stringForKey("Bad"), std::nullopt);
}

TEST(LocalizedStrings, KeyIsItsOwnTranslationUnlessOneExists) {
    auto& strings = LocalizedStrings::shared();
    EXPECT_EQ(localizedString(" Ok "), " Ok ");
    strings.setTranslations({{" Ok ", " D'accord "}});
    EXPECT_EQ(localizedString(" Ok "), " D'accord ");
    strings.setTranslations({});
}

TEST(Host, BackupRootFollowsHomeUnlessOverridden) {
    FixedHost host;
    host.home = "/home/anna";
    ::unsetenv("QUARROW_BACKUP_ROOT");
    EXPECT_EQ(defaultBackupRoot(host), "/home/anna/Library/Application Support/MobileSync/Backup");
    ::setenv("QUARROW_BACKUP_ROOT", "/media/copy", 1);
    EXPECT_EQ(defaultBackupRoot(host), "/media/copy");
    ::unsetenv("QUARROW_BACKUP_ROOT");
    LinuxHost real;
    EXPECT_FALSE(real.loginName().empty());
}

TEST(Alerts, ScriptAnswersWithoutBlocking) {
    ScriptedAlertPresenter alerts;
    alerts.answerNextAlert(1);
    EXPECT_EQ(alerts.runModal({"Go home?", "", {" Back ", "Cancel"}}), 1);
    EXPECT_EQ(alerts.runModal({"Done", "", {"Ok"}}), 0); // unscripted: default button
    ASSERT_EQ(alerts.alertsShown().size(), 2u);
    EXPECT_EQ(alerts.alertsShown()[0].buttons[0], " Back ");
    EXPECT_EQ(alerts.runSavePanel({"Save", "/tmp", "x"}), std::nullopt); // unscripted: cancelled
    alerts.answerNextPanel("/tmp/out");
    EXPECT_EQ(alerts.runSavePanel({"Save", "/tmp", "x"}), "/tmp/out");
    NonBlockingAlertPresenter headless;
    EXPECT_EQ(headless.runSavePanel({"Save", "/tmp", "Name"}), "/tmp/Name");
}

TEST(MainThreadLoop, RunsWorkerTasksOnTheMainThreadAndWaits) {
    MainThreadLoop loop;
    const auto mainId = std::this_thread::get_id();
    std::atomic<bool> done{false};
    std::vector<std::thread::id> ranOn;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i) {
            loop.runAndWait([&] { ranOn.push_back(std::this_thread::get_id()); });
        }
        done = true;
        loop.wake();
    });
    loop.runUntil([&] { return done.load(); });
    worker.join();
    ASSERT_EQ(ranOn.size(), 100u);
    for (auto id : ranOn) {
        EXPECT_EQ(id, mainId);
    }
    bool inline_ = false;
    loop.runAndWait([&] { inline_ = true; }); // from the main thread: at once
    EXPECT_TRUE(inline_);
}

TEST(Log, SinkCollectsLines) {
    MemoryLogSink sink;
    {
        ScopedLogSink scoped(sink);
        systemLog("NoteDB is not exist");
    }
    systemLog("to standard error");
    EXPECT_EQ(sink.lines(), std::vector<std::string>{"NoteDB is not exist"});
}
