#pragma once

// What the carving fuzz targets do with a database made of fuzz bytes: open it as a database with
// the files beside it, carve its deleted notes and the deleted rows of every table of its schema,
// and read every table's live rows. Nothing may crash, hang or read outside the bytes.

#include "carving/DatabaseFile.h"
#include "carving/NoteCarving.h"
#include "carving/RowCarver.h"

#include <cstdint>
#include <span>
#include <vector>

inline void carveFuzzInput(std::span<const std::uint8_t> db, std::span<const std::uint8_t> wal,
                           std::span<const std::uint8_t> journal) {
    using namespace quarrow;
    using namespace quarrow::carving;
    DbFileReader dbBytes(db), walBytes(wal), journalBytes(journal);
    const auto file = DatabaseFile::open(
        {&dbBytes, wal.empty() ? nullptr : &walBytes, journal.empty() ? nullptr : &journalBytes}, "fuzz input");
    if (!file) {
        return;
    }
    carveDeletedNotes(*file);
    std::vector<TableRequest> every;
    for (const TableShape& t : file->tables()) {
        every.push_back({t.name, {}});
        std::size_t rows = 0;
        file->forEachLiveRow(t, [&rows](std::int64_t, std::vector<Value>&) { return ++rows < 100000; });
        file->liveRow(t, 1);
    }
    carveDeletedRows(*file, every);
}
