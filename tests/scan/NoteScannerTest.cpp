#include "scan/NoteScanner.h"

#include "DeviceDb.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "results/ResultCollection.h"
#include "scan/ScanContext.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;

namespace {

class NoteScan : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        folder = dir.makeDir("backup");
        writeInfoPlist(folder, typicalInfo());
        progressToken = nc.addObserver(ScanNotification::kProgress,
                                       [this](const Notification& n) { progress.push_back(*n.number()); });
    }

    void scan() {
        ScanContext context(nc, folder);
        scanNoteThread(context, folder);
    }

    TempDir dir;
    std::string folder;
    NotificationCenter nc;
    ResultCollection collection{nc};
    std::vector<long long> progress;
    NotificationCenter::Token progressToken = 0;
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

// 2012-03-07 09:05:00 UTC in seconds since 2001.
constexpr double kMarch2012 = 352803900;

} // namespace

TEST_F(NoteScan, ReadsCoreDataNotesInDatabaseOrder) {
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote({1, "Shopping", "<div>Shopping</div><div>Milk, bread</div>", kMarch2012 + 0.5, kMarch2012});
        db.addNote({2, "Café ☕ 日本", "<div>Café ☕ 日本</div><div>😀</div>", kMarch2012 + 60, kMarch2012});
        db.addNote({3, "Shopping", "<div>Shopping</div>", kMarch2012 + 120, kMarch2012});
    }
    scan();
    const auto& notes = collection.noteArray();
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0]->noteTitle(), "Shopping");
    EXPECT_EQ(notes[0]->noteContent(), "<div>Shopping</div><div>Milk, bread</div>");
    EXPECT_EQ(notes[0]->noteDate(), "03-07-2012 09:05");
    EXPECT_EQ(notes[1]->noteTitle(), "Café ☕ 日本");
    EXPECT_EQ(notes[1]->noteDate(), "03-07-2012 09:06");
    EXPECT_EQ(notes[2]->noteTitle(), "Shopping");
    for (const auto& n : notes) {
        EXPECT_EQ(n->uid(), -1);
        EXPECT_FALSE(n->bDeleted());
    }
    EXPECT_EQ(collection.counters().noteNum, 3);
    EXPECT_EQ(progress, std::vector<long long>{70});
}

TEST_F(NoteScan, ReadingAheadPostsEveryNoteInOrderOnlyInItsTurn) {
    // Enough notes for the reading thread to hand over several batches.
    constexpr int kCount = 1300;
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.begin();
        for (int i = 1; i <= kCount; ++i) {
            const std::string title = "Note " + std::to_string(i);
            db.addNote({i, title, "<div>" + title + "</div>", kMarch2012 + i * 60.0, kMarch2012});
        }
        db.commit();
    }
    std::size_t notesBeforeProgress = 0;
    const auto token = nc.addObserver(
        ScanNotification::kProgress, [&](const Notification&) { notesBeforeProgress = collection.noteArray().size(); });
    ScanContext context(nc, folder);
    const ScannerPost post = readNotesAhead(context, folder).get();
    EXPECT_TRUE(collection.noteArray().empty()); // read, but not posted before the scanner's turn
    ASSERT_TRUE(post);
    post(context);
    nc.removeObserver(token);
    const auto& notes = collection.noteArray();
    ASSERT_EQ(notes.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i) {
        ASSERT_EQ(notes[i]->noteTitle(), "Note " + std::to_string(i + 1));
    }
    EXPECT_EQ(notes.back()->noteDate(), "03-08-2012 06:45");
    EXPECT_EQ(notesBeforeProgress, static_cast<std::size_t>(kCount));
    EXPECT_EQ(progress, std::vector<long long>{70});
}

