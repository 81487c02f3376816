// Scans of encrypted backups: the scanners find their databases through BackupFiles, which decrypts
// exactly the files they ask for into the scan's private work folder, and nothing decrypted stays
// anywhere once the scan's lists are freed.

#include "discovery/BackupFiles.h"
#include "discovery/BackupUnlock.h"
#include "platform/Log.h"
#include "platform/WorkFolder.h"
#include "results/ResultCollection.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"
#include "support/TempDir.h"

#include "DeviceDb.h"
#include "EncryptedBackup.h"
#include "ModernBackup.h"
#include "NoteStore.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quarrow;
using namespace quarrow::test;
namespace fx = quarrow::fixtures;
namespace fs = std::filesystem;

namespace {

const char* kNotesDomain = "AppDomainGroup-group.com.apple.notes";

// Every file under the folder with its bytes, for "nothing changed" and "nothing left" checks.
std::map<std::string, std::string> filesUnder(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file()) {
            files[it->path().string()] = fx::readFile(it->path().string());
        }
    }
    return files;
}

class EncryptedScan : public ::testing::Test {
protected:
    void SetUp() override {
        folder = dir.makeDir("00008110-001A2D3C0E91801E");
        const std::string store = dir.file("NoteStore.sqlite");
        {
            fx::NoteStoreBuilder db(store);
            const auto notes = db.addFolder("Notes");
            db.addNote({"Shopping", "Shopping\nMilk\nBread", notes, 708000000, 708000000});
            db.checkpoint();
            db.addNote({"Fresh", "Fresh\nonly in the log", notes, 708000000, 708000060});
            db.close(true); // keeps the write-ahead log: a device file of its own, encrypted too
        }
        fx::ModernBackupBuilder backup(folder);
        fx::ModernDevice device;
        device.encrypted = true;
        backup.writePropertyLists(device);
        backup.addDatabase(kNotesDomain, "NoteStore.sqlite", store);
        backup.addOtherRows(200);
        ASSERT_TRUE(backup.writeManifest());
        fs::remove(store);
        fs::remove(store + "-wal");
    }

    void encrypt(const fx::BackupEncryption& settings = {}) {
        ASSERT_TRUE(fx::encryptBackup(folder, settings));
        ScriptedPasswordRequest passwords;
        passwords.answerNext(settings.password);
        const UnlockResult result = unlockBackup(folder, "Mia's iPhone", passwords);
        ASSERT_EQ(result.status, UnlockStatus::Unlocked);
        unlocked = result.unlocked;
    }

    std::vector<std::string> scannedTitles() {
        const auto before = filesUnder(folder);
        {
            ScanContext context(nc, folder, unlocked);
            scanNoteThread(context, folder);
            EXPECT_TRUE(context.workFolder.exists() || collection.noteArray().empty());
            context.removeSomeArray();
            EXPECT_FALSE(context.workFolder.exists());
        }
        // Nothing decrypted next to the backup, and the backup byte for byte as it was.
        EXPECT_TRUE(filesUnder(folder) == before);
        // Nothing decrypted left in the cache either.
        for (const auto& [path, bytes] : filesUnder(WorkFolder::cacheRoot())) {
            EXPECT_EQ(path.find("/scan-" + std::to_string(::getpid()) + "-"), std::string::npos) << path;
        }
        std::vector<std::string> titles;
        for (const auto& n : collection.noteArray()) {
            titles.push_back(n->noteTitle().value_or("?"));
        }
        std::sort(titles.begin(), titles.end());
        return titles;
    }

    TempDir dir;
    std::string folder;
    std::shared_ptr<const UnlockedBackup> unlocked;
    NotificationCenter nc;
    ResultCollection collection{nc};
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

} // namespace

TEST_F(EncryptedScan, ReadsTheNotesWithTheKeysOfItsPassword) {
    encrypt();
    EXPECT_EQ(scannedTitles(), (std::vector<std::string>{"Fresh", "Shopping"}));
}

TEST_F(EncryptedScan, FindsNothingWithoutTheKeys) {
    encrypt();
    unlocked.reset();
    EXPECT_TRUE(scannedTitles().empty());
    EXPECT_TRUE(log.contains("Backup is encrypted; its files cannot be read without its password"));
}

TEST_F(EncryptedScan, SaysSoWhenItHasNoManifestToFindTheKeysIn) {
    encrypt();
    fs::remove(folder + "/Manifest.db"); // as before iOS 10, when the keys were in Manifest.mbdb
    EXPECT_TRUE(scannedTitles().empty());
    EXPECT_TRUE(log.contains("Encrypted backup has no Manifest.db (the layout before iOS 10)"));
    EXPECT_FALSE(log.contains("without its password"));
}

TEST_F(EncryptedScan, SkipsAFileWhoseClassKeyIsMissing) {
    fx::BackupEncryption settings;
    settings.classes = {1, 2, 4}; // the note store is of class 3
    encrypt(settings);
    EXPECT_TRUE(scannedTitles().empty());
    EXPECT_TRUE(log.contains("Encrypted file is skipped (no class key for protection class 3)"));
}

TEST_F(EncryptedScan, SkipsAFileWithABadPaddingAndSaysSo) {
    encrypt();
    const std::string id = BackupFiles::fileID({kNotesDomain, "NoteStore.sqlite"});
    const std::string stored = folder + "/" + id.substr(0, 2) + "/" + id;
    std::string bytes = fx::readFile(stored);
    bytes[bytes.size() - 17] = static_cast<char>(bytes[bytes.size() - 17] ^ 0x80);
    ASSERT_TRUE(fx::writeFile(stored, bytes));
    EXPECT_TRUE(scannedTitles().empty());
    EXPECT_TRUE(log.contains("Encrypted file is skipped (padding of the last block is wrong): " + id));
}

TEST_F(EncryptedScan, DecryptsOnlyWhatIsAskedForAndOnce) {
    encrypt();
    ScanContext context(nc, folder, unlocked);
    const BackupFiles& files = context.filesFor(folder);
    const auto first = files.locate({kNotesDomain, "NoteStore.sqlite"});
    ASSERT_TRUE(first);
    const std::string work = *context.workFolder.path();
    EXPECT_EQ(first->rfind(work + "/", 0), 0u) << *first;
    EXPECT_EQ(fx::readFile(*first).substr(0, 15), "SQLite format 3");
    EXPECT_EQ(files.locate({kNotesDomain, "NoteStore.sqlite"}), first);
    // Manifest.db and the one file: the other 200 listed files stay encrypted where they are.
    EXPECT_EQ(filesUnder(work).size(), 2u);
    context.removeSomeArray();
    EXPECT_FALSE(fs::exists(work));
}
