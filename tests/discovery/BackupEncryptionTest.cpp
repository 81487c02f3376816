// Encrypted backups: the key bag, unlocking with the password, the keys in Manifest.db's records,
// and decrypting files, against backups that the fixtures encrypt the way devices do.

#include "discovery/ArchivedFile.h"
#include "discovery/BackupKeyBag.h"
#include "discovery/BackupKeys.h"
#include "discovery/BackupUnlock.h"
#include "platform/Log.h"
#include "support/TempDir.h"

#include "DeviceDb.h"
#include "EncryptedBackup.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <openssl/evp.h>
#include <plist/plist.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;

namespace {

namespace fs = std::filesystem;

std::string bigEndian(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string record(const std::string& tag, const std::string& value) {
    return tag + bigEndian(static_cast<std::uint32_t>(value.size())) + value;
}

Secret secret(const std::string& s) {
    return Secret(std::string_view(s));
}

// Decrypts bytes through files, as a scan does.
DecryptResult decryptBytes(const std::string& key, const std::string& cipher, std::optional<std::uint64_t> size,
                           std::string& plain) {
    TempDir dir;
    fixtures::writeFile(dir.file("in"), cipher);
    const int in = ::open(dir.file("in").c_str(), O_RDONLY);
    const int out = ::open(dir.file("out").c_str(), O_WRONLY | O_CREAT, 0600);
    const DecryptResult result = BackupKeys::decryptFile(secret(key), in, out, size);
    ::close(in);
    ::close(out);
    plain = fixtures::readFile(dir.file("out"));
    return result;
}

// A plain backup of the manifest layout: Manifest.plist, Manifest.db with its real Files table, and
// the listed files in their hex folders.
struct PlainFile {
    std::string domain;
    std::string relativePath;
    std::string bytes;
    std::uint32_t protectionClass = 3;
};

std::string fileIdOf(const PlainFile& f) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const std::string name = f.domain + "-" + f.relativePath;
    EVP_Digest(name.data(), name.size(), digest, &length, EVP_sha1(), nullptr);
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    return hex;
}

void writePlainBackup(const std::string& folder, const std::vector<PlainFile>& files) {
    ASSERT_TRUE(fixtures::createDatabase(
        folder + "/Manifest.db",
        "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);"
        "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);",
        4));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "/Manifest.db").c_str(), &db), SQLITE_OK);
    for (const PlainFile& f : files) {
        const std::string id = fileIdOf(f);
        fs::create_directories(folder + "/" + id.substr(0, 2));
        ASSERT_TRUE(fixtures::writeFile(folder + "/" + id.substr(0, 2) + "/" + id, f.bytes));
        const std::string blob = fixtures::archivedFileBlob(f.relativePath, f.bytes.size(), f.protectionClass, {});
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO Files VALUES (?1, ?2, ?3, 1, ?4)", -1, &insert, nullptr);
        sqlite3_bind_text(insert, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, f.domain.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, f.relativePath.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_blob(insert, 4, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_finalize(insert);
    }
    sqlite3_close(db);
    plist_t manifest = plist_new_dict();
    plist_dict_set_item(manifest, "IsEncrypted", plist_new_bool(0));
    plist_dict_set_item(manifest, "Version", plist_new_string("10.0"));
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(manifest, &bytes, &length);
    ASSERT_TRUE(fixtures::writeFile(folder + "/Manifest.plist", std::string(bytes, length)));
    plist_to_bin_free(bytes);
    plist_free(manifest);
}

// The `file` record of a row of a (decrypted) Manifest.db.
std::string recordOf(const std::string& manifestDb, const std::string& fileID) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(manifestDb.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT file FROM Files WHERE fileID = ?1", -1, &select, nullptr);
    sqlite3_bind_text(select, 1, fileID.c_str(), -1, SQLITE_TRANSIENT);
    std::string blob;
    if (select && sqlite3_step(select) == SQLITE_ROW) {
        blob.assign(static_cast<const char*>(sqlite3_column_blob(select, 0)),
                    static_cast<std::size_t>(sqlite3_column_bytes(select, 0)));
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    return blob;
}

const PlainFile kNotesFile{"AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite",
                           "SQLite format 3" + std::string(1, '\0') + std::string(5000, 'n')};
const PlainFile kMessagesFile{"HomeDomain", "Library/SMS/sms.db", std::string(4096, 'm')};

} // namespace

// --- The key bag -----------------------------------------------------------------------------------

TEST(BackupKeyBag, ReadsTheHeaderAndEveryClassKey) {
    fixtures::BackupEncryption settings;
    settings.iterations = 7;
    settings.dpic = 9;
    std::string problem;
    const auto bag = readBackupKeyBag(fixtures::keyBagBytes(settings), problem);
    ASSERT_TRUE(bag) << problem;
    EXPECT_EQ(bag->version, 5u);
    EXPECT_EQ(bag->type, 1u);
    EXPECT_EQ(bag->salt.size(), 20u);
    EXPECT_EQ(bag->iterations, 7u);
    ASSERT_TRUE(bag->dpsl);
    EXPECT_EQ(bag->dpic, 9u);
    ASSERT_EQ(bag->classes.size(), 11u);
    EXPECT_EQ(bag->classes[2].protectionClass, 3u);
    EXPECT_EQ(bag->classes[2].wrap, 2u);
    EXPECT_EQ(bag->classes[2].wrappedKey.size(), 40u);

    settings.twoSteps = false;
    const auto older = readBackupKeyBag(fixtures::keyBagBytes(settings), problem);
    ASSERT_TRUE(older) << problem;
    EXPECT_FALSE(older->dpsl);
}

struct DamagedKeyBag {
    const char* name;
    std::string bytes;
    const char* problem;
};

class KeyBagDamage : public testing::TestWithParam<DamagedKeyBag> {};

TEST_P(KeyBagDamage, IsRefusedWithItsReason) {
    std::string problem;
    EXPECT_FALSE(readBackupKeyBag(GetParam().bytes, problem));
    EXPECT_NE(problem.find(GetParam().problem), std::string::npos) << problem;
}

namespace {
const std::string kHeader = record("SALT", std::string(20, 's')) + record("ITER", bigEndian(10));
const std::string kClass = record("UUID", std::string(16, 'u')) + record("CLAS", bigEndian(3)) +
                           record("WRAP", bigEndian(2)) + record("WPKY", std::string(40, 'w'));
const std::string kBag = record("UUID", std::string(16, 'h')) + kHeader + kClass;
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Bags, KeyBagDamage,
    testing::Values(
        DamagedKeyBag{"CutInARecordHeader", kBag + "WPK", "cut inside a record header"},
        DamagedKeyBag{"LengthPastTheEnd", kBag + "WPKY" + bigEndian(0xFFFFFFF0u) + "x", "runs past the end"},
        DamagedKeyBag{"ClassNotAnInteger", record("UUID", "h") + kHeader + record("UUID", "u") + record("CLAS", "abc"),
                      "not a 4-byte integer"},
        DamagedKeyBag{"NoSalt", record("UUID", "h") + record("ITER", bigEndian(10)) + kClass, "no SALT"},
        DamagedKeyBag{"NoIterations", record("UUID", "h") + record("ITER", bigEndian(0)) + record("SALT", "s") + kClass,
                      "no SALT or ITER"},
        DamagedKeyBag{"BillionsOfIterations",
                      record("UUID", "h") + record("SALT", "s") + record("ITER", bigEndian(4000000000u)) + kClass,
                      "more than"},
        DamagedKeyBag{"DpslWithoutDpic", record("UUID", "h") + kHeader + record("DPSL", "d") + kClass,
                      "DPSL without DPIC"},
        DamagedKeyBag{"NoClassKey", record("UUID", "h") + kHeader, "no class key"},
        DamagedKeyBag{"Empty", "", "no SALT"}),
    [](const testing::TestParamInfo<DamagedKeyBag>& info) { return std::string(info.param.name); });

// --- Unlocking -------------------------------------------------------------------------------------

TEST(BackupKeys, TheRightPasswordUnwrapsEveryClassKeyAndAWrongOneNone) {
    for (const bool twoSteps : {true, false}) {
        fixtures::BackupEncryption settings;
        settings.twoSteps = twoSteps;
        std::string problem;
        const auto bag = readBackupKeyBag(fixtures::keyBagBytes(settings), problem);
        ASSERT_TRUE(bag);
        const auto passwordKey = derivePasswordKey(*bag, secret("tortoise"));
        ASSERT_TRUE(passwordKey);
        EXPECT_EQ(passwordKey->view(), fixtures::passwordKey(settings));

        std::optional<BackupKeys> keys;
        ASSERT_EQ(BackupKeys::unlock(*bag, secret("tortoise"), keys), BackupKeys::Unlock::Unlocked);
        ASSERT_TRUE(keys);
        EXPECT_EQ(keys->classKeyCount(), 11u);
        EXPECT_TRUE(keys->hasClassKey(3));
        EXPECT_EQ(BackupKeys::unlock(*bag, secret("Tortoise"), keys), BackupKeys::Unlock::WrongPassword);
        EXPECT_FALSE(keys);
    }
}

TEST(BackupKeys, AClassKeyThatDoesNotUnwrapMeansAWrongPassword) {
    fixtures::BackupEncryption settings;
    settings.badlyWrappedClass = 6;
    std::string problem;
    const auto bag = readBackupKeyBag(fixtures::keyBagBytes(settings), problem);
    ASSERT_TRUE(bag);
    std::optional<BackupKeys> keys;
    EXPECT_EQ(BackupKeys::unlock(*bag, secret("tortoise"), keys), BackupKeys::Unlock::WrongPassword);

    // Keys the device alone protects (WRAP without bit 1) cannot be used, and a bag of only those
    // cannot be unlocked by any password.
    BackupKeyBag deviceOnly = *bag;
    for (KeyBagClass& c : deviceOnly.classes) {
        c.wrap = 1;
    }
    EXPECT_EQ(BackupKeys::unlock(deviceOnly, secret("tortoise"), keys), BackupKeys::Unlock::NoProtectedKey);
}

TEST(BackupKeys, FileKeysUnwrapUnderTheirClassOnly) {
    std::string problem;
    const auto bag = readBackupKeyBag(fixtures::keyBagBytes({}), problem);
    ASSERT_TRUE(bag);
    std::optional<BackupKeys> keys;
    ASSERT_EQ(BackupKeys::unlock(*bag, secret("tortoise"), keys), BackupKeys::Unlock::Unlocked);
    const std::string fileKey = fixtures::fixtureKey("some file");

    const auto key = keys->fileKey(fixtures::wrappedWithClass(3, fileKey), problem);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->view(), fileKey);

    EXPECT_FALSE(keys->fileKey(fixtures::wrappedWithClass(12, fileKey), problem));
    EXPECT_EQ(problem, "no class key for protection class 12");
    std::string otherClass = fixtures::wrappedWithClass(4, fileKey);
    otherClass[0] = 3; // says class 3, wrapped under class 4's key
    EXPECT_FALSE(keys->fileKey(otherClass, problem));
    EXPECT_EQ(problem, "key of protection class 3 does not unwrap");
    EXPECT_FALSE(keys->fileKey(fixtures::wrappedWithClass(3, fileKey).substr(0, 43), problem));
    EXPECT_EQ(problem, "wrapped key has 43 bytes, not 44");
}

