// Times the existing-notes scan through the whole path that a scan takes (ScanRun on its worker,
// the note scanner with its working copy and commitDB, every record posted into a
// ResultCollection, the finish step through an inline main thread) against a plain SQLite loop
// that prepares the same statement and reads the same five columns as text. The goal is a ratio
// of at most 1.5.
//
//   quarrow_bench_scan [notes, default 100000] [repetitions, default 7]

#include "DeviceDb.h"
#include "discovery/PRIOSDeviceController.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "results/ResultCollection.h"
#include "scan/NoteScanner.h"
#include "scan/ScanRun.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The whole path of a scan, from its start to the end of its worker.
double timeScanRun(const std::string& backupFolder, std::size_t expected) {
    NotificationCenter nc;
    ResultCollection collection(nc);
    collection.showView();
    ScanRun run(nc, [&collection] { collection.ScanThreadFinish(); }, {scanNoteThread});
    const auto t0 = Clock::now();
    run.ScanIOSBackFile(backupFolder);
    run.join();
    const double elapsed = seconds(Clock::now() - t0);
    if (collection.noteArray().size() != expected) {
        std::fprintf(stderr, "scan reported %zu notes, expected %zu\n", collection.noteArray().size(), expected);
        std::exit(1);
    }
    return elapsed;
}

// The floor: the same statement stepped once, the five columns read as text.
double timePlainLoop(const std::string& databasePath, std::size_t expected) {
    const auto t0 = Clock::now();
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
    const double elapsed = seconds(Clock::now() - t0);
    if (rows != expected || bytes == 0) {
        std::fprintf(stderr, "plain loop read %zu rows, expected %zu\n", rows, expected);
        std::exit(1);
    }
    return elapsed;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
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
    const std::string database = (backup / BackupFileNames::kNotes).string();

    auto t0 = Clock::now();
    buildDatabase(database, notes);
    std::printf("built %d notes (%.1f MB) in %.2f s\n", notes, fs::file_size(database) / 1e6,
                seconds(Clock::now() - t0));

    // One untimed round of each warms the page cache and the allocator.
    timeScanRun(backup.string(), notes);
    timePlainLoop(database, notes);

    std::vector<double> scan, plain;
    for (int i = 0; i < repetitions; ++i) {
        scan.push_back(timeScanRun(backup.string(), notes));
        plain.push_back(timePlainLoop(database, notes));
        std::printf("  run %d: scan %.3f s, plain SQLite %.3f s\n", i + 1, scan.back(), plain.back());
    }
    const double scanMedian = median(scan);
    const double plainMedian = median(plain);
    std::printf("median of %d: scan %.3f s, plain SQLite %.3f s, ratio %.2f (goal <= 1.50)\n", repetitions, scanMedian,
                plainMedian, scanMedian / plainMedian);

    Platform::current().setMainThread(nullptr);
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
