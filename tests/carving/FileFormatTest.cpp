// The file-format reader against SQLite itself: the schema it parses from sqlite_master's bytes,
// the live rows it decodes (every serial type, both schema formats, UTF-16, overflow chains) and the
// current state it builds from a -wal (committed frames only) must be what SQLite answers.

#include "carving/DatabaseFile.h"
#include "carving/SchemaParser.h"

#include "DeviceDb.h"
#include "platform/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cmath>
#include <map>

using namespace quarrow;
using namespace quarrow::carving;
using namespace quarrow::test;

namespace {

using Rows = std::map<std::int64_t, std::vector<Value>>;

// A value as SQLite gives it back.
Value sqliteValue(sqlite3_stmt* stmt, int column) {
    Value v;
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        v.type = Value::Type::Integer;
        v.integer = sqlite3_column_int64(stmt, column);
        break;
    case SQLITE_FLOAT:
        v.type = Value::Type::Real;
        v.real = sqlite3_column_double(stmt, column);
        break;
    case SQLITE_TEXT:
        v.type = Value::Type::Text;
        v.bytes.assign(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
        break;
    case SQLITE_BLOB:
        v.type = Value::Type::Blob;
        v.bytes.assign(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
        break;
    default:
        break;
    }
    return v;
}

Rows sqliteRows(const std::string& path, const std::string& table) {
    Rows rows;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, ("SELECT rowid, * FROM " + table).c_str(), -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<Value> values;
        for (int c = 1; c < sqlite3_column_count(stmt); ++c) {
            values.push_back(sqliteValue(stmt, c));
        }
        rows[sqlite3_column_int64(stmt, 0)] = std::move(values);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

Rows engineRows(const DatabaseFile& file, const std::string& table) {
    Rows rows;
    const TableShape* shape = file.table(table);
    EXPECT_NE(shape, nullptr) << table;
    if (shape) {
        file.forEachLiveRow(*shape, [&rows](std::int64_t rowid, std::vector<Value>& values) {
            rows[rowid] = values;
            return true;
        });
    }
    return rows;
}

// Rows whose values of every kind, width and length SQLite writes.
const char* const kValues = R"sql(
CREATE TABLE t(id INTEGER PRIMARY KEY, i INTEGER, r REAL, n NUMERIC, s TEXT, b BLOB, x);
INSERT INTO t VALUES (1, 0, 0.0, 1, '', x'', NULL), (2, 1, 1.5, -1, 'a', x'00', 1),
  (3, 127, -2.25, 128, 'Müller 日本 😀', x'0102', 'text in no type'),
  (4, -129, 1e300, 32767, NULL, NULL, 2.5), (5, 8388607, -0.0, -8388608, 'x', x'ff', x'00ff'),
  (6, 2147483647, 3.0, -2147483648, 'y', x'fe', -1), (7, 140737488355327, 1e-300, -140737488355328, 'z', x'fd', 0),
  (8, 9223372036854775807, 12345.0, -9223372036854775808, 'w', x'fc', 0.5),
  (100000, 5, 5, 5.5, printf('%.*c', 3000, 'o'), randomblob(7000), printf('%.*c', 20000, 'q'));
)sql";

struct FormatCase {
    const char* name;
    int schemaFormat, pageSize;
    const char* encoding;
};

class DecodesLikeSqlite : public ::testing::TestWithParam<FormatCase> {};

} // namespace

TEST_P(DecodesLikeSqlite, EveryValueOfEveryRow) {
    const FormatCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("values.db");
    ASSERT_TRUE(fixtures::createDatabase(path, kValues, c.schemaFormat, c.pageSize,
                                         std::string("PRAGMA encoding='") + c.encoding + "';"));
    const auto opened = openDatabaseInPlace(path, "values.db");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->file->header().schemaFormat, static_cast<std::uint32_t>(c.schemaFormat));
    const Rows expected = sqliteRows(path, "t");
    const Rows got = engineRows(*opened->file, "t");
    ASSERT_EQ(got.size(), expected.size());
    for (const auto& [rowid, values] : expected) {
        ASSERT_TRUE(got.count(rowid)) << rowid;
        ASSERT_EQ(got.at(rowid).size(), values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            const Value& a = got.at(rowid)[i];
            const Value& b = values[i];
            EXPECT_EQ(a.type, b.type) << "row " << rowid << " column " << i;
            if (a.type == Value::Type::Real) {
                EXPECT_EQ(std::signbit(a.real), std::signbit(b.real));
                EXPECT_EQ(a.real, b.real);
            } else {
                EXPECT_EQ(a.integer, b.integer) << "row " << rowid << " column " << i;
                EXPECT_EQ(a.bytes, b.bytes) << "row " << rowid << " column " << i;
            }
        }
        EXPECT_EQ(opened->file->liveRow(*opened->file->table("t"), rowid), got.at(rowid));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DecodesLikeSqlite,
                         ::testing::Values(FormatCase{"Format1Utf8Pages512", 1, 512, "UTF-8"},
                                           FormatCase{"Format4Utf8Pages4096", 4, 4096, "UTF-8"},
                                           FormatCase{"Format4Utf16le", 4, 1024, "UTF-16le"},
                                           FormatCase{"Format1Utf16be", 1, 65536, "UTF-16be"}),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

struct SchemaCase {
    const char* sql;
    std::vector<std::string> columns; // stored columns
    std::vector<Affinity> affinities;
    int rowidAlias;
    bool withoutRowid = false;
};

const SchemaCase kSchemas[] = {
    {"CREATE TABLE ZNOTE ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, ZTITLE VARCHAR )",
     {"Z_PK", "Z_ENT", "ZTITLE"},
     {Affinity::Integer, Affinity::Integer, Affinity::Text},
     0},
    {"CREATE TABLE note_bodies (note_id INTEGER, data, UNIQUE(note_id))",
     {"note_id", "data"},
     {Affinity::Integer, Affinity::Blob},
     -1},
    // DESC on the column keeps it from being the rowid's alias; in a table constraint it does not.
    {"CREATE TABLE a (k INTEGER PRIMARY KEY DESC, v)", {"k", "v"}, {Affinity::Integer, Affinity::Blob}, -1},
    {"CREATE TABLE a (k INTEGER, v TEXT, PRIMARY KEY (k DESC))", {"k", "v"}, {Affinity::Integer, Affinity::Text}, 0},
    // Only "INTEGER" makes an alias; two key columns make none.
    {"CREATE TABLE a (k INT PRIMARY KEY, v)", {"k", "v"}, {Affinity::Integer, Affinity::Blob}, -1},
    {"CREATE TABLE a (k INTEGER, v INTEGER, PRIMARY KEY (k, v))",
     {"k", "v"},
     {Affinity::Integer, Affinity::Integer},
     -1},
    {"CREATE TABLE \"odd \"\"name\" ([a b] CHARACTER(20), `c` DOUBLE PRECISION, d FLOATING POINT, e DECIMAL(10,5), "
     "f BOOLEAN, g CLOB, h STRING)",
     {"a b", "c", "d", "e", "f", "g", "h"},
     {Affinity::Text, Affinity::Real, Affinity::Integer, Affinity::Numeric, Affinity::Numeric, Affinity::Text,
      Affinity::Numeric},
     -1},
    {"CREATE TABLE g (a INTEGER PRIMARY KEY, b TEXT, c INT AS (a * 2) VIRTUAL, d TEXT GENERATED ALWAYS AS (b) STORED, "
     "e REAL CHECK (e > 0) DEFAULT 1.5 COLLATE BINARY)",
     {"a", "b", "d", "e"},
     {Affinity::Integer, Affinity::Text, Affinity::Text, Affinity::Real},
     0},
    {"CREATE TABLE w (a TEXT PRIMARY KEY, b INTEGER) WITHOUT ROWID",
     {"a", "b"},
     {Affinity::Text, Affinity::Integer},
     -1,
     true},
    {"CREATE TABLE IF NOT EXISTS main.t -- a comment ( not a column\n(a /* (b, */ INTEGER, CONSTRAINT c CHECK (a > 0), "
     "FOREIGN KEY (a) REFERENCES x(y))",
     {"a"},
     {Affinity::Integer},
     -1},
};

class ParsesCreateTable : public ::testing::TestWithParam<SchemaCase> {};

} // namespace

TEST_P(ParsesCreateTable, ColumnsAffinitiesAndAlias) {
    const SchemaCase& c = GetParam();
    const auto shape = parseCreateTable(c.sql);
    ASSERT_TRUE(shape);
    ASSERT_EQ(shape->columns.size(), c.columns.size());
    for (std::size_t i = 0; i < c.columns.size(); ++i) {
        EXPECT_EQ(shape->columns[i].name, c.columns[i]);
        EXPECT_EQ(shape->columns[i].affinity, c.affinities[i]) << c.columns[i];
    }
    EXPECT_EQ(shape->rowidAlias, c.rowidAlias);
    EXPECT_EQ(shape->withoutRowid, c.withoutRowid);
    // SQLite agrees on the rowid's alias: a value written into it is the row's rowid. And the
    // schema read from the file's own bytes is the same.
    if (!c.withoutRowid) {
        TempDir dir;
        const std::string path = dir.file("s.db");
        std::string table = "\"", column = "\"";
        for (char ch : shape->name) {
            table += ch == '"' ? std::string("\"\"") : std::string(1, ch);
        }
        for (char ch : shape->columns[0].name) {
            column += ch == '"' ? std::string("\"\"") : std::string(1, ch);
        }
        ASSERT_TRUE(fixtures::createDatabase(
            path, std::string(c.sql) + "; INSERT INTO " + table + "\"(" + column + "\") VALUES (5);", 4));
        const auto opened = openDatabaseInPlace(path, "s.db");
        ASSERT_TRUE(opened);
        const TableShape* read = opened->file->table(shape->name);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->columns.size(), shape->columns.size());
        EXPECT_EQ(read->rowidAlias, shape->rowidAlias);
        std::int64_t rowid = 0;
        opened->file->forEachLiveRow(*read, [&rowid](std::int64_t r, std::vector<Value>&) {
            rowid = r;
            return false;
        });
        EXPECT_EQ(rowid == 5, c.rowidAlias == 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Statements, ParsesCreateTable, ::testing::ValuesIn(kSchemas));

TEST(ParseCreateTable, RefusesWhatIsNoTable) {
    for (const char* sql : {"", "CREATE", "CREATE INDEX i ON t(a)", "CREATE VIEW v AS SELECT 1",
                            "CREATE VIRTUAL TABLE f USING fts5(a)", "CREATE TABLE t", "CREATE TABLE t(",
                            "CREATE TABLE t(a, 'unterminated", "CREATE TABLE t()", "SELECT * FROM t"}) {
        EXPECT_FALSE(parseCreateTable(sql)) << sql;
    }
}

TEST(WalState, IsWhatSqliteReadsAndNoMore) {
    // A transaction that never committed (its frames written, its commit frame missing) and a log
    // whose tail holds an older generation's frames must not change the current state.
    TempDir dir;
    const std::string path = dir.file("w.db");
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db,
                 "PRAGMA page_size=1024; PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                 "CREATE TABLE t(id INTEGER PRIMARY KEY, v TEXT);"
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                 "INSERT INTO t SELECT i, printf('row %d %.*c', i, 50, 'x') FROM n;"
                 "PRAGMA wal_checkpoint(RESTART);"
                 "DELETE FROM t WHERE id % 7 = 0; UPDATE t SET v = 'changed' WHERE id < 20;",
                 nullptr, nullptr, nullptr);
    int off = 1;
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &off);
    sqlite3_close(db);
    // Drop the last commit frame's checksum: SQLite stops reading the log just before it.
    std::string wal = fixtures::readFile(path + "-wal");
    const std::size_t frame = 24 + 1024;
    const std::size_t frames = (wal.size() - 32) / frame;
    ASSERT_GT(frames, 2u);
    const std::size_t last = 32 + (frames - 1) * frame;
    wal[last + 16] = static_cast<char>(wal[last + 16] ^ 0x55);
    ASSERT_TRUE(fixtures::writeFile(path + "-wal", wal));

    const Rows expected = sqliteRows(path, "t");
    const auto opened = openDatabaseInPlace(path, "w.db");
    ASSERT_TRUE(opened);
    ASSERT_TRUE(opened->file->wal());
    EXPECT_EQ(opened->file->wal()->frames().size(), frames);
    EXPECT_EQ(engineRows(*opened->file, "t"), expected);
}
