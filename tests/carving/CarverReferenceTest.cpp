// The deleted-note carver rebuilds and posts exactly what the plain reference carver does: same
// records in the same order, same texts, same pairing, from memory and from a file read through its
// sliding window, over device-like databases, random pages and the saved fuzz inputs.

#include "ReferenceCarver.h"

#include "DeviceDb.h"
#include "carving/DbFileReader.h"
#include "carving/DelNoteCarver.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "scan/ScanContext.h"
#include "scan/ScanNotifications.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>

using namespace quarrow;
using namespace quarrow::test;

namespace {

std::span<const std::uint8_t> asBytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::vector<std::string> carvedRecords(DbFileReader& file) {
    std::vector<std::string> lines;
    NoteCarveCallbacks found;
    found.note = [&](PRNoteNodePtr n) {
        lines.push_back("note " + std::to_string(n->uid()) + "|" + n->noteTitle().value_or("(absent)") + "|" +
                        n->noteDate().value_or("(absent)"));
    };
    found.body = [&](PRNoteValueNodePtr b) {
        lines.push_back("body " + std::to_string(b->uid()) + "|" + b->noteValue().value_or("(absent)"));
    };
    carveNoteRecords(file, found, "reference test");
    return lines;
}

std::vector<std::string> postedNotes(DbFileReader& file) {
    NotificationCenter nc;
    std::vector<std::string> lines;
    nc.addObserver(ScanNotification::kDelNote, [&](const Notification& n) {
        const auto note = n.recordAs<PRNoteNode>();
        lines.push_back(std::to_string(note->uid()) + "|" + note->noteTitle().value_or("(absent)") + "|" +
                        note->noteDate().value_or("(absent)") + "|" + note->noteContent().value_or("(absent)"));
    });
    ScanContext context(nc);
    carveDelNotes(file, context, "reference test");
    return lines;
}

// A device-like notes file of a few MiB, larger than the reader's window: notes of every width,
// keys past 127 and 16383, texts in several scripts, edits and deletes.
std::string deviceDb(const TempDir& dir, bool wal) {
    const std::string path = dir.file(wal ? "device-wal.sqlite" : "device-legacy.sqlite");
    fixtures::NotesDbBuilder db(path);
    std::mt19937 rng(77);
    const char* words[] = {"milk", "Café", "日本語", "ünïcode", "список", "🙂 emoji", "tab\tand\nnewline"};
    db.begin();
    for (std::int64_t pk = 1; pk <= 2400; ++pk) {
        fixtures::NoteSpec n;
        n.pk = pk < 2300 ? pk : pk * 17; // a few keys above 16383
        n.title = std::string(words[rng() % 7]) + " " + std::to_string(pk);
        if (rng() % 5 == 0) {
            n.title += std::string(40 + rng() % 90, 'w');
        }
        n.content = "<div>" + n.title + "</div>";
        const std::size_t size = rng() % 7 == 0 ? 1500 + rng() % 1500 : 20 + rng() % 900;
        while (n.content.size() < size) {
            n.content += std::string("<div>") + words[rng() % 7] + "</div>";
        }
        n.modificationDate = 352803900.5 + static_cast<double>(pk) * 3607;
        n.creationDate = 352800000 + static_cast<double>(pk);
        db.addNote(n);
    }
    for (int i = 0; i < 150; ++i) {
        const std::int64_t pk = 1 + static_cast<std::int64_t>(rng() % 2299);
        db.updateNote(pk, "Edited " + std::to_string(pk), "<div>Edited " + std::to_string(pk) + "</div>", 352900000.25);
    }
    for (int i = 0; i < 300; ++i) {
        db.deleteNote(1 + static_cast<std::int64_t>(rng() % 2299));
    }
    db.commit();
    db.close();
    if (wal) {
        commitDB(path);
    }
    return path;
}

// Pages of random bytes that pass the page tests, with record marks planted among slot bytes of
// every kind: integers where texts belong, two-byte slots, contents cut by the end of the file,
// bytes that are not UTF-8.
std::string plantedPages(std::uint16_t pageSize, char version, unsigned seed) {
    std::mt19937 rng(seed);
    const std::size_t pages = 40;
    std::string bytes(pageSize * pages + pageSize / 3, '\0');
    for (auto& c : bytes) {
        const unsigned r = rng();
        c = static_cast<char>(r % 3 == 0 ? (r >> 8) % 6 : r % 3 == 1 ? 0x80 + (r >> 8) % 0x40 : r >> 8);
    }
    bytes.replace(0, 16, std::string("SQLite format 3\0", 16));
    bytes[16] = static_cast<char>(pageSize >> 8);
    bytes[17] = static_cast<char>(pageSize & 0xff);
    bytes[18] = version;
    const std::string marks[] = {std::string("\x01\x01\x01\x01\x01\x01\x05", 7),
                                 std::string("\x01\x01\x01\x01\x02\x01\x05", 7), std::string("\x01\x01\x01\x21\x00", 5),
                                 std::string("\x01\x01\x02\x85\x11\x00", 6)};
    for (std::size_t p = 1; p < pages; ++p) {
        const std::size_t s = p * pageSize;
        bytes[s] = 0x0d;
        bytes[s + 8] = 0;
        bytes[s + 9] = 16;
        bytes.replace(s + 20, 6, std::string("\x00\x01\x01\x01\x01\x01", 6));
        for (int m = 0; m < 24; ++m) {
            const std::size_t at = s + 30 + rng() % (pageSize - 30);
            const std::string& mark = marks[rng() % 4];
            bytes.replace(at, std::min(mark.size(), bytes.size() - at), mark.substr(0, bytes.size() - at));
        }
    }
    return bytes;
}

struct Case {
    std::string name;
    std::string bytes;
};

void expectSameAsReference(const std::string& bytes, const std::string& name) {
    DbFileReader memory(asBytes(bytes));
    EXPECT_EQ(carvedRecords(memory), ref::carvedRecords(memory)) << name;
    EXPECT_EQ(postedNotes(memory), ref::postedNotes(memory)) << name;
}

class AgainstReference : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "Europe/Berlin", 1);
        ::tzset();
    }
    void TearDown() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    MemoryLogSink log;
    ScopedLogSink scoped{log};
    TempDir dir;
};

} // namespace

