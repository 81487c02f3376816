// The scanner registry and its editions. A new SQL scanner is a file plus one registry line: the
// test scanner in TestCallScanner.cpp is such a file, and the one add() below is its line.

#include "scan/ScannerRegistry.h"

#include "DeviceDb.h"
#include "TestCallScanner.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "results/ResultCollection.h"
#include "scan/ScanRun.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quarrow;
using namespace quarrow::test;

namespace {

std::vector<std::string> names(const std::vector<ScannerEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) {
        out.push_back(e.name);
    }
    return out;
}

// Registers an entry in the program's registry for one test.
class Registered {
public:
    explicit Registered(ScannerEntry entry) : name_(entry.name) { ScannerRegistry::shared().add(std::move(entry)); }
    ~Registered() { ScannerRegistry::shared().remove(name_); }
    Registered(const Registered&) = delete;
    Registered& operator=(const Registered&) = delete;

private:
    std::string name_;
};

} // namespace

TEST(ScannerRegistry, TheNotesEditionRunsTheNoteScannerThenTheCarver) {
    const auto notes = ScannerRegistry::shared().edition(Edition::Notes);
    EXPECT_EQ(names(notes), (std::vector<std::string>{"scanNoteThread", "scanDelNoteThread"}));
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].progress, 70);
    EXPECT_EQ(notes[1].progress, 96);
    EXPECT_FALSE(notes[0].carver);
    EXPECT_TRUE(notes[1].carver);
    EXPECT_EQ(notes[0].files,
              (std::vector<DeviceFile>{DeviceFiles::kNotes, DeviceFiles::kNotesLegacy, DeviceFiles::kNoteStore}));
    EXPECT_EQ(notes[1].files, notes[0].files);
    EXPECT_EQ(categoriesOf(notes), std::set<Category>{Category::Note});
}

TEST(ScannerRegistry, TheFullEditionRunsEveryEntryWithProgressThatNeverGoesDown) {
    ScannerRegistry registry;
    for (const auto& [name, progress] : std::vector<std::pair<const char*, int>>{{"scanDelCallHistoryThread", 100},
                                                                                 {"scanNoteThread", 70},
                                                                                 {"scanPhotoAndVideoThread", 30},
                                                                                 {"scanDelNoteThread", 96},
                                                                                 {"scanContactThread", 40},
                                                                                 {"scanDelContactThread", 75},
                                                                                 {"scanCallHistoryThread", 60},
                                                                                 {"scanMessageThread", 50},
                                                                                 {"scanDelMessageThread", 85}}) {
        registry.add({name, Category::Note, {}, progress, false, {}});
    }
    EXPECT_EQ(names(registry.edition(Edition::Full)),
              (std::vector<std::string>{"scanPhotoAndVideoThread", "scanContactThread", "scanMessageThread",
                                        "scanCallHistoryThread", "scanNoteThread", "scanDelContactThread",
                                        "scanDelMessageThread", "scanDelNoteThread", "scanDelCallHistoryThread"}));
    EXPECT_EQ(names(registry.edition(Edition::Notes)),
              (std::vector<std::string>{"scanNoteThread", "scanDelNoteThread"}));

    registry.add({"scanNoteThread", Category::Note, {}, 71, false, {}}); // same name: replaced
    EXPECT_EQ(registry.entries().size(), 9u);
    EXPECT_TRUE(registry.remove("scanDelNoteThread"));
    EXPECT_FALSE(registry.remove("scanDelNoteThread"));
    EXPECT_EQ(names(registry.edition(Edition::Notes)), std::vector<std::string>{"scanNoteThread"});
    const auto full = registry.edition(Edition::Full);
    EXPECT_TRUE(
        std::is_sorted(full.begin(), full.end(), [](const auto& a, const auto& b) { return a.progress < b.progress; }));
}

TEST(ScannerRegistry, ARegisteredScannerRunsInTheFullEditionOnly) {
    TempDir dir;
    const std::string folder = dir.makeDir("backup");
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote({1, "A note", "<div>A note</div>", 352803900, 352803900});
    }
    const std::string calls = folder + "/" + BackupFiles::fileID(DeviceFiles::kCallHistory);
    ASSERT_TRUE(fixtures::createDatabase(calls,
                                         "CREATE TABLE call (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, "
                                         "date INTEGER, duration INTEGER, flags INTEGER);",
                                         4));
    ASSERT_TRUE(fixtures::execSql(calls, "INSERT INTO call (address, date, duration, flags) VALUES "
                                         "('+44 20 7946 0018', 1357000000, 130, 5), ('555-0100', 1357003600, 0, 4);"));

    const Registered line(
        {"scanTestCallThread", Category::CallHistory, {DeviceFiles::kCallHistory}, 60, false, scanTestCallThread});

    const auto full = ScannerRegistry::shared().edition(Edition::Full);
    const auto at = [&full](const char* name) {
        return std::find_if(full.begin(), full.end(), [name](const auto& e) { return e.name == name; });
    };
    ASSERT_NE(at("scanTestCallThread"), full.end());
    EXPECT_LT(at("scanTestCallThread"), at("scanNoteThread")); // 60 before 70
    EXPECT_TRUE(categoriesOf(full).contains(Category::CallHistory));
    EXPECT_FALSE(categoriesOf(ScannerRegistry::shared().edition(Edition::Notes)).contains(Category::CallHistory));

    struct Outcome {
        std::vector<long long> progress;
        std::vector<std::string> phones;
        std::size_t notes = 0;
    };
    const auto scan = [&folder](Edition edition) {
        NotificationCenter nc;
        ResultCollection collection(nc);
        Outcome out;
        nc.addObserver(ScanNotification::kProgress,
                       [&out](const Notification& n) { out.progress.push_back(*n.number()); });
        // The edition's entries, less the built-in scanners of the other categories, which would
        // read the same call table.
        auto entries = ScannerRegistry::shared().edition(edition);
        std::erase_if(entries, [](const ScannerEntry& e) {
            return e.category != Category::Note && e.name != "scanTestCallThread";
        });
        {
            ScanRun run(nc, {}, entries);
            run.ScanIOSBackFile(folder);
            run.join();
        }
        for (const auto& call : collection.callHistoryArray()) {
            out.phones.push_back(call->callPhone().value_or(""));
        }
        out.notes = collection.noteArray().size();
        return out;
    };
    const Outcome withCalls = scan(Edition::Full);
    EXPECT_EQ(withCalls.phones, (std::vector<std::string>{"+44 20 7946 0018", "555-0100"}));
    EXPECT_EQ(withCalls.notes, 1u);
    EXPECT_TRUE(std::is_sorted(withCalls.progress.begin(), withCalls.progress.end()));
    EXPECT_EQ(withCalls.progress.front(), 60);

    const Outcome notesOnly = scan(Edition::Notes);
    EXPECT_TRUE(notesOnly.phones.empty());
    EXPECT_EQ(notesOnly.notes, 1u);
    EXPECT_EQ(notesOnly.progress, (std::vector<long long>{70, 96}));
}
