#include "scan/PhotoAndVideoScanner.h"

#include "CategoryScanFixture.h"
#include "EncryptedBackup.h"
#include "ModernBackup.h"
#include "discovery/BackupUnlock.h"
#include "support/BackupBuilder.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// What the scanner posted, in order: "progress N" or the file's name.
class PhotoScan : public CategoryScan {
protected:
    PhotoScan() {
        nc.addObserver(ScanNotification::kProgress,
                       [this](const Notification& n) { events.push_back("progress " + std::to_string(*n.number())); });
        nc.addObserver(ScanNotification::kPhotoAndVideo, [this](const Notification& n) {
            const auto photo = n.recordAs<PRPhotoAndVideoNode>();
            events.push_back(photo ? photo->fileNodeName().value_or("")
                                   : n.text()->substr(n.text()->find_last_of('/') + 1));
        });
    }

    void writeFile(const std::string& name, std::size_t size) {
        ASSERT_TRUE(fixtures::writeFile(folder + "/" + name, fixtures::jpegLikeBytes(size)));
    }

    std::vector<std::string> events;
};

std::string entryName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "e%03d", i);
    return name;
}

} // namespace

// 300 entries: the progress rises by one every tenth entry, just before that entry is looked at,
// and only regular files of 50,000 bytes or more are taken: never a smaller one, a link, a FIFO
// (which is not even opened) or a folder.
TEST_F(PhotoScan, TakesLargeRegularFilesAndCountsThirtieths) {
    for (int i = 0; i < 300; ++i) {
        const std::string name = entryName(i);
        switch (i) {
        case 15:
            writeFile(name, 50000);
            break;
        case 16:
            writeFile(name, 49999);
            break;
        case 20:
            writeFile(name, 200000);
            break;
        case 21:
            ASSERT_EQ(::symlink((folder + "/e020").c_str(), (folder + "/" + name).c_str()), 0);
            break;
        case 22:
            ASSERT_EQ(::mkfifo((folder + "/" + name).c_str(), 0600), 0);
            break;
        case 23:
            dir.makeDir("backup/" + name);
            writeFile(name + "/inside", 60000);
            break;
        default:
            writeFile(name, 10);
        }
    }
    scan(scanPhotoAndVideoThread);

    std::vector<std::string> expected;
    for (int k = 1; k <= 29; ++k) {
        expected.push_back("progress " + std::to_string(k));
        if (k == 1) {
            expected.push_back("e015");
        }
        if (k == 2) {
            expected.push_back("e020");
        }
    }
    EXPECT_EQ(events, expected);

    const auto& photos = collection.photoAndVideoArray();
    ASSERT_EQ(photos.size(), 2u);
    EXPECT_EQ(photos[0]->fileNodeName(), "e015");
    EXPECT_EQ(photos[0]->fileNodeSize(), "50.00K");
    EXPECT_EQ(photos[0]->filePath(), folder + "/e015");
    EXPECT_EQ(photos[1]->fileNodeSize(), "200.00K");
    EXPECT_EQ(collection.counters().photovideoNum, 2);
    EXPECT_TRUE(logged("2 of 300 files"));
}

struct FewEntries {
    int entries;
    std::vector<long long> progress;
};

class PhotoScanFew : public PhotoScan, public ::testing::WithParamInterface<FewEntries> {};

// Fewer than thirty entries: one step for each distinct index floor(n * k / 30).
TEST_P(PhotoScanFew, PostsOneStepPerDistinctIndex) {
    for (int i = 0; i < GetParam().entries; ++i) {
        writeFile(entryName(i), 1);
    }
    scan(scanPhotoAndVideoThread);
    EXPECT_EQ(progress, GetParam().progress);
}

