// Deleted notes as the notes adapter makes them from the engine's rows: both layouts, older
// versions of edited notes, and the files beside a database.

#include "carving/NoteCarving.h"

#include "DeviceDb.h"
#include "platform/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>

using namespace quarrow;
using namespace quarrow::carving;
using namespace quarrow::test;

namespace {

constexpr double kMarch2012 = 352803900;

class NoteCarvingTest : public ::testing::Test {
protected:
    std::map<std::string, CarvedNote> carve() {
        const auto opened = openDatabaseInPlace(path, "notes");
        EXPECT_TRUE(opened);
        std::map<std::string, CarvedNote> byBody;
        if (opened) {
            for (const CarvedNote& n : carveDeletedNotes(*opened->file).notes) {
                EXPECT_TRUE(byBody.emplace(n.content, n).second) << "twice: " << n.content;
            }
        }
        return byBody;
    }

    TempDir dir;
    std::string path = dir.file("notes.sqlite");
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

} // namespace

TEST_F(NoteCarvingTest, TheOldestLayoutPairsNoteAndBody) {
    // iPhone OS 1 to 3: Note rows have no key column; note_bodies.note_id is the note's rowid.
    ASSERT_TRUE(fixtures::createDatabase(path, fixtures::kLegacyNotesSchema));
    ASSERT_TRUE(fixtures::execSql(
        path, "INSERT INTO Note (ROWID, creation_date, title, summary, contains_cjk, modification_date, author, "
              "content_type) VALUES (1, 278950930, 'Kept', 'k', 0, 278950930, NULL, 0), "
              "(2, 278950930, 'Ski trip', 'Skipass', 0, 285411900, NULL, 0), "
              "(3, 278950931, 'Also gone', 'gone', 0, 285411901, NULL, 0);"
              "INSERT INTO note_bodies (note_id, data) VALUES (1, 'Kept<div>body</div>'), "
              "(2, 'Ski trip<div>Skipass abholen</div>'), (3, 'Also gone<div>x</div>');"
              "DELETE FROM Note WHERE ROWID IN (2, 3); DELETE FROM note_bodies WHERE note_id IN (2, 3);"));
    const auto notes = carve();
    ASSERT_EQ(notes.size(), 2u);
    const CarvedNote& ski = notes.at("Ski trip<div>Skipass abholen</div>");
    EXPECT_EQ(ski.title, "Ski trip");
    EXPECT_EQ(ski.uid, 2);
    ASSERT_TRUE(ski.modified);
    EXPECT_EQ(*ski.modified, 285411900);
    EXPECT_EQ(notes.at("Also gone<div>x</div>").title, "Also gone");
}

TEST_F(NoteCarvingTest, AnEditedNoteComesBackAsItWas) {
    {
        fixtures::NotesDbBuilder db(path);
        db.addNote(fixtures::NoteSpec(1, "Plans", "Plans<div>short</div>", kMarch2012 + 0.5));
        db.addNote(fixtures::NoteSpec(2, "Other", "Other<div>stays</div>", kMarch2012));
        // Longer than before, so that SQLite writes the new rows elsewhere and frees the old ones.
        db.updateNote(1, "Plans for the summer", "Plans for the summer<div>short, and now a good deal longer</div>",
                      kMarch2012 + 86400.25);
    }
    const auto notes = carve();
    ASSERT_EQ(notes.size(), 1u);
    const CarvedNote& old = notes.begin()->second;
    EXPECT_EQ(old.content, "Plans<div>short</div>");
    EXPECT_EQ(old.title, "Plans");
    EXPECT_EQ(old.uid, 1);
    ASSERT_TRUE(old.modified);
    EXPECT_EQ(*old.modified, kMarch2012 + 0.5);
}

TEST_F(NoteCarvingTest, AnOlderTextTakesTheLivingNotesTitleOnlyWhenItBeginsWithIt) {
    {
        fixtures::NotesDbBuilder db(path);
        for (std::int64_t pk = 1; pk <= 5; ++pk) {
            db.addNote(fixtures::NoteSpec(pk, "Note " + std::to_string(pk),
                                          "Note " + std::to_string(pk) + "<div>" + std::string(100, 'o') + "</div>",
                                          kMarch2012));
        }
    }
    // Longer texts leave the older ones in free space; the note rows keep their size and are
    // rewritten in place, so the older note rows are gone. Note 4's first line, so its title, changed.
    ASSERT_TRUE(fixtures::execSql(path, "UPDATE ZNOTEBODY SET ZCONTENT = 'Note 2<div>' || printf('%.*c', 300, 'n') || "
                                        "'</div>' WHERE Z_PK = 2; UPDATE ZNOTE SET Z_OPT = 2 WHERE Z_PK = 2;"
                                        "UPDATE ZNOTEBODY SET ZCONTENT = 'Tour 4<div>' || printf('%.*c', 300, 'n') || "
                                        "'</div>' WHERE Z_PK = 4; UPDATE ZNOTE SET ZTITLE = 'Tour 4' WHERE Z_PK = 4;"));
    const std::string old2 = "Note 2<div>" + std::string(100, 'o') + "</div>";
    const std::string old4 = "Note 4<div>" + std::string(100, 'o') + "</div>";
    const std::string bytes = fixtures::readFile(path);
    ASSERT_NE(bytes.find(old2), std::string::npos);
    ASSERT_NE(bytes.find(old4), std::string::npos);
    const auto notes = carve();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes.at(old2).title, "Note 2");
    EXPECT_FALSE(notes.at(old4).title);
    EXPECT_EQ(notes.at(old4).uid, 4);
}

TEST_F(NoteCarvingTest, ThePersistentJournalKeepsWhatTheDeleteWiped) {
    {
        fixtures::NotesDbBuilder db(path, 4, 65536);
        for (std::int64_t pk = 1; pk <= 5; ++pk) {
            db.addNote(fixtures::NoteSpec(pk, "Big " + std::to_string(pk),
                                          "Big " + std::to_string(pk) + "<div>" + std::string(3000, 'b') + "</div>",
                                          kMarch2012));
        }
    }
    ASSERT_TRUE(fixtures::execSql(path, "PRAGMA journal_mode=PERSIST; PRAGMA secure_delete=ON; DELETE FROM ZNOTE WHERE "
                                        "Z_PK = 3; DELETE FROM ZNOTEBODY WHERE Z_PK = 3;"));
    const auto notes = carve();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes.begin()->second.title, "Big 3");
    EXPECT_EQ(notes.begin()->second.from, RecoveredFrom::Journal);
}
