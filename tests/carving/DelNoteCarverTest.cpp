#include "carving/DelNoteCarver.h"

#include "DeviceDb.h"
#include "carving/DbFileReader.h"
#include "platform/Log.h"
#include "results/ResultCollection.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"
#include "scan/ScanNotifications.h"
#include "scan/ScanRun.h"
#include "scan/ValueHelpers.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// 2012-03-07 09:05:00 UTC in seconds since 2001.
constexpr double kMarch2012 = 352803900;

std::string bytesOf(const std::string& path) {
    return fixtures::readFile(path);
}

std::span<const std::uint8_t> asBytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

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
        ScanContext context(nc);
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
    const std::string longTitle = "A long title that needs a two-byte serial type in the record header " +
                                  std::string(40, 'x'); // more than 57 bytes
    const std::string longBody = "<div>" + std::string(1500, 'b') + "</div>";
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote(spec(1, "Shopping", "<div>Shopping</div><div>Milk</div>", kMarch2012 + 0.5));
        db.addNote(spec(2, "Café ☕ 日本", "<div>Café ☕ 日本</div><div>😀</div>", kMarch2012 + 60.25));
        db.addNote(spec(3, longTitle, longBody, kMarch2012 + 120));
        db.addNote(spec(4, "Keep me", "<div>Keep me</div>", kMarch2012 + 180.75));
        db.addNote(spec(5, "Gone too", "<div>Gone too</div><div>second line</div>", kMarch2012 + 240));
        db.deleteNote(2);
        db.deleteNote(3);
        db.deleteNote(5);
    }
    scan();

    EXPECT_EQ(progress, (std::vector<long long>{70, 96}));
    EXPECT_EQ(collection.counters().noteNum, 2);
    EXPECT_EQ(collection.counters().delNoteNum, 3);
    std::map<std::string, PRNoteNodePtr> byTitle;
    for (const auto& n : deleted()) {
        byTitle[n->noteTitle().value_or("?")] = n;
    }
    ASSERT_EQ(byTitle.size(), 3u);
    ASSERT_TRUE(byTitle.count("Café ☕ 日本"));
    EXPECT_EQ(byTitle["Café ☕ 日本"]->noteContent(), "<div>Café ☕ 日本</div><div>😀</div>");
    EXPECT_EQ(byTitle["Café ☕ 日本"]->noteDate(), noteDate(kMarch2012 + 60));
    EXPECT_EQ(byTitle["Café ☕ 日本"]->uid(), 2);
    ASSERT_TRUE(byTitle.count(longTitle));
    EXPECT_EQ(byTitle[longTitle]->noteContent(), longBody);
    EXPECT_EQ(byTitle[longTitle]->noteDate(), noteDate(kMarch2012 + 120));
    ASSERT_TRUE(byTitle.count("Gone too"));
    EXPECT_EQ(byTitle["Gone too"]->noteContent(), "<div>Gone too</div><div>second line</div>");
    // The live notes were carved too, and dropped as copies of what the note scanner listed.
    EXPECT_GE(posted.size(), 5u);
}

namespace {

// Title, summary and body lengths around the limits of one- and two-byte serial types: a one-byte
// text type holds up to 57 bytes; 59 and 123 bytes give a two-byte type whose second byte is 0x03,
// the value of the byte that follows the record header; 2041 bytes is the most a two-byte slot the
// carver accepts can describe.
struct WidthCase {
    const char* name;
    std::size_t titleLength;
    std::size_t summaryLength; // 0: the builder's 40-byte excerpt of the title
    std::size_t bodyLength;
};

class CarveWidths : public CarveNotes, public ::testing::WithParamInterface<WidthCase> {};

} // namespace