INSTANTIATE_TEST_SUITE_P(Counts, PhotoScanFew,
                         ::testing::Values(FewEntries{0, {}}, FewEntries{1, {1}},
                                           FewEntries{10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
                                           FewEntries{29, {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                                           16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}}),
                         [](const auto& info) { return "n" + std::to_string(info.param.entries); });

TEST_F(PhotoScan, AFolderThatCannotBeListedPostsNothing) {
    folder += "/not-there";
    scan(scanPhotoAndVideoThread);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(logged("cannot be listed"));
}

// The backup's records of itself are no pictures, however large; they still count as entries.
TEST_F(PhotoScan, PassesOverTheBackupsOwnFilesInTheFlatLayout) {
    for (const char* name :
         {"Info.plist", "Manifest.mbdb", "Manifest.mbdx", "Manifest.plist", "Status.plist", "photo"}) {
        writeFile(name, 60000);
    }
    scan(scanPhotoAndVideoThread);
    EXPECT_EQ(events, (std::vector<std::string>{"progress 1", "progress 2", "progress 3", "progress 4", "progress 5",
                                                "progress 6", "photo"}));
    EXPECT_TRUE(logged("1 of 6 files"));
}

namespace {

const char* kCameraRoll = "CameraRollDomain";

// A backup of today's layout, as ModernBackupBuilder writes it: the device's files in two-hex-digit
// storage folders, the backup's own files (a manifest large enough to pass for a picture among them)
// at the top.
class ModernPhotoScan : public PhotoScan {
protected:
    void SetUp() override {
        builder.writePropertyLists(fixtures::ModernDevice{});
        exact = builder.addFile(kCameraRoll, "Media/DCIM/100APPLE/IMG_0001.JPG", fixtures::jpegLikeBytes(50000, 1));
        builder.addFile(kCameraRoll, "Media/DCIM/100APPLE/IMG_0002.JPG", fixtures::jpegLikeBytes(49999, 2));
        movie = builder.addFile(kCameraRoll, "Media/DCIM/100APPLE/IMG_0003.MOV", fixtures::jpegLikeBytes(200000, 3));
        for (int i = 0; i < 40; ++i) {
            builder.addFile("HomeDomain", "Library/Preferences/p" + std::to_string(i) + ".plist", "<plist/>");
        }
        builder.addOtherRows(3000);
        ASSERT_TRUE(builder.writeManifest());
        ASSERT_GE(std::filesystem::file_size(folder + "/Manifest.db"), 50000u);
    }

    std::vector<std::string> posted() const {
        std::vector<std::string> paths;
        for (const auto& photo : collection.photoAndVideoArray()) {
            paths.push_back(photo->filePath().value_or(""));
        }
        return paths;
    }

    // Entries in the storage folders, which the progress counts.
    std::size_t storedEntries() const {
        std::size_t n = 0;
        for (const auto& top : std::filesystem::directory_iterator(folder)) {
            if (top.is_directory() && !top.is_symlink() && top.path().filename().string().size() == 2) {
                n += static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(top.path()), {}));
            }
        }
        return n;
    }

    fixtures::ModernBackupBuilder builder{folder};
    std::string exact, movie;
};

std::vector<long long> oneTo(long long last) {
    std::vector<long long> values(static_cast<std::size_t>(last));
    std::iota(values.begin(), values.end(), 1);
    return values;
}

} // namespace

// Today's layout: the stored files are walked folder by folder, by the same threshold, with links,
// FIFOs and a storage folder that is a link passed over, and the manifest, however large, never
// taken; the progress counts thirtieths of every entry walked.
TEST_F(ModernPhotoScan, FindsStoredFilesOfTheThresholdAndNothingElse) {
    const std::string linkFolder = folder + "/" + std::filesystem::path(exact).parent_path().filename().string();
    ASSERT_EQ(::symlink(movie.c_str(), (linkFolder + "/0000000000000000000000000000000000000000").c_str()), 0);
    ASSERT_EQ(::mkfifo((linkFolder + "/ffffffffffffffffffffffffffffffffffffffff").c_str(), 0600), 0);
    // A storage folder's name that leads elsewhere is not followed.
    dir.makeDir("elsewhere");
    ASSERT_TRUE(fixtures::writeFile(dir.path() + "/elsewhere/big", fixtures::jpegLikeBytes(60000)));
    std::string unused;
    for (int d = 0; d < 256 && unused.empty(); ++d) {
        const std::string name{"0123456789abcdef"[d >> 4], "0123456789abcdef"[d & 15]};
        if (!std::filesystem::exists(folder + "/" + name)) {
            unused = name;
        }
    }
    ASSERT_EQ(::symlink((dir.path() + "/elsewhere").c_str(), (folder + "/" + unused).c_str()), 0);
    writeFile("Manifest.db-shm", 60000);

    scan(scanPhotoAndVideoThread);

    std::vector<std::string> expected{exact, movie};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(posted(), expected);
    EXPECT_EQ(collection.photoAndVideoArray()[0]->fileNodeName(),
              std::filesystem::path(expected[0]).filename().string());
    EXPECT_EQ(progress, oneTo(29));
    EXPECT_EQ(storedEntries(), 45u);
    EXPECT_TRUE(logged("2 of 45 files"));
    EXPECT_TRUE(logged("a storage folder of the backup cannot be listed: " + unused));
}