// --- Decrypting files ------------------------------------------------------------------------------

class DecryptSizes : public testing::TestWithParam<std::size_t> {};

TEST_P(DecryptSizes, GiveBackEveryByteAcrossBlocksAndReads) {
    const std::string key = fixtures::fixtureKey("file");
    std::string plain(GetParam(), '\0');
    for (std::size_t i = 0; i < plain.size(); ++i) {
        plain[i] = static_cast<char>(i * 131 + i / 251);
    }
    std::string got;
    const DecryptResult result = decryptBytes(key, fixtures::encryptBytes(key, plain), plain.size(), got);
    EXPECT_EQ(result.status, DecryptStatus::Decrypted) << result.problem;
    EXPECT_EQ(result.written, plain.size());
    EXPECT_TRUE(got == plain);

    // The first block alone, as the photo scan looks at a file: its first 16 bytes, padding included.
    TempDir dir;
    ASSERT_TRUE(fixtures::writeFile(dir.file("cipher"), fixtures::encryptBytes(key, plain)));
    const int in = ::open(dir.file("cipher").c_str(), O_RDONLY);
    const std::optional<Secret> first = BackupKeys::decryptFirstBlock(secret(key), in);
    ::close(in);
    const std::size_t pad = 16 - plain.size() % 16;
    ASSERT_TRUE(first);
    EXPECT_EQ(first->view(), (plain + std::string(pad, static_cast<char>(pad))).substr(0, 16));
}

