// Recovery quality of deleted notes over the fixture corpus: notes databases that SQLite itself
// wrote through a realistic life, with a ground truth that knows every deleted version and whether
// its title and body still exist in the files.
//
//   quarrow_bench_recovery FOLDER [--old]
//
// Writes the corpus into FOLDER (again on every run: it is deterministic), then reports for each
// database and in total, over the deleted versions whose bytes survive:
//   recall       shown with their exact title and body
//   body recall  bodies shown exactly
//   precision    deleted notes shown that are exactly a deleted version
//   live         live notes shown as deleted
// With --old, the same figures for the pattern carver this engine replaces, run as a scan runs it
// (on a private copy with the log folded in, through the result collection).

#include "NotesLife.h"
#include "carving/DatabaseFile.h"
#include "carving/NoteCarving.h"
#include "platform/Log.h"

#if __has_include("carving/DelNoteCarver.h")
#include "carving/DelNoteCarver.h"
#include "platform/NotificationCenter.h"
#include "results/ResultCollection.h"
#include "scan/DelNoteScanner.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"
#define QUARROW_BENCH_OLD_CARVER 1
#endif

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace quarrow;
namespace fs = std::filesystem;

namespace {

void print(const char* what, const fixtures::NotesScore& s) {
    std::printf("  %-6s recall %5.1f%% (%zu/%zu)  body recall %5.1f%% (%zu/%zu)  precision %5.1f%% (%zu/%zu)  "
                "live shown %zu\n",
                what, 100 * s.recall(), s.recalledWhole, s.wholeSurvives, 100 * s.bodyRecall(), s.recalledBody,
                s.bodySurvives, 100 * s.precision(), s.shownCorrect, s.shown, s.shownLive);
}

std::vector<fixtures::ShownNote> carveWithEngine(const std::string& path) {
    std::vector<fixtures::ShownNote> shown;
    if (auto opened = carving::openDatabaseInPlace(path, path)) {
        for (const carving::CarvedNote& n : carving::carveDeletedNotes(*opened->file).notes) {
            shown.push_back({n.title, n.content});
        }
    }
    return shown;
}

#ifdef QUARROW_BENCH_OLD_CARVER
// The scan's path through the old carver: a backup folder holding the notes file, both scanners,
// the result collection's dedup; the deleted notes it keeps.
std::vector<fixtures::ShownNote> carveWithOldCarver(const std::string& path, const std::string& scratch) {
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    const std::string target = scratch + "/ca3bc056d4da0bbf88b5fb3be254f3b7147e639c";
    fs::copy_file(path, target);
    if (fs::exists(path + "-wal")) {
        fs::copy_file(path + "-wal", target + "-wal");
    }
    NotificationCenter nc;
    ResultCollection collection(nc);
    collection.showView();
    {
        ScanContext context(nc);
        scanNoteThread(context, scratch);
        scanDelNoteThread(context, scratch);
    }
    std::vector<fixtures::ShownNote> shown;
    for (const auto& note : collection.noteArray()) {
        if (note->bDeleted()) {
            shown.push_back({note->noteTitle(), note->noteContent().value_or("")});
        }
    }
    return shown;
}
#endif

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [--old]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const bool old = argc > 2 && std::strcmp(argv[2], "--old") == 0;
    fs::create_directories(folder);
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    fixtures::NotesScore engineTotal, oldTotal;
    std::size_t versions = 0, notes = 0;
    for (const fixtures::LifeOptions& options : fixtures::notesCorpus(false)) {
        const auto t0 = std::chrono::steady_clock::now();
        const fixtures::NotesLife life = fixtures::liveNotesLife(folder + "/" + options.name + ".sqlite", options);
        const double made = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        versions += life.versions.size();
        notes += static_cast<std::size_t>(options.notes);
        const fixtures::NotesScore e = fixtures::scoreNotes(life, carveWithEngine(life.path));
        std::printf("%s: %d notes, page %d, format %d%s%s; %zu deleted versions, %zu survive whole, %zu bodies "
                    "(made in %.1f s)\n",
                    options.name.c_str(), options.notes, options.pageSize, options.schemaFormat,
                    options.wal ? ", WAL" : "", options.autoVacuum ? ", auto_vacuum=FULL" : "", e.deleted,
                    e.wholeSurvives, e.bodySurvives, made);
        print("engine", e);
        engineTotal += e;
#ifdef QUARROW_BENCH_OLD_CARVER
        if (old) {
            const fixtures::NotesScore o = fixtures::scoreNotes(life, carveWithOldCarver(life.path, folder + "/scan"));
            print("old", o);
            oldTotal += o;
        }
#endif
    }
    std::printf("\nTotal: %zu databases, %zu notes, %zu versions, %zu deleted, %zu survive whole, %zu bodies\n",
                fixtures::notesCorpus(false).size(), notes, versions, engineTotal.deleted, engineTotal.wholeSurvives,
                engineTotal.bodySurvives);
    print("engine", engineTotal);
    if (old) {
        print("old", oldTotal);
    }
    for (const std::string& w : engineTotal.wrong) {
        std::printf("engine shows wrongly: %s\n", w.c_str());
    }
    return 0;
}
