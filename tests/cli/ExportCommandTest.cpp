#include "DeviceDb.h"
#include "support/BackupBuilder.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

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

class ExportCommand : public ::testing::Test {
protected:
    void SetUp() override {
        backup = dir.makeDir("Backup/0123456789abcdef0123456789abcdef01234567");
        writeInfoPlist(backup, typicalInfo());
        fixtures::NotesDbBuilder db(notesSqlitePath(backup));
        db.addNote({1, "Groceries", "<div>Groceries</div><div>milk</div>", 352803900, 352803900});
        db.addNote({2, "Plans", "<div>Plans</div>", 352803960, 352803960});
        db.addNote({3, "Secret", "<div>Secret</div><div>gone soon</div>", 352804020, 352804020});
        db.deleteNote(3);
    }

    // Runs quarrow-cli export with the arguments (each quoted), collecting both streams.
    CliRun exportWith(const std::vector<std::string>& args) {
        std::string command = std::string("TZ=UTC ") + shellQuoted(QUARROW_CLI_PATH) + " export";
        for (const auto& a : args) {
            command += " " + shellQuoted(a);
        }
        command += " 2>" + shellQuoted(dir.file("stderr.txt"));
        CliRun r;
        static_cast<CliResult&>(r) = runCommand(command);
        r.err = slurp(dir.file("stderr.txt")).value_or("");
        return r;
    }

    TempDir dir;
    std::string backup;
};

} // namespace

TEST_F(ExportCommand, ExportsEveryNoteIntoTheNamedFolder) {
    const std::string target = dir.file("Brindle 2012-03-05 - 14.07.33");
    const CliRun r = exportWith({backup, "--to", target});

    ASSERT_EQ(r.status, 0) << r.err;
    const auto notes = slurp(target + "/Note/Notes.txt");
    ASSERT_TRUE(notes);
    // Records keep the note bodies as stored, each closed by two blanks and two line feeds.
    EXPECT_NE(notes->find("Title:Groceries  Note:<div>Groceries</div><div>milk</div>  Date:"), std::string::npos);
    EXPECT_NE(notes->find("Title:Plans  Note:<div>Plans</div>  Date:"), std::string::npos);
    EXPECT_TRUE(notes->ends_with("  \n\n"));
    for (const char* empty : {"/Contact/Contacts.txt", "/Message/Messages.txt", "/CallHistory/Call History.txt"}) {
        EXPECT_EQ(slurp(target + empty), "") << empty;
    }
    EXPECT_TRUE(std::filesystem::is_directory(target + "/Photo&Video"));
    EXPECT_NE(r.out.find("Exporting: 100%"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("into " + target + "\n"), std::string::npos) << r.out;
}

TEST_F(ExportCommand, DeletedOnlyLeavesTheExistingNotesOut) {
    const std::string target = dir.file("deleted");
    const CliRun r = exportWith({"--deleted-only", backup, "--category", "Notes", "--to", target});

    ASSERT_EQ(r.status, 0) << r.err;
    const auto notes = slurp(target + "/Note/Notes.txt");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->find("Groceries"), std::string::npos);
    EXPECT_EQ(notes->find("Title:Plans"), std::string::npos);
    // Exactly the records the scan found deleted were ticked, and each became one record.
    int existing = -1, deleted = -1, ticked = -1;
    const auto at = r.out.find("Scanned ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const auto colon = r.out.find(": ", at);
    ASSERT_EQ(std::sscanf(r.out.c_str() + colon, ": %d existing and %d deleted records; %d ticked", &existing, &deleted,
                          &ticked),
              3)
        << r.out;
    EXPECT_EQ(deleted, ticked);
    int records = 0;
    for (auto title = notes->find("Title:"); title != std::string::npos; title = notes->find("Title:", title + 1)) {
        ++records;
    }
    EXPECT_EQ(records, ticked);
}

TEST_F(ExportCommand, OtherCategoriesLeaveNotesUnticked) {
    const std::string target = dir.file("contacts only");
    const CliRun r =
        exportWith({backup, "--category", "Contacts,CallHistory", "--category", "Photo&Video", "--to", target});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(target + "/Note/Notes.txt"), "");
}

TEST_F(ExportCommand, FolderThatCannotBeWrittenIsReportedWithStatus1) {
    // Nothing can be created under /proc, not even by root.
    const CliRun r = exportWith({backup, "--to", "/proc/quarrow-export-test"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("could not be written"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("/proc/quarrow-export-test/Note"), std::string::npos) << r.err;
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args; // "@B" stands for the backup folder, "@F" for a plain file
    const char* message;
};

class ExportUsage : public ExportCommand, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(ExportUsage, IsRefusedWithOneLineAndStatus2) {
    const std::string file = dir.file("plain.txt");
    std::ofstream(file) << "x";
    std::vector<std::string> args;
    for (const auto& a : GetParam().args) {
        args.push_back(a == "@B" ? backup : a == "@F" ? file : a);
    }
    const CliRun r = exportWith(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Args, ExportUsage,
    ::testing::Values(UsageCase{"NoBackup", {"--to", "x"}, "needs a backup folder"},
                      UsageCase{"NoTarget", {"@B"}, "needs --to"},
                      UsageCase{"TargetWithoutValue", {"@B", "--to"}, "--to needs"},
                      UsageCase{"BackupIsAFile", {"@F", "--to", "x"}, "not a folder"},
                      UsageCase{"TargetIsAFile", {"@B", "--to", "@F"}, "not a folder"},
                      UsageCase{"UnknownCategory", {"@B", "--to", "x", "--category", "Photos"}, "unknown category"},
                      UsageCase{"UnknownOption", {"@B", "--to", "x", "--fast"}, "unknown option"}),
    [](const auto& info) { return std::string(info.param.name); });
