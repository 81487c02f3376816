#include "DeviceDb.h"
#include "support/BackupBuilder.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// Runs quarrow-cli with the arguments (shell-quoted by the caller), standard error discarded.
CliResult cli(const std::string& arguments) {
    return runCommand(std::string("TZ=UTC ") + shellQuoted(QUARROW_CLI_PATH) + " " + arguments + " 2>/dev/null");
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.makeDir("Backup");
        backup = dir.makeDir("Backup/0123456789abcdef0123456789abcdef01234567");
        auto info = typicalInfo("Zoë's \"iPhone\"");
        writeInfoPlist(backup, info);
        setModificationTime(backup + "/Info.plist", 1367403630);
        fixtures::NotesDbBuilder db(notesSqlitePath(backup));
        db.addNote({1, "Groceries", "<div>Groceries</div><div>Äpfel</div>", 352803900, 352803900});
        db.addNote({2, "日本", "<div>日本</div>", 352803960, 352803960});
    }
    TempDir dir;
    std::string root, backup;
};

} // namespace

TEST_F(Cli, ListsBackupsAsJson) {
    const auto r = cli("backups --json --root " + shellQuoted(root));
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"backupRoot\": \"" + root + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"strDeviceName\": \"Zoë's \\\"iPhone\\\"\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"strDeviceType\": \"Iphone 4S\""), std::string::npos);
    EXPECT_NE(r.out.find("\"strDeviceBackUpTime\": \"2013-05-01 10:20\""), std::string::npos);
    EXPECT_NE(r.out.find("\"deviceImage\": \"iphone\""), std::string::npos);
    EXPECT_NE(r.out.find("\"backUpFilePath\": \"" + backup + "\""), std::string::npos);
}

TEST_F(Cli, AbsentTextsAreNull) {
    const auto bare = dir.makeDir("Backup/bare");
    writeInfoPlist(bare, {{"Device Name", "Bare"}});
    fixtures::writeFile(bare + "/x", "x");
    const auto r = cli("backups --json --root " + shellQuoted(root));
    EXPECT_NE(r.out.find("\"strDeviceSerial\": null"), std::string::npos) << r.out;
}

TEST_F(Cli, ScansNotesAsJson) {
    const auto r = cli("scan --json " + shellQuoted(backup));
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"progress\": [70"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"BackUpFilesNum\": 2"), std::string::npos);
    const auto first = r.out.find("\"noteTitle\": \"Groceries\"");
    const auto second = r.out.find("\"noteTitle\": \"日本\"");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_NE(r.out.find("\"noteDate\": \"03-07-2012 09:05\", \"uid\": -1, \"bDeleted\": false"), std::string::npos);
}

TEST_F(Cli, SummaryAndReadableOutput) {
    const auto summary = cli("scan --summary " + shellQuoted(backup));
    ASSERT_EQ(summary.status, 0);
    EXPECT_EQ(summary.out.find("\"Notes\""), std::string::npos);
    EXPECT_NE(summary.out.find("\"BackUpFilesNum\": 2"), std::string::npos);
    const auto people = cli("scan " + shellQuoted(backup));
    ASSERT_EQ(people.status, 0);
    EXPECT_NE(people.out.find("Groceries"), std::string::npos);
    EXPECT_NE(people.out.find("   | Äpfel"), std::string::npos) << people.out;
}

TEST_F(Cli, LeavesTheBackupUntouched) {
    const auto before = folderFingerprint(backup);
    ASSERT_EQ(cli("scan --summary " + shellQuoted(backup)).status, 0);
    EXPECT_EQ(folderFingerprint(backup), before);
}

TEST_F(Cli, BadUsageExitsWithTwo) {
    EXPECT_EQ(cli("").status, 2);
    EXPECT_EQ(cli("frobnicate").status, 2);
    EXPECT_EQ(cli("scan").status, 2);
    EXPECT_EQ(cli("scan " + shellQuoted(dir.file("missing"))).status, 2);
    fixtures::writeFile(dir.file("file"), "x");
    EXPECT_EQ(cli("scan " + shellQuoted(dir.file("file"))).status, 2);
    EXPECT_EQ(cli("backups --root").status, 2);
    EXPECT_EQ(cli("--help").status, 0);
}

TEST_F(Cli, DamagedOrEmptyFoldersScanLikeAnyOther) {
    const auto empty = dir.makeDir("empty");
    auto r = cli("scan --json " + shellQuoted(empty));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"progress\": []"), std::string::npos) << r.out;
    fixtures::writeFile(notesSqlitePath(empty), "garbage, not a database at all........................");
    r = cli("scan --json " + shellQuoted(empty));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"Notes\": []"), std::string::npos) << r.out;
}
