// What a large Manifest.db costs a scan. A backup of today's layout lists every file of the phone
// in Manifest.db (hundreds of thousands of rows on a full phone); the scanners look up a handful of
// them. The same note store is scanned (note scanner and deleted-note carver, as a scan runs them)
// in two backups that differ only in the size of their manifest, and the large manifest's pages
// read by the lookups are compared with its page count and with one plain read of its whole Files
// table. Goals: the scan-time ratio near 1, and a page ratio far below 1 (never read whole).
//
//   quarrow_bench_manifest [manifest rows, default 300000] [notes, default 2000] [repetitions, default 5]

#include "BenchTiming.h"
#include "ModernBackup.h"
#include "NoteStore.h"
#include "discovery/BackupFiles.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "results/ResultCollection.h"
#include "scan/DelNoteScanner.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quarrow;
namespace fs = std::filesystem;
namespace fx = quarrow::fixtures;
using namespace quarrow::bench;

namespace {

void buildStore(const std::string& path, int notes) {
    fx::NoteStoreBuilder db(path);
    const auto folder = db.addFolder("Notes");
    for (int i = 0; i < notes; ++i) {
        const std::string title = "Note " + std::to_string(i);
        std::string text = title + "\n";
        for (int line = 0; line < 8; ++line) {
            text += "line " + std::to_string(line) + " of the note, with a few words on it\n";
        }
        db.addNote({title, text, folder, 700000000.0 + i, 700000000.0 + i});
    }
    db.close();
}

void buildBackup(const std::string& folder, const std::string& store, std::size_t otherRows) {
    fx::ModernBackupBuilder backup(folder);
    backup.writePropertyLists(fx::ModernDevice{});
    backup.addDatabase("AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite", store);
    backup.addOtherRows(otherRows);
    if (!backup.writeManifest()) {
        std::fprintf(stderr, "cannot write the manifest of %s\n", folder.c_str());
        std::exit(1);
    }
}

struct ScanFigures {
    double seconds = 0;
    std::size_t notes = 0;
    ManifestReads reads;
};

ScanFigures scanOnce(const std::string& folder) {
    NotificationCenter nc;
    ResultCollection collection(nc);
    ScanFigures figures;
    const auto start = Clock::now();
    {
        ScanContext context(nc, folder);
        scanNoteThread(context, folder);
        scanDelNoteThread(context, folder);
        figures.reads = context.filesFor(folder).manifestReads();
    }
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    figures.notes = collection.noteArray().size();
    return figures;
}

ScanFigures best(const std::string& folder, int repetitions) {
    ScanFigures fastest;
    fastest.seconds = 1e300;
    for (int i = 0; i < repetitions; ++i) {
        const ScanFigures f = scanOnce(folder);
        if (f.seconds < fastest.seconds) {
            fastest = f;
        }
    }
    return fastest;
}

// One plain read of every row of the Files table: what a scan would pay to read the manifest whole.
double readWhole(const std::string& manifest, int repetitions) {
    double fastest = 1e300;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Clock::now();
        sqlite3* db = nullptr;
        sqlite3_open_v2(manifest.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT fileID, domain, relativePath, flags FROM Files", -1, &stmt, nullptr);
        std::size_t bytes = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0) + sqlite3_column_bytes(stmt, 2));
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        fastest = std::min(fastest, std::chrono::duration<double>(Clock::now() - start).count());
        if (bytes == 0) {
            std::fprintf(stderr, "the manifest read nothing\n");
        }
    }
    return fastest;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t rows = argc > 1 ? static_cast<std::size_t>(std::atol(argv[1])) : 300000;
    const int notes = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int repetitions = argc > 3 ? std::atoi(argv[3]) : 5;
    QuietLog quiet;
    ScopedLogSink scoped(quiet);

    char pattern[] = "/tmp/quarrow-bench-manifest-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = made;
    const std::string store = root + "/NoteStore.sqlite";
    buildStore(store, notes);
    const std::string small = root + "/small";
    const std::string large = root + "/large";
    buildBackup(small, store, 300);
    buildBackup(large, store, rows);

    const ScanFigures smallScan = best(small, repetitions);
    const ScanFigures largeScan = best(large, repetitions);
    const double whole = readWhole(large + "/Manifest.db", repetitions);

    std::printf("Manifest of %zu rows (%lld pages), note store of %d notes, best of %d runs\n", rows + 1,
                largeScan.reads.pageCount, notes, repetitions);
    std::printf("  scan, manifest of ~300 rows      %8.1f ms  (%zu notes)\n", smallScan.seconds * 1e3, smallScan.notes);
    std::printf("  scan, manifest of %zu rows  %8.1f ms  (%zu notes)   ratio %.2f\n", rows + 1, largeScan.seconds * 1e3,
                largeScan.notes, largeScan.seconds / smallScan.seconds);
    std::printf("  lookups %d, pages read %lld of %lld (ratio %.5f), full-scan steps %lld\n", largeScan.reads.lookups,
                largeScan.reads.pagesRead, largeScan.reads.pageCount,
                static_cast<double>(largeScan.reads.pagesRead) / static_cast<double>(largeScan.reads.pageCount),
                largeScan.reads.fullScanSteps);
    std::printf("  one plain read of the whole Files table %8.1f ms (the scan's lookups avoid it)\n", whole * 1e3);

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
