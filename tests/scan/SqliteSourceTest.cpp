// How a scanner reaches a backup's database: read in place when nothing is to be folded in, from a
// private folded copy otherwise, never blocking on or reading something that is not a file, and
// never leaving a copy behind.

#include "discovery/SqliteSource.h"

#include "DeviceDb.h"
#include "platform/Log.h"
#include "platform/WorkFolder.h"
#include "records/ScanNotifications.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;
namespace fs = std::filesystem;

namespace {

constexpr double kMarch2012 = 352803900;

// The titles of the notes a query over the connection finds.
std::vector<std::string> titles(sqlite3* db) {
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT ZTITLE FROM ZNOTE ORDER BY Z_PK", -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            out.emplace_back(t ? t : "");
        }
    }
    sqlite3_finalize(stmt);
    return out;
}

class Source : public ::testing::Test {
protected:
    void SetUp() override { path = notesSqlitePath(dir.makeDir("backup")); }
    void makeNotes(std::initializer_list<const char*> names) {
        fixtures::NotesDbBuilder db(path);
        std::int64_t pk = 0;
        for (const char* name : names) {
            db.addNote({++pk, name, "<div>body</div>", kMarch2012, kMarch2012});
        }
    }

    TempDir dir;
    std::string path;
    WorkFolder work{"scan"};
    SqliteSource source{work};
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

} // namespace

TEST_F(Source, ReadsARollbackDatabaseInPlaceWithoutACopy) {
    makeNotes({"One", "Two"});
    const auto before = folderFingerprint(dir.path());
    const SqliteHandle db = source.open(path);
    ASSERT_TRUE(db);
    EXPECT_EQ(titles(db.get()), (std::vector<std::string>{"One", "Two"}));
    EXPECT_FALSE(work.exists()); // nothing copied, no folder made
    EXPECT_EQ(folderFingerprint(dir.path()), before);
}

