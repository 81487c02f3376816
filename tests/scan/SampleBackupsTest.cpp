// The sample root that the build generates from samples/backups: every backup is listed with the
// fields its property lists give, the note scanner reads its live notes, its deleted rows are still
// in free space, and a whole scan leaves every file as it was.

#include "DeviceDb.h"
#include "discovery/BackupFiles.h"
#include "discovery/BackupUnlock.h"
#include "discovery/PRIOSDeviceController.h"
#include "platform/Host.h"
#include "platform/Log.h"
#include "results/ResultCollection.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"
#include "scan/ScanRun.h"
#include "support/BackupBuilder.h"
#include "support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using namespace quarrow;

namespace {

const std::string kRoot = QUARROW_SAMPLE_ROOT;

struct SampleBackup {
    const char* id;
    const char* deviceName;
    std::optional<std::string> deviceType;
    const char* iosVersion;
    const char* backupTime; // UTC
    std::vector<std::string> liveTitles;
    const char* freeSpaceText; // a deleted or overwritten row, unreachable with SQL (or nullptr)
};

const std::vector<SampleBackup> kSamples = {
    {"340e53821200ee8b952e724618cb2a7573b0f537",
     "Maya's iPhone",
     "Iphone 5",
     "6.1.3",
     "2013-06-10 18:30",
     {"Lisbon trip", "Shopping", "Birthday dinner"},
     "Password: Azulejo#2013"},
    {"3f9c2a7d5e81b04c6a1d92e7f0b3c58a4d6e2f17",
     "Anna's iPhone",
     "Iphone 4S",
     "5.1.1",
     "2012-08-10 19:24",
     {"Groceries", "Packing list for Lisbon", "Mum's birthday – 3 August", "Gift ideas", "Meeting notes 9 Aug"},
     "Password: Alpenrose!2012"},
    {"8b07e4d1c2a95f3e60d7b18c4a2f9e05d3c71b6a",
     "Marc’s iPad",
     "NewIpad",
     "6.1.3",
     "2013-06-02 09:15",
     {"Recette des crêpes 🥞", "東京旅行の予定", "中文学习笔记", "À faire ce week-end 📝"},
     "Clé chez Mme Bérénice"},
    {"c1d5a0e9f7b3248e6a0c9d2b5f8e1a3c7d4b6e90",
     "Jürgen’s iPhone",
     "Iphone3G",
     "3.1.3",
     "2010-02-20 20:05",
     {"Einkaufsliste", "Geburtstage", "Werkstatt-Termin"},
     "Schlüssel beim Wirt"},
    {"5a2e8c4f1b7d09e3c6a5f2d8b1e4c7a0f3d9b2e6",
     "Sofia's iPhone",
     "Iphone 5",
     "6.1.4",
     "2013-07-21 21:03",
     {"Tortilla española", "Horario de los niños", "Viaje a Londres ✈️", "Presupuesto julio"},
     "ES91 2100 0418 4502 0005 1332"},
    {"e7b1d4a8c3f6920d5e1b7a4c8f2d6e093b5a1c7d",
     "Lena’s iPad mini",
     "iPad2,5", // a model the device-type table does not name
     "6.1.3",
     "2013-04-09 07:48",
     {"Running log 2013 🏃", "Thesis", "Books to read 📚"},
     nullptr},
    // Today's layout and note store; "Old packing list" lies in Recently Deleted.
    {"00008110-001A2D3C0E91801E",
     "Mia's iPhone",
     "iPhone14,2",
     "16.6",
     "2023-11-14 22:13",
     {"Groceries", "Pasta al limone", "Lisbon, 14–18 June", "Bank and door codes", "Gift ideas", "Old packing list"},
     nullptr},
    // Encrypted: without its password nothing in it can be read (see below).
    {"00008120-0019644E3A78C01E", "Noah’s iPhone", "iPhone15,4", "17.5.1", "2024-06-30 18:42", {}, nullptr},
};

const char* kEncryptedSample = "00008120-0019644E3A78C01E";

class SampleBackupTest : public ::testing::TestWithParam<SampleBackup> {
protected:
    std::string folder() const { return kRoot + "/" + GetParam().id; }
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

} // namespace

TEST_P(SampleBackupTest, IsListedWithItsFields) {
    test::ScopedTimeZone utc("UTC");
    FixedHost host;
    PRIOSDeviceController controller(host);
    controller.addDeviceNodeByPath(folder());
    ASSERT_EQ(controller.arrangedObjects().size(), 1u);
    const auto& n = *controller.arrangedObjects()[0];
    EXPECT_EQ(n.strDeviceName(), GetParam().deviceName);
    EXPECT_EQ(n.strDeviceType(), GetParam().deviceType);
    EXPECT_EQ(n.strIOSVersion(), GetParam().iosVersion);
    EXPECT_EQ(n.strDeviceBackUpTime(), GetParam().backupTime);
}

TEST_P(SampleBackupTest, ScanReadsLiveNotesAndFreeSpaceHoldsDeletedOnes) {
    NotificationCenter nc;
    ResultCollection collection(nc);
    {
        ScanContext context(nc, folder());
        scanNoteThread(context, folder());
    }
    std::vector<std::string> titles;
    for (const auto& note : collection.noteArray()) {
        titles.push_back(note->noteTitle().value_or("?"));
    }
    EXPECT_EQ(titles, GetParam().liveTitles);
    if (const char* hidden = GetParam().freeSpaceText) {
        const auto notes = BackupFiles(folder()).notesDatabase();
        ASSERT_TRUE(notes);
        EXPECT_NE(fixtures::readFile(notes->path).find(hidden), std::string::npos);
        for (const auto& note : collection.noteArray()) {
            EXPECT_EQ(note->noteContent()->find(hidden), std::string::npos);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleBackupTest, ::testing::ValuesIn(kSamples),
                         [](const auto& info) { return std::string(info.param.id).substr(0, 8); });

// The encrypted sample opens with the password its README gives, and its notes are read like any
// other's: the live ones, and the one deleted for good from the decrypted copy's free space; its
// pictures are listed too.
TEST(SampleBackups, TheEncryptedOneIsReadWithItsPassword) {
    const std::string folder = kRoot + "/" + kEncryptedSample;
    ScriptedPasswordRequest passwords;
    passwords.answerNext("tortoise");
    const UnlockResult unlocked = unlockBackup(folder, "Noah’s iPhone", passwords);
    ASSERT_EQ(unlocked.status, UnlockStatus::Unlocked);
    NotificationCenter nc;
    ResultCollection collection(nc);
    ScanRun run(nc, {}, ScannerRegistry::shared().edition(Edition::Full));
    run.ScanIOSBackFile(folder, unlocked.unlocked);
    run.join();
    // Its camera roll, by the names and sizes of its decrypted manifest.
    std::vector<std::string> pictures;
    for (const auto& photo : collection.photoAndVideoArray()) {
        pictures.push_back(photo->fileNodeName().value_or("?") + " " + std::to_string(photo->fileByteCount()));
    }
    EXPECT_EQ(pictures, (std::vector<std::string>{"IMG_2231.PNG 108223", "IMG_2232.PNG 78203", "IMG_2231.PNG 68593"}));
    std::vector<std::string> titles;
    for (const auto& note : collection.noteArray()) {
        titles.push_back(note->noteTitle().value_or("?") + (note->bDeleted() ? " (deleted)" : ""));
    }
    std::sort(titles.begin(), titles.end());
    std::vector<std::string> expected = {"Bike lock", "Marathon plan"};
    if (ScannerRegistry::shared().edition(Edition::Notes).size() > 1) { // the edition runs the carver
        expected.insert(expected.begin() + 1, "Locker at the gym (deleted)");
    }
    EXPECT_EQ(titles, expected);
}

TEST(SampleBackups, AWholeScanOfEveryBackupLeavesEveryFileAsItWas) {
    const std::string before = test::folderFingerprint(kRoot);
    for (const auto& sample : kSamples) {
        NotificationCenter nc;
        ResultCollection collection(nc);
        ScanRun run(nc, {});
        run.ScanIOSBackFile(kRoot + "/" + sample.id);
        run.join();
    }
    EXPECT_EQ(test::folderFingerprint(kRoot), before);
}
