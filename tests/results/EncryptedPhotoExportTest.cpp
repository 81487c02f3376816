#include "EncryptedBackup.h"
#include "ExportTestSupport.h"
#include "ModernBackup.h"
#include "PhoneDbs.h"
#include "discovery/BackupUnlock.h"
#include "platform/PasswordRequest.h"
#include "platform/WorkFolder.h"
#include "results/RecoverySession.h"
#include "support/BackupBuilder.h"
#include "support/ScopedCacheHome.h"

#include <filesystem>
#include <map>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// A picture or movie of the backup: where the device kept it and its bytes.
struct Picture {
    std::string relativePath;
    std::string bytes;
};

// An encrypted backup of today's layout with pictures of two camera folders (two share a name), its
// scan with the password, and exports of the pictures the scan listed. The cache root is the test's
// own, so that whatever is decrypted on the way can be looked for.
class EncryptedPhotoExport : public ExportFixture {
protected:
    void SetUp() override {
        folder = dir.makeDir("backup");
        fixtures::ModernBackupBuilder builder(folder);
        builder.writePropertyLists(fixtures::ModernDevice{});
        for (const Picture& picture : pictures) {
            stored[picture.relativePath] = builder.addFile("CameraRollDomain", picture.relativePath, picture.bytes);
        }
        ASSERT_TRUE(builder.writeManifest());
        ASSERT_TRUE(fixtures::encryptBackup(folder));

        ScriptedPasswordRequest passwords;
        passwords.answerNext(fixtures::BackupEncryption{}.password);
        UnlockResult unlocked = unlockBackup(folder, "Mia's iPhone", passwords);
        ASSERT_EQ(unlocked.status, UnlockStatus::Unlocked);
        keys = unlocked.unlocked;
        session.setEdition(Edition::Full);
        ASSERT_TRUE(session.runScan(folder, nullptr, std::move(unlocked.unlocked)));
        ASSERT_EQ(session.collection().photoAndVideoArray().size(), pictures.size());
        session.collection().setSelected(session.collection().photoAndVideoArray(), true);
    }

    // Exports the ticked pictures through the session, which holds the backup's keys.
    std::vector<ExportFailure> exportPictures() {
        ExportRun* run = session.newExport(exportPath());
        EXPECT_NE(run, nullptr);
        run->openFolderWhenDone = false;
        run->recoverFilesThread();
        std::vector<ExportFailure> failures = run->failures();
        session.releaseExport();
        return failures;
    }

    std::string exported(const std::string& name) const {
        return slurp(exportPath() + "/Photo&Video/" + name).value_or("<missing>");
    }

    // Every regular file left under the test's cache root (work folders included).
    std::vector<std::string> cachedFiles() const {
        std::vector<std::string> files;
        for (const auto& entry : treeOf(cache)) {
            if (std::filesystem::is_regular_file(cache + "/" + entry)) {
                files.push_back(entry);
            }
        }
        return files;
    }

    const std::vector<Picture> pictures{
        {"Media/DCIM/100APPLE/IMG_0001.JPG", fixtures::jpegLikeBytes(120000, 1)},
        {"Media/DCIM/100APPLE/IMG_0002.MOV", fixtures::jpegLikeBytes(300007, 2)},
        {"Media/DCIM/101APPLE/IMG_0001.JPG", fixtures::jpegLikeBytes(64000, 3)},
        // The device's names are the backup's to choose: this one would hide itself and hold an escape.
        {"Media/DCIM/102APPLE/.IMG\x1b_0005.JPG", fixtures::jpegLikeBytes(52000, 5)},
    };
    std::string cache = dir.makeDir("cache");
    ScopedCacheHome cacheHome{cache};
    std::string folder;
    std::map<std::string, std::string> stored; // relative path -> ciphertext in the backup
    std::shared_ptr<const UnlockedBackup> keys;
    NotificationCenter sessionCenter;
    RecoverySession session{sessionCenter};
};

} // namespace

// Each picture comes out as the device's plaintext, byte for byte, under the device's name; a name
// taken by the other camera folder or by a file already there is numbered, never replaced. Nothing
// decrypted stays anywhere else, and the backup is not touched.
TEST_F(EncryptedPhotoExport, WritesThePlaintextUnderTheDevicesNamesNeverReplacingAFile) {
    const std::string before = folderFingerprint(folder);
    dir.makeDir(std::filesystem::relative(exportPath() + "/Photo&Video", dir.path()).string());
    spit(exportPath() + "/Photo&Video/IMG_0002.MOV", "the user's own file");

    EXPECT_TRUE(exportPictures().empty());

    EXPECT_EQ(exported("IMG_0001.JPG"), pictures[0].bytes);
    EXPECT_EQ(exported("IMG_0002.MOV"), "the user's own file");
    EXPECT_EQ(exported("IMG_0002 (2).MOV"), pictures[1].bytes);
    EXPECT_EQ(exported("IMG_0001 (2).JPG"), pictures[2].bytes);
    EXPECT_EQ(exported("_IMG__0005.JPG"), pictures[3].bytes);
    EXPECT_EQ(treeOf(exportPath() + "/Photo&Video"),
              (std::set<std::string>{"IMG_0001.JPG", "IMG_0001 (2).JPG", "IMG_0002.MOV", "IMG_0002 (2).MOV",
                                     "_IMG__0005.JPG"}));
    EXPECT_EQ(folderFingerprint(folder), before);
    EXPECT_EQ(cachedFiles(), std::vector<std::string>{});
}

