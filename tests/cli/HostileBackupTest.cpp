// Hostile and damaged backups, tried the way an attacker or an unlucky user would, through the real
// command line: every case must end within seconds with a clear log line, leave the backup byte for
// byte as it was, write nothing outside the export folder and leave no private copy behind.

#include "DeviceDb.h"
#include "EncryptedBackup.h"
#include "LargeFiles.h"
#include "ModernBackup.h"
#include "NoteStore.h"
#include "PhoneDbs.h"
#include "discovery/BackupFiles.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace quarrow;
using namespace quarrow::test;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kWithinSeconds = std::chrono::seconds(10);

struct Finished {
    int status = -1;       // exit status, or -1
    int signal = 0;        // the signal that ended it, or 0
    bool timedOut = false; // killed because it ran past its time
    std::string out, err;
    Clock::duration took{};
    long maxRssKiB = 0; // the most memory the process held
};

// quarrow-cli started with its own cache folder, its output in files.
class CliProcess {
public:
    CliProcess(const std::vector<std::string>& args, const std::string& cacheHome, const std::string& scratch)
        : outPath_(scratch + "/stdout"), errPath_(scratch + "/stderr") {
        std::vector<std::string> env = {"XDG_CACHE_HOME=" + cacheHome, "TZ=UTC", "PATH=/usr/bin:/bin",
                                        "HOME=" + scratch};
        std::vector<std::string> argv = {QUARROW_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> a, e;
        for (auto& s : argv) {
            a.push_back(s.data());
        }
        for (auto& s : env) {
            e.push_back(s.data());
        }
        a.push_back(nullptr);
        e.push_back(nullptr);
        started_ = Clock::now();
        if (posix_spawn(&pid_, a[0], &actions, nullptr, a.data(), e.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CliProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    pid_t pid() const { return pid_; }
    void signal(int number) const { ::kill(pid_, number); }

    // Waits until the process ends, killing it once `limit` has passed.
    Finished wait(Clock::duration limit = kWithinSeconds) {
        Finished f;
        int status = 0;
        struct rusage usage {};
        while (::wait4(pid_, &status, WNOHANG, &usage) == 0) {
            if (Clock::now() - started_ > limit) {
                f.timedOut = true;
                ::kill(pid_, SIGKILL);
                ::wait4(pid_, &status, 0, &usage);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        f.maxRssKiB = usage.ru_maxrss;
        pid_ = -1;
        f.took = Clock::now() - started_;
        f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        f.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        f.out = fixtures::readFile(outPath_);
        f.err = fixtures::readFile(errPath_);
        return f;
    }

private:
    std::string outPath_, errPath_;
    pid_t pid_ = -1;
    Clock::time_point started_;
};

// Everything below the folder that is not the named exception, with kinds and bytes: what a case
// may not change.
std::string treeFingerprint(const std::string& folder) {
    return folderFingerprint(folder);
}

std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    return names;
}

// A notes database with three notes, one of them deleted, in rollback-journal mode.
void writeNotes(const std::string& path, int pageSize = 4096) {
    fixtures::NotesDbBuilder db(path, 1, pageSize);
    db.addNote({1, "Groceries", "<div>Groceries</div><div>milk</div>", 352803900, 352803900});
    db.addNote({2, "Plans", "<div>Plans</div>", 352803960, 352803960});
    db.addNote({3, "Secret", "<div>Secret</div><div>gone soon</div>", 352804020, 352804020});
    db.deleteNote(3);
}

void setPageSizeField(const std::string& path, unsigned value) {
    std::string bytes = fixtures::readFile(path);
    bytes[16] = static_cast<char>(value >> 8);
    bytes[17] = static_cast<char>(value & 0xFF);
    fixtures::writeFile(path, bytes);
}

struct HostileCase {
    const char* name;
    std::function<void(const std::string& backup)> make;
    const char* logged; // a fragment the log must carry, or nullptr when nothing is wrong to report
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

// A backup folder with a device's Info.plist, a cache folder and a scratch folder for the output.
class HostileFolder : public ::testing::Test {
protected:
    void SetUp() override {
        backup = dir.makeDir("Backup/0123456789abcdef0123456789abcdef01234567");
        writeInfoPlist(backup, typicalInfo("Hostile"));
        cache = dir.makeDir("cache");
        scratch = dir.makeDir("scratch");
    }

    Finished run(const std::vector<std::string>& args) {
        CliProcess process(args, cache, scratch);
        return process.wait();
    }

    TempDir dir;
    std::string backup, cache, scratch;
};

class HostileBackup : public HostileFolder, public ::testing::WithParamInterface<HostileCase> {};

} // namespace

TEST_P(HostileBackup, EndsInSecondsWithALogLineAndChangesNothing) {
    GetParam().make(backup);
    const std::string before = treeFingerprint(backup);
    const std::string exportFolder = dir.file("export");

    std::string logged;
    for (const auto& args : {std::vector<std::string>{"backups", "--root", dir.file("Backup")},
                             std::vector<std::string>{"scan", "--json", backup},
                             std::vector<std::string>{"export", backup, "--to", exportFolder}}) {
        const Finished f = run(args);
        EXPECT_FALSE(f.timedOut) << args[0] << " did not end within seconds";
        EXPECT_EQ(f.signal, 0) << args[0] << " died of signal " << f.signal << "\n" << f.err;
        EXPECT_EQ(f.status, 0) << args[0] << "\n" << f.err;
        logged += f.err;
    }
    if (GetParam().logged) {
        EXPECT_NE(logged.find(GetParam().logged), std::string::npos) << logged;
    }
    EXPECT_EQ(logged.find("Cannot remove"), std::string::npos) << logged;
    EXPECT_EQ(treeFingerprint(backup), before);
    EXPECT_TRUE(entriesOf(cache + "/quarrow").empty());
    // Only the export folder, the cache folder and the processes' own files are new.
    std::vector<std::string> top = entriesOf(dir.path());
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{"Backup", "cache", "export", "scratch"}));
}

namespace {

// Damage done to one database of the backup, given its path and a writer of a sound database there.
using SoundWriter = std::function<void(const std::string& path)>;

void garbageDb(const std::string& path, const SoundWriter&) {
    std::string bytes;
    for (int i = 0; i < 8192; ++i) {
        bytes += static_cast<char>((i * 7919 + 13) % 251);
    }
    fixtures::writeFile(path, bytes);
}

auto pageSizeDb(unsigned value) {
    return [value](const std::string& path, const SoundWriter& sound) {
        sound(path);
        setPageSizeField(path, value);
    };
}

void garbageWalDb(const std::string& path, const SoundWriter& sound) {
    sound(path);
    fixtures::writeFile(path + "-wal", std::string(5000, '\x5a'));
}

void garbageJournalDb(const std::string& path, const SoundWriter& sound) {
    sound(path);
    // The journal header's magic number, so that it looks hot, then nothing that makes sense.
    fixtures::writeFile(path + "-journal",
                        std::string("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8) + std::string(3000, '\x7f'));
}

void fifoDb(const std::string& path, const SoundWriter&) {
    ::mkfifo(path.c_str(), 0600);
}

using Damage = std::function<void(const std::string& path, const SoundWriter& sound)>;

// The damage done to the notes database.
auto onNotes(Damage damage) {
    return [damage](const std::string& b) { damage(notesSqlitePath(b), [](const std::string& p) { writeNotes(p); }); };
}

void truncated(const std::string& b) {
    writeNotes(notesSqlitePath(b));
    fs::resize_file(notesSqlitePath(b), 6000);
}

void symlinkLoop(const std::string& b) {
    fs::create_symlink(fs::path(notesSqlitePath(b)).filename(), notesSqlitePath(b));
}

void danglingLink(const std::string& b) {
    fs::create_symlink("nowhere", notesSqlitePath(b));
}

void readOnly(const std::string& b) {
    writeNotes(notesSqlitePath(b));
    ::chmod(notesSqlitePath(b).c_str(), 0444);
    ::chmod(b.c_str(), 0555);
}

void deepPropertyLists(const std::string& b) {
    writeNotes(notesSqlitePath(b));
    fixtures::writeFile(b + "/Info.plist", nestedXmlPlist(100'000));
    fixtures::writeFile(b + "/Manifest.plist", nestedBinaryPlist(100'000));
    fixtures::writeFile(b + "/Status.plist", nestedBinaryPlist(100'000));
}

// Switches the notes database to write-ahead logging and leaves a log beside it to fold in, as a
// device's backup can.
void leaveWriteAheadLog(const std::string& b) {
    fixtures::execSql(notesSqlitePath(b), "PRAGMA journal_mode=WAL;");
    sqlite3* db = nullptr;
    sqlite3_open(notesSqlitePath(b).c_str(), &db);
    sqlite3_exec(db, "PRAGMA wal_autocheckpoint=0; UPDATE ZNOTE SET ZTITLE='Groceries!' WHERE Z_PK=1;", nullptr,
                 nullptr, nullptr);
    // Closing would checkpoint the log away: leave it as a device's backup does, by copying first.
    fs::copy_file(notesSqlitePath(b), b + "/db.copy");
    fs::copy_file(notesSqlitePath(b) + "-wal", b + "/wal.copy");
    sqlite3_close(db);
    fs::rename(b + "/db.copy", notesSqlitePath(b));
    fs::rename(b + "/wal.copy", notesSqlitePath(b) + "-wal");
    fs::remove(notesSqlitePath(b) + "-shm");
}

// Not hostile: a database with a write-ahead log to fold in, which takes a private copy.
void walDatabase(const std::string& b) {
    writeNotes(notesSqlitePath(b));
    leaveWriteAheadLog(b);
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileBackup,
    ::testing::Values(
        HostileCase{"Garbage", onNotes(garbageDb), "Notes database cannot be read (file is not a database)"},
        HostileCase{"Truncated", truncated, "Notes database cannot be read (database disk image is malformed)"},
        HostileCase{"PageSize0", onNotes(pageSizeDb(0)), "Notes database cannot be read"},
        HostileCase{"PageSize1", onNotes(pageSizeDb(1)), "Notes database cannot be read"},
        HostileCase{"PageSize3", onNotes(pageSizeDb(3)), "Notes database cannot be read"},
        HostileCase{"PageSize65535", onNotes(pageSizeDb(65535)), "Notes database cannot be read"},
        HostileCase{"SymlinkLoop", symlinkLoop, "link that leads nowhere (Too many levels of symbolic links)"},
        HostileCase{"DanglingLink", danglingLink, "link that leads nowhere (No such file or directory)"},
        HostileCase{"ReadOnly", readOnly, nullptr},
        HostileCase{"GarbageWal", onNotes(garbageWalDb), "Write-ahead log is damaged, none of it is folded in"},
        HostileCase{"GarbageJournal", onNotes(garbageJournalDb),
                    "Rollback journal is damaged, none of it is rolled back"},
        HostileCase{"FifoAsTheNotesDatabase", onNotes(fifoDb), "Database is not a regular file, skipped"},
        HostileCase{"DeepPropertyLists", deepPropertyLists, "Property list is refused (nested too deeply)"},
        HostileCase{"WalDatabase", walDatabase, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

// The databases of the other categories, each sound but for the damage, read by every scanner
// (--all) as scan and export run them.
struct CategoryDatabase {
    const char* name;
    DeviceFile file;
    const char* what; // how the log names the database
    SoundWriter write;
};

const CategoryDatabase kCategoryDatabases[] = {
    {"AddressBook", DeviceFiles::kAddressBook, "Address book",
     [](const std::string& path) {
         fixtures::PersonSpec anna;
         anna.first = "Anna";
         anna.values.push_back({fixtures::kABPhone, "_$!<Mobile>!$_", "+1 555 0100"});
         fixtures::AddressBookBuilder(path).addPerson(anna);
     }},
    {"Messages", DeviceFiles::kMessages, "Messages database",
     [](const std::string& path) {
         fixtures::SmsDbBuilder db(path, fixtures::SmsLayout::IOS6);
         fixtures::HandleMessageSpec message;
         message.text = "See you";
         message.date = 352803900;
         message.handleId = db.addHandle("+15550100");
         db.addMessage(message);
     }},
    {"NoteStore", DeviceFiles::kNoteStore, "Note store",
     [](const std::string& path) {
         fixtures::NoteStoreBuilder db(path);
         db.addNote({"Shopping", "Shopping\nMilk", db.addFolder("Notes"), 700000000, 700000000});
     }},
    {"CallHistory", DeviceFiles::kCallHistory, "Call history",
     [](const std::string& path) {
         fixtures::CallHistoryBuilder(path).addCall({"+15550100", 1330000000, 60});
     }},
};

struct DatabaseDamage {
    const char* name;
    Damage damage;
    const char* logged; // the log's fragment after the database's name, or a whole line when it starts with '!'
};

const DatabaseDamage kDatabaseDamages[] = {
    {"Garbage", garbageDb, " cannot be read (file is not a database)"},
    {"PageSize1", pageSizeDb(1), " cannot be read ("},
    {"PageSize65535", pageSizeDb(65535), " cannot be read ("},
    {"GarbageWal", garbageWalDb, "!Write-ahead log is damaged, none of it is folded in"},
    {"GarbageJournal", garbageJournalDb, "!Rollback journal is damaged, none of it is rolled back"},
    {"Fifo", fifoDb, "!Database is not a regular file, skipped"},
};

void PrintTo(const CategoryDatabase& d, std::ostream* os) {
    *os << d.name;
}

void PrintTo(const DatabaseDamage& d, std::ostream* os) {
    *os << d.name;
}

class HostileCategoryDatabase : public HostileFolder,
                                public ::testing::WithParamInterface<std::tuple<CategoryDatabase, DatabaseDamage>> {};

} // namespace

TEST_P(HostileCategoryDatabase, EndsInSecondsWithALogLineAndChangesNothing) {
    const auto& [database, damage] = GetParam();
    writeNotes(notesSqlitePath(backup));
    damage.damage(backup + "/" + BackupFiles::fileID(database.file), database.write);
    const std::string before = treeFingerprint(backup);

    std::string logged;
    for (const auto& args : {std::vector<std::string>{"scan", "--json", "--all", backup},
                             std::vector<std::string>{"export", backup, "--all", "--to", dir.file("export")}}) {
        const Finished f = run(args);
        EXPECT_FALSE(f.timedOut) << args[0] << " did not end within seconds";
        EXPECT_EQ(f.signal, 0) << args[0] << " died of signal " << f.signal << "\n" << f.err;
        EXPECT_EQ(f.status, 0) << args[0] << "\n" << f.err;
        logged += f.err;
    }
    const std::string line =
        damage.logged[0] == '!' ? std::string(damage.logged + 1) : std::string(database.what) + damage.logged;
    EXPECT_NE(logged.find(line), std::string::npos) << logged;
    EXPECT_EQ(treeFingerprint(backup), before);
    EXPECT_TRUE(entriesOf(cache + "/quarrow").empty());
    std::vector<std::string> top = entriesOf(dir.path());
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{"Backup", "cache", "export", "scratch"}));
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileCategoryDatabase,
                         ::testing::Combine(::testing::ValuesIn(kCategoryDatabases),
                                            ::testing::ValuesIn(kDatabaseDamages)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
                         });

namespace {

// A notes database of about `megabytes` MiB, so that a scan takes a moment.
void writeLargeNotes(const std::string& path, int megabytes) {
    fixtures::NotesDbBuilder db(path);
    db.begin();
    const std::string filler(8000, 'x');
    for (int pk = 1; pk <= megabytes * 128; ++pk) {
        db.addNote({pk, "Note " + std::to_string(pk), "<div>" + filler + "</div>", 352803900.0 + pk, 352803900});
    }
    for (int pk = 1; pk <= megabytes * 128; pk += 3) {
        db.deleteNote(pk);
    }
    db.commit();
}

using HostileScan = HostileFolder;

} // namespace

// Another process holds the database's exclusive lock for the whole scan.
TEST_F(HostileScan, DatabaseLockedByAnotherProcessEndsInSeconds) {
    writeNotes(notesSqlitePath(backup));
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(notesSqlitePath(backup).c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE; SELECT count(*) FROM ZNOTE;", nullptr, nullptr, nullptr),
              SQLITE_OK);
    const std::string before = treeFingerprint(backup);

    CliProcess scan({"scan", "--json", backup}, cache, scratch);
    const Finished f = scan.wait();
    sqlite3_exec(holder, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(holder);

    EXPECT_FALSE(f.timedOut);
    EXPECT_EQ(f.status, 0) << f.err;
    EXPECT_EQ(treeFingerprint(backup), before);
    EXPECT_TRUE(entriesOf(cache + "/quarrow").empty());
}

// The database shrinks while it is read: reads must fail with a log line, never with SIGBUS.
TEST_F(HostileScan, DatabaseShrinkingDuringTheScanIsLoggedNotFatal) {
    const std::string notes = notesSqlitePath(backup);
    writeLargeNotes(dir.file("large.sqlite"), 8);
    for (const int delayMs : {0, 2, 10, 40}) {
        fs::copy_file(dir.file("large.sqlite"), notes, fs::copy_options::overwrite_existing);
        CliProcess scan({"scan", "--summary", backup}, cache, scratch);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        for (const auto size : {fs::file_size(notes) / 2, std::uintmax_t{4096}, std::uintmax_t{0}}) {
            fs::resize_file(notes, size);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const Finished f = scan.wait();
        EXPECT_FALSE(f.timedOut) << delayMs;
        EXPECT_EQ(f.signal, 0) << "died of signal " << f.signal << " after " << delayMs << " ms\n" << f.err;
        EXPECT_EQ(f.status, 0) << f.err;
        EXPECT_TRUE(entriesOf(cache + "/quarrow").empty());
    }
}

// A notes database whose free pages are record-like at nearly every byte: the carver's memory
// stays within a small multiple of the file's size over what a scan of a small database takes.
TEST_F(HostileScan, CarverMemoryStaysBoundedOnRecordLikeBytes) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's shadow and quarantine are not the program's memory";
#endif
    const std::string notes = notesSqlitePath(backup);
    writeNotes(notes);
    const Finished small = CliProcess({"scan", "--summary", backup}, cache, scratch).wait();
    ASSERT_EQ(small.status, 0) << small.err;

    constexpr std::uint64_t kFileBytes = 8u << 20;
    fs::remove(notes);
    fixtures::writeRecordLikeFile(notes, kFileBytes);
    const std::string before = treeFingerprint(backup);
    const Finished crafted = CliProcess({"scan", "--summary", backup}, cache, scratch).wait();
    EXPECT_FALSE(crafted.timedOut);
    EXPECT_EQ(crafted.status, 0) << crafted.err;
    const long extraKiB = crafted.maxRssKiB - small.maxRssKiB;
    EXPECT_LT(extraKiB, static_cast<long>(4 * fs::file_size(notes) / 1024))
        << "a scan of the record-like file held " << crafted.maxRssKiB << " KiB, of a small one " << small.maxRssKiB
        << " KiB";
    EXPECT_EQ(treeFingerprint(backup), before);
}

class InterruptedScan : public HostileScan, public ::testing::WithParamInterface<int> {};

// A scan that works on a private copy is interrupted while the copy exists. SIGINT and SIGTERM
// take the copy with them; after SIGKILL the next start sweeps it away.
TEST_P(InterruptedScan, LeavesNoPrivateCopyBehind) {
    const int signal = GetParam();
    writeLargeNotes(notesSqlitePath(backup), 16);
    leaveWriteAheadLog(backup); // a log to fold in: the scan works on a private copy
    const std::string before = treeFingerprint(backup);
    const std::string work = cache + "/quarrow";

    bool caught = false;
    for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
        CliProcess scan({"scan", "--summary", backup}, cache, scratch);
        const auto deadline = Clock::now() + kWithinSeconds;
        while (entriesOf(work).empty() && Clock::now() < deadline && ::waitpid(scan.pid(), nullptr, WNOHANG) == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (entriesOf(work).empty()) {
            continue; // the scan was over before the copy could be seen: try again
        }
        scan.signal(signal);
        const Finished f = scan.wait();
        if (f.status == 0) {
            continue; // it finished before the signal arrived
        }
        caught = true;
        EXPECT_EQ(f.signal, signal) << f.err;
        if (signal == SIGKILL) {
            EXPECT_FALSE(entriesOf(work).empty()) << "nothing could have removed it";
            CliProcess next({"backups", "--root", dir.file("Backup")}, cache, scratch);
            EXPECT_EQ(next.wait().status, 0);
        }
        EXPECT_TRUE(entriesOf(work).empty());
    }
    EXPECT_TRUE(caught) << "the scan never ran long enough to be interrupted";
    EXPECT_EQ(treeFingerprint(backup), before);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedScan, ::testing::Values(SIGINT, SIGTERM, SIGKILL),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

class InterruptedEncryptedScan : public HostileScan, public ::testing::WithParamInterface<int> {};

// An encrypted backup's notes database is decrypted into the work folder, and the scan is
// interrupted while the decrypted copy exists: nothing decrypted may outlive SIGINT or SIGTERM.
TEST_P(InterruptedEncryptedScan, LeavesNoDecryptedByteBehind) {
    const int signal = GetParam();
    const std::string encrypted = dir.makeDir("Backup/00008110-001A2D3C0E91801E");
    writeLargeNotes(dir.file("notes.sqlite"), 16);
    {
        fixtures::ModernBackupBuilder b(encrypted);
        b.writePropertyLists(fixtures::ModernDevice{});
        b.addDatabase("HomeDomain", "Library/Notes/notes.sqlite", dir.file("notes.sqlite"));
        ASSERT_TRUE(b.writeManifest());
    }
    ASSERT_TRUE(fixtures::encryptBackup(encrypted));
    fs::remove(dir.file("notes.sqlite"));
    ASSERT_TRUE(fixtures::writeFile(scratch + "/password", "tortoise\n"));
    const std::string before = treeFingerprint(encrypted);
    const std::string work = cache + "/quarrow";

    bool caught = false;
    for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
        CliProcess scan({"scan", "--summary", "--password-file", scratch + "/password", encrypted}, cache, scratch);
        const auto deadline = Clock::now() + kWithinSeconds;
        while (entriesOf(work).empty() && Clock::now() < deadline && ::waitpid(scan.pid(), nullptr, WNOHANG) == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (entriesOf(work).empty()) {
            continue;
        }
        scan.signal(signal);
        const Finished f = scan.wait();
        if (f.status == 0) {
            continue; // it finished before the signal arrived
        }
        caught = true;
        EXPECT_EQ(f.signal, signal) << f.err;
        EXPECT_TRUE(entriesOf(work).empty());
    }
    EXPECT_TRUE(caught) << "the scan never ran long enough to be interrupted";
    EXPECT_EQ(treeFingerprint(encrypted), before);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedEncryptedScan, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });
