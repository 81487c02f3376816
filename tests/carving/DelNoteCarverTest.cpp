// The deleted-note carver alone, over bytes in memory: what it rebuilds from a file in each layout,
// how it pairs notes with bodies, and that no input makes it crash, hang or invent unbounded
// records. Scans that carve a backup's notes database are tested beside the scan's adapter.

#include "carving/DelNoteCarver.h"

#include "DeviceDb.h"
#include "carving/DbFileReader.h"
#include "platform/Log.h"
#include "records/ValueHelpers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

using namespace quarrow;
using namespace quarrow::test;

namespace {

constexpr double kMarch2012 = 352803900; // seconds since 2001

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
    }
    // The carver alone over the bytes of a file; every rebuilt note is added to `posted`.
    void carve(const std::string& bytes) {
        DbFileReader file(asBytes(bytes));
        std::vector<PRNoteNodePtr> notes;
        std::vector<PRNoteValueNodePtr> bodies;
        carveDelNotes(
            file, notes, bodies, [this](const PRNoteNodePtr& note) { posted.push_back(note); }, "test.sqlite");
    }

    TempDir dir;
    std::vector<PRNoteNodePtr> posted;
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

} // namespace

TEST_F(CarveNotes, LegacyLayoutReadsTheSameRecords) {
    // A rollback-journal file is walked in the legacy layout, the date taken from ZCREATIONDATE.
    const std::string path = dir.file("legacy.sqlite");
    const std::string longTitle = "Legacy long title " + std::string(80, 'L');
    {
        fixtures::NotesDbBuilder db(path);
        db.addNote(spec(7, "Legacy short", "<div>one</div>", kMarch2012));
        auto b = spec(8, longTitle, "<div>" + std::string(700, 'w') + "</div>", kMarch2012);
        b.creationDate = kMarch2012 - 7200;
        db.addNote(b);
        db.deleteNote(7);
    }
    const std::string bytes = fixtures::readFile(path);
    ASSERT_EQ(bytes[18], 1);
    carve(bytes);
    std::map<std::string, PRNoteNodePtr> byTitle;
    for (const auto& n : posted) {
        byTitle[n->noteTitle().value_or("")] = n;
    }
    ASSERT_TRUE(byTitle.count("Legacy short") && byTitle.count(longTitle));
    EXPECT_EQ(byTitle["Legacy short"]->noteContent(), "<div>one</div>");
    EXPECT_EQ(byTitle["Legacy short"]->noteDate(), noteDate(kMarch2012 - 86400));
    EXPECT_EQ(byTitle[longTitle]->uid(), 8);
    EXPECT_EQ(byTitle[longTitle]->noteDate(), noteDate(kMarch2012 - 7200));
}

TEST_F(CarveNotes, PageSizeZeroIsLoggedAndOneMeans65536) {
    std::string zero(8192, '\0');
    zero.replace(0, 16, "SQLite format 3");
    zero[4096] = 0x0d;
    zero.replace(4200, 7, std::string("\x01\x01\x01\x01\x01\x01\x05", 7));
    carve(zero);
    EXPECT_TRUE(log.contains("page size 0"));
    EXPECT_TRUE(posted.empty());
    const std::string path = dir.file("big-pages.sqlite");
    {
        fixtures::NotesDbBuilder db(path, 1, 65536);
        db.addNote(spec(1, "Big pages", "<div>big</div>", kMarch2012));
        db.deleteNote(1);
    }
    const std::string big = fixtures::readFile(path);
    ASSERT_EQ(big[16] * 256 + big[17], 1);
    carve(big);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0]->noteContent(), "<div>big</div>");
}

TEST(Pairing, RaisesRepeatedUidsAndTakesTheLastBody) {
    constexpr std::int32_t kMax = 2147483647, kMin = -2147483647 - 1;
    using Posted = std::vector<std::pair<std::int32_t, std::string>>;
    const struct {
        std::vector<std::int32_t> noteUids;
        Posted bodies, want;
    } cases[] = {
        {{5, 5, 5}, {{5, "five"}, {6, "six"}}, {{5, "five"}, {6, "six"}, {5, "five"}}}, // only the previous note
        {{0, 3}, {{0, "zero"}, {1, "one"}}, {{1, "one"}, {3, ""}}},
        {{4}, {{4, "old"}, {9, "other"}, {4, "new"}}, {{4, "new"}}}, // the last matching body wins
        {{kMax, kMax}, {}, {{kMax, ""}, {kMin, ""}}},                // wraps instead of overflowing
        {{-5, 7, -5, kMin}, {{-5, "a"}, {kMin, "min"}, {-5, "c"}}, {{-5, "c"}, {7, ""}, {-5, "c"}, {kMin, "min"}}},
    };
    for (const auto& c : cases) {
        Posted posted;
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
        pairCarvedNotes(notes, bodies, [&posted](const PRNoteNodePtr& note) {
            posted.emplace_back(note->uid(), note->noteContent().value_or(""));
        });
        EXPECT_EQ(posted, c.want);
    }
}