TEST_P(CarveWidths, RebuildsTitleDateAndBody) {
    const WidthCase& c = GetParam();
    auto n = spec(42, std::string(c.titleLength, 't'), "", kMarch2012 + 0.5);
    n.title.replace(0, std::min<std::size_t>(c.titleLength, 6), std::string("Ünï ").substr(0, c.titleLength));
    n.content = std::string(c.bodyLength, 'b');
    if (c.summaryLength) {
        n.summary = std::string(c.summaryLength, 's');
    }
    {
        // One note per file, so nothing written later can overwrite the deleted rows.
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote(n);
        db.deleteNote(42);
    }
    scan();
    ASSERT_EQ(deleted().size(), 1u);
    const PRNoteNodePtr note = deleted()[0];
    EXPECT_EQ(note->noteTitle(), n.title);
    EXPECT_EQ(note->noteContent(), n.content);
    EXPECT_EQ(note->noteDate(), noteDate(kMarch2012));
    EXPECT_EQ(note->uid(), 42);
}

INSTANTIATE_TEST_SUITE_P(
    Notes, CarveWidths,
    ::testing::Values(WidthCase{"NarrowEverything", 57, 0, 50}, WidthCase{"WideTitle", 58, 0, 60},
                      WidthCase{"WideTitleEndingIn03", 59, 0, 2000}, WidthCase{"WideTitle123EndingIn03", 123, 0, 2041},
                      WidthCase{"WideTitleAndSummary", 300, 90, 100}, WidthCase{"WideSummaryEndingIn03", 187, 59, 10},
                      WidthCase{"NarrowTitleWideBody", 20, 0, 1016}, WidthCase{"VeryLongTitle", 1000, 0, 900}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CarveNotes, ManyNotesOverManyPagesWithWideKeys) {
    // Keys from 128 on are two-byte integers (ZOWNER 01 01 02 ...); deleted rows sit in free blocks
    // and, where a whole page empties, on free-list pages.
    std::map<std::int64_t, fixtures::NoteSpec> deletedSpecs;
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.begin();
        for (std::int64_t pk = 1; pk <= 600; ++pk) {
            auto n = spec(pk, "Note " + std::to_string(pk) + " – ünïcödé",
                          "<div>Note " + std::to_string(pk) + "</div><div>" + std::string(pk % 300, 'z') + "</div>",
                          kMarch2012 + static_cast<double>(pk) * 3600 + 0.5);
            db.addNote(n);
            if (pk % 3 == 0 || (pk > 400 && pk < 470)) {
                deletedSpecs[pk] = n;
            }
        }
        db.commit();
        db.begin();
        for (const auto& [pk, n] : deletedSpecs) {
            db.deleteNote(pk);
        }
        db.commit();
    }
    ASSERT_GT(bytesOf(notesSqlitePath(folder)).size(), 50u * 4096u);
    scan();

    EXPECT_EQ(collection.counters().noteNum, static_cast<int>(600 - deletedSpecs.size()));
    // Whatever is rebuilt belongs to what was deleted: nothing invented, nothing mixed up. SQLite
    // rewrites pages when it rebalances the tree, so some deleted rows (here most of the run of
    // consecutive keys) and parts of some bodies are gone for good; at the time of writing 179 of
    // the 245 deleted notes come back, most of them with their whole body.
    std::set<std::int64_t> recovered;
    std::size_t wholeBodies = 0;
    std::size_t wideKeyBodies = 0;
    for (const auto& n : deleted()) {
        const auto it = deletedSpecs.find(n->uid());
        ASSERT_NE(it, deletedSpecs.end()) << n->noteTitle().value_or("");
        EXPECT_EQ(n->noteTitle(), it->second.title);
        EXPECT_EQ(n->noteDate(), noteDate(it->second.modificationDate));
        const std::string content = n->noteContent().value_or("");
        EXPECT_EQ(it->second.content.compare(0, content.size(), content), 0) << "not a part of the body";
        if (content == it->second.content) {
            ++wholeBodies;
            wideKeyBodies += n->uid() >= 128 ? 1 : 0;
        }
        recovered.insert(n->uid());
    }
    EXPECT_EQ(collection.counters().delNoteNum, static_cast<int>(recovered.size()));
    EXPECT_GE(recovered.size(), deletedSpecs.size() * 7 / 10);
    EXPECT_GE(wholeBodies, recovered.size() * 9 / 10);
    EXPECT_GT(wideKeyBodies, 50u); // bodies whose ZOWNER is a two-byte integer
}

