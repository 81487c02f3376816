#include "DeviceDb.h"
#include "EncryptedBackup.h"
#include "ModernBackup.h"
#include "PhoneDbs.h"
#include "cli/CommandHelp.h"
#include "cli/ScanProgress.h"
#include "platform/TextEscapes.h"
#include "support/BackupBuilder.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

using namespace quarrow;
using namespace quarrow::test;

namespace {

struct CliRun : CliResult {
    std::string err;
};

std::optional<std::string> slurp(const std::string& path) {
    if (!std::filesystem::is_regular_file(path)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A backup of three notes, the third deleted, on a device whose name needs escaping.
class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.makeDir("Backup");
        backup = dir.makeDir("Backup/0123456789abcdef0123456789abcdef01234567");
        writeInfoPlist(backup, typicalInfo("Zoë's \"iPhone\""));
        setModificationTime(backup + "/Info.plist", 1367403630);
        fixtures::NotesDbBuilder db(notesSqlitePath(backup));
        db.addNote({1, "Groceries", "<div>Groceries</div><div>Äpfel</div>", 352803900, 352803900});
        db.addNote({2, "日本", "<div>日本</div>", 352803960, 352803960});
        db.addNote({3, "Secret", "<div>Secret</div><div>gone soon</div>", 352804020, 352804020});
        db.deleteNote(3);
    }

    // Runs quarrow-cli with the arguments ("@B" stands for the backup folder, "@F" for a plain
    // file), collecting both streams.
    CliRun cli(const std::vector<std::string>& args) {
        const std::string file = dir.file("plain.txt");
        std::ofstream(file) << "x";
        std::string command = "TZ=UTC " + shellQuoted(QUARROW_CLI_PATH);
        for (const auto& a : args) {
            command += " " + shellQuoted(a == "@B" ? backup : a == "@F" ? file : a);
        }
        CliRun r;
        static_cast<CliResult&>(r) = runCommand(command + " 2>" + shellQuoted(dir.file("stderr.txt")));
        r.err = slurp(dir.file("stderr.txt")).value_or("");
        return r;
    }

    TempDir dir;
    std::string root, backup;
};

TEST_F(Cli, ListsBackupsAsJson) {
    const auto bare = dir.makeDir("Backup/bare");
    writeInfoPlist(bare, {{"Device Name", "Bare"}});
    fixtures::writeFile(bare + "/x", "x");
    const auto r = cli({"backups", "--json", "--root", root});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string& field :
         {"\"backupRoot\": \"" + root + "\"", std::string(R"("strDeviceName": "Zoë's \"iPhone\"")"),
          std::string(R"("strDeviceType": "Iphone 4S")"), std::string(R"("strDeviceBackUpTime": "2013-05-01 10:20")"),
          "\"backUpFilePath\": \"" + backup + "\"", std::string(R"("strDeviceSerial": null)"),
          std::string(R"("bEncrypted": false)")}) {
        EXPECT_NE(r.out.find(field), std::string::npos) << field << "\n" << r.out;
    }
}

TEST_F(Cli, ScansNotesAsJsonInListOrderAndLeavesTheBackupUntouched) {
    const auto before = folderFingerprint(backup);
    const auto r = cli({"scan", "--json", "@B"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"progress\": [70"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"BackUpFilesNum\": 2"), std::string::npos);
    const auto first = r.out.find("\"noteTitle\": \"Groceries\"");
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(first, r.out.find("\"noteTitle\": \"日本\""));
    EXPECT_NE(r.out.find("\"noteDate\": \"03-07-2012 09:05\", \"uid\": -1, \"bDeleted\": false"), std::string::npos);
    ASSERT_EQ(cli({"export", "@B", "--to", dir.file("out")}).status, 0);
    EXPECT_EQ(folderFingerprint(backup), before);
}

// The full edition runs every scanner the program has, in progress order, and lists each category
// that was scanned under its list name; the notes are the same either way.
TEST_F(Cli, TheFullEditionListsEveryScannedCategory) {
    const auto notes = cli({"scan", "--json", "@B"});
    const auto full = cli({"scan", "--json", "--edition", "full", "@B"});
    ASSERT_EQ(full.status, 0) << full.err;
    // A list runs from its name to the line that closes it.
    const auto notesList = [](const std::string& out) {
        const auto start = out.find("\"Notes\": [");
        return start == std::string::npos ? std::string() : out.substr(start, out.find("\n]", start) - start);
    };
    EXPECT_FALSE(notesList(notes.out).empty()) << notes.out;
    EXPECT_EQ(notesList(full.out), notesList(notes.out));
    const auto progress = full.out.substr(0, full.out.find(']'));
    EXPECT_NE(progress.find("70, 96"), std::string::npos) << progress;
}

TEST_F(Cli, ExportsEveryNoteIntoTheNamedFolder) {
    const std::string target = dir.file("Brindle 2012-03-05 - 14.07.33");
    const CliRun r = cli({"export", "@B", "--to", target});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto notes = slurp(target + "/Note/Notes.txt");
    ASSERT_TRUE(notes);
    EXPECT_NE(notes->find("Title:Groceries  Note:<div>Groceries</div><div>Äpfel</div>  Date:"), std::string::npos);
    EXPECT_NE(notes->find("Title:日本  Note:<div>日本</div>  Date:"), std::string::npos);
    EXPECT_EQ(slurp(target + "/CallHistory/Call History.txt"), "");
    EXPECT_TRUE(std::filesystem::is_directory(target + "/Photo&Video"));
    EXPECT_NE(r.out.find("Exporting: 100%"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("into " + target + "\n"), std::string::npos) << r.out;
}

TEST_F(Cli, DeletedOnlyExportsExactlyTheDeletedRecords) {
    const std::string target = dir.file("deleted");
    const CliRun r = cli({"export", "--deleted-only", "@B", "--category", "Notes", "--to", target});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto notes = slurp(target + "/Note/Notes.txt");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->find("Groceries"), std::string::npos);
    EXPECT_EQ(notes->find("Title:日本"), std::string::npos);
    int existing = -1, deleted = -1, ticked = -1;
    const auto at = r.out.find("Scanned ");
    ASSERT_NE(at, std::string::npos) << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + r.out.find(": ", at), ": %d existing and %d deleted records; %d ticked",
                          &existing, &deleted, &ticked),
              3)
        << r.out;
    EXPECT_EQ(deleted, ticked);
    int records = 0;
    for (auto title = notes->find("Title:"); title != std::string::npos; title = notes->find("Title:", title + 1)) {
        ++records;
    }
    EXPECT_EQ(records, ticked);
}

