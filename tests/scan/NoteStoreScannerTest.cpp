// The note store of iOS 9 and later, in a backup of the layout of iOS 10 and later: what a person
// sees in Notes is what the scan reports, locked notes never show their ciphertext, and the bin
// comes back as deleted notes.

#include "scan/NoteScanner.h"

#include "scan/DelNoteScanner.h"

#include "DeviceDb.h"
#include "ModernBackup.h"
#include "NoteStore.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "results/ResultCollection.h"
#include "scan/ScanContext.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sqlite3.h>

using namespace quarrow;
using namespace quarrow::test;
namespace fx = quarrow::fixtures;

namespace {

// 2023-06-01 08:30:00 UTC in seconds since 2001.
constexpr double kJune2023 = 707301000;
constexpr const char* kAttachmentMark = "\xEF\xBF\xBC"; // U+FFFC

const char* kNotesDomain = "AppDomainGroup-group.com.apple.notes";

class NoteStoreScan : public ::testing::TestWithParam<fx::NoteStoreVersion> {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        folder = dir.makeDir("00008110-001A2D3C0E91801E");
        progressToken = nc.addObserver(ScanNotification::kProgress,
                                       [this](const Notification& n) { progress.push_back(*n.number()); });
    }

    // Puts the store (and its write-ahead log, when it has one) into a backup of today's layout.
    void makeBackup(const std::string& store) {
        fx::ModernBackupBuilder backup(folder);
        backup.writePropertyLists(fx::ModernDevice{});
        backup.addDatabase(kNotesDomain, "NoteStore.sqlite", store);
        backup.addOtherRows(500);
        ASSERT_TRUE(backup.writeManifest());
    }

    void scan() {
        ScanContext context(nc, folder);
        scanNoteThread(context, folder);
    }

    const PRNoteNode* note(const std::string& title) const {
        for (const auto& n : collection.noteArray()) {
            if (n->noteTitle() == title) {
                return n.get();
            }
        }
        return nullptr;
    }

    TempDir dir;
    std::string folder;
    NotificationCenter nc;
    ResultCollection collection{nc};
    std::vector<long long> progress;
    NotificationCenter::Token progressToken = 0;
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

} // namespace

TEST_P(NoteStoreScan, ReportsNotesAsTheOwnerFiledThem) {
    const std::string store = dir.file("NoteStore.sqlite");
    {
        fx::NoteStoreBuilder db(store, GetParam());
        const auto notes = db.addFolder("Notes");
        const auto recipes = db.addFolder("Recipes 🍝");
        const auto bin = db.addFolder("Recently Deleted", fx::kFolderTypeTrash);
        fx::NoteStoreNote shopping{"Shopping", "Shopping\nMilk\nBread  \n", notes, kJune2023, kJune2023};
        db.addNote(shopping);
        fx::NoteStoreNote carbonara{
            "Carbonara", std::string("Carbonara\n") + kAttachmentMark + "\nGuanciale, pecorino\n" + kAttachmentMark,
            recipes, kJune2023, kJune2023 + 60};
        carbonara.attachments = {{"PHOTO-1", "public.jpeg", "IMG_0042.jpeg", ""},
                                 {"TABLE-1", "com.apple.notes.table", "", ""}};
        db.addNote(carbonara);
        fx::NoteStoreNote bank{"Bank", "Bank\nPIN 4711", notes, kJune2023, kJune2023 + 120};
        bank.locked = true;
        db.addNote(bank);
        fx::NoteStoreNote old{"Old idea", "Old idea\nnever mind", bin, kJune2023, kJune2023 + 180};
        old.markedForDeletion = true;
        db.addNote(old);
        db.checkpoint();
        // Written after the last checkpoint: only the write-ahead log holds this one.
        db.addNote({"Fresh", "Fresh\nstill in the log", notes, kJune2023, kJune2023 + 240});
        db.close(true);
    }
    makeBackup(store);
    scan();

    ASSERT_EQ(collection.noteArray().size(), 5u);
    EXPECT_EQ(progress, std::vector<long long>{70});
    const PRNoteNode* shopping = note("Shopping");
    ASSERT_TRUE(shopping);
    EXPECT_EQ(shopping->noteContent(), "Shopping\nMilk\nBread  \n");
    EXPECT_EQ(shopping->noteFolder(), "Notes");
    EXPECT_EQ(shopping->noteDate(), "06-01-2023 08:30");
    EXPECT_FALSE(shopping->bDeleted());
    EXPECT_FALSE(shopping->bLocked());
    EXPECT_TRUE(shopping->noteAttachments().empty());

    const PRNoteNode* carbonara = note("Carbonara");
    ASSERT_TRUE(carbonara);
    EXPECT_EQ(carbonara->noteFolder(), "Recipes 🍝");
    EXPECT_EQ(carbonara->noteDate(), "06-01-2023 08:31");
    EXPECT_EQ(carbonara->noteAttachments(), (std::vector<std::string>{"IMG_0042.jpeg", "com.apple.notes.table"}));
    EXPECT_NE(carbonara->noteContent()->find(kAttachmentMark), std::string::npos);

    const PRNoteNode* bank = note("Bank");
    ASSERT_TRUE(bank);
    EXPECT_TRUE(bank->bLocked());
    EXPECT_EQ(bank->noteContent(), std::nullopt);
    EXPECT_EQ(bank->noteFolder(), "Notes");
    EXPECT_FALSE(log.contains("PIN"));

    const PRNoteNode* old = note("Old idea");
    ASSERT_TRUE(old);
    EXPECT_TRUE(old->bDeleted());
    EXPECT_EQ(old->noteContent(), "Old idea\nnever mind");
    EXPECT_EQ(old->noteFolder(), "Recently Deleted");

    ASSERT_TRUE(note("Fresh"));
    EXPECT_EQ(note("Fresh")->noteContent(), "Fresh\nstill in the log");
    EXPECT_EQ(collection.counters().noteNum, 4);
    EXPECT_EQ(collection.counters().delNoteNum, 1);
}