TEST_F(Source, FoldsAWriteAheadLogIntoAPrivateCopyThatGoesWithTheFolder) {
    makeNotes({"In the file"});
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        const SqliteHandle writer(raw);
        ASSERT_EQ(sqlite3_exec(raw,
                               "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                               "INSERT INTO ZNOTE (Z_PK, ZTITLE) VALUES (2, 'Only in the log');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        // Copied as a backup would hold them, before the writer folds the log in on closing.
        fs::copy_file(path, dir.file("snapshot"));
        fs::copy_file(path + "-wal", dir.file("snapshot-wal"));
    }
    fs::remove(path);
    fs::rename(dir.file("snapshot"), path);
    fs::rename(dir.file("snapshot-wal"), path + "-wal");
    const auto before = folderFingerprint(dir.path());

    const SqliteHandle db = source.open(path);
    ASSERT_TRUE(db);
    EXPECT_EQ(titles(db.get()), (std::vector<std::string>{"In the file", "Only in the log"}));
    ASSERT_TRUE(work.exists());
    const auto copy = source.foldedCopy(path);
    ASSERT_TRUE(copy);
    EXPECT_EQ(fs::path(*copy).parent_path(), fs::path(*work.path()));
    EXPECT_EQ(fixtures::readFile(*copy)[18], 2); // switched to write-ahead logging, the copy only
    EXPECT_EQ(folderFingerprint(dir.path()), before);
    EXPECT_FALSE(log.contains("damaged"));
    work.remove();
    EXPECT_FALSE(fs::exists(*copy));
}

TEST_F(Source, RollsAHotJournalBackInTheCopy) {
    makeNotes({"Committed"});
    {
        // A transaction caught half written: a tiny cache makes SQLite write pages into the file
        // before the commit, with their old images in the journal beside it.
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        const SqliteHandle writer(raw);
        ASSERT_EQ(sqlite3_exec(raw, "PRAGMA cache_size=1; BEGIN;", nullptr, nullptr, nullptr), SQLITE_OK);
        for (int i = 2; i < 200; ++i) {
            const std::string sql =
                "INSERT INTO ZNOTE (Z_PK, ZTITLE) VALUES (" + std::to_string(i) + ", '" + std::string(900, 'u') + "')";
            ASSERT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        }
        const std::string journal = fixtures::readFile(path + "-journal");
        ASSERT_GE(journal.size(), 8u);
        ASSERT_EQ(journal.substr(0, 8), std::string("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8));
        fs::copy_file(path, dir.file("snapshot"));
        fs::copy_file(path + "-journal", dir.file("snapshot-journal"));
        sqlite3_exec(raw, "ROLLBACK;", nullptr, nullptr, nullptr);
    }
    fs::remove(path);
    fs::rename(dir.file("snapshot"), path);
    fs::rename(dir.file("snapshot-journal"), path + "-journal");
    const auto before = folderFingerprint(dir.path());

    const SqliteHandle db = source.open(path);
    ASSERT_TRUE(db);
    EXPECT_EQ(titles(db.get()), std::vector<std::string>{"Committed"});
    EXPECT_TRUE(work.exists());
    EXPECT_EQ(folderFingerprint(dir.path()), before);
    EXPECT_FALSE(log.contains("damaged"));
}

struct DamagedLog {
    const char* name;
    const char* suffix;
    std::string bytes;
    const char* logged;
};

class DamagedLogs : public Source, public ::testing::WithParamInterface<DamagedLog> {};

// The database library passes over a log it cannot use without a word; the scan says so.
TEST_P(DamagedLogs, AreReportedAndTheFileItselfIsRead) {
    makeNotes({"In the file"});
    fixtures::writeFile(path + GetParam().suffix, GetParam().bytes);
    const auto before = folderFingerprint(dir.path());
    const SqliteHandle db = source.open(path);
    ASSERT_TRUE(db);
    EXPECT_EQ(titles(db.get()), std::vector<std::string>{"In the file"});
    EXPECT_TRUE(log.contains(std::string(GetParam().logged) + path + GetParam().suffix)) << log.lines().size();
    EXPECT_EQ(folderFingerprint(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Logs, DamagedLogs,
                         ::testing::Values(DamagedLog{"GarbageWal", "-wal", std::string(5000, '\x5a'),
                                                      "Write-ahead log is damaged, none of it is folded in: "},
                                           DamagedLog{"ShortWal", "-wal", "\x37\x7f",
                                                      "Write-ahead log is damaged, none of it is folded in: "},
                                           DamagedLog{"HotJournalWithGarbageHeader", "-journal",
                                                      std::string("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8) +
                                                          std::string(3000, '\x7f'),
                                                      "Rollback journal is damaged, none of it is rolled back: "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Source, ACopyIsMadeOncePerScan) {
    makeNotes({"One"});
    fixtures::writeFile(path + "-wal", ""); // an empty log holds nothing to fold in
    const SqliteHandle inPlace = source.open(path);
    EXPECT_FALSE(work.exists());
    const auto copy = source.foldedCopy(path);
    ASSERT_TRUE(copy);
    EXPECT_EQ(source.foldedCopy(path), copy);
    EXPECT_EQ(fs::directory_iterator(*work.path())->path().filename(), fs::path(*copy).filename());
}

namespace {

// Something under a database's name that is not a regular file.
struct NotAFile {
    const char* name;
    void (*make)(const std::string& path);
};

const NotAFile kNotFiles[] = {
    {"Fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
    {"Folder", [](const std::string& p) { fs::create_directory(p); }},
    {"LinkToADevice", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }},
};

class NotARegularFile : public Source, public ::testing::WithParamInterface<NotAFile> {};

} // namespace

// A FIFO would block an ordinary open for ever, a device never ends: each is logged and skipped at
// once, and a scan over it still finishes with its progress.
TEST_P(NotARegularFile, IsSkippedWithoutBlocking) {
    GetParam().make(path);
    EXPECT_FALSE(source.open(path));
    EXPECT_FALSE(source.foldedCopy(path));
    EXPECT_TRUE(log.contains("not a regular file")) << GetParam().name;
    EXPECT_FALSE(work.exists());

    NotificationCenter nc;
    std::vector<long long> progress;
    nc.addObserver(ScanNotification::kProgress, [&](const Notification& n) { progress.push_back(*n.number()); });
    ScanContext context(nc, fs::path(path).parent_path().string());
    scanNoteThread(context, fs::path(path).parent_path().string());
    EXPECT_EQ(progress, std::vector<long long>{70});
}

TEST_P(NotARegularFile, BesideADatabaseAsItsLogIsLeftOut) {
    makeNotes({"One"});
    GetParam().make(path + "-wal");
    const SqliteHandle db = source.open(path);
    ASSERT_TRUE(db);
    EXPECT_EQ(titles(db.get()), std::vector<std::string>{"One"});
}

INSTANTIATE_TEST_SUITE_P(Kinds, NotARegularFile, ::testing::ValuesIn(kNotFiles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Source, TellsWhichColumnsATableHas) {
    makeNotes({"One"});
    const SqliteHandle db = source.open(path);
    ASSERT_TRUE(db);
    const auto columns = SqliteSource::tableColumns(db.get(), "ZNOTEBODY");
    EXPECT_EQ(columns, (std::vector<std::string>{"Z_PK", "Z_ENT", "Z_OPT", "ZOWNER", "ZCONTENT", "ZEXTERNALCONTENTREF",
                                                 "ZEXTERNALREPRESENTATION"}));
    EXPECT_TRUE(SqliteSource::tableColumns(db.get(), "NO_SUCH_TABLE").empty());
    EXPECT_TRUE(SqliteSource::hasColumns(db.get(), "znotebody", {"zowner", "ZCONTENT"}));
    EXPECT_FALSE(SqliteSource::hasColumns(db.get(), "ZNOTEBODY", {"ZOWNER", "ZCONTENTS"}));
    EXPECT_FALSE(SqliteSource::hasColumns(db.get(), "NO_SUCH_TABLE", {}));
}

TEST(CommitDB, SwitchesARollbackJournalFileToWriteAheadLogging) {
    TempDir dir;
    fixtures::NotesDbBuilder(dir.file("n.sqlite")).close();
    ASSERT_EQ(fixtures::readFile(dir.file("n.sqlite"))[18], 1);
    commitDB(dir.file("n.sqlite"));
    const auto bytes = fixtures::readFile(dir.file("n.sqlite"));
    EXPECT_EQ(bytes[18], 2);
    EXPECT_EQ(bytes[19], 2);
}
