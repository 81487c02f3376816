// Damaged and hostile files: none may crash the engine, hang it, make it read outside the bytes, or
// make it report a note that never existed. Each finishes in bounded time.

#include "carving/NoteCarving.h"

#include "DeviceDb.h"
#include "LargeFiles.h"
#include "platform/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::carving;
using namespace quarrow::test;

namespace {

constexpr double kMarch2012 = 352803900;

std::span<const std::uint8_t> asBytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

void put16(std::string& s, std::size_t at, unsigned v) {
    s[at] = static_cast<char>(v >> 8);
    s[at + 1] = static_cast<char>(v);
}
void put32(std::string& s, std::size_t at, unsigned v) {
    put16(s, at, v >> 16);
    put16(s, at + 2, v & 0xffff);
}

// A small notes database with deleted notes: the healthy bytes the cases damage.
struct Sample {
    std::string db, wal, journal;
};
const Sample& sample() {
    static const Sample s = [] {
        TempDir dir;
        const std::string path = dir.file("notes.sqlite");
        {
            fixtures::NotesDbBuilder db(path, 1, 1024);
            for (std::int64_t pk = 1; pk <= 40; ++pk) {
                db.addNote(fixtures::NoteSpec(pk, "Title " + std::to_string(pk),
                                              "<div>" + std::string(static_cast<std::size_t>(pk) * 40, 'v') + "</div>",
                                              kMarch2012 + static_cast<double>(pk)));
            }
            for (std::int64_t pk = 1; pk <= 40; pk += 3) {
                db.deleteNote(pk);
            }
        }
        Sample out;
        out.db = fixtures::readFile(path);
        fixtures::execSql(path, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; DELETE FROM ZNOTEBODY "
                                "WHERE Z_PK < 10;");
        out.wal = fixtures::readFile(path + "-wal");
        return out;
    }();
    return s;
}

struct Damage {
    const char* name;
    Sample (*make)(const Sample&);
};

std::string random(std::size_t n, std::uint32_t seed) {
    std::string bytes(n, '\0');
    for (auto& c : bytes) {
        c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    }
    return bytes;
}

const Damage kDamages[] = {
    {"RandomBytes",
     [](const Sample&) {
         return Sample{random(200000, 1), {}, {}};
     }},
    {"Empty", [](const Sample&) { return Sample{}; }},
    {"TruncatedInsideTheHeader",
     [](const Sample& s) {
         return Sample{s.db.substr(0, 60), {}, {}};
     }},
    {"TruncatedMidPage",
     [](const Sample& s) {
         return Sample{s.db.substr(0, s.db.size() / 2 + 333), {}, {}};
     }},
    {"PageSizeZero",
     [](const Sample& s) {
         Sample d = s;
         put16(d.db, 16, 0);
         return d;
     }},
    {"PageSizeNotAPowerOfTwo",
     [](const Sample& s) {
         Sample d = s;
         put16(d.db, 16, 3000);
         return d;
     }},
    {"PageSizeLargerThanTheFile",
     [](const Sample& s) {
         Sample d{s.db.substr(0, 5000), {}, {}};
         put16(d.db, 16, 1); // 65536
         return d;
     }},
    {"HugePageCountInTheHeader",
     [](const Sample& s) {
         Sample d = s;
         put32(d.db, 28, 0x7fffffff);
         return d;
     }},
    {"FreeListThatLoops",
     [](const Sample& s) {
         Sample d = s;
         put32(d.db, 32, 2); // the first trunk is page 2, which names itself as the next trunk
         put32(d.db, 1024, 2);
         put32(d.db, 1028, 0xffffffff);
         return d;
     }},
    {"EveryCellPointerPastThePage",
     [](const Sample& s) {
         Sample d = s;
         for (std::size_t p = 1024; p + 1024 <= d.db.size(); p += 1024) {
             for (std::size_t i = 8; i < 40; i += 2) {
                 put16(d.db, p + i, 0xfff0);
             }
         }
         return d;
     }},
    {"InteriorPagesPointingAtThemselves",
     [](const Sample& s) {
         Sample d = s;
         for (std::size_t p = 1024; p + 1024 <= d.db.size(); p += 1024) {
             d.db[p] = 0x05;
             put32(d.db, p + 8, static_cast<unsigned>(p / 1024 + 1));
         }
         return d;
     }},
    {"EveryByteOne",
     [](const Sample& s) {
         Sample d{s.db.substr(0, 1024) + std::string(40 * 1024, '\x01'), {}, {}};
         return d;
     }},
    {"GarbageLog",
     [](const Sample& s) {
         return Sample{s.db, random(50000, 2), {}};
     }},
    {"LogOfAnotherPageSize",
     [](const Sample& s) {
         Sample d{s.db, s.wal, {}};
         put32(d.wal, 8, 4096);
         return d;
     }},
    {"LogCutInsideAFrame",
     [](const Sample& s) {
         return Sample{s.db, s.wal.substr(0, 32 + 1048 + 500), {}};
     }},
    {"GarbageJournal",
     [](const Sample& s) {
         return Sample{s.db, {}, random(30000, 3)};
     }},
    {"JournalOfZeros",
     [](const Sample& s) {
         return Sample{s.db, {}, std::string(70000, '\0')};
     }},
};

class DamagedFiles : public ::testing::TestWithParam<Damage> {
protected:
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

// Every note the healthy database ever had, by body.
std::map<std::string, std::string> everyNote() {
    std::map<std::string, std::string> notes;
    for (std::int64_t pk = 1; pk <= 40; ++pk) {
        notes["<div>" + std::string(static_cast<std::size_t>(pk) * 40, 'v') + "</div>"] = "Title " + std::to_string(pk);
    }
    return notes;
}

} // namespace

TEST_P(DamagedFiles, CarveWithoutCrashHangOrInvention) {
    const Sample input = GetParam().make(sample());
    DbFileReader db(asBytes(input.db)), wal(asBytes(input.wal)), journal(asBytes(input.journal));
    const std::clock_t start = std::clock();
    const auto file = DatabaseFile::open(
        {&db, input.wal.empty() ? nullptr : &wal, input.journal.empty() ? nullptr : &journal}, "damaged");
    if (!file) {
        EXPECT_FALSE(log.lines().empty()); // a file that is no database says so
        return;
    }
    const NoteCarving carved = carveDeletedNotes(*file);
    EXPECT_LT(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC, 10.0); // no hang, no blow-up
    const auto notes = everyNote();
    for (const CarvedNote& n : carved.notes) {
        const auto it = notes.find(n.content);
        ASSERT_NE(it, notes.end()) << "invented: " << n.content.substr(0, 80);
        if (n.title) {
            EXPECT_EQ(*n.title, it->second);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, DamagedFiles, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileFiles, RecordLikeBytesAreCarvedInBoundedTimeAndGiveNothing) {
    // Pages of record-like bytes everywhere, claiming every content size and overflow chain. The
    // bound only catches a hang or a quadratic blow-up (minutes at this size); the benchmark
    // measures the time.
    TempDir dir;
    const std::string path = dir.file("crafted.sqlite");
    fixtures::writeRecordLikeFile(path, 4 << 20);
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    const std::clock_t start = std::clock();
    const auto opened = openDatabaseInPlace(path, path);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(carveDeletedNotes(*opened->file).notes.empty());
    EXPECT_LT(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC, 20.0);
}

TEST(HostileFiles, AFileThatShrinksUnderTheReaderIsLoggedNotFatal) {
    TempDir dir;
    const std::string path = dir.file("notes.sqlite");
    ASSERT_TRUE(fixtures::writeFile(path, sample().db));
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    const auto opened = openDatabaseInPlace(path, "shrinking");
    ASSERT_TRUE(opened);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(sample().db.size() / 3)), 0);
    carveDeletedNotes(*opened->file);
    EXPECT_TRUE(log.contains("became shorter while it was read"));
}

TEST(HostileFiles, AFifoOrAFolderIsNoDatabaseAndNeverBlocks) {
    TempDir dir;
    const std::string fifo = dir.file("notes.sqlite");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    EXPECT_FALSE(openDatabaseInPlace(fifo, "fifo"));
    EXPECT_FALSE(openDatabaseInPlace(dir.path(), "folder"));
    EXPECT_TRUE(log.contains("cannot be read as a regular file"));
    // Nor does a FIFO named as the log beside a database.
    const std::string db = dir.file("real.sqlite");
    ASSERT_TRUE(fixtures::writeFile(db, sample().db));
    ASSERT_EQ(::mkfifo((db + "-wal").c_str(), 0600), 0);
    const auto opened = openDatabaseInPlace(db, "real");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->wal, nullptr);
    EXPECT_FALSE(carveDeletedNotes(*opened->file).notes.empty());
}
