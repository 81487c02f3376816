// Writes the seed inputs of the carver fuzz target: small device-like notes databases (512- and
// 1024-byte pages) with deleted notes, in both write versions, plus a schema-format-4 file.
// Usage: quarrow_fuzz_carver_seeds OUTPUT_FOLDER

#include "DeviceDb.h"

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

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    build(out + "/wal-512", 1, 512, 6, true);
    build(out + "/legacy-512", 1, 512, 6, false);
    build(out + "/wal-1024", 1, 1024, 4, true);
    build(out + "/format4-512", 4, 512, 3, true);
    return 0;
}