namespace {

// Broken and hostile inputs: none may crash, hang or read outside the file, and what they post must
// be bounded records or nothing.
std::string withPageSize(std::string bytes, int pageSize, char version = 2) {
    bytes.replace(0, 16, std::string("SQLite format 3\0", 16));
    bytes[18] = version;
    bytes[16] = static_cast<char>(pageSize >> 8);
    bytes[17] = static_cast<char>(pageSize & 0xff);
    return bytes;
}

// Every offset of every page holds a note or body mark whose slots claim the largest contents.
std::string hostileRecords(const std::string&) {
    std::string bytes = withPageSize(std::string(64 * 4096, '\0'), 4096);
    const std::string note("\x01\x01\x01\x01\x01\x01\x05\x9f\x7f\x9f\x7f\xff\xff\x81\x00\x03", 16);
    const std::string body("\x01\x01\x01\x9f\x7f\x00\x01\x01\x01\x9f\x7f\x00\x01\x01\x01\x01", 16);
    for (std::size_t s = 4096; s < bytes.size(); s += 4096) {
        for (std::size_t o = s; o + 16 <= s + 4096; o += 16) {
            bytes.replace(o, 16, (s / 4096) % 2 ? note : body);
        }
        bytes[s] = "\x0d\x05\x0a\x02\x0d\x00"[(s / 4096) % 6];
        bytes[s + 8] = 0;
        bytes[s + 9] = 12;
    }
    return bytes;
}

struct BrokenInput {
    const char* name;
    std::string (*make)(const std::string& validDb);
};

const BrokenInput kBroken[] = {
    {"RandomBytes",
     [](const std::string&) {
         std::string bytes(200000, '\0');
         std::uint32_t x = 12345;
         for (auto& c : bytes) {
             c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
         }
         return bytes;
     }},
    {"TruncatedMidPage", [](const std::string& db) { return db.substr(0, db.size() / 2 + 1234); }},
    {"TruncatedInsideHeader", [](const std::string& db) { return db.substr(0, 17); }},
    {"PageSizeNotDividingTheFile", [](const std::string& db) { return withPageSize(db, 3000); }},
    {"PageSizeTwo", [](const std::string& db) { return withPageSize(db.substr(0, 30000), 2); }},
    {"PageSizeLargerThanTheFile", [](const std::string& db) { return withPageSize(db.substr(0, 5000), 0xffff); }},
    {"FirstCellPointingPastThePage",
     [](const std::string& db) {
         std::string bytes = db;
         for (std::size_t s = 4096; s + 4096 <= bytes.size(); s += 4096) {
             bytes[s + 8] = bytes[s + 9] = static_cast<char>(0xff);
         }
         return bytes;
     }},
    {"HostileRecordHeaders", hostileRecords},
    {"EveryByteOne",
     [](const std::string&) { return withPageSize(std::string(100, '\0') + std::string(39900, '\x01'), 512); }},
};

class CarveBroken : public CarveNotes, public ::testing::WithParamInterface<BrokenInput> {};

} // namespace

TEST_P(CarveBroken, CarvesWithoutCrashOrHang) {
    static const std::string validDb = [] {
        TempDir dir;
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
        fixtures::execSql(path, "PRAGMA journal_mode=WAL;");
        return fixtures::readFile(path);
    }();
    const std::string bytes = GetParam().make(validDb);
    carve(bytes);
    EXPECT_LE(posted.size(), bytes.size());
    for (const auto& note : posted) {
        EXPECT_LE(note->noteTitle().value_or("").size(), 4096u);
        EXPECT_LE(note->noteContent().value_or("").size(), 65536u);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, CarveBroken, ::testing::ValuesIn(kBroken),
                         [](const auto& info) { return std::string(info.param.name); });