TEST_F(NoteScan, ReadsTheOlderLayoutFirstEvenWhenEmpty) {
    ASSERT_TRUE(fixtures::createDatabase(notesSqlitePath(folder),
                                         std::string(fixtures::kLegacyNotesSchema) + fixtures::kNotesSchema));
    ASSERT_TRUE(fixtures::execSql(notesSqlitePath(folder),
                                  "INSERT INTO ZNOTE (Z_PK, ZTITLE) VALUES (1, 'never read');"
                                  "INSERT INTO ZNOTEBODY (Z_PK, ZCONTENT) VALUES (1, 'never read');"));
    scan();
    EXPECT_TRUE(collection.noteArray().empty());
    EXPECT_EQ(progress, std::vector<long long>{70});
}

TEST_F(NoteScan, ReadsTheOlderLayoutAndKeepsNotesWithoutBody) {
    ASSERT_TRUE(fixtures::createDatabase(notesDbPath(folder), fixtures::kLegacyNotesSchema));
    ASSERT_TRUE(fixtures::execSql(notesDbPath(folder),
                                  "INSERT INTO Note (ROWID, title, modification_date) VALUES (1, 'Old', 352803900);"
                                  "INSERT INTO note_bodies VALUES (1, 'Body of old');"
                                  "INSERT INTO Note (ROWID, title, modification_date) VALUES (2, 'No body', NULL);"));
    scan();
    const auto& notes = collection.noteArray();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0]->noteContent(), "Body of old");
    EXPECT_EQ(notes[0]->noteDate(), "03-07-2012 09:05");
    EXPECT_EQ(notes[1]->noteContent(), "");
    EXPECT_EQ(notes[1]->noteDate(), "");
}

TEST_F(NoteScan, UsesTheFirstNameWhenBothFilesExist) {
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote({1, "From notes.sqlite", "a", kMarch2012, kMarch2012});
    }
    ASSERT_TRUE(fixtures::createDatabase(notesDbPath(folder), fixtures::kLegacyNotesSchema));
    ASSERT_TRUE(fixtures::execSql(notesDbPath(folder), "INSERT INTO Note (ROWID, title) VALUES (1, 'From notes.db');"));
    scan();
    ASSERT_EQ(collection.noteArray().size(), 1u);
    EXPECT_EQ(collection.noteArray()[0]->noteTitle(), "From notes.sqlite");
}

TEST_F(NoteScan, OddValuesNeverStopTheScan) {
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote({1, "", "", 0, 0});
        db.close();
    }
    ASSERT_TRUE(fixtures::execSql(notesSqlitePath(folder),
                                  "UPDATE ZNOTE SET ZMODIFICATIONDATE = NULL WHERE Z_PK = 1;"
                                  "INSERT INTO ZNOTE (Z_PK, ZTITLE, ZMODIFICATIONDATE) VALUES (2, 'text date', 'soon');"
                                  "INSERT INTO ZNOTE (Z_PK, ZTITLE, ZMODIFICATIONDATE) VALUES (3, 'negative', -86400);"
                                  "INSERT INTO ZNOTE (Z_PK, ZTITLE, ZMODIFICATIONDATE) VALUES (4, 'far', 9e300);"
                                  "INSERT INTO ZNOTE (Z_PK, ZTITLE, ZMODIFICATIONDATE) VALUES (5, X'41FF42', 0);"
                                  "INSERT INTO ZNOTEBODY (Z_PK, ZCONTENT) VALUES (5, X'C0AF');"));
    scan();
    const auto& notes = collection.noteArray();
    ASSERT_EQ(notes.size(), 5u);
    EXPECT_EQ(notes[0]->noteDate(), "");
    EXPECT_EQ(notes[1]->noteDate(), "");
    EXPECT_EQ(notes[2]->noteDate(), "12-31-2000 00:00");
    EXPECT_EQ(notes[3]->noteDate(), "");
    EXPECT_EQ(notes[4]->noteTitle(), ""); // not valid UTF-8
    EXPECT_EQ(notes[4]->noteContent(), "");
    EXPECT_EQ(notes[4]->noteDate(), "01-01-2001 00:00");
}

TEST_F(NoteScan, WithoutNotesDatabaseLogsAndPostsNoProgress) {
    scan();
    EXPECT_TRUE(log.contains("messageDB is not exist"));
    EXPECT_TRUE(progress.empty());
}