// A few stored files: one step per distinct thirtieth, as in the flat layout.
TEST_F(ModernPhotoScan, CountsThirtiethsOfTheStoredEntries) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_directory() && entry.path() != std::filesystem::path(exact).parent_path()) {
            std::filesystem::remove_all(entry.path());
        }
    }
    const std::size_t n = storedEntries();
    ASSERT_GE(n, 1u);
    ASSERT_LT(n, 30u);
    scan(scanPhotoAndVideoThread);
    EXPECT_EQ(progress, oneTo(static_cast<long long>(n)));
    EXPECT_EQ(posted(), std::vector<std::string>{exact});
}

namespace {

// Unlocks the encrypted backup in the folder with the fixtures' password.
std::shared_ptr<const UnlockedBackup> unlockFixture(const std::string& folder) {
    ScriptedPasswordRequest passwords;
    passwords.answerNext(fixtures::BackupEncryption{}.password);
    const UnlockResult result = unlockBackup(folder, "Mia's iPhone", passwords);
    EXPECT_EQ(result.status, UnlockStatus::Unlocked);
    return result.unlocked;
}

} // namespace

// An encrypted backup stores ciphertext, whose stored sizes say nothing (padded to whole AES
// blocks, the 49,999-byte picture is stored in 50,000 bytes). Without its keys nothing is listed and
// the log counts without names; with them the pictures are listed by what the decrypted manifest
// says: their real names and plain sizes, each with its wrapped key for the export, the progress
// in thirtieths of the media files, and none of them decrypted into the work folder.
class EncryptedPhotoScan : public ModernPhotoScan, public ::testing::WithParamInterface<bool> {};