INSTANTIATE_TEST_SUITE_P(Versions, NoteStoreScan,
                         ::testing::Values(fx::NoteStoreVersion::iOS13, fx::NoteStoreVersion::iOS16));

// The store decides which columns there are: one without folder types, password protection or a
// numbered date column still gives its notes, and the bin is known by its title.
TEST_F(NoteStoreScan, ReadsTheColumnsTheStoreHas) {
    const std::string store = dir.file("NoteStore.sqlite");
    ASSERT_TRUE(fx::execSql(
        store, "CREATE TABLE ZICCLOUDSYNCINGOBJECT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
               "ZMARKEDFORDELETION INTEGER, ZFOLDER INTEGER, ZNOTEDATA INTEGER, ZMODIFICATIONDATE TIMESTAMP, "
               "ZTITLE1 VARCHAR, ZTITLE2 VARCHAR);"
               "CREATE TABLE ZICNOTEDATA (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZNOTE INTEGER, "
               "ZDATA BLOB);"
               "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, ZTITLE2) VALUES (1, 'Notes'), (2, 'Recently Deleted');"
               "INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, ZFOLDER, ZNOTEDATA, ZMODIFICATIONDATE, ZTITLE1) VALUES "
               "(3, 1, 1, 707300000.5, 'Kept'), (4, 2, 2, 707300060, 'Binned');"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO ZICNOTEDATA (Z_PK, ZNOTE, ZDATA) VALUES (?1, ?2, ?3)", -1, &insert,
                                 nullptr),
              SQLITE_OK);
    for (const auto& [pk, text] : {std::pair{1, "Kept\ntext"}, std::pair{2, "Binned\ntext"}}) {
        const std::string data = fx::noteStoreData(text);
        sqlite3_bind_int(insert, 1, pk);
        sqlite3_bind_int(insert, 2, pk + 2);
        sqlite3_bind_blob(insert, 3, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
    makeBackup(store);
    scan();
    ASSERT_EQ(collection.noteArray().size(), 2u);
    EXPECT_EQ(collection.noteArray()[0]->noteContent(), "Kept\ntext");
    EXPECT_EQ(collection.noteArray()[0]->noteDate(), "06-01-2023 08:13");
    EXPECT_FALSE(collection.noteArray()[0]->bDeleted());
    EXPECT_EQ(collection.noteArray()[1]->noteContent(), "Binned\ntext");
    EXPECT_TRUE(collection.noteArray()[1]->bDeleted());
}

// A damaged blob costs that note its text, never the scan: the note is still listed, the log says
// why, and no byte of the blob is shown.
TEST_F(NoteStoreScan, ADamagedTextLeavesTheNoteWithoutText) {
    const std::string store = dir.file("NoteStore.sqlite");
    {
        fx::NoteStoreBuilder db(store);
        const auto notes = db.addFolder("Notes");
        const auto damaged = db.addNote({"Damaged", "Damaged\nsecret words", notes, kJune2023, kJune2023});
        db.addNote({"Intact", "Intact\nfine", notes, kJune2023, kJune2023});
        const std::string blob = fx::noteStoreData("Damaged\nsecret words");
        std::string hex;
        for (std::size_t i = 0; i + 8 < blob.size(); ++i) { // the stream without its CRC and length
            char two[3];
            std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(blob[i]));
            hex += two;
        }
        db.exec("UPDATE ZICNOTEDATA SET ZDATA = x'" + hex + "' WHERE ZNOTE = " + std::to_string(damaged) + ";");
        db.close();
    }
    makeBackup(store);
    scan();
    ASSERT_EQ(collection.noteArray().size(), 2u);
    EXPECT_EQ(note("Damaged")->noteContent(), "");
    EXPECT_EQ(note("Intact")->noteContent(), "Intact\nfine");
    EXPECT_TRUE(log.contains("has no readable text (damaged gzip stream)"));
    EXPECT_FALSE(log.contains("secret"));
}

// A device that kept notes in the older database and moved on to the store has both; the scan
// reads both and posts its progress once.
TEST_F(NoteStoreScan, ReadsTheOlderDatabaseAndTheStoreOfOneBackup) {
    const std::string store = dir.file("NoteStore.sqlite");
    const std::string older = dir.file("notes.sqlite");
    {
        fx::NoteStoreBuilder db(store);
        db.addNote({"From the store", "From the store\n", db.addFolder("Notes"), kJune2023, kJune2023});
        db.close();
        fx::NotesDbBuilder legacy(older);
        legacy.addNote({1, "From the older database", "<div>From the older database</div>", 352803900, 352803900});
    }
    fx::ModernBackupBuilder backup(folder);
    backup.writePropertyLists(fx::ModernDevice{});
    backup.addDatabase(kNotesDomain, "NoteStore.sqlite", store);
    backup.addDatabase("HomeDomain", "Library/Notes/notes.sqlite", older);
    ASSERT_TRUE(backup.writeManifest());
    scan();
    ASSERT_EQ(collection.noteArray().size(), 2u);
    EXPECT_EQ(collection.noteArray()[0]->noteTitle(), "From the older database");
    EXPECT_EQ(collection.noteArray()[0]->noteFolder(), std::nullopt);
    EXPECT_EQ(collection.noteArray()[1]->noteTitle(), "From the store");
    EXPECT_EQ(progress, std::vector<long long>{70});
}

// A note emptied from the bin is gone from the store's tables; the carver brings it back from the
// store's free space and from the write-ahead log, which the backup keeps as a file of its own.
TEST_F(NoteStoreScan, NotesEmptiedFromTheBinComeBackAsDeletedNotes) {
    const std::string store = dir.file("NoteStore.sqlite");
    {
        fx::NoteStoreBuilder db(store);
        const auto notes = db.addFolder("Notes");
        const auto bin = db.addFolder("Recently Deleted", fx::kFolderTypeTrash);
        db.addNote({"Kept", "Kept\nstill here", notes, kJune2023, kJune2023});
        const auto gone = db.addNote({"Gone", "Gone\nemptied from the bin", notes, kJune2023, kJune2023 + 60});
        db.checkpoint();
        db.moveToFolder(gone, bin, true);
        db.deleteNote(gone);
        db.close(true); // the deletion is only in the log
    }
    makeBackup(store);
    {
        ScanContext context(nc, folder);
        scanNoteThread(context, folder);
        scanDelNoteThread(context, folder);
    }
    ASSERT_EQ(collection.noteArray().size(), 2u);
    const PRNoteNode* kept = note("Kept");
    ASSERT_TRUE(kept);
    EXPECT_FALSE(kept->bDeleted());
    const PRNoteNode* gone = note("Gone");
    ASSERT_TRUE(gone);
    EXPECT_TRUE(gone->bDeleted());
    EXPECT_EQ(gone->noteContent(), "Gone\nemptied from the bin");
    EXPECT_EQ(gone->noteDate(), "06-01-2023 08:31");
    EXPECT_EQ(progress, (std::vector<long long>{70, 96}));
    EXPECT_FALSE(log.contains("emptied"));
}