TEST_F(Cli, FolderThatCannotBeWrittenIsReportedWithStatus1) {
    // Nothing can be created under /proc, not even by root.
    const CliRun r = cli({"export", "@B", "--to", "/proc/quarrow-export-test"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("could not be written"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("/proc/quarrow-export-test/Note"), std::string::npos) << r.err;
}

// An encrypted backup is listed as such, and read with its password. Without one, with a wrong one,
// or with a key bag that cannot be used, a scan or an export says so in one line, with status 3:
// never an empty result that looks like a backup without notes.
TEST_F(Cli, EncryptedBackupsAreReadWithTheirPasswordAndRefusedWithStatus3Without) {
    const std::string encrypted = dir.makeDir("Backup/00008120-0019644E3A78C01E");
    {
        fixtures::NotesDbBuilder db(dir.file("notes.sqlite"));
        db.addNote({1, "Locker", "<div>Locker</div><div>code 2468</div>", 352803900, 352803900});
    }
    fixtures::ModernBackupBuilder builder(encrypted);
    fixtures::ModernDevice device;
    device.encrypted = true;
    builder.writePropertyLists(device);
    builder.addDatabase("HomeDomain", "Library/Notes/notes.sqlite", dir.file("notes.sqlite"));
    ASSERT_TRUE(builder.writeManifest());
    const std::string withStandIn = fixtures::readFile(encrypted + "/Manifest.plist"); // a key bag of 12 bytes
    ASSERT_TRUE(fixtures::encryptBackup(encrypted));
    fixtures::writeFile(dir.file("right"), "tortoise\n");
    fixtures::writeFile(dir.file("wrong"), "hare\n");

    const auto listed = cli({"backups", "--json", "--root", root});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const auto at = listed.out.find("\"backUpFilePath\": \"" + encrypted + "\"");
    ASSERT_NE(at, std::string::npos) << listed.out;
    const std::string entry = listed.out.substr(at, listed.out.find('\n', at) - at);
    EXPECT_NE(entry.find("\"bEncrypted\": true"), std::string::npos) << entry;

    const auto read = cli({"scan", "--json", "--password-file", dir.file("right"), encrypted});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_NE(read.out.find("code 2468"), std::string::npos) << read.out;
    EXPECT_EQ(read.err.find("Unlocking\u2026\n"), 0u) << read.err;
    EXPECT_EQ(read.err.find("tortoise"), std::string::npos) << read.err;
    const auto piped = runCommand("printf 'tortoise\\n' | " + shellQuoted(QUARROW_CLI_PATH) +
                                  " scan --summary --password-file - " + shellQuoted(encrypted) + " 2>/dev/null");
    EXPECT_EQ(piped.status, 0);
    EXPECT_NE(piped.out.find("\"BackUpFilesNum\": 1"), std::string::npos) << piped.out;

    const std::string prefix = "quarrow-cli: " + encrypted + ": ";
    const std::string noPassword =
        prefix +
        "This backup is encrypted: its password is needed to read it. Give it with --password-file FILE (- for "
        "standard input).\n";
    const std::string wrong = "Unlocking\u2026\n" + prefix + "The password is wrong for this backup.\n";
    for (const auto& [args, err] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"scan", "--json", encrypted}, noPassword},
             {{"export", encrypted, "--to", dir.file("out")}, noPassword},
             {{"scan", "--json", "--password-file", dir.file("wrong"), encrypted}, wrong},
             {{"export", encrypted, "--password-file", dir.file("wrong"), "--to", dir.file("out")}, wrong}}) {
        const auto r = cli(args);
        EXPECT_EQ(r.status, 3) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_EQ(r.err, err);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("out")));

    fixtures::writeFile(encrypted + "/Manifest.plist", withStandIn);
    const auto damaged = cli({"scan", "--json", "--password-file", dir.file("right"), encrypted});
    EXPECT_EQ(damaged.status, 3);
    // The log line before it says what is damaged; the last line is the verdict.
    const std::string verdict = prefix + "This backup is encrypted, and what unlocks it is damaged.\n";
    EXPECT_TRUE(damaged.err.ends_with("\n" + verdict) || damaged.err == verdict) << damaged.err;
    EXPECT_EQ(cli({"scan", "--password-file"}).status, 2);
}