// A file shorter than one block has no first block to give; nor does a key of the wrong size.
TEST(DecryptFile, FirstBlockNeedsAWholeBlockAndAWholeKey) {
    TempDir dir;
    const std::string cipher = fixtures::encryptBytes(fixtures::fixtureKey("file"), "abc");
    ASSERT_TRUE(fixtures::writeFile(dir.file("short"), cipher.substr(0, 15)));
    ASSERT_TRUE(fixtures::writeFile(dir.file("whole"), cipher));
    const int shortFd = ::open(dir.file("short").c_str(), O_RDONLY);
    const int wholeFd = ::open(dir.file("whole").c_str(), O_RDONLY);
    EXPECT_FALSE(BackupKeys::decryptFirstBlock(secret(fixtures::fixtureKey("file")), shortFd));
    EXPECT_FALSE(BackupKeys::decryptFirstBlock(secret(fixtures::fixtureKey("file").substr(0, 16)), wholeFd));
    EXPECT_TRUE(BackupKeys::decryptFirstBlock(secret(fixtures::fixtureKey("file")), wholeFd));
    ::close(shortFd);
    ::close(wholeFd);
}

// Around the cipher block (16) and the read step (1 MiB).
INSTANTIATE_TEST_SUITE_P(Sizes, DecryptSizes,
                         testing::Values(0u, 1u, 15u, 16u, 17u, 4096u, (1u << 20) - 1, 1u << 20, (1u << 20) + 5));