TEST_F(CarveNotes, UpdatedNotesKeepOneLiveCopyEach) {
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        for (std::int64_t pk = 1; pk <= 20; ++pk) {
            db.addNote(spec(pk, "Draft " + std::to_string(pk), "<div>Draft " + std::to_string(pk) + "</div>",
                            kMarch2012 + static_cast<double>(pk)));
        }
        for (std::int64_t pk = 1; pk <= 20; pk += 2) {
            db.updateNote(pk, "Final " + std::to_string(pk), "<div>Final " + std::to_string(pk) + "</div>",
                          kMarch2012 + 5000);
        }
    }
    scan();
    EXPECT_EQ(collection.counters().noteNum, 20);
    std::map<std::string, int> liveContents;
    for (const auto& n : collection.noteArray()) {
        if (!n->bDeleted()) {
            ++liveContents[*n->noteContent()];
        }
    }
    for (const auto& [content, count] : liveContents) {
        EXPECT_EQ(count, 1) << content;
    }
    // A carved copy never duplicates a live note's content.
    for (const auto& n : deleted()) {
        EXPECT_EQ(liveContents.count(n->noteContent().value_or("")), 0u);
    }
}

TEST_F(CarveNotes, SchemaFormatFourInventsNothing) {
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder), 4);
        for (std::int64_t pk = 1; pk <= 30; ++pk) {
            db.addNote(spec(pk, "Modern " + std::to_string(pk), "<div>body</div>", kMarch2012));
        }
        for (std::int64_t pk = 1; pk <= 30; pk += 2) {
            db.deleteNote(pk);
        }
    }
    scan();
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(collection.counters().delNoteNum, 0);
    EXPECT_EQ(progress, (std::vector<long long>{70, 96}));
}

TEST_F(CarveNotes, MissingDatabaseIsLoggedWithoutProgress) {
    ScanContext context(nc);
    scanDelNoteThread(context, folder);
    EXPECT_TRUE(log.contains("NoteDB is not exist"));
    EXPECT_TRUE(progress.empty());
    scanDelNoteThread(context, "");
    EXPECT_TRUE(progress.empty());
}

TEST_F(CarveNotes, FirstOfTheTwoNamesIsCarvedAndTheBackupIsUntouched) {
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote(spec(1, "From notes.sqlite", "<div>sqlite</div>", kMarch2012));
        db.deleteNote(1);
    }
    {
        fixtures::NotesDbBuilder db(notesDbPath(folder));
        db.addNote(spec(1, "From notes.db", "<div>db</div>", kMarch2012));
        db.deleteNote(1);
    }
    const std::string before = bytesOf(notesSqlitePath(folder));
    ScanContext context(nc);
    scanDelNoteThread(context, folder);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0]->noteTitle(), "From notes.sqlite");
    EXPECT_EQ(bytesOf(notesSqlitePath(folder)), before); // journal mode switched on the copy only
}

TEST_F(CarveNotes, ScanRunOfThisEditionRunsTheCarverAfterTheNoteScanner) {
    {
        fixtures::NotesDbBuilder db(notesSqlitePath(folder));
        db.addNote(spec(1, "Live", "<div>Live</div>", kMarch2012));
        db.addNote(spec(2, "Dead", "<div>Dead</div>", kMarch2012));
        db.deleteNote(2);
    }
    ScanRun run(nc, [] {});
    run.ScanIOSBackFile(folder);
    run.join();
    EXPECT_EQ(progress, (std::vector<long long>{70, 96}));
    EXPECT_EQ(collection.counters().noteNum, 1);
    EXPECT_EQ(collection.counters().delNoteNum, 1);
}