// Photos of today's layout are exported as whole copies of what the backup stores; those of an
// encrypted backup, opened with its password, are listed under the device's names and sizes and
// exported decrypted, never as ciphertext.
TEST_F(Cli, ExportsThePhotosOfTodaysLayoutWholeAndThoseOfEncryptedBackupsDecrypted) {
    const std::string picture = fixtures::jpegLikeBytes(120000, 7);
    for (const bool encrypt : {false, true}) {
        const std::string folder = dir.makeDir(encrypt ? "locked" : "plain");
        fixtures::ModernBackupBuilder builder(folder);
        builder.writePropertyLists(fixtures::ModernDevice{});
        const std::string stored = builder.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", picture);
        ASSERT_TRUE(builder.writeManifest());
        ASSERT_TRUE(!encrypt || fixtures::encryptBackup(folder));
        fixtures::writeFile(dir.file("password"), "tortoise\n");
        const std::string name = encrypt ? "IMG_0001.JPG" : std::filesystem::path(stored).filename().string();

        const auto scanned = cli({"scan", "--json", "--all", "--password-file", dir.file("password"), folder});
        ASSERT_EQ(scanned.status, 0) << scanned.err;
        EXPECT_NE(scanned.out.find("\"fileNodeName\": \"" + name +
                                   "\", \"fileNodeSize\": \"120.00K\", \"filePath\": \"" + stored + "\""),
                  std::string::npos)
            << scanned.out;

        const std::string out = dir.file(encrypt ? "out-locked" : "out-plain");
        const auto r =
            cli({"export", folder, "--password-file", dir.file("password"), "--category", "Photo&Video", "--to", out});
        ASSERT_EQ(r.status, 0) << r.err;
        std::set<std::string> written;
        for (const auto& entry : std::filesystem::directory_iterator(out + "/Photo&Video")) {
            written.insert(entry.path().filename().string());
        }
        EXPECT_EQ(written, std::set<std::string>{name});
        EXPECT_EQ(slurp(out + "/Photo&Video/" + name), picture);
    }
}