TEST_F(AgainstReference, DeviceDatabasesFromMemoryAndThroughTheWindow) {
    for (bool wal : {true, false}) {
        const std::string path = deviceDb(dir, wal);
        const std::string bytes = fixtures::readFile(path);
        ASSERT_GT(bytes.size(), 2 * DbFileReader::kWindowSize);
        DbFileReader memory(asBytes(bytes));
        const auto records = ref::carvedRecords(memory);
        const auto posted = ref::postedNotes(memory);
        ASSERT_GT(posted.size(), 2400u);
        EXPECT_EQ(carvedRecords(memory), records);
        EXPECT_EQ(postedNotes(memory), posted);
        for (bool mapped : {true, false}) {
            auto file = DbFileReader::openFile(path, mapped);
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(carvedRecords(*file), records) << "mapped " << mapped;
            auto again = DbFileReader::openFile(path, mapped);
            EXPECT_EQ(postedNotes(*again), posted) << "mapped " << mapped;
        }
    }
}

TEST_F(AgainstReference, PlantedRecordsOnRandomPages) {
    for (std::uint16_t pageSize : {512, 1024, 4096}) {
        for (char version : {1, 2}) {
            const std::string bytes = plantedPages(pageSize, version, pageSize + static_cast<unsigned>(version));
            expectSameAsReference(bytes, std::to_string(pageSize) + "/" + std::to_string(version));
        }
    }
}

TEST_F(AgainstReference, SavedFuzzInputs) {
    const std::filesystem::path corpus = std::filesystem::path(QUARROW_SOURCE_DIR) / "fuzz" / "corpus" / "carver";
    ASSERT_TRUE(std::filesystem::is_directory(corpus));
    std::size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        expectSameAsReference(fixtures::readFile(entry.path().string()), entry.path().filename().string());
        ++inputs;
    }
    EXPECT_GT(inputs, 100u);
}