struct DamagedFile {
    std::string kind;
    const char* logged;
};

class DamagedNotesFile : public NoteScan, public ::testing::WithParamInterface<DamagedFile> {};

// A damaged file is told apart from one that merely lacks the notes tables.
TEST_P(DamagedNotesFile, GivesNoNotesButProgressAndSaysWhy) {
    std::string bytes;
    if (GetParam().kind == "Truncated") {
        {
            fixtures::NotesDbBuilder db(notesSqlitePath(folder));
            db.begin();
            for (int i = 1; i <= 200; ++i) {
                db.addNote({i, "Note " + std::to_string(i), std::string(300, 'x'), kMarch2012, kMarch2012});
            }
            db.commit();
        }
        bytes = fixtures::readFile(notesSqlitePath(folder)).substr(0, 4096 * 3 + 100);
    } else if (GetParam().kind == "NotSqlite") {
        bytes = "This is not a database, just some text that happens to sit here.";
    } else if (GetParam().kind == "HeaderOnly") {
        bytes = std::string("SQLite format 3\0", 16) + std::string(84, '\xff');
    }
    fixtures::writeFile(notesSqlitePath(folder), bytes);
    scan();
    EXPECT_EQ(progress, std::vector<long long>{70});
    EXPECT_TRUE(log.contains(std::string(GetParam().logged) + notesSqlitePath(folder))) << log.lines().front();
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedNotesFile,
    ::testing::Values(DamagedFile{"Empty", "Notes database holds no notes tables: "},
                      DamagedFile{"Truncated", "Notes database cannot be read (database disk image is malformed): "},
                      DamagedFile{"NotSqlite", "Notes database cannot be read (file is not a database): "},
                      DamagedFile{"HeaderOnly", "Notes database cannot be read (file is not a database): "}),
    [](const auto& info) { return info.param.kind; });

TEST_F(NoteScan, LeavesTheBackupByteIdentical) {
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote({1, "Keep me", "<div>Keep me</div>", kMarch2012, kMarch2012});
    }
    const std::string before = folderFingerprint(folder);
    scan();
    EXPECT_EQ(folderFingerprint(folder), before);
    ASSERT_EQ(collection.noteArray().size(), 1u);
}

TEST_F(NoteScan, FoldsAWriteAheadLogIntoTheCopyOnly) {
    // A database caught mid-write: its newest notes are only in the log beside it.
    const std::string live = dir.file("live.sqlite");
    fixtures::NotesDbBuilder db(live);
    db.addNote({1, "In the file", "a", kMarch2012, kMarch2012});
    db.close();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(live.c_str(), &raw), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> open(raw, sqlite3_close);
    ASSERT_EQ(sqlite3_exec(raw,
                           "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                           "INSERT INTO ZNOTE (Z_PK, ZTITLE) VALUES (2, 'Only in the log');"
                           "INSERT INTO ZNOTEBODY (Z_PK, ZCONTENT) VALUES (2, 'b');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::filesystem::copy_file(live, notesSqlitePath(folder));
    std::filesystem::copy_file(live + "-wal", notesSqlitePath(folder) + "-wal");
    open.reset();
    const std::string before = folderFingerprint(folder);
    scan();
    EXPECT_EQ(folderFingerprint(folder), before);
    ASSERT_EQ(collection.noteArray().size(), 2u);
    EXPECT_EQ(collection.noteArray()[1]->noteTitle(), "Only in the log");
}

TEST_F(NoteScan, ReadsAReadOnlyBackup) {
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote({1, "Read only", "body", kMarch2012, kMarch2012});
    }
    ::chmod(notesSqlitePath(folder).c_str(), 0444);
    ::chmod(folder.c_str(), 0555);
    const std::string before = folderFingerprint(folder);
    scan();
    EXPECT_EQ(folderFingerprint(folder), before);
    ASSERT_EQ(collection.noteArray().size(), 1u);
    EXPECT_EQ(collection.noteArray()[0]->noteTitle(), "Read only");
}
