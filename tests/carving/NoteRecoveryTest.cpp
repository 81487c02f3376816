// Deleted notes over a small corpus of notes databases that lived a realistic life, held to a
// recall floor with no wrong note and no live note shown as deleted.

#include "carving/NoteCarving.h"

#include "NotesLife.h"
#include "platform/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace quarrow;
using namespace quarrow::carving;
using namespace quarrow::test;

TEST(NoteRecovery, SmallCorpusKeepsItsFloor) {
    TempDir dir;
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    fixtures::NotesScore total;
    for (const fixtures::LifeOptions& options : fixtures::notesCorpus(true)) {
        const fixtures::NotesLife life = fixtures::liveNotesLife(dir.file(options.name + ".sqlite"), options);
        auto opened = openDatabaseInPlace(life.path, options.name);
        ASSERT_TRUE(opened);
        std::vector<fixtures::ShownNote> shown;
        for (const CarvedNote& n : carveDeletedNotes(*opened->file).notes) {
            shown.push_back({n.title, n.content});
        }
        const fixtures::NotesScore score = fixtures::scoreNotes(life, shown);
        std::printf("%s: %zu deleted, %zu/%zu whole, %zu/%zu bodies, %zu shown, %zu correct, %zu live\n",
                    options.name.c_str(), score.deleted, score.recalledWhole, score.wholeSurvives, score.recalledBody,
                    score.bodySurvives, score.shown, score.shownCorrect, score.shownLive);
        total += score;
    }
    for (const std::string& w : total.wrong) {
        ADD_FAILURE() << w;
    }
    EXPECT_EQ(total.shownLive, 0u);
    EXPECT_EQ(total.shownCorrect, total.shown);
    EXPECT_GE(total.recall(), 0.97);
}