TEST_F(CarveNotes, LegacyLayoutReadsTheSameRecords) {
    // A file whose write version byte still says rollback journal is walked in the legacy layout:
    // the same ZNOTE rows, with the date from ZCREATIONDATE (slot 12).
    const std::string path = dir.file("legacy.sqlite");
    {
        fixtures::NotesDbBuilder db(path);
        auto a = spec(7, "Legacy short", "<div>one</div>", kMarch2012);
        auto b = spec(8, "Legacy long title " + std::string(80, 'L'), "<div>" + std::string(700, 'w') + "</div>",
                      kMarch2012);
        b.creationDate = kMarch2012 - 7200;
        db.addNote(a);
        db.addNote(b);
        db.deleteNote(7);
    }
    const std::string bytes = bytesOf(path);
    ASSERT_EQ(bytes[18], 1);
    DbFileReader file(asBytes(bytes));
    ScanContext context(nc);
    carveDelNotes(file, context, path);
    std::map<std::string, PRNoteNodePtr> byTitle;
    for (const auto& n : posted) {
        byTitle[n->noteTitle().value_or("")] = n;
    }
    ASSERT_TRUE(byTitle.count("Legacy short"));
    EXPECT_EQ(byTitle["Legacy short"]->noteContent(), "<div>one</div>");
    EXPECT_EQ(byTitle["Legacy short"]->noteDate(), noteDate(kMarch2012 - 86400));
    const std::string longTitle = "Legacy long title " + std::string(80, 'L');
    ASSERT_TRUE(byTitle.count(longTitle));
    EXPECT_EQ(byTitle[longTitle]->uid(), 8);
    EXPECT_EQ(byTitle[longTitle]->noteDate(), noteDate(kMarch2012 - 7200));
}

TEST_F(CarveNotes, PageSizeZeroCarvesNothingAndIsLogged) {
    std::string bytes(8192, '\0');
    bytes.replace(0, 16, "SQLite format 3");
    bytes[4096] = 0x0d;
    bytes.replace(4200, 7, std::string("\x01\x01\x01\x01\x01\x01\x05", 7));
    DbFileReader file(asBytes(bytes));
    ScanContext context(nc);
    carveDelNotes(file, context, "zero.sqlite");
    EXPECT_TRUE(log.contains("page size 0"));
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(progress, (std::vector<long long>{96}));
}

TEST_F(CarveNotes, PageSizeOneMeans65536) {
    const std::string path = dir.file("big-pages.sqlite");
    {
        fixtures::NotesDbBuilder db(path, 1, 65536);
        db.addNote(spec(1, "Big pages", "<div>big</div>", kMarch2012));
        db.deleteNote(1);
    }
    std::string bytes = bytesOf(path);
    ASSERT_EQ(static_cast<unsigned char>(bytes[16]), 0);
    ASSERT_EQ(static_cast<unsigned char>(bytes[17]), 1);
    DbFileReader file(asBytes(bytes));
    ScanContext context(nc);
    carveDelNotes(file, context, path);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0]->noteTitle(), "Big pages");
    EXPECT_EQ(posted[0]->noteContent(), "<div>big</div>");
}

namespace {

struct PairingCase {
    const char* name;
    std::vector<std::int32_t> noteUids;
    std::vector<std::pair<std::int32_t, std::string>> bodies;
    std::vector<std::int32_t> postedUids;
    std::vector<std::string> contents;
};

class Pairing : public ::testing::TestWithParam<PairingCase> {};

} // namespace