TEST(DecryptFile, CutsToTheRecordsSize) {
    const std::string key = fixtures::fixtureKey("file");
    std::string got;
    // Devices round some files up with bytes past the size they record.
    const DecryptResult result = decryptBytes(key, fixtures::encryptBytes(key, "abcdefghij0123456789"), 10, got);
    EXPECT_EQ(result.status, DecryptStatus::Decrypted);
    EXPECT_EQ(got, "abcdefghij");
    EXPECT_EQ(decryptBytes(key, fixtures::encryptBytes(key, "abcdefghij"), std::nullopt, got).status,
              DecryptStatus::Decrypted);
    EXPECT_EQ(got, "abcdefghij");
    // The buffers fit the recorded size; a file far longer than it is still read to its end, in
    // many small steps, and checked whole.
    const std::string longer = std::string(100000, 'x') + "end";
    EXPECT_EQ(decryptBytes(key, fixtures::encryptBytes(key, longer), 20, got).status, DecryptStatus::Decrypted);
    EXPECT_EQ(got, std::string(20, 'x'));
    std::string damaged = fixtures::encryptBytes(key, longer);
    damaged.back() = static_cast<char>(damaged.back() ^ 1);
    EXPECT_EQ(decryptBytes(key, damaged, 20, got).status, DecryptStatus::BadPadding);
    // A record may claim any size: one no file can hold is a cut file, whatever its bytes.
    EXPECT_EQ(decryptBytes(key, fixtures::encryptBytes(key, longer), UINT64_MAX, got).status, DecryptStatus::Truncated);
}

struct DamagedCipher {
    const char* name;
    std::function<std::string(const std::string& cipher)> damage;
    std::optional<std::uint64_t> size;
    DecryptStatus status;
};

class CipherDamage : public testing::TestWithParam<DamagedCipher> {};

