// The carving engine over databases that SQLite itself writes: every place where a deleted row
// survives, named as the engine names it, and nothing that is still live or never existed.

#include "carving/RowCarver.h"

#include "DeviceDb.h"
#include "carving/DbFileReader.h"
#include "platform/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <functional>
#include <map>
#include <set>

using namespace quarrow;
using namespace quarrow::carving;
using namespace quarrow::test;

namespace {

// A connection that leaves the file as SQLite leaves it on a device: secure_delete off.
class Db {
public:
    explicit Db(const std::string& path, const std::string& setup = "") {
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        exec("PRAGMA secure_delete=OFF;" + setup);
    }
    ~Db() { close(); }
    void exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << (error ? error : "?");
            sqlite3_free(error);
        }
    }
    // Leaves the -wal file with its frames, as a copy taken while an app has the database open.
    void closeKeepingLog() {
        int off = 1;
        sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &off);
        close();
    }
    void close() {
        if (db_) {
            sqlite3_close(db_);
            db_ = nullptr;
        }
    }

private:
    sqlite3* db_ = nullptr;
};

// The text of row i: unique, `width` bytes.
std::string row(int i, int width) {
    std::string s = "row " + std::to_string(i) + " ";
    while (static_cast<int>(s.size()) < width) {
        s += static_cast<char>('a' + (s.size() + static_cast<std::size_t>(i)) % 26);
    }
    return s;
}

std::string insert(int i, int width) {
    return "INSERT INTO t VALUES(" + std::to_string(i) + ", " + std::to_string(i * 1000) + ", '" + row(i, width) +
           "');";
}

std::string inserts(int from, int to, int width) {
    std::string sql = "BEGIN;";
    for (int i = from; i <= to; ++i) {
        sql += insert(i, width);
    }
    return sql + "COMMIT;";
}

constexpr const char* kTable = "CREATE TABLE t(id INTEGER PRIMARY KEY, a INTEGER, b TEXT);";

struct Scenario {
    const char* name;
    // Writes t.db (and what lies beside it); answers the rows that the database held at some time.
    std::function<void(const std::string& path)> write;
    int width;                // of every row's text
    int marker;               // a deleted row whose bytes survive in one known place
    RecoveredFrom markerFrom; // that place
};

std::vector<std::string> liveTexts(const std::string& path) {
    std::vector<std::string> texts;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(
        db, "SELECT b FROM t",
        [](void* out, int, char** v, char**) {
            static_cast<std::vector<std::string>*>(out)->push_back(v[0] ? v[0] : "");
            return 0;
        },
        &texts, nullptr);
    sqlite3_close(db);
    return texts;
}

// Every file of the database, to tell which deleted rows still have their bytes somewhere.
std::string allBytes(const std::string& path) {
    return fixtures::readFile(path) + fixtures::readFile(path + "-wal") + fixtures::readFile(path + "-journal");
}

const Scenario kScenarios[] = {
    {"Freeblock",
     [](const std::string& path) {
         Db db(path, "PRAGMA page_size=4096;" + std::string(kTable));
         db.exec(inserts(1, 20, 60));
         db.exec("DELETE FROM t WHERE id IN (3, 9, 10, 17);");
     },
     60, 9, RecoveredFrom::Freeblock},
    {"Unallocated", // the cell at the start of the content area: the gap grows over it
     [](const std::string& path) {
         Db db(path, "PRAGMA page_size=4096;" + std::string(kTable));
         db.exec(inserts(1, 20, 60));
         db.exec("DELETE FROM t WHERE id = 20;");
     },
     60, 20, RecoveredFrom::Unallocated},
    {"InteriorPage", // the root leaf split: its old cells lie under the interior page's free space
     [](const std::string& path) {
         Db db(path, "PRAGMA page_size=1024;" + std::string(kTable));
         db.exec(inserts(1, 4, 200));
         db.exec(inserts(5, 5, 200));
         db.exec("DELETE FROM t WHERE id = 2;");
     },
     200, 2, RecoveredFrom::InteriorPage},
    {"FreeListPage", // pages that empty go to the free list whole
     [](const std::string& path) {
         Db db(path, "PRAGMA page_size=1024;" + std::string(kTable));
         db.exec(inserts(1, 40, 200));
         db.exec("DELETE FROM t WHERE id BETWEEN 10 AND 30;");
     },
     200, 28, RecoveredFrom::FreePage},
    {"WalFrame",
     [](const std::string& path) {
         Db db(path, "PRAGMA page_size=4096; PRAGMA journal_mode=WAL;" + std::string(kTable));
         db.exec(inserts(1, 10, 100));
         db.exec("UPDATE t SET b = 'edited " + row(5, 100) + "' WHERE id = 5;");
         db.exec("DELETE FROM t WHERE id = 7;");
         db.closeKeepingLog();
     },
     100, 7, RecoveredFrom::WalFrame},
    {"PageTheLogReplaced", // the main file's image of a page that a log frame replaced
     [](const std::string& path) {
         Db db(path, "PRAGMA page_size=4096; PRAGMA journal_mode=WAL;" + std::string(kTable));
         db.exec(inserts(1, 10, 100));
         db.exec("PRAGMA wal_checkpoint(TRUNCATE);");
         db.exec("PRAGMA secure_delete=ON; DELETE FROM t WHERE id = 4;");
         db.closeKeepingLog();
     },
     100, 4, RecoveredFrom::FreePage},
    {"Journal", // the page image a persistent journal keeps; the delete itself wiped the page
     [](const std::string& path) {
         Db db(path, "PRAGMA page_size=4096; PRAGMA journal_mode=PERSIST;" + std::string(kTable));
         db.exec(inserts(1, 10, 100));
         db.exec("PRAGMA secure_delete=ON; DELETE FROM t WHERE id = 6;");
     },
     100, 6, RecoveredFrom::Journal},
};

