// Where a device file lies in a backup: named by the SHA-1 of its domain and path.

#include "discovery/BackupFiles.h"

#include "DeviceDb.h"
#include "ModernBackup.h"
#include "platform/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quarrow;
using namespace quarrow::test;

TEST(BackupFiles, FileIDsAreTheNamesBackupsUse) {
    const std::pair<DeviceFile, const char*> known[] = {
        {DeviceFiles::kNotes, "ca3bc056d4da0bbf88b5fb3be254f3b7147e639c"},
        {DeviceFiles::kNotesLegacy, "740b7eaf93d6ea5d305e88bb349c8e9643f48c3b"},
        {DeviceFiles::kNoteStore, "4f98687d8ab0d6d1a371110e6b7300f6e465bef2"},
        {DeviceFiles::kAddressBook, "31bb7ba8914766d4ba40d6dfb6113c8b614be442"},
        {DeviceFiles::kMessages, "3d0d7e5fb2ce288813306e4d4636395e047a3d28"},
        {DeviceFiles::kCallHistory, "2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca"},
        {DeviceFiles::kCallHistoryLegacy, "ff1324e6b949111b2fb449ecddb50c89c3699a78"},
        {DeviceFiles::kCallHistoryStore, "5a4935c78a5255723f707230a451d79c540d2741"},
    };
    for (const auto& [file, id] : known) {
        EXPECT_EQ(BackupFiles::fileID(file), id) << file.domain << "-" << file.relativePath;
    }
}

TEST(BackupFiles, LocatesFlatFilesAndTheFirstNotesDatabase) {
    TempDir dir;
    const BackupFiles files(dir.path());
    EXPECT_EQ(files.folder(), dir.path());
    EXPECT_FALSE(files.locate(DeviceFiles::kNotes));
    EXPECT_FALSE(files.notesDatabase());

    const std::string legacy = dir.file("740b7eaf93d6ea5d305e88bb349c8e9643f48c3b");
    fixtures::writeFile(legacy, "db");
    EXPECT_EQ(files.locate(DeviceFiles::kNotesLegacy), legacy);
    EXPECT_EQ(files.locateHashed("740b7eaf93d6ea5d305e88bb349c8e9643f48c3b"), legacy);
    ASSERT_TRUE(files.notesDatabase());
    EXPECT_EQ(files.notesDatabase()->path, legacy);
    EXPECT_EQ(files.notesDatabase()->file, DeviceFiles::kNotesLegacy);

    // Both exist: notes.sqlite is the one, whatever its kind (readers check that).
    const std::string modern = dir.file("ca3bc056d4da0bbf88b5fb3be254f3b7147e639c");
    ASSERT_EQ(::mkfifo(modern.c_str(), 0600), 0);
    ASSERT_TRUE(files.notesDatabase());
    EXPECT_EQ(files.notesDatabase()->path, modern);
    EXPECT_EQ(files.locateFirst({DeviceFiles::kMessages, DeviceFiles::kNotesLegacy})->path, legacy);

    EXPECT_FALSE(BackupFiles("").locate(DeviceFiles::kNotes));
    EXPECT_FALSE(files.locateHashed(""));
}

TEST(BackupFiles, LinksThatLeadNowhereAreMissingWithALogLine) {
    TempDir dir;
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    const BackupFiles files(dir.path());
    const std::string notes = dir.file("ca3bc056d4da0bbf88b5fb3be254f3b7147e639c");
    ASSERT_EQ(::symlink("ca3bc056d4da0bbf88b5fb3be254f3b7147e639c", notes.c_str()), 0); // a loop
    const std::string legacy = dir.file("740b7eaf93d6ea5d305e88bb349c8e9643f48c3b");
    ASSERT_EQ(::symlink("nowhere", legacy.c_str()), 0);
    EXPECT_FALSE(files.notesDatabase());
    EXPECT_TRUE(log.contains("Backup file is a link that leads nowhere (Too many levels of symbolic links), "
                             "passed over: " +
                             notes));
    EXPECT_TRUE(
        log.contains("Backup file is a link that leads nowhere (No such file or directory), passed over: " + legacy));
    log.clear();
    EXPECT_FALSE(files.locate(DeviceFiles::kMessages));
    EXPECT_TRUE(log.lines().empty()); // simply missing says nothing
}

namespace {

// A backup of iOS 10 and later holding a notes database, a messages database with its -wal, and
// the manifest rows of `otherRows` files of other apps.
struct ModernFolder {
    explicit ModernFolder(const std::string& folder, std::size_t otherRows = 0, bool encrypted = false)
        : builder(folder) {
        fixtures::ModernDevice device;
        device.encrypted = encrypted;
        builder.writePropertyLists(device);
        store = builder.addFile("AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite", "store");
        messages = builder.addFile("HomeDomain", "Library/SMS/sms.db", "sms");
        messagesWal = builder.addFile("HomeDomain", "Library/SMS/sms.db-wal", "wal");
        builder.addOtherRows(otherRows);
        EXPECT_TRUE(builder.writeManifest());
    }
    fixtures::ModernBackupBuilder builder;
    std::string store, messages, messagesWal;
};

} // namespace

