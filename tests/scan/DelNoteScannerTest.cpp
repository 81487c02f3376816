// The deleted-note carver as a scan runs it: the adapter finds the backup's notes database, carves
// it where it lies (with its -wal and -journal) and posts the deleted notes, each with where it was
// found.

#include "scan/DelNoteScanner.h"

#include "DeviceDb.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "records/ValueHelpers.h"
#include "results/ResultCollection.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>

using namespace quarrow;
using namespace quarrow::test;

namespace {

constexpr double kMarch2012 = 352803900; // seconds since 2001

fixtures::NoteSpec spec(std::int64_t pk, std::string title, std::string content, double modified) {
    fixtures::NoteSpec n;
    n.pk = pk;
    n.title = std::move(title);
    n.content = std::move(content);
    n.modificationDate = modified;
    n.creationDate = kMarch2012 - 86400;
    return n;
}

std::string noteDate(double seconds) {
    return *dateText(static_cast<std::int64_t>(seconds), 1);
}

class CarveNotes : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        folder = dir.makeDir("backup");
        nc.addObserver(ScanNotification::kProgress, [this](const Notification& n) { progress.push_back(*n.number()); });
        nc.addObserver(ScanNotification::kDelNote,
                       [this](const Notification& n) { posted.push_back(n.recordAs<PRNoteNode>()); });
    }
    // Both scanners of a scan, as the scan run calls them.
    void scan() {
        ScanContext context(nc, folder);
        scanNoteThread(context, folder);
        scanDelNoteThread(context, folder);
    }
    std::vector<PRNoteNodePtr> deleted() const {
        std::vector<PRNoteNodePtr> out;
        for (const auto& n : collection.noteArray()) {
            if (n->bDeleted()) {
                out.push_back(n);
            }
        }
        return out;
    }

    TempDir dir;
    std::string folder;
    NotificationCenter nc;
    ResultCollection collection{nc};
    std::vector<long long> progress;
    std::vector<PRNoteNodePtr> posted;
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

} // namespace

TEST_F(CarveNotes, RebuildsDeletedNotesAndDropsCopiesOfLiveOnes) {
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote(spec(1, "Shopping", "<div>Shopping</div><div>Milk</div>", kMarch2012 + 0.5));
        db.addNote(spec(2, "Café ☕ 日本", "<div>Café ☕ 日本</div><div>😀</div>", kMarch2012 + 60.75));
        db.addNote(spec(3, "Keep me", "<div>Keep me</div>", kMarch2012 + 180.75));
        db.addNote(spec(4, "Gone too", "<div>Gone too</div><div>second line</div>", kMarch2012 + 240));
        db.deleteNote(2);
        db.deleteNote(4);
    }
    const std::string before = fixtures::readFile(notesSqlitePath(folder));
    scan();
    EXPECT_EQ(fixtures::readFile(notesSqlitePath(folder)), before); // the backup itself is never switched
    EXPECT_EQ(progress, (std::vector<long long>{70, 96}));
    EXPECT_EQ(collection.counters().noteNum, 2);
    EXPECT_EQ(collection.counters().delNoteNum, 2);
    EXPECT_EQ(posted.size(), 2u); // the carver skips live cells and drops copies of live rows
    std::map<std::string, PRNoteNodePtr> byTitle;
    for (const auto& n : deleted()) {
        byTitle[n->noteTitle().value_or("?")] = n;
    }
    ASSERT_EQ(byTitle.size(), 2u);
    ASSERT_TRUE(byTitle.count("Café ☕ 日本") && byTitle.count("Gone too"));
    EXPECT_EQ(byTitle["Café ☕ 日本"]->noteContent(), "<div>Café ☕ 日本</div><div>😀</div>");
    EXPECT_EQ(byTitle["Café ☕ 日本"]->noteDate(), noteDate(kMarch2012 + 60)); // cut toward zero
    EXPECT_EQ(byTitle["Café ☕ 日本"]->uid(), 2);
    EXPECT_EQ(byTitle["Gone too"]->noteContent(), "<div>Gone too</div><div>second line</div>");
    // Note 2 lay between live rows; note 4, written last, at the start of the content area, which the
    // deletion gave back to the gap.
    EXPECT_EQ(byTitle["Café ☕ 日本"]->recoveredFrom(), "freeblock");
    EXPECT_EQ(byTitle["Gone too"]->recoveredFrom(), "unallocated");
}

namespace {

// Lengths around the limits of one- and two-byte serial types: a one-byte text type holds up to 57
// bytes; 59 and 123 bytes give a two-byte type ending in 0x03 (the byte after a record header);
// 2041 bytes is the most a two-byte slot the carver accepts describes.
struct WidthCase {
    const char* name;
    std::size_t title, summary, body; // summary 0: the builder's excerpt of the title
};

class CarveWidths : public CarveNotes, public ::testing::WithParamInterface<WidthCase> {};

} // namespace

