// Recovery quality of deleted notes over the fixture corpus: notes databases that SQLite itself
// wrote through a realistic life, with a ground truth that knows every deleted version and whether
// its title and body still exist in the files.
//
//   quarrow_bench_recovery FOLDER
//
// Writes the corpus into FOLDER (again on every run: it is deterministic), scans each database as
// a backup is scanned (the note scanner and the deleted-note carver posting into the result
// collection) and reports, for each database and in total, over the deleted versions whose bytes
// survive:
//   recall       shown with their exact title and body
//   body recall  bodies shown exactly
//   precision    deleted notes shown that are exactly a deleted version
//   live         live notes shown as deleted

#include "NotesLife.h"
#include "discovery/BackupFiles.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "results/ResultCollection.h"
#include "scan/DelNoteScanner.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace quarrow;
namespace fs = std::filesystem;

namespace {

void print(const fixtures::NotesScore& s) {
    std::printf("  recall %5.1f%% (%zu/%zu)  body recall %5.1f%% (%zu/%zu)  precision %5.1f%% (%zu/%zu)  "
                "live shown %zu\n",
                100 * s.recall(), s.recalledWhole, s.wholeSurvives, 100 * s.bodyRecall(), s.recalledBody,
                s.bodySurvives, 100 * s.precision(), s.shownCorrect, s.shown, s.shownLive);
}

// A backup folder holding the database (and its -wal) under the notes file's name, scanned by
// both scanners into a result collection; the deleted notes it shows.
std::vector<fixtures::ShownNote> scanDeletedNotes(const std::string& path, const std::string& scratch) {
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    const std::string target = scratch + "/" + BackupFiles::fileID(DeviceFiles::kNotes);
    fs::copy_file(path, target);
    if (fs::exists(path + "-wal")) {
        fs::copy_file(path + "-wal", target + "-wal");
    }
    NotificationCenter nc;
    ResultCollection collection(nc);
    collection.showView();
    {
        ScanContext context(nc, scratch);
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

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    fs::create_directories(folder);
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    fixtures::NotesScore total;
    std::size_t versions = 0, notes = 0;
    for (const fixtures::LifeOptions& options : fixtures::notesCorpus(false)) {
        const auto t0 = std::chrono::steady_clock::now();
        const fixtures::NotesLife life = fixtures::liveNotesLife(folder + "/" + options.name + ".sqlite", options);
        const double made = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        versions += life.versions.size();
        notes += static_cast<std::size_t>(options.notes);
        const fixtures::NotesScore score = fixtures::scoreNotes(life, scanDeletedNotes(life.path, folder + "/scan"));
        std::printf("%s: %d notes, page %d, format %d%s%s; %zu deleted versions, %zu survive whole, %zu bodies "
                    "(made in %.1f s)\n",
                    options.name.c_str(), options.notes, options.pageSize, options.schemaFormat,
                    options.wal ? ", WAL" : "", options.autoVacuum ? ", auto_vacuum=FULL" : "", score.deleted,
                    score.wholeSurvives, score.bodySurvives, made);
        print(score);
        total += score;
    }
    std::printf("\nTotal: %zu databases, %zu notes, %zu versions, %zu deleted, %zu survive whole, %zu bodies\n",
                fixtures::notesCorpus(false).size(), notes, versions, total.deleted, total.wholeSurvives,
                total.bodySurvives);
    print(total);
    for (const std::string& w : total.wrong) {
        std::printf("shown wrongly: %s\n", w.c_str());
    }
    return 0;
}
