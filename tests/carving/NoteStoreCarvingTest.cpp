// Deleted notes of the note store of iOS 9 and later: a note emptied from the bin, or the text an
// edit replaced, comes back (here from the pages the write-ahead log superseded) with its plain text; a locked note's
// ciphertext and a document whose gzip checksum fails never do, and no live note is shown as deleted.

#include "carving/NoteCarving.h"

#include "NoteStore.h"
#include "platform/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace quarrow;
using namespace quarrow::carving;
using namespace quarrow::test;
namespace fx = quarrow::fixtures;

namespace {

// 2023-06-01 08:30:00 UTC in seconds since 2001.
constexpr double kJune2023 = 707301000;

class NoteStoreCarving : public ::testing::TestWithParam<fx::NoteStoreVersion> {
protected:
    std::vector<CarvedNote> carve(const std::string& path) {
        auto opened = openDatabaseInPlace(path, "NoteStore.sqlite");
        EXPECT_TRUE(opened);
        return opened ? carveDeletedNotes(*opened->file).notes : std::vector<CarvedNote>{};
    }

    static const CarvedNote* withContent(const std::vector<CarvedNote>& notes, const std::string& content) {
        const auto it =
            std::find_if(notes.begin(), notes.end(), [&content](const CarvedNote& n) { return n.content == content; });
        return it == notes.end() ? nullptr : &*it;
    }

    static bool anyContains(const std::vector<CarvedNote>& notes, const std::string& words) {
        return std::any_of(notes.begin(), notes.end(), [&words](const CarvedNote& n) {
            return n.content.find(words) != std::string::npos || (n.title && n.title->find(words) != std::string::npos);
        });
    }

    TempDir dir;
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

std::string hexOf(const std::string& bytes) {
    std::string hex;
    for (unsigned char c : bytes) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    return hex;
}

} // namespace

TEST_P(NoteStoreCarving, BringsBackNotesEmptiedFromTheBinAndReplacedTexts) {
    const std::string store = dir.file("NoteStore.sqlite");
    {
        fx::NoteStoreBuilder db(store, GetParam());
        const auto notes = db.addFolder("Notes");
        const auto bin = db.addFolder("Recently Deleted", fx::kFolderTypeTrash);
        db.addNote({"Shopping", "Shopping\nMilk\nBread", notes, kJune2023, kJune2023});
        const auto trip = db.addNote({"Trip 🏔", "Trip 🏔\nBoots, rope, map", notes, kJune2023, kJune2023 + 60});
        const auto draft = db.addNote({"Draft", "Draft\nfirst words", notes, kJune2023, kJune2023 + 120});
        fx::NoteStoreNote bank{"Bank", "Bank\nPIN 4711", notes, kJune2023, kJune2023 + 180};
        bank.locked = true;
        const auto locked = db.addNote(bank);
        db.checkpoint();
        db.moveToFolder(trip, bin, true);
        db.deleteNote(trip);   // emptied from the bin
        db.deleteNote(locked); // its ciphertext is in free space now
        db.editNote(draft, "Draft", "Draft\nsecond words, longer than the first ones", kJune2023 + 240);
        db.close(true); // as a device leaves it: what changed since the last checkpoint is in the log
    }
    const std::vector<CarvedNote> notes = carve(store);

    const CarvedNote* trip = withContent(notes, "Trip 🏔\nBoots, rope, map");
    ASSERT_TRUE(trip) << notes.size();
    EXPECT_EQ(trip->title, "Trip 🏔");
    ASSERT_TRUE(trip->modified);
    EXPECT_DOUBLE_EQ(*trip->modified, kJune2023 + 60);
    EXPECT_TRUE(withContent(notes, "Draft\nfirst words")) << "the text the edit replaced";

    EXPECT_FALSE(anyContains(notes, "Milk")) << "a live note is not deleted";
    EXPECT_FALSE(anyContains(notes, "second words")) << "the live text of an edited note is not deleted";
    EXPECT_FALSE(anyContains(notes, "PIN")) << "never the locked note's text";
    for (const CarvedNote& n : notes) {
        EXPECT_EQ(n.content.find('\0'), std::string::npos) << "no ciphertext shown as text";
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, NoteStoreCarving,
                         ::testing::Values(fx::NoteStoreVersion::iOS13, fx::NoteStoreVersion::iOS16));

// A carved document is kept only when its gzip checksum holds: a blob whose bytes were damaged
// before it was deleted gives nothing, while an intact one deleted beside it comes back.
TEST_F(NoteStoreCarving, KeepsADocumentOnlyWhenItsChecksumHolds) {
    const std::string store = dir.file("NoteStore.sqlite");
    {
        fx::NoteStoreBuilder db(store);
        const auto notes = db.addFolder("Notes");
        const auto damaged = db.addNote({"Damaged", "Damaged\nsecret words", notes, kJune2023, kJune2023});
        const auto intact = db.addNote({"Intact", "Intact\nplain words", notes, kJune2023, kJune2023});
        std::string blob = fx::noteStoreData("Damaged\nsecret words");
        blob[blob.size() - 8] = static_cast<char>(blob[blob.size() - 8] ^ 0x5a); // the CRC-32's first byte
        db.exec("UPDATE ZICNOTEDATA SET ZDATA = x'" + hexOf(blob) + "' WHERE ZNOTE = " + std::to_string(damaged) + ";");
        db.checkpoint();
        db.deleteNote(damaged);
        db.deleteNote(intact);
        db.close(true);
    }
    const std::vector<CarvedNote> notes = carve(store);
    EXPECT_TRUE(withContent(notes, "Intact\nplain words"));
    EXPECT_FALSE(anyContains(notes, "secret"));
}

// A store whose notes were never deleted has nothing to give: its folders and live rows are not
// mistaken for deleted notes.
TEST_F(NoteStoreCarving, AnEmptyStoreGivesNothing) {
    const std::string store = dir.file("NoteStore.sqlite");
    {
        fx::NoteStoreBuilder db(store);
        db.addFolder("Notes");
        db.close();
    }
    EXPECT_TRUE(carve(store).empty());
}