TEST_P(CipherDamage, IsReportedNotDecrypted) {
    const std::string key = fixtures::fixtureKey("file");
    const std::string plain(100, 'p'); // 7 blocks, the last padded with 12 bytes of 0x0c
    std::string got;
    const DecryptResult result =
        decryptBytes(key, GetParam().damage(fixtures::encryptBytes(key, plain)), GetParam().size, got);
    EXPECT_EQ(result.status, GetParam().status) << result.problem;
    EXPECT_FALSE(result.problem.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ciphers, CipherDamage,
    testing::Values(DamagedCipher{"CutInsideABlock", [](const std::string& c) { return c.substr(0, c.size() - 7); },
                                  100, DecryptStatus::Truncated},
                    DamagedCipher{"ShorterThanItsSize",
                                  [](const std::string&) {
                                      const std::string key = fixtures::fixtureKey("file");
                                      return fixtures::encryptBytes(key, std::string(32, 'p'));
                                  },
                                  100, DecryptStatus::Truncated},
                    // CBC: a bit flipped in one block flips the same bit of the next block's plaintext, here
                    // the padding length (0x0c becomes 0x8c).
                    DamagedCipher{"BadPadding",
                                  [](std::string c) {
                                      c[c.size() - 17] = static_cast<char>(c[c.size() - 17] ^ 0x80);
                                      return c;
                                  },
                                  100, DecryptStatus::BadPadding},
                    DamagedCipher{"Empty", [](const std::string&) { return std::string(); }, 100,
                                  DecryptStatus::Truncated}),
    [](const testing::TestParamInfo<DamagedCipher>& info) { return std::string(info.param.name); });

// --- The records in Manifest.db --------------------------------------------------------------------

TEST(ArchivedFile, ReadsSizeClassAndKeyThroughTheArchivesReferences) {
    const std::string wrapped = fixtures::wrappedWithClass(3, fixtures::fixtureKey("k"));
    std::string problem;
    const auto file = readArchivedFile(fixtures::archivedFileBlob("Library/SMS/sms.db", 12345, 3, wrapped), problem);
    ASSERT_TRUE(file) << problem;
    EXPECT_EQ(file->size, 12345u);
    EXPECT_EQ(file->protectionClass, 3u);
    EXPECT_EQ(file->encryptionKey, wrapped);

    const auto plain = readArchivedFile(fixtures::archivedFileBlob("Library/SMS/sms.db", 7, 4, std::nullopt), problem);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->size, 7u);
    EXPECT_FALSE(plain->encryptionKey);
}

namespace {
// An archive built by hand: `file` is the root object's dictionary, `extra` more objects after it.
std::string archive(plist_t rootUid, plist_t file, std::vector<plist_t> extra = {}) {
    plist_t r = plist_new_dict();
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", rootUid);
    plist_dict_set_item(r, "$top", top);
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_array_append_item(objects, file);
    for (plist_t e : extra) {
        plist_array_append_item(objects, e);
    }
    plist_dict_set_item(r, "$objects", objects);
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(r, &bytes, &length);
    std::string out(bytes, length);
    plist_to_bin_free(bytes);
    plist_free(r);
    return out;
}

plist_t fileWithKey(plist_t key) {
    plist_t file = plist_new_dict();
    plist_dict_set_item(file, "Size", plist_new_uint(5));
    plist_dict_set_item(file, "EncryptionKey", key);
    return file;
}
} // namespace

TEST(ArchivedFile, FollowsOnlyReferencesInsideTheArchive) {
    std::string problem;
    // The key as bare data rather than an NSMutableData object.
    auto file = readArchivedFile(archive(plist_new_uid(1), fileWithKey(plist_new_uid(2)), {plist_new_data("abcd", 4)}),
                                 problem);
    ASSERT_TRUE(file) << problem;
    EXPECT_EQ(file->encryptionKey, "abcd");

    // A key reference past $objects, or to something that is no data: no key, the rest stands.
    file = readArchivedFile(archive(plist_new_uid(1), fileWithKey(plist_new_uid(99))), problem);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size, 5u);
    EXPECT_FALSE(file->encryptionKey);
    file = readArchivedFile(archive(plist_new_uid(1), fileWithKey(plist_new_uid(0))), problem);
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->encryptionKey);
    file = readArchivedFile(archive(plist_new_uid(1), fileWithKey(plist_new_uint(2)), {plist_new_data("abcd", 4)}),
                            problem);
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->encryptionKey);

    // No root object.
    EXPECT_FALSE(readArchivedFile(archive(plist_new_uid(7), fileWithKey(plist_new_uid(2))), problem));
    EXPECT_EQ(problem, "file record's root object is missing");
    EXPECT_FALSE(readArchivedFile(archive(plist_new_uint(1), fileWithKey(plist_new_uid(2))), problem));
    EXPECT_FALSE(readArchivedFile("bplist00 not really", problem));
    EXPECT_FALSE(readArchivedFile("", problem));
}

// --- Whole backups ---------------------------------------------------------------------------------