TEST_P(EncryptedPhotoScan, ListsThePicturesByTheManifestOnlyWithTheKeys) {
    ASSERT_TRUE(fixtures::encryptBackup(folder));
    const bool withKeys = GetParam();
    context = std::make_unique<ScanContext>(nc, folder, withKeys ? unlockFixture(folder) : nullptr);
    scanPhotoAndVideoThread(*context, folder);

    std::vector<std::string> listed;
    for (const auto& photo : collection.photoAndVideoArray()) {
        listed.push_back(photo->fileNodeName().value_or("") + " " + photo->fileNodeSize().value_or("") + " " +
                         std::to_string(photo->fileByteCount()) + (photo->bEncrypted() ? " encrypted" : ""));
    }
    if (!withKeys) {
        EXPECT_TRUE(listed.empty());
        EXPECT_EQ(progress, oneTo(29));
        EXPECT_TRUE(logged("the backup is encrypted; 3 of 43 files are large enough but hold ciphertext"));
        EXPECT_FALSE(anyLineHolds(std::filesystem::path(movie).filename().string()));
        return;
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"IMG_0001.JPG 50.00K 50000 encrypted",
                                                "IMG_0003.MOV 200.00K 200000 encrypted"}));
    EXPECT_EQ(posted(), (std::vector<std::string>{exact, movie}));
    EXPECT_EQ(collection.counters().photovideoNum, 2);
    EXPECT_EQ(progress, oneTo(3));
    EXPECT_TRUE(logged("the backup is encrypted; 2 of 3 media files are large enough to be pictures or movies"));
    EXPECT_FALSE(anyLineHolds("IMG_0001"));
    // The manifest alone was decrypted for the scan.
    const std::optional<std::string> work = context->workFolder.path();
    ASSERT_TRUE(work);
    for (const auto& entry : std::filesystem::directory_iterator(*work)) {
        EXPECT_TRUE(entry.path().filename().string().starts_with("decrypted-Manifest.db")) << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, EncryptedPhotoScan, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Unlocked" : "Locked"; });

namespace {

// The bytes SQLite itself leaves in a device's files: a database of about 90 KB in rollback mode, the
// hot journal of a transaction still open on it, and the write-ahead log of another database that a
// writer holds open (both logs are device files of their own in a backup).
struct SqliteFiles {
    std::string database, journal, wal;
};

bool run(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

SqliteFiles sqliteFiles(const TempDir& dir) {
    constexpr const char* kFill = "CREATE TABLE t(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                  "WHERE i < 40) INSERT INTO t SELECT randomblob(2000) FROM n;";
    SqliteFiles files;
    sqlite3* db = nullptr;
    const std::string rollback = dir.file("rollback.sqlite");
    EXPECT_EQ(sqlite3_open(rollback.c_str(), &db), SQLITE_OK);
    EXPECT_TRUE(run(db, kFill));
    files.database = fixtures::readFile(rollback);
    // Without syncs SQLite writes the journal's magic number as soon as the journal is opened.
    EXPECT_TRUE(run(db, "PRAGMA synchronous=OFF; BEGIN; UPDATE t SET x = randomblob(2000);"));
    files.journal = fixtures::readFile(rollback + "-journal");
    EXPECT_TRUE(run(db, "ROLLBACK;"));
    sqlite3_close(db);

    const std::string logged = dir.file("logged.sqlite");
    EXPECT_EQ(sqlite3_open(logged.c_str(), &db), SQLITE_OK);
    EXPECT_TRUE(run(db, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"));
    EXPECT_TRUE(run(db, kFill));
    files.wal = fixtures::readFile(logged + "-wal");
    sqlite3_close(db);
    return files;
}

// One file of the device as a backup stores it, and whether it belongs under Photo&Video.
struct StoredFile {
    std::string domain, relativePath, bytes;
    bool listed;
};

std::vector<StoredFile> deviceFiles(const TempDir& dir) {
    const SqliteFiles sqlite = sqliteFiles(dir);
    // A notes database whose header was wiped: no magic left, but its file ID says what it is.
    {
        fixtures::NotesDbBuilder notes(dir.file("notes.sqlite"));
        for (int i = 1; i <= 60; ++i) {
            notes.addNote({i, "Note " + std::to_string(i), std::string(1000, 'n'), 352803900, 352803900});
        }
    }
    std::string wipedNotes = fixtures::readFile(dir.file("notes.sqlite"));
    wipedNotes.replace(0, 100, 100, '\0');
    std::string unknown = fixtures::jpegLikeBytes(70000, 7);
    unknown.replace(0, 4, "\x00\x01\x02\x03", 4);
    const std::string text = "SQLite format 3 is the file format of SQLite, and this is a text about it.\n";
    std::string bigList = binaryPlist({{BinaryObject::String, {}, std::string(60000, 'p')}});
    const DeviceFile notes = DeviceFiles::kNotes;
    return {
        {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", fixtures::jpegLikeBytes(60000, 1), true},
        {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.PNG", fixtures::pngPicture(200, 120, 2), true},
        {"MediaDomain", "Media/Recordings/0001.m4a", unknown, true},
        {"CameraRollDomain", "Media/PhotoData/Photos.sqlite", sqlite.database, false},
        {"AppDomain-com.example.reader", "Documents/about.txt", text + std::string(60000 - text.size(), ' '), true},
        {"AppDomain-com.example.reader", "Library/cache.sqlite", sqlite.database, false},
        {"AppDomain-com.example.reader", "Library/cache.sqlite-journal", sqlite.journal, false},
        {"AppDomain-com.example.reader", "Library/store.sqlite-wal", sqlite.wal, false},
        {"HomeDomain", "Library/Preferences/com.example.reader.plist", bigList, false},
        {std::string(notes.domain), std::string(notes.relativePath), wipedNotes, false},
    };
}

// The same files in either layout: at the top of an older backup, in the storage folders of today's,
// and there encrypted, where only the media domains are looked at.
enum class StoredAs { Flat, Manifest, Encrypted };

class DeviceRecordScan : public PhotoScan, public ::testing::WithParamInterface<StoredAs> {};

bool isMediaDomain(const std::string& domain) {
    return domain == "CameraRollDomain" || domain == "MediaDomain";
}

} // namespace

// The device's own records are no pictures, however large: databases, their logs and binary
// property lists are known by their first bytes, the databases the scanners read by their file IDs
// too; pictures, films and bytes of no known kind are listed as before, as is a text that only
// begins like a database's header.
TEST_P(DeviceRecordScan, ListsPicturesAndUnknownFilesButNoDatabaseOrPropertyList) {
    const std::vector<StoredFile> stored = deviceFiles(dir);
    const bool manifest = GetParam() != StoredAs::Flat;
    const bool encrypted = GetParam() == StoredAs::Encrypted;
    std::set<std::string> expected;
    fixtures::ModernBackupBuilder builder(folder);
    for (const StoredFile& file : stored) {
        ASSERT_GE(file.bytes.size(), 50000u) << file.relativePath;
        std::string path = folder + "/" + BackupFiles::fileID({file.domain, file.relativePath});
        if (manifest) {
            path = builder.addFile(file.domain, file.relativePath, file.bytes);
        } else {
            ASSERT_TRUE(fixtures::writeFile(path, file.bytes));
        }
        if (file.listed && (!encrypted || isMediaDomain(file.domain))) {
            expected.insert(path);
        }
    }
    if (manifest) {
        builder.writePropertyLists(fixtures::ModernDevice{});
        ASSERT_TRUE(builder.writeManifest());
    }
    ASSERT_TRUE(!encrypted || fixtures::encryptBackup(folder));
    const std::string before = folderFingerprint(folder);

    context = std::make_unique<ScanContext>(nc, folder, encrypted ? unlockFixture(folder) : nullptr);
    scanPhotoAndVideoThread(*context, folder);

    std::set<std::string> posted;
    for (const auto& photo : collection.photoAndVideoArray()) {
        posted.insert(photo->filePath().value_or(""));
    }
    EXPECT_EQ(posted, expected);
    EXPECT_TRUE(logged(encrypted ? "4 of 4 media files are large enough to be pictures or movies; 1 of those are "
                                   "databases or property lists of the device, not listed"
                                 : "10 of 10 files are large enough to be pictures or movies; 6 of those are "
                                   "databases or property lists of the device, not listed"));
    EXPECT_FALSE(logged("could not be"));
    EXPECT_EQ(folderFingerprint(folder), before);
}

INSTANTIATE_TEST_SUITE_P(Layouts, DeviceRecordScan,
                         ::testing::Values(StoredAs::Flat, StoredAs::Manifest, StoredAs::Encrypted),
                         [](const auto& info) {
                             return info.param == StoredAs::Flat       ? "Flat"
                                    : info.param == StoredAs::Manifest ? "Manifest"
                                                                       : "Encrypted";
                         });

namespace {

struct LeadingBytesCase {
    const char* name;
    std::string bytes;
    DeviceRecordKind kind;
};

class DeviceRecordKinds : public ::testing::TestWithParam<LeadingBytesCase> {};

} // namespace

// Only the exact magic numbers count; a byte off, or too few bytes, and the file is kept.
TEST_P(DeviceRecordKinds, KnowsOnlyTheExactMagicNumbers) {
    EXPECT_EQ(deviceRecordKind(GetParam().bytes), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, DeviceRecordKinds,
    ::testing::Values(
        LeadingBytesCase{"Database", std::string("SQLite format 3\0", 16), DeviceRecordKind::Database},
        LeadingBytesCase{"DatabaseWithoutItsZero", "SQLite format 3 ", DeviceRecordKind::None},
        LeadingBytesCase{"DatabaseCutShort", "SQLite format 3", DeviceRecordKind::None},
        LeadingBytesCase{"OtherFormatNumber", std::string("SQLite format 4\0", 16), DeviceRecordKind::None},
        LeadingBytesCase{"WalOneByteOrder", std::string("\x37\x7f\x06\x82\x00\x2d\xe2\x18", 8),
                         DeviceRecordKind::DatabaseLog},
        LeadingBytesCase{"WalOtherByteOrder", std::string("\x37\x7f\x06\x83\x00\x2d\xe2\x18", 8),
                         DeviceRecordKind::DatabaseLog},
        LeadingBytesCase{"WalOfAnotherVersion", std::string("\x37\x7f\x06\x82\x00\x2d\xe2\x19", 8),
                         DeviceRecordKind::None},
        LeadingBytesCase{"WalCutShort", std::string("\x37\x7f\x06\x82\x00\x2d\xe2", 7), DeviceRecordKind::None},
        LeadingBytesCase{"Journal", std::string("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7\x00\x00\x00\x01", 12),
                         DeviceRecordKind::DatabaseLog},
        LeadingBytesCase{"PropertyList", "bplist00\xd1\x01\x02", DeviceRecordKind::PropertyList},
        LeadingBytesCase{"PropertyListVersion15", "bplist15", DeviceRecordKind::PropertyList},
        LeadingBytesCase{"PropertyListWithoutVersion", "bplist", DeviceRecordKind::None},
        LeadingBytesCase{"WordBplist", "bplistic text", DeviceRecordKind::None},
        LeadingBytesCase{"Jpeg", std::string("\xff\xd8\xff\xe0\x00\x10JFIF", 10), DeviceRecordKind::None},
        LeadingBytesCase{"Heic",
                         std::string("\x00\x00\x00\x18"
                                     "ftypheic",
                                     12),
                         DeviceRecordKind::None},
        LeadingBytesCase{"QuickTimeMovie",
                         std::string("\x00\x00\x00\x14"
                                     "ftypqt  ",
                                     12),
                         DeviceRecordKind::None},
        LeadingBytesCase{"Nothing", "", DeviceRecordKind::None}),
    [](const auto& info) { return std::string(info.param.name); });