TEST(BackupFiles, ManifestLayoutLocatesFilesInTheirHexFolders) {
    TempDir dir;
    const ModernFolder backup(dir.path());
    const BackupFiles files(dir.path());
    EXPECT_EQ(files.layout(), BackupLayout::Manifest);
    EXPECT_FALSE(files.encrypted());
    EXPECT_EQ(backup.store, dir.file("4f/4f98687d8ab0d6d1a371110e6b7300f6e465bef2"));
    EXPECT_EQ(files.locate(DeviceFiles::kNoteStore), backup.store);
    EXPECT_EQ(files.locateHashed("4f98687d8ab0d6d1a371110e6b7300f6e465bef2"), backup.store);
    // Not in this backup, and not a file: Library/SMS is listed as a folder.
    EXPECT_FALSE(files.notesDatabase());
    EXPECT_FALSE(files.locate(DeviceFile{"HomeDomain", "Library/SMS"}));
    EXPECT_FALSE(files.locateHashed("not-a-file-id"));

    // A log is a device file of its own, not a file beside the database.
    const auto messages = files.locateFirst({DeviceFiles::kMessages});
    ASSERT_TRUE(messages);
    EXPECT_EQ(messages->path, backup.messages);
    EXPECT_EQ(messages->walPath, backup.messagesWal);
    EXPECT_EQ(messages->journalPath, "");
    EXPECT_EQ(files.locateFirst({DeviceFiles::kNoteStore})->walPath, "");
}

TEST(BackupFiles, TheManifestDecidesWhatTheBackupHolds) {
    TempDir dir;
    const ModernFolder backup(dir.path());
    // A stray file under a hashed name that the manifest does not list is not the device's.
    const std::string id = BackupFiles::fileID(DeviceFiles::kAddressBook);
    fixtures::writeFile(dir.makeDir(id.substr(0, 2)) + "/" + id, "stray");
    // A listed file that the backup lost is reported, not opened.
    ASSERT_EQ(::unlink(backup.store.c_str()), 0);
    const BackupFiles files(dir.path());
    EXPECT_FALSE(files.locate(DeviceFiles::kAddressBook));
    EXPECT_FALSE(files.locate(DeviceFiles::kNoteStore));
    EXPECT_TRUE(files.locate(DeviceFiles::kMessages));
}

TEST(BackupFiles, AnUnreadableManifestFallsBackToTheHashedNames) {
    TempDir dir;
    const ModernFolder backup(dir.path());
    fixtures::writeFile(dir.file("Manifest.db"), std::string(4096, 'x'));
    const BackupFiles files(dir.path());
    EXPECT_EQ(files.layout(), BackupLayout::Manifest);
    EXPECT_EQ(files.locate(DeviceFiles::kNoteStore), backup.store);
    EXPECT_FALSE(files.locate(DeviceFiles::kAddressBook));
}

TEST(BackupFiles, AnEncryptedBackupYieldsNoFiles) {
    TempDir dir;
    const ModernFolder backup(dir.path(), 0, true);
    const BackupFiles files(dir.path());
    EXPECT_TRUE(files.encrypted());
    EXPECT_TRUE(BackupFiles::isEncrypted(dir.path()));
    EXPECT_FALSE(files.locate(DeviceFiles::kNoteStore)); // its bytes are ciphertext
    EXPECT_FALSE(BackupFiles::isEncrypted(dir.makeDir("plain")));
}

// A real phone's manifest lists tens or hundreds of thousands of files. Every lookup goes through
// the file-ID key: a scan reads a few pages of it, never the whole table. (bench/scan measures a
// manifest of 300,000 rows.)
TEST(BackupFiles, LookupsReadAFewPagesOfALargeManifest) {
    TempDir dir;
    const ModernFolder backup(dir.path(), 15000);
    const BackupFiles files(dir.path());
    for (int round = 0; round < 3; ++round) {
        for (const DeviceFile& file : {DeviceFiles::kNotes, DeviceFiles::kNotesLegacy, DeviceFiles::kNoteStore,
                                       DeviceFiles::kAddressBook, DeviceFiles::kMessages, DeviceFiles::kCallHistory,
                                       DeviceFiles::kCallHistoryLegacy, DeviceFiles::kCallHistoryStore}) {
            files.locateFirst({file});
        }
    }
    const ManifestReads reads = files.manifestReads();
    EXPECT_GT(reads.lookups, 30);
    EXPECT_EQ(reads.fullScanSteps, 0);
    EXPECT_GT(reads.pageCount, 1000);
    EXPECT_LT(reads.pagesRead, 60) << "of " << reads.pageCount;
}
