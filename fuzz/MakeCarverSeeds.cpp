// Writes the seed inputs of the carving fuzz targets: small device-like notes databases (512- and
// 1024-byte pages) with deleted notes, in both write versions, plus a schema-format-4 file (carver);
// databases with their -wal or -journal, in the wal target's form (wal); CREATE TABLE texts
// (schema). Usage: quarrow_fuzz_carver_seeds OUTPUT_FOLDER (its carver, wal and schema folders)

#include "DeviceDb.h"

#include <sqlite3.h>

#include <cstdio>
#include <string>

using quarrow::fixtures::NotesDbBuilder;
using quarrow::fixtures::NoteSpec;

namespace {

void build(const std::string& path, int schemaFormat, int pageSize, int notes, bool wal) {
    {
        NotesDbBuilder db(path, schemaFormat, pageSize);
        for (int pk = 1; pk <= notes; ++pk) {
            NoteSpec n;
            n.pk = pk == notes ? 200 : pk; // one wide key
            n.title = pk % 2 ? "Note " + std::to_string(pk) : std::string(60 + pk, 'T');
            n.content = "<div>" + n.title + "</div><div>" + std::string(pk * 7, 'x') + "</div>";
            n.modificationDate = 352803900.5 + pk;
            n.creationDate = 352800000;
            db.addNote(n);
        }
        for (int pk = 1; pk <= notes; pk += 2) {
            db.deleteNote(pk);
        }
    }
    if (wal) {
        quarrow::fixtures::execSql(path, "PRAGMA journal_mode=WAL;");
    }
}

// The wal target's input: a flag byte (1 for a journal), the main file's length, both files.
void writeWithSide(const std::string& out, const std::string& db, const std::string& side, bool journal) {
    const std::string main = quarrow::fixtures::readFile(db);
    std::string bytes(1, journal ? '\1' : '\0');
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes += static_cast<char>((main.size() >> shift) & 0xff);
    }
    quarrow::fixtures::writeFile(out, bytes + main + quarrow::fixtures::readFile(side));
}

// A database whose last transactions are still in its -wal (deletions among them), or whose
// persistent journal keeps the pages a deletion changed.
void buildWithSide(const std::string& path, bool journal) {
    {
        NotesDbBuilder db(path, 1, 512);
        for (int pk = 1; pk <= 4; ++pk) {
            db.addNote(NoteSpec(pk, "Side " + std::to_string(pk), "<div>" + std::string(pk * 30, 's') + "</div>",
                                352803900.5 + pk, 352800000));
        }
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, journal ? "PRAGMA journal_mode=PERSIST;" : "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA secure_delete=OFF; DELETE FROM ZNOTEBODY WHERE Z_PK IN (2, 3);", nullptr, nullptr,
                 nullptr);
    int off = 1;
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &off);
    sqlite3_close(db);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    build(out + "/carver/wal-512", 1, 512, 6, true);
    build(out + "/carver/legacy-512", 1, 512, 6, false);
    build(out + "/carver/wal-1024", 1, 1024, 4, true);
    build(out + "/carver/format4-512", 4, 512, 3, true);
    buildWithSide(out + "/wal/db", false);
    writeWithSide(out + "/wal/notes-with-wal", out + "/wal/db", out + "/wal/db-wal", false);
    buildWithSide(out + "/wal/db2", true);
    writeWithSide(out + "/wal/notes-with-journal", out + "/wal/db2", out + "/wal/db2-journal", true);
    for (const char* name : {"/wal/db", "/wal/db-wal", "/wal/db-shm", "/wal/db2", "/wal/db2-journal"}) {
        std::remove((out + name).c_str());
    }
    const char* const tables[] = {
        "CREATE TABLE ZNOTE ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, ZTITLE VARCHAR )",
        "CREATE TABLE note_bodies (note_id INTEGER, data, UNIQUE(note_id))",
        "CREATE TABLE \"a b\" ([x] INT PRIMARY KEY DESC, `y` TEXT COLLATE NOCASE, z DECIMAL(10, 5) DEFAULT (1 + 2))",
        "CREATE TABLE t(a INTEGER, b BLOB, c AS (a + 1) VIRTUAL, d REAL AS (a * 2) STORED, PRIMARY KEY(a)) "
        "WITHOUT ROWID",
        "CREATE TEMP TABLE IF NOT EXISTS main.t -- comment\n(a /* c */ INTEGER, CONSTRAINT k CHECK (a > 0))"};
    int i = 0;
    for (const char* sql : tables) {
        quarrow::fixtures::writeFile(out + "/schema/create-" + std::to_string(++i), sql);
    }
    return 0;
}