namespace {

// A way the export of the movie cannot decrypt it, and what its failure says.
struct Damage {
    const char* name;
    void (*apply)(EncryptedPhotoExport& test, PRPhotoAndVideoNode& movie, const std::string& stored);
    const char* reason;
};

class DamagedPhotoExport : public EncryptedPhotoExport, public ::testing::WithParamInterface<Damage> {
public:
    static void truncateTo(const std::string& path, std::uintmax_t size) { std::filesystem::resize_file(path, size); }
};

} // namespace

// A picture that cannot be decrypted is reported, by its name and why, and leaves nothing behind:
// no part of it under its name or a temporary one. The others are still exported whole.
TEST_P(DamagedPhotoExport, IsReportedAndTheOthersAreStillExported) {
    auto& photos = session.collection().photoAndVideoArray();
    PRPhotoAndVideoNode& movie = *photos[1];
    ASSERT_EQ(movie.fileNodeName(), "IMG_0002.MOV");
    GetParam().apply(*this, movie, stored.at(pictures[1].relativePath));

    const std::vector<ExportFailure> failures = exportPictures();

    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, exportPath() + "/Photo&Video/IMG_0002.MOV");
    EXPECT_NE(failures[0].reason.find(GetParam().reason), std::string::npos) << failures[0].reason;
    EXPECT_EQ(treeOf(exportPath() + "/Photo&Video"),
              (std::set<std::string>{"IMG_0001.JPG", "IMG_0001 (2).JPG", "_IMG__0005.JPG"}));
    EXPECT_EQ(exported("IMG_0001 (2).JPG"), pictures[2].bytes);
    EXPECT_EQ(cachedFiles(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedPhotoExport,
    ::testing::Values(Damage{"KeyThatDoesNotUnwrap",
                             [](EncryptedPhotoExport&, PRPhotoAndVideoNode& movie, const std::string&) {
                                 std::string key = movie.encryptionKey().value_or("");
                                 key.back() = static_cast<char>(key.back() ^ 1);
                                 movie.setEncryptionKey(key);
                             },
                             "its key does not open with this backup's password"},
                      Damage{"ClassKeyMissing",
                             [](EncryptedPhotoExport&, PRPhotoAndVideoNode& movie, const std::string&) {
                                 movie.setEncryptionKey(fixtures::wrappedWithClass(99, fixtures::fixtureKey("file")));
                             },
                             "no class key for protection class 99"},
                      // Another file's key unwraps, and is caught by the padding of the last block (as 255 keys in
                      // 256 are: this cipher carries no other check).
                      Damage{"AnotherFilesKey",
                             [](EncryptedPhotoExport&, PRPhotoAndVideoNode& movie, const std::string&) {
                                 movie.setEncryptionKey(
                                     fixtures::wrappedWithClass(3, fixtures::fixtureKey("file of another")));
                             },
                             "damaged or cut short"},
                      Damage{"CutInHalf",
                             [](EncryptedPhotoExport&, PRPhotoAndVideoNode&, const std::string& stored) {
                                 DamagedPhotoExport::truncateTo(stored, 150000);
                             },
                             "damaged or cut short"},
                      Damage{"LastBlockCut",
                             [](EncryptedPhotoExport&, PRPhotoAndVideoNode&, const std::string& stored) {
                                 DamagedPhotoExport::truncateTo(stored, std::filesystem::file_size(stored) - 16);
                             },
                             "damaged or cut short"},
                      Damage{"StoredFileGone",
                             [](EncryptedPhotoExport&, PRPhotoAndVideoNode&, const std::string& stored) {
                                 std::filesystem::remove(stored);
                             },
                             "cannot be read"}),
    [](const auto& info) { return std::string(info.param.name); });

// Without the backup's keys (a run not made by the session that scanned it) no picture can be
// decrypted: each is reported, none written.
TEST_F(EncryptedPhotoExport, WithoutTheKeysEveryPictureIsReported) {
    ExportRun run(session.collection(), exportPath());
    run.openFolderWhenDone = false;
    run.recoverFilesThread();
    const std::vector<ExportFailure> failures = run.failures();
    ASSERT_EQ(failures.size(), pictures.size());
    for (const ExportFailure& failure : failures) {
        EXPECT_NE(failure.reason.find("the backup's password is not at hand"), std::string::npos) << failure.reason;
    }
    EXPECT_EQ(treeOf(exportPath() + "/Photo&Video"), std::set<std::string>{});
}

// The session keeps the keys for the export, in memory, only as long as the results they belong to:
// the way home and the next scan let them go.
TEST_F(EncryptedPhotoExport, TheSessionLetsTheKeysGoWithTheirResults) {
    const std::weak_ptr<const UnlockedBackup> held = keys;
    keys.reset();
    EXPECT_FALSE(held.expired());
    EXPECT_TRUE(exportPictures().empty());
    EXPECT_FALSE(held.expired());
    session.goHome();
    EXPECT_TRUE(held.expired());

    // The next scan, of a plain backup, does not keep the last one's keys either.
    ScriptedPasswordRequest passwords;
    passwords.answerNext(fixtures::BackupEncryption{}.password);
    UnlockResult unlocked = unlockBackup(folder, "Mia's iPhone", passwords);
    const std::weak_ptr<const UnlockedBackup> again = unlocked.unlocked;
    ASSERT_TRUE(session.runScan(folder, nullptr, std::move(unlocked.unlocked)));
    EXPECT_FALSE(again.expired());
    ASSERT_TRUE(session.runScan(dir.makeDir("plain")));
    EXPECT_TRUE(again.expired());
}
