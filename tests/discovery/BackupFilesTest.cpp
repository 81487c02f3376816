// Where a device file lies in a backup: named by the SHA-1 of its domain and path.

#include "discovery/BackupFiles.h"

#include "DeviceDb.h"
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