TEST_P(Pairing, RaisesRepeatedUidsAndTakesTheLastBody) {
    const PairingCase& c = GetParam();
    NotificationCenter nc;
    std::vector<PRNoteNodePtr> posted;
    std::vector<long long> progress;
    nc.addObserver(ScanNotification::kDelNote,
                   [&](const Notification& n) { posted.push_back(n.recordAs<PRNoteNode>()); });
    nc.addObserver(ScanNotification::kProgress, [&](const Notification& n) { progress.push_back(*n.number()); });
    std::vector<PRNoteNodePtr> notes;
    for (auto uid : c.noteUids) {
        notes.push_back(std::make_shared<PRNoteNode>());
        notes.back()->setUid(uid);
    }
    std::vector<PRNoteValueNodePtr> bodies;
    for (const auto& [uid, text] : c.bodies) {
        bodies.push_back(std::make_shared<PRNoteValueNode>());
        bodies.back()->setUid(uid);
        bodies.back()->setNoteValue(text);
    }
    postCarvedNotes(nc, notes, bodies);
    ASSERT_EQ(posted.size(), c.postedUids.size());
    for (std::size_t i = 0; i < posted.size(); ++i) {
        EXPECT_EQ(posted[i]->uid(), c.postedUids[i]) << i;
        EXPECT_EQ(posted[i]->noteContent(), c.contents[i]) << i;
    }
    EXPECT_EQ(progress, (std::vector<long long>{96}));
}

