// Times the existing-notes scan through the whole path that a scan takes (ScanRun on its worker,
// the note scanner reading the file in place or through its working copy, every record posted into a
// ResultCollection, the finish step through an inline main thread) against a plain SQLite loop
// that prepares the same statement and reads the same five columns as text. The goal is a ratio
// of at most 1.5.
//
//   quarrow_bench_scan [notes, default 100000] [repetitions, default 7]

#include "DeviceDb.h"
#include "discovery/BackupFiles.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "results/ResultCollection.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"
#include "scan/ScanRun.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quarrow;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kNewerStatement = "select ZTITLE,ZSUMMARY,ZMODIFICATIONDATE,ZCREATIONDATE,ZCONTENT from znote "
                                        "LEFT JOIN ZNOTEBODY ON ZNOTE.Z_PK = ZNOTEBODY.Z_PK";

// A small deterministic generator, so every run builds the same database.
class Random {
public:
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    std::size_t below(std::size_t n) { return next() % n; }

private:
    std::uint64_t state_ = 0x5eed;
};

const char* const kWords[] = {"milk",     "meeting", "call",    "Lisbon", "recipe",  "crème",  "brûlée", "東京",
                              "budget",   "garden",  "tickets", "doctor", "Müller",  "señor",  "ideas",  "book",
                              "birthday", "flight",  "😀",       "plan",   "project", "review", "notes",  "café"};

std::string words(Random& r, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i) {
            text += ' ';
        }
        text += kWords[r.below(std::size(kWords))];
    }
    return text;
}

// Titles of 2 to 6 words; bodies of 2 to 25 HTML lines of 3 to 12 words (about 100 to 2000 bytes),
// the sizes of notes people keep on their phones.
void buildDatabase(const std::string& path, int notes) {
    fixtures::NotesDbBuilder db(path);
    Random r;
    const double start = 350000000; // early 2012, in seconds since 2001
    db.begin();
    for (int i = 1; i <= notes; ++i) {
        fixtures::NoteSpec note;
        note.pk = i;
        note.title = words(r, 2 + r.below(5));
        note.content = note.title;
        const std::size_t lines = 2 + r.below(24);
        for (std::size_t k = 0; k < lines; ++k) {
            note.content += r.below(8) == 0 ? "<div><br></div>" : "<div>" + words(r, 3 + r.below(10)) + "</div>";
        }
        note.creationDate = start + i * 600;
        note.modificationDate = note.creationDate + (r.below(2) ? 0.5 : 0) + r.below(100000);
        db.addNote(note);
    }
    db.commit();
    db.close();
}

// Wall-clock time and the CPU time of the whole process (all threads), so that figures taken on a
// busy machine can still be compared: the CPU times do not count time spent waiting for a core.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

double processCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class Stopwatch {
public:
    Timing elapsed() const {
        return {std::chrono::duration<double>(Clock::now() - wall_).count(), processCpuSeconds() - cpu_};
    }

private:
    Clock::time_point wall_ = Clock::now();
    double cpu_ = processCpuSeconds();
};

void check(bool ok, const char* what, std::size_t got, std::size_t expected) {
    if (!ok) {
        std::fprintf(stderr, "%s: %zu rows, expected %zu\n", what, got, expected);
        std::exit(1);
    }
}

// The whole path of a scan, from its start to the end of its worker.
Timing timeScanRun(const std::string& backupFolder, std::size_t expected) {
    NotificationCenter nc;
    ResultCollection collection(nc);
    collection.showView();
    ScanRun run(nc, [&collection] { collection.ScanThreadFinish(); },
                {ScannerRegistry::shared().edition(Edition::Notes).front()});
    const Stopwatch watch;
    run.ScanIOSBackFile(backupFolder);
    run.join();
    const Timing elapsed = watch.elapsed();
    check(collection.noteArray().size() == expected, "scan", collection.noteArray().size(), expected);
    return elapsed;
}

// The scan's private copy of the database: made, switched to write-ahead logging, removed.
Timing timeWorkingCopy(const std::string& databasePath) {
    NotificationCenter nc;
    const Stopwatch watch;
    {
        ScanContext context(nc);
        context.sqlite.foldedCopy(databasePath);
    }
    return watch.elapsed();
}