TEST_P(CarveWidths, RebuildsTitleDateAndBody) {
    const WidthCase& c = GetParam();
    auto n = spec(42, std::string(c.title, 't'), std::string(c.body, 'b'), kMarch2012 + 0.5);
    n.title.replace(0, std::min<std::size_t>(c.title, 6), std::string("Ünï ").substr(0, c.title));
    if (c.summary) {
        n.summary = std::string(c.summary, 's');
    }
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote(n);
        db.deleteNote(42);
    }
    scan();
    ASSERT_EQ(deleted().size(), 1u);
    EXPECT_EQ(deleted()[0]->noteTitle(), n.title);
    EXPECT_EQ(deleted()[0]->noteContent(), n.content);
    EXPECT_EQ(deleted()[0]->noteDate(), noteDate(kMarch2012));
    EXPECT_EQ(deleted()[0]->uid(), 42);
}

INSTANTIATE_TEST_SUITE_P(Notes, CarveWidths,
                         ::testing::Values(WidthCase{"Narrow", 57, 0, 50}, WidthCase{"WideTitle", 58, 0, 60},
                                           WidthCase{"WideTitleEndingIn03", 59, 0, 2000},
                                           WidthCase{"WideTitle123EndingIn03", 123, 0, 2041},
                                           WidthCase{"WideTitleAndSummary", 300, 90, 100},
                                           WidthCase{"WideSummaryEndingIn03", 187, 59, 10},
                                           WidthCase{"VeryLongTitle", 1000, 0, 900}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CarveNotes, ManyNotesOverManyPagesWithWideKeys) {
    // Keys from 128 on are two-byte integers; deleted rows sit in free blocks and free-list pages.
    std::map<std::int64_t, fixtures::NoteSpec> gone;
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.begin();
        for (std::int64_t pk = 1; pk <= 600; ++pk) {
            auto n = spec(pk, "Note " + std::to_string(pk) + " – ünïcödé",
                          "<div>Note " + std::to_string(pk) + "</div><div>" + std::string(pk % 300, 'z') + "</div>",
                          kMarch2012 + static_cast<double>(pk) * 3600 + 0.5);
            db.addNote(n);
            if (pk % 3 == 0 || (pk > 400 && pk < 470)) {
                gone[pk] = n;
            }
        }
        db.commit();
        db.begin();
        for (const auto& [pk, n] : gone) {
            db.deleteNote(pk);
        }
        db.commit();
    }
    const std::string bytes = fixtures::readFile(notesSqlitePath(folder));
    scan();
    EXPECT_EQ(collection.counters().noteNum, static_cast<int>(600 - gone.size()));
    // Whatever comes back belongs to what was deleted, whole, nothing invented or mixed up. SQLite
    // rewrites pages when it rebalances, so some rows are gone for good; a body whose note row is
    // gone comes back without a title.
    std::set<std::int64_t> recovered;
    std::size_t wideKeys = 0;
    for (const auto& n : deleted()) {
        const auto it = gone.find(n->uid());
        ASSERT_NE(it, gone.end()) << n->noteTitle().value_or("");
        EXPECT_EQ(n->noteContent(), it->second.content);
        if (n->noteTitle() == "") {
            // The note row's GUID, summary and title lie side by side in its record.
            const std::string row = fixtures::guidFor(it->first) + it->second.title.substr(0, 40) + it->second.title;
            EXPECT_EQ(bytes.find(row), std::string::npos) << "the row of " << it->first << " is still there";
        } else {
            EXPECT_EQ(n->noteTitle(), it->second.title);
            EXPECT_EQ(n->noteDate(), noteDate(it->second.modificationDate));
        }
        wideKeys += n->uid() >= 128 ? 1 : 0;
        recovered.insert(n->uid());
    }
    EXPECT_EQ(collection.counters().delNoteNum, static_cast<int>(recovered.size()));
    EXPECT_GE(recovered.size(), gone.size() * 8 / 10);
    EXPECT_GT(wideKeys, 50u);
}

TEST_F(CarveNotes, SchemaFormatFourComesBackToo) {
    // SQLite's files of today store the integers 0 and 1 without content (serial types 8 and 9).
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder), 4);
        for (std::int64_t pk = 1; pk <= 30; ++pk) {
            db.addNote(spec(pk, "Modern " + std::to_string(pk), "<div>body " + std::to_string(pk) + "</div>",
                            kMarch2012 + static_cast<double>(pk)));
        }
        for (std::int64_t pk = 1; pk <= 30; pk += 2) {
            db.deleteNote(pk);
        }
    }
    scan();
    EXPECT_EQ(progress, (std::vector<long long>{70, 96}));
    ASSERT_EQ(deleted().size(), 15u);
    for (const auto& n : deleted()) {
        EXPECT_EQ(n->uid() % 2, 1);
        EXPECT_EQ(n->noteTitle(), "Modern " + std::to_string(n->uid()));
        EXPECT_EQ(n->noteContent(), "<div>body " + std::to_string(n->uid()) + "</div>");
        EXPECT_EQ(n->recoveredFrom(), "freeblock");
    }
}