class CarveSources : public ::testing::TestWithParam<Scenario> {
protected:
    TempDir dir;
    std::string path = dir.file("t.db");
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

} // namespace

TEST_P(CarveSources, FindsDeletedRowsWhereTheySurviveAndNothingElse) {
    GetParam().write(path);
    const std::vector<std::string> live = liveTexts(path);
    const std::string bytes = allBytes(path);
    auto opened = openDatabaseInPlace(path, "t.db");
    ASSERT_TRUE(opened);
    const TableShape* t = opened->file->table("t");
    ASSERT_TRUE(t);
    const CarveResult result = carveDeletedRows(*opened->file, {{"t", {}}});

    std::map<std::string, RecoveredFrom> found;
    for (const CarvedRow& r : result.rows) {
        ASSERT_FALSE(r.cut);
        ASSERT_EQ(r.values.size(), 3u);
        const std::string text = r.values[2].bytes;
        // Each row is one the table held, whole: its key, number and text belong together.
        const int i = static_cast<int>(r.values[1].integer / 1000);
        const std::string edited = "edited " + row(i, 100);
        EXPECT_TRUE(text == row(i, GetParam().width) || text == edited) << text;
        if (r.rowid) {
            EXPECT_EQ(*r.rowid, i);
            EXPECT_EQ(r.values[0].integer, i);
        }
        EXPECT_EQ(std::count(live.begin(), live.end(), text), 0) << "live row reported: " << text;
        found.emplace(text, r.from);
    }
    // Every deleted row whose text is still in the files.
    const Scenario& s = GetParam();
    for (int i = 1; i <= 40; ++i) {
        const std::string text = row(i, s.width);
        if (bytes.find(text) != std::string::npos && std::count(live.begin(), live.end(), text) == 0) {
            EXPECT_TRUE(found.count(text)) << "missed " << text;
        }
    }
    // The marker row, from the place named.
    const std::string marker = row(s.marker, s.width);
    ASSERT_NE(bytes.find(marker), std::string::npos) << "the scenario no longer leaves the marker's bytes";
    ASSERT_TRUE(found.count(marker));
    EXPECT_EQ(recoveredFromText(found.at(marker)), recoveredFromText(s.markerFrom));
}

INSTANTIATE_TEST_SUITE_P(Sources, CarveSources, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

// A row deleted from a database in WAL mode survives in several places at once: the old frames
// of its page and the free space of the newer ones. It comes back once. Two deleted rows whose
// content is equal are still two rows when their keys tell them apart.
TEST_F(CarveSources, EachDeletedRowComesBackOnceAndTwinsByTheirKeys) {
    {
        Db db(path, "PRAGMA page_size=4096; PRAGMA journal_mode=WAL;" + std::string(kTable));
        db.exec(inserts(1, 10, 80));
        const std::string twin = row(99, 80);
        db.exec("INSERT INTO t VALUES(11, 5000, '" + twin + "'); INSERT INTO t VALUES(12, 5000, '" + twin + "');");
        for (int round = 0; round < 4; ++round) { // more frames of the same page
            db.exec("UPDATE t SET a = a + 1 WHERE id = 1;");
        }
        db.exec("DELETE FROM t WHERE id IN (4, 11, 12);");
        db.exec("UPDATE t SET a = a + 1 WHERE id = 2;");
        db.closeKeepingLog();
    }
    auto opened = openDatabaseInPlace(path, "t.db");
    ASSERT_TRUE(opened);
    const CarveResult result = carveDeletedRows(*opened->file, {{"t", {}}});
    std::map<std::string, int> times;
    std::set<std::int64_t> twinKeys;
    for (const CarvedRow& r : result.rows) {
        const std::string& text = r.values[2].bytes;
        ++times[text + "/" + std::to_string(r.values[1].integer) + "/" + std::to_string(r.rowid.value_or(-1))];
        if (text == row(99, 80) && r.rowid) {
            twinKeys.insert(*r.rowid);
        }
    }
    EXPECT_EQ(times[row(4, 80) + "/4000/4"], 1);
    EXPECT_EQ(twinKeys, (std::set<std::int64_t>{11, 12}));
    for (const auto& [key, n] : times) { // older versions of row 1 differ in a, and are rows of their own
        EXPECT_EQ(n, 1) << key;
    }
}
