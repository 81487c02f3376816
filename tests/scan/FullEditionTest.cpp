// The full edition: every built-in scanner in one scan, in the order of their progress values, on a
// backup that holds every category. The notes edition stays what it was.

#include "CategoryScanFixture.h"
#include "DeviceDb.h"
#include "platform/MainThread.h"
#include "platform/Platform.h"
#include "scan/ScanRun.h"
#include "scan/ScannerRegistry.h"
#include "support/BackupBuilder.h"

#include <algorithm>
#include <filesystem>
#include <set>

using namespace quarrow;
using namespace quarrow::test;

namespace {

std::vector<std::string> names(const std::vector<ScannerEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) {
        out.push_back(e.name);
    }
    return out;
}

class FullScan : public CategoryScan {
protected:
    static std::string pictureName() {
        return BackupFiles::fileID({"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.PNG"});
    }

    void makeBackup() {
        writeInfoPlist(folder, typicalInfo());
        {
            fixtures::AddressBookBuilder db(pathOf(DeviceFiles::kAddressBook));
            db.addPerson(person("Anna", "Berg", {"+1 (415) 555-0199"}));
        }
        {
            fixtures::SmsDbBuilder db(pathOf(DeviceFiles::kMessages), fixtures::SmsLayout::IOS6);
            fixtures::HandleMessageSpec m;
            m.text = "See you at noon";
            m.date = kMarch2012Device;
            m.handleId = db.addHandle("4155550199");
            db.addMessage(m);
        }
        {
            fixtures::CallHistoryBuilder db(pathOf(DeviceFiles::kCallHistory));
            db.addCall({"+14155550199", kMarch2012Unix, 95, fixtures::kCallOutgoing});
        }
        {
            fixtures::NotesDbBuilder db(notesSqlitePath(folder));
            db.addNote({1, "Groceries", "<div>Groceries</div>", 352803900, 352803900});
        }
        ASSERT_TRUE(fixtures::writeFile(folder + "/" + pictureName(), fixtures::pngPicture(200, 120, 1)));
    }

    // A whole scan as a front end runs it: worker thread, finish step served here.
    void run(Edition edition) {
        MainThreadLoop loop;
        Platform::current().setMainThread(&loop);
        collection.showView();
        {
            ScanRun scanRun(
                nc, [this] { collection.ScanThreadFinish(); }, ScannerRegistry::shared().edition(edition));
            scanRun.onWorkerDone = [&loop] { loop.wake(); };
            scanRun.ScanIOSBackFile(folder);
            loop.runUntil([&scanRun] { return scanRun.isFinished(); });
        }
        Platform::current().setMainThread(nullptr);
    }
};

} // namespace

TEST(FullEdition, RunsPhotosContactsMessagesCallsNotesThenTheCarvers) {
    const auto full = ScannerRegistry::shared().edition(Edition::Full);
    EXPECT_EQ(names(full),
              (std::vector<std::string>{"scanPhotoAndVideoThread", "scanContactThread", "scanMessageThread",
                                        "scanCallHistoryThread", "scanNoteThread", "scanDelNoteThread"}));
    std::vector<int> values;
    for (const auto& e : full) {
        values.push_back(e.progress);
    }
    EXPECT_EQ(values, (std::vector<int>{30, 40, 50, 60, 70, 96}));
    EXPECT_EQ(categoriesOf(full), (std::set<Category>(std::begin(kAllCategories), std::end(kAllCategories))));
    EXPECT_EQ(names(ScannerRegistry::shared().edition(Edition::Notes)),
              (std::vector<std::string>{"scanNoteThread", "scanDelNoteThread"}));
}

TEST_F(FullScan, FillsEveryCategoryWithProgressThatNeverGoesDownAndLeavesTheBackupAsItWas) {
    makeBackup();
    const std::string before = folderFingerprint(folder);
    run(Edition::Full);

    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(std::vector<long long>(progress.end() - 5, progress.end()), (std::vector<long long>{40, 50, 60, 70, 96}));
    // Pictures go by size, but the databases the other scanners read are never taken for one,
    // however large.
    std::set<std::string> large;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.file_size() >= 50000) {
            large.insert(entry.path().string());
        }
    }
    ASSERT_GT(large.size(), 1u);
    std::set<std::string> listed;
    for (const auto& photo : collection.photoAndVideoArray()) {
        listed.insert(photo->filePath().value_or(""));
    }
    EXPECT_EQ(listed, std::set<std::string>{folder + "/" + pictureName()});
    ASSERT_EQ(collection.contactArray().size(), 1u);
    ASSERT_EQ(collection.messageArray().size(), 1u);
    ASSERT_EQ(collection.callHistoryArray().size(), 1u);
    ASSERT_EQ(collection.noteArray().size(), 1u);
    // Names come from the contacts read earlier in the same scan.
    EXPECT_EQ(collection.messageArray()[0]->messageName(), "Anna Berg");
    EXPECT_EQ(collection.callHistoryArray()[0]->callName(), "Anna Berg");
    EXPECT_EQ(collection.callHistoryArray()[0]->callDuration(), "1 minute");
    EXPECT_EQ(collection.counters().BackUpFilesNum, 4 + static_cast<int>(listed.size()));
    EXPECT_EQ(folderFingerprint(folder), before);
    for (const char* secret : {"See you", "Anna", "Groceries", "4155550199"}) {
        EXPECT_FALSE(anyLineHolds(secret)) << secret;
    }
}

TEST_F(FullScan, TheNotesEditionReadsNotesAlone) {
    makeBackup();
    run(Edition::Notes);
    EXPECT_EQ(progress, (std::vector<long long>{70, 96}));
    EXPECT_EQ(collection.noteArray().size(), 1u);
    EXPECT_EQ(collection.counters().BackUpFilesNum, 1);
}