TEST_F(Cli, DamagedOrEmptyFoldersScanLikeAnyOther) {
    const auto empty = dir.makeDir("empty");
    EXPECT_NE(cli({"scan", "--json", empty}).out.find("\"progress\": []"), std::string::npos);
    fixtures::writeFile(notesSqlitePath(empty), "garbage, not a database at all........................");
    const auto r = cli({"scan", "--json", empty});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"Notes\": []"), std::string::npos) << r.out;
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* message;
};

class BadUsage : public Cli, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(BadUsage, ExitsWithTwoAndWritesNothingToStandardOutput) {
    const CliRun r = cli(GetParam().args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Args, BadUsage,
    ::testing::Values(
        UsageCase{"NoCommand", {}, ""}, UsageCase{"UnknownCommand", {"frobnicate"}, ""},
        UsageCase{"ScanWithoutFolder", {"scan"}, ""},
        UsageCase{"ScanMissingFolder", {"scan", "/nonexistent/quarrow"}, ""},
        UsageCase{"ScanAFile", {"scan", "@F"}, ""}, UsageCase{"RootWithoutValue", {"backups", "--root"}, ""},
        UsageCase{"ExportNoBackup", {"export", "--to", "x"}, "needs a backup folder"},
        UsageCase{"ExportNoTarget", {"export", "@B"}, "needs --to"},
        UsageCase{"ExportTargetWithoutValue", {"export", "@B", "--to"}, "--to needs"},
        UsageCase{"ExportBackupIsAFile", {"export", "@F", "--to", "x"}, "not a folder"},
        UsageCase{"ExportTargetIsAFile", {"export", "@B", "--to", "@F"}, "not a folder"},
        UsageCase{"ExportUnknownCategory", {"export", "@B", "--to", "x", "--category", "Photos"}, "unknown category"},
        UsageCase{"ExportUnknownOption", {"export", "@B", "--to", "x", "--fast"}, "unknown option"},
        UsageCase{"ScanUnknownEdition", {"scan", "@B", "--edition", "lite"}, "--edition needs notes or full"},
        UsageCase{"ExportEditionWithoutValue", {"export", "@B", "--to", "x", "--edition"}, "--edition needs"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

namespace {

// A backup whose folder name is not UTF-8 and whose device name and note title carry escape codes.
TEST_F(Cli, HostileNamesAreEscapedOnTerminalsAndPathsComeBackWhole) {
    const std::string odd = dir.makeDir("Backup/caf\xe9\x1b[2J");
    writeInfoPlist(odd, typicalInfo("\x1b]0;owned\x07Phone"));
    fixtures::NotesDbBuilder db(notesSqlitePath(odd));
    db.addNote({1, "Title\x1b[31m", "<div>body\x1b[2J</div>", 352803900, 352803900});

    for (const auto& args : {std::vector<std::string>{"backups", "--root", root}, std::vector<std::string>{"scan", odd},
                             std::vector<std::string>{"scan", "/nowhere\x1b[2J"}}) {
        const CliRun r = cli(args);
        EXPECT_EQ((r.out + r.err).find('\x1b'), std::string::npos) << r.out << r.err;
    }
    EXPECT_NE(cli({"backups", "--root", root}).out.find("\\x1b]0;owned\\x07Phone"), std::string::npos);

    const CliRun listed = cli({"backups", "--json", "--root", root});
    const auto at = listed.out.find("\"backUpFilePath\": \"file://");
    ASSERT_NE(at, std::string::npos) << listed.out;
    const auto start = listed.out.find("file://", at);
    const std::string uri = listed.out.substr(start, listed.out.find('"', start) - start);
    EXPECT_EQ(pathOfFileUri(uri), odd);

    const CliRun scanned = cli({"scan", "--json", uri});
    ASSERT_EQ(scanned.status, 0) << scanned.err;
    EXPECT_NE(scanned.out.find("{\"backup\": \"" + uri + "\""), std::string::npos) << scanned.out;
    EXPECT_NE(scanned.out.find("\"noteTitle\": \"Title\\u001b[31m\""), std::string::npos) << scanned.out;
}

} // namespace

namespace {

TEST_F(Cli, VersionAndHelpOfEachCommandComeFromTheCommandTable) {
    const CliRun version = cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quarrow-cli " QUARROW_VERSION_TEXT "\n");
    for (const auto& command : quarrow::cli::commandHelp()) {
        const CliRun help = cli({"help", std::string(command.name)});
        EXPECT_EQ(help.status, 0) << command.name;
        EXPECT_EQ(help.out, quarrow::cli::commandText(command));
        for (const auto& option : command.options) {
            EXPECT_NE(help.out.find(std::string(option.flag)), std::string::npos) << option.flag;
        }
        if (command.name != "help") {
            EXPECT_EQ(cli({std::string(command.name), "--help"}).out, help.out);
        }
    }
    const CliRun unknown = cli({"help", "frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.out.empty());
}

TEST_F(Cli, ProgressGoesToStandardErrorAsPercentagesWhenItIsNoTerminal) {
    const CliRun r = cli({"scan", "--progress", "--summary", "@B"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("\r"), std::string::npos);
    std::vector<int> shown;
    for (std::size_t at = 0; (at = r.err.find('%', at)) != std::string::npos; ++at) {
        const auto start = r.err.rfind('\n', at);
        shown.push_back(std::atoi(r.err.c_str() + (start == std::string::npos ? 0 : start + 1)));
    }
    EXPECT_EQ(shown, (std::vector<int>{70, 96, 100})) << r.err;
    EXPECT_EQ(r.out.rfind("{\"backup\": ", 0), 0u) << r.out;
}

TEST(ScanProgress, DrawsABarInPlaceOnATerminal) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = ::open_memstream(&buffer, &size);
    ASSERT_NE(out, nullptr);
    {
        quarrow::cli::ScanProgress bar(out, true);
        bar.show(70);
        bar.show(70);
        bar.show(50); // progress never goes back
        bar.finish();
    }
    std::fclose(out);
    const std::string drawn(buffer, size);
    std::free(buffer);
    const std::string seventy = "\rScanning [" + std::string(28, '#') + std::string(12, '-') + "]  70%\x1b[K";
    const std::string done = "\rScanning [" + std::string(40, '#') + "] 100%\x1b[K\n";
    EXPECT_EQ(drawn, seventy + done);
}

} // namespace