class EncryptedBackup : public testing::Test {
protected:
    void SetUp() override {
        backup = dir.makeDir("backup");
        writePlainBackup(backup, {kNotesFile, kMessagesFile});
    }

    void encrypt(const fixtures::BackupEncryption& settings = {}) {
        ASSERT_TRUE(fixtures::encryptBackup(backup, settings));
    }

    std::shared_ptr<const UnlockedBackup> unlock() {
        ScriptedPasswordRequest passwords;
        passwords.answerNext("tortoise");
        const UnlockResult result = unlockBackup(backup, "Mia's iPhone", passwords);
        EXPECT_EQ(result.status, UnlockStatus::Unlocked);
        return result.unlocked;
    }

    std::string stored(const PlainFile& f) const {
        const std::string id = fileIdOf(f);
        return backup + "/" + id.substr(0, 2) + "/" + id;
    }

    TempDir dir;
    std::string backup;
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

TEST_F(EncryptedBackup, OpensWithTheRightPasswordAfterAWrongOne) {
    encrypt();
    EXPECT_NE(fixtures::readFile(stored(kNotesFile)).substr(0, 15), "SQLite format 3");
    ScriptedPasswordRequest passwords;
    passwords.answerNext("guess");
    passwords.answerNext("tortoise");
    int derivations = 0;
    const UnlockResult result = unlockBackup(backup, "Mia's iPhone", passwords, [&] { ++derivations; });
    ASSERT_EQ(result.status, UnlockStatus::Unlocked);
    EXPECT_EQ(derivations, 2);
    ASSERT_EQ(passwords.prompts().size(), 2u);
    EXPECT_EQ(passwords.prompts()[0].backupName, "Mia's iPhone");
    EXPECT_FALSE(passwords.prompts()[0].afterWrongPassword);
    EXPECT_TRUE(passwords.prompts()[1].afterWrongPassword);

    // Manifest.db, then each file with the key its record holds, byte for byte.
    const std::string manifest = dir.file("Manifest.db");
    ASSERT_EQ(decryptManifest(*result.unlocked, backup + "/Manifest.db", manifest).status, DecryptStatus::Decrypted);
    for (const PlainFile& f : {kNotesFile, kMessagesFile}) {
        std::string problem;
        const auto record = readArchivedFile(recordOf(manifest, fileIdOf(f)), problem);
        ASSERT_TRUE(record) << problem;
        ASSERT_TRUE(record->encryptionKey);
        const std::string target = dir.file(fileIdOf(f));
        EXPECT_EQ(decryptBackupFile(*result.unlocked, *record, stored(f), target).status, DecryptStatus::Decrypted);
        EXPECT_TRUE(fixtures::readFile(target) == f.bytes) << f.relativePath;
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    // Neither password reached the log; the wrong one is for the front end to say, once.
    for (const std::string& line : log.lines()) {
        EXPECT_EQ(line.find("tortoise"), std::string::npos) << line;
        EXPECT_EQ(line.find("guess"), std::string::npos) << line;
    }
    EXPECT_FALSE(log.contains("wrong password"));
}

TEST_F(EncryptedBackup, SaysWhyItCannotBeOpened) {
    encrypt();
    struct Case {
        std::vector<std::optional<std::string>> answers;
        UnlockStatus status;
        std::size_t prompts;
    };
    for (const Case& c : {Case{{}, UnlockStatus::NoPassword, 1}, Case{{"guess"}, UnlockStatus::WrongPassword, 2},
                          Case{{"guess", "guess again", std::nullopt}, UnlockStatus::WrongPassword, 3}}) {
        ScriptedPasswordRequest passwords;
        for (const auto& a : c.answers) {
            passwords.answerNext(a);
        }
        const UnlockResult result = unlockBackup(backup, "Mia's iPhone", passwords);
        EXPECT_EQ(result.status, c.status);
        EXPECT_FALSE(result.unlocked);
        EXPECT_EQ(passwords.prompts().size(), c.prompts);
    }
    EXPECT_STREQ(unlockMessage(UnlockStatus::WrongPassword), "The password is wrong for this backup.");
}

TEST_F(EncryptedBackup, AManifestPlistWithoutAKeyBagIsNotAsked) {
    encrypt();
    plist_t manifest = plist_new_dict();
    plist_dict_set_item(manifest, "IsEncrypted", plist_new_bool(1));
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(manifest, &bytes, &length);
    ASSERT_TRUE(fixtures::writeFile(backup + "/Manifest.plist", std::string(bytes, length)));
    plist_to_xml_free(bytes);
    plist_free(manifest);

    ScriptedPasswordRequest passwords;
    passwords.answerNext("tortoise");
    EXPECT_EQ(unlockBackup(backup, "Mia's iPhone", passwords).status, UnlockStatus::NoKeyBag);
    EXPECT_TRUE(passwords.prompts().empty());
    ::unlink((backup + "/Manifest.plist").c_str());
    EXPECT_EQ(unlockBackup(backup, "Mia's iPhone", passwords).status, UnlockStatus::NoKeyBag);
    EXPECT_STREQ(unlockMessage(UnlockStatus::NoKeyBag),
                 "This backup is encrypted, but its Manifest.plist holds no key bag to unlock it.");
}

TEST_F(EncryptedBackup, AFileWhoseClassKeyIsMissingIsSkipped) {
    fixtures::BackupEncryption settings;
    settings.classes = {1, 2, 4, 5}; // no class 3, the class of both files
    encrypt(settings);
    const auto unlocked = unlock();
    ASSERT_TRUE(unlocked);
    const std::string manifest = dir.file("Manifest.db");
    ASSERT_EQ(decryptManifest(*unlocked, backup + "/Manifest.db", manifest).status, DecryptStatus::Decrypted);
    std::string problem;
    const auto record = readArchivedFile(recordOf(manifest, fileIdOf(kMessagesFile)), problem);
    ASSERT_TRUE(record);
    const std::string target = dir.file("sms.db");
    EXPECT_EQ(decryptBackupFile(*unlocked, *record, stored(kMessagesFile), target).status, DecryptStatus::NoKey);
    EXPECT_NE(::access(target.c_str(), F_OK), 0);
    EXPECT_TRUE(
        log.contains("Encrypted file is skipped (no class key for protection class 3): " + fileIdOf(kMessagesFile)));
}

TEST_F(EncryptedBackup, DamagedFilesAreSkippedAndLeaveNothingDecrypted) {
    encrypt();
    const auto unlocked = unlock();
    ASSERT_TRUE(unlocked);
    const std::string manifest = dir.file("Manifest.db");
    ASSERT_EQ(decryptManifest(*unlocked, backup + "/Manifest.db", manifest).status, DecryptStatus::Decrypted);
    std::string problem;
    const auto record = readArchivedFile(recordOf(manifest, fileIdOf(kNotesFile)), problem);
    ASSERT_TRUE(record);
    const std::string cipher = fixtures::readFile(stored(kNotesFile));

    struct Case {
        const char* name;
        std::string bytes;
        DecryptStatus status;
    };
    std::string badPadding = cipher;
    badPadding[badPadding.size() - 17] = static_cast<char>(badPadding[badPadding.size() - 17] ^ 0x80);
    for (const Case& c : {Case{"truncated", cipher.substr(0, cipher.size() / 2 + 3), DecryptStatus::Truncated},
                          Case{"cut at a block", cipher.substr(0, 4096), DecryptStatus::Truncated},
                          Case{"bad padding", badPadding, DecryptStatus::BadPadding}}) {
        ASSERT_TRUE(fixtures::writeFile(stored(kNotesFile), c.bytes));
        const std::string target = dir.file("NoteStore.sqlite");
        EXPECT_EQ(decryptBackupFile(*unlocked, *record, stored(kNotesFile), target).status, c.status) << c.name;
        EXPECT_NE(::access(target.c_str(), F_OK), 0) << c.name;
    }
    EXPECT_TRUE(
        log.contains("Encrypted file is skipped (padding of the last block is wrong): " + fileIdOf(kNotesFile)));

    // A FIFO in place of a file is refused, not waited on.
    ::unlink(stored(kNotesFile).c_str());
    ASSERT_EQ(::mkfifo(stored(kNotesFile).c_str(), 0600), 0);
    EXPECT_EQ(decryptBackupFile(*unlocked, *record, stored(kNotesFile), dir.file("fifo")).status,
              DecryptStatus::ReadFailed);
}