INSTANTIATE_TEST_SUITE_P(
    Notes, Pairing,
    ::testing::Values(
        PairingCase{
            "OnlyThePreviousNoteIsCompared", {5, 5, 5}, {{5, "five"}, {6, "six"}}, {5, 6, 5}, {"five", "six", "five"}},
        PairingCase{"FirstUidZeroIsRaised", {0, 3}, {{0, "zero"}, {1, "one"}}, {1, 3}, {"one", ""}},
        PairingCase{"LastMatchingBodyWins", {4}, {{4, "old"}, {9, "other"}, {4, "new"}}, {4}, {"new"}},
        PairingCase{"LargestUidWrapsInsteadOfOverflowing",
                    {2147483647, 2147483647},
                    {},
                    {2147483647, -2147483647 - 1},
                    {"", ""}},
        PairingCase{"NoNotesPostsOnlyProgress", {}, {{1, "x"}}, {}, {}},
        PairingCase{"NegativeAndExtremeUids",
                    {-5, 7, -5, 2147483647, -2147483647 - 1},
                    {{-5, "a"}, {-2147483647 - 1, "min"}, {7, "b"}, {-5, "c"}, {0, "zero"}},
                    {-5, 7, -5, 2147483647, -2147483647 - 1},
                    {"c", "b", "c", "", "min"}}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

// Broken and hostile inputs, each named after its defect. None may crash, hang or read outside the
// file; what they post must be plausible records or nothing.
struct BrokenInput {
    const char* name;
    std::string (*make)(const std::string& validDb);
};

std::string header(std::uint16_t pageSize, char version, std::size_t fileSize) {
    std::string bytes(fileSize, '\0');
    bytes.replace(0, 16, std::string("SQLite format 3\0", 16));
    bytes[16] = static_cast<char>(pageSize >> 8);
    bytes[17] = static_cast<char>(pageSize & 0xff);
    bytes[18] = version;
    return bytes;
}

// Every offset of every page holds a note mark or a body mark, with slot bytes that claim the
// largest contents; both layouts and all page types by turns.
std::string hostileRecords(const std::string&) {
    std::string bytes = header(4096, 2, 64 * 4096);
    const std::string note("\x01\x01\x01\x01\x01\x01\x05\x9f\x7f\x9f\x7f\xff\xff\x81\x00\x03", 16);
    const std::string body("\x01\x01\x01\x9f\x7f\x00", 6);
    for (std::size_t page = 1; page < 64; ++page) {
        const std::size_t s = page * 4096;
        for (std::size_t o = s; o + 16 <= s + 4096; o += 16) {
            bytes.replace(o, 16, page % 2 ? note : body + body.substr(0, 6) + "\x01\x01\x01\x01");
        }
        bytes[s] = std::string("\x0d\x05\x0a\x02\x0d\x00", 6)[page % 6];
        bytes[s + 8] = 0;
        bytes[s + 9] = 12;
    }
    bytes[18] = 1 + (bytes.size() % 2);
    return bytes;
}

const BrokenInput kBroken[] = {
    {"RandomBytes",
     [](const std::string&) {
         std::string bytes(200000, '\0');
         std::uint32_t x = 12345;
         for (auto& c : bytes) {
             x = x * 1103515245u + 12345u;
             c = static_cast<char>(x >> 24);
         }
         return bytes;
     }},
    {"TruncatedMidPage", [](const std::string& db) { return db.substr(0, db.size() / 2 + 1234); }},
    {"TruncatedInsideHeader", [](const std::string& db) { return db.substr(0, 17); }},
    {"PageSizeNotDividingTheFile",
     [](const std::string& db) {
         std::string bytes = db;
         bytes[16] = 0x0b; // 3000
         bytes[17] = static_cast<char>(0xb8);
         return bytes;
     }},
    {"PageSizeTwo",
     [](const std::string& db) {
         std::string bytes = db.substr(0, 30000);
         bytes[16] = 0;
         bytes[17] = 2;
         return bytes;
     }},
    {"PageSizeLargerThanTheFile",
     [](const std::string& db) {
         std::string bytes = db.substr(0, 5000);
         bytes[16] = static_cast<char>(0xff);
         bytes[17] = static_cast<char>(0xff);
         return bytes;
     }},
    {"OnePageOnly", [](const std::string& db) { return db.substr(0, 4096); }},
    {"LastPageCutShort", [](const std::string& db) { return db.substr(0, db.size() - 100); }},
    {"FirstCellPointingPastThePage",
     [](const std::string& db) {
         std::string bytes = db;
         for (std::size_t s = 4096; s + 4096 <= bytes.size(); s += 4096) {
             bytes[s + 8] = static_cast<char>(0xff);
             bytes[s + 9] = static_cast<char>(0xff);
         }
         return bytes;
     }},
    {"HostileRecordHeaders", hostileRecords},
    {"EveryByteOne", [](const std::string&) { return header(512, 2, 40000).replace(100, 39900, 39900, '\x01'); }},
};

class CarveBroken : public ::testing::TestWithParam<BrokenInput> {};

} // namespace

TEST_P(CarveBroken, CarvesWithoutCrashOrHang) {
    static const std::string validDb = [] {
        test::TempDir dir;
        const std::string path = dir.file("valid.sqlite");
        {
            fixtures::NotesDbBuilder db(path);
            for (std::int64_t pk = 1; pk <= 40; ++pk) {
                db.addNote(spec(pk, "Title " + std::to_string(pk), "<div>" + std::string(pk * 20, 'v') + "</div>",
                                kMarch2012));
            }
            for (std::int64_t pk = 1; pk <= 40; pk += 3) {
                db.deleteNote(pk);
            }
        }
        commitDB(path);
        return fixtures::readFile(path);
    }();
    const std::string bytes = GetParam().make(validDb);
    NotificationCenter nc;
    std::vector<PRNoteNodePtr> posted;
    std::vector<long long> progress;
    nc.addObserver(ScanNotification::kDelNote,
                   [&](const Notification& n) { posted.push_back(n.recordAs<PRNoteNode>()); });
    nc.addObserver(ScanNotification::kProgress, [&](const Notification& n) { progress.push_back(*n.number()); });
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    DbFileReader file(asBytes(bytes));
    ScanContext context(nc);
    carveDelNotes(file, context, GetParam().name);
    EXPECT_EQ(progress, (std::vector<long long>{96}));
    // At most one record can start at each byte of the file.
    EXPECT_LE(posted.size(), bytes.size());
    for (const auto& note : posted) {
        EXPECT_LE(note->noteTitle().value_or("").size(), 4096u);
        EXPECT_LE(note->noteContent().value_or("").size(), 65536u);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, CarveBroken, ::testing::ValuesIn(kBroken),
                         [](const auto& info) { return std::string(info.param.name); });
