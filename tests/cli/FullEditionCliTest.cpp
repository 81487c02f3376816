// Every category through the command line, on the bundled sample backup that has them all:
// --all chooses the full edition, the readable output lists each category, and an export of a named
// category scans it even when no edition was chosen.

#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace quarrow::test;

namespace {

const std::string kEveryCategory = "340e53821200ee8b952e724618cb2a7573b0f537";

struct CliRun : CliResult {
    std::string err;
};

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs quarrow-cli from the sample root on the every-category backup (its bare name, so that the
// output does not carry the build folder).
CliRun cli(const std::vector<std::string>& args, TempDir& dir) {
    std::string command = "cd " + shellQuoted(QUARROW_SAMPLE_ROOT) + " && TZ=UTC " + shellQuoted(QUARROW_CLI_PATH);
    for (const auto& a : args) {
        command += " " + shellQuoted(a == "@B" ? kEveryCategory : a);
    }
    CliRun r;
    static_cast<CliResult&>(r) = runCommand(command + " 2>" + shellQuoted(dir.file("stderr.txt")));
    r.err = slurp(dir.file("stderr.txt"));
    return r;
}

std::size_t filesIn(const std::filesystem::path& folder, const std::string& extension = {}) {
    std::size_t n = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        n += e.is_regular_file() && (extension.empty() || e.path().extension() == extension);
    }
    return n;
}

} // namespace

TEST(FullEditionCli, AllIsTheFullEditionAndMatchesTheCommittedOutput) {
    TempDir dir;
    const CliRun all = cli({"scan", "--json", "--all", "@B"}, dir);
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out, cli({"scan", "--json", "--edition", "full", "@B"}, dir).out);
    EXPECT_EQ(all.out, slurp(std::filesystem::path(QUARROW_SOURCE_DIR) / "tests/cli/expected" /
                             ("scan-" + kEveryCategory + "-all.json")));
    // The notes edition's output of the same backup is not touched by the option's existence.
    EXPECT_EQ(
        cli({"scan", "--json", "@B"}, dir).out,
        slurp(std::filesystem::path(QUARROW_SOURCE_DIR) / "tests/cli/expected" / ("scan-" + kEveryCategory + ".json")));
}

TEST(FullEditionCli, ReadableOutputListsEveryCategoryWithNamesFromTheContacts) {
    TempDir dir;
    const CliRun r = cli({"scan", "@B", "--all"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::size_t at = 0;
    for (const char* heading :
         {"\nPhoto&Video (3)\n", "\nContacts (7)\n", "\nMessages (12)\n", "\nNotes (4)\n", "\nCall History (8)\n"}) {
        const auto found = r.out.find(heading, at);
        ASSERT_NE(found, std::string::npos) << heading << " after " << at << "\n" << r.out;
        at = found;
    }
    EXPECT_NE(r.out.find("Daniel Okafor (+14155550142)  Are you coming"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Outgoing  Daniel Okafor (+14155550142)  5 minutes"), std::string::npos) << r.out;
    // A sender no contact knows is shown by number alone.
    EXPECT_NE(r.out.find("  72466  Your verification code"), std::string::npos) << r.out;
}

struct ExportCase {
    const char* name;
    std::vector<std::string> args;
    std::size_t vcards;  // .vcf files in Contact/
    std::size_t photos;  // files in Photo&Video/
    bool messages;       // Message/Messages.txt holds text
    const char* warning; // on standard error, or "" for none
};

class FullEditionExport : public ::testing::TestWithParam<ExportCase> {};

TEST_P(FullEditionExport, ScansWhatItExports) {
    const ExportCase& c = GetParam();
    TempDir dir;
    const std::string target = dir.file("out");
    std::vector<std::string> args = {"export", "@B", "--to", target};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun r = cli(args, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(filesIn(target + "/Contact", ".vcf"), c.vcards);
    EXPECT_EQ(filesIn(target + "/Photo&Video"), c.photos);
    EXPECT_EQ(!slurp(target + "/Message/Messages.txt").empty(), c.messages);
    if (*c.warning) {
        EXPECT_NE(r.err.find(c.warning), std::string::npos) << r.err;
    } else {
        EXPECT_EQ(r.err.find("were not scanned"), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Categories, FullEditionExport,
                         ::testing::Values(
                             // Naming a category only the full edition scans scans it.
                             ExportCase{"NamedContacts", {"--category", "Contacts"}, 7, 0, false, ""},
                             ExportCase{
                                 "NamedMessagesAndPhotos", {"--category", "Messages,Photo&Video"}, 0, 3, true, ""},
                             ExportCase{"All", {"--all"}, 7, 3, true, ""},
                             // No category named: today's notes-only export, unchanged.
                             ExportCase{"Default", {}, 0, 0, false, ""},
                             // An edition chosen by name is kept, and what it leaves out is said.
                             ExportCase{"NotesEditionNamed",
                                        {"--edition", "notes", "--category", "Contacts"},
                                        0,
                                        0,
                                        false,
                                        "Contacts were not scanned: the notes edition leaves them out (use --all)"}),
                         [](const auto& info) { return std::string(info.param.name); });