// The note scanner alone: its records are posted to a centre that nobody observes.
Timing timeScannerAlone(const std::string& backupFolder) {
    NotificationCenter nc;
    const Stopwatch watch;
    {
        ScanContext context(nc, backupFolder);
        scanNoteThread(context, backupFolder);
    }
    return watch.elapsed();
}

// The floor: the same statement stepped once, the five columns read as text.
Timing timePlainLoop(const std::string& databasePath, std::size_t expected) {
    const Stopwatch watch;
    sqlite3* db = nullptr;
    sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, kNewerStatement, -1, &stmt, nullptr);
    std::size_t rows = 0;
    std::size_t bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < 5; ++c) {
            if (sqlite3_column_text(stmt, c)) {
                bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
            }
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    const Timing elapsed = watch.elapsed();
    check(rows == expected && bytes > 0, "plain loop", rows, expected);
    return elapsed;
}

struct Series {
    std::vector<double> wall, cpu;
    void add(const Timing& t) {
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Timing median(const Series& s) {
    return {median(s.wall), median(s.cpu)};
}

} // namespace

int main(int argc, char** argv) {
    const int notes = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 7;
    if (notes <= 0 || repetitions <= 0) {
        std::fprintf(stderr, "usage: quarrow_bench_scan [notes] [repetitions]\n");
        return 2;
    }

    // The scan logs nothing per note, but keep the benchmark's output to the figures.
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    InlineMainThread mainThread;
    Platform::current().setMainThread(&mainThread);

    const fs::path work = fs::temp_directory_path() / ("quarrow-bench-scan-" + std::to_string(::getpid()));
    const fs::path backup = work / "backup";
    fs::create_directories(backup);
    const std::string database = (backup / BackupFiles::fileID(DeviceFiles::kNotes)).string();

    const Stopwatch build;
    buildDatabase(database, notes);
    std::printf("built %d notes (%.1f MB) in %.2f s\n", notes, static_cast<double>(fs::file_size(database)) / 1e6,
                build.elapsed().wall);

    // One untimed round of each warms the page cache and the allocator.
    timeScanRun(backup.string(), notes);
    timePlainLoop(database, notes);

    Series scan, plain, copy, scanner;
    for (int i = 0; i < repetitions; ++i) {
        scan.add(timeScanRun(backup.string(), notes));
        plain.add(timePlainLoop(database, notes));
        copy.add(timeWorkingCopy(database));
        scanner.add(timeScannerAlone(backup.string()));
        std::printf("  run %d: scan %.3f s (cpu %.3f), plain SQLite %.3f s (cpu %.3f)\n", i + 1, scan.wall.back(),
                    scan.cpu.back(), plain.wall.back(), plain.cpu.back());
    }
    const Timing s = median(scan), p = median(plain), c = median(copy), a = median(scanner);
    std::printf("median of %d:    wall      cpu\n", repetitions);
    std::printf("  scan           %6.3f s  %6.3f s\n", s.wall, s.cpu);
    std::printf("  plain SQLite   %6.3f s  %6.3f s\n", p.wall, p.cpu);
    std::printf("  ratio          %6.2f    %6.2f     (goal <= 1.50)\n", s.wall / p.wall, s.cpu / p.cpu);
    // Where the time goes, each part as the difference of two medians.
    std::printf("where the time goes:\n");
    std::printf("  reading the rows (plain SQLite)         %6.3f s  %6.3f s\n", p.wall, p.cpu);
    std::printf("  records made and posted (no observer)   %6.3f s  %6.3f s\n", a.wall - p.wall, a.cpu - p.cpu);
    std::printf("  result collection, run and finish step  %6.3f s  %6.3f s\n", s.wall - a.wall, s.cpu - a.cpu);
    // A file with a write-ahead log beside it is read through a private copy instead of in place.
    std::printf("not in this run (no log beside the file):\n");
    std::printf("  working copy + commitDB + removal       %6.3f s  %6.3f s\n", c.wall, c.cpu);

    Platform::current().setMainThread(nullptr);
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
