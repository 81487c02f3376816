// quarrow-cli audiobook: a book spoken and joined into one checked audiobook file, the spoken files
// never left behind, and the statuses of its failures.

#include "BookFixtures.h"
#include "DeviceDb.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quarrow;
using namespace quarrow::test;
namespace fs = std::filesystem;

namespace {

class AudiobookCli : public ::testing::Test {
protected:
    struct Run {
        int status;
        std::string out;
        std::string err;
    };
    Run audiobook(const std::vector<std::string>& args) {
        std::string command = "HOME=" + shellQuoted(dir.path()) + " XDG_CACHE_HOME=" + shellQuoted(dir.file("cache")) +
                              " " + shellQuoted(QUARROW_CLI_PATH) + " audiobook";
        for (const auto& a : args) {
            command += " " + shellQuoted(a);
        }
        const CliResult r = runCommand(command + " 2>" + shellQuoted(dir.file("err")));
        return {r.status, r.out, fixtures::readFile(dir.file("err"))};
    }
    std::vector<std::string> namesIn(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    TempDir dir;
};

TEST_F(AudiobookCli, AnEpubBecomesOneM4bWithItsChaptersAndNoSpokenFilesStay) {
    fixtures::writeZip(dir.file("Contes.epub"), fixtures::epubFiles(fixtures::threeChapterBook()));
    const Run run = audiobook({dir.file("Contes.epub"), "--to", dir.file("out"), "--rate", "450", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(namesIn(dir.file("out")), std::vector<std::string>{"Contes.m4b"});
    for (const std::string field : {"\"format\": \"M4B\"", "\"outcome\": \"done\"", "\"error\": null",
                                    "\"chapters\": [\"Premi\xC3\xA8re partie\", \"Deuxi\xC3\xA8me partie\", "
                                    "\"\xC3\x89pilogue\"]"}) {
        EXPECT_NE(run.out.find(field), std::string::npos) << field << "\n" << run.out;
    }
    // The private work folders are gone (the unpacked book's and the spoken files').
    if (fs::exists(dir.file("cache/quarrow"))) {
        EXPECT_TRUE(namesIn(dir.file("cache/quarrow")).empty());
    }
}

TEST_F(AudiobookCli, Mp3OnRequestAndUsageErrors) {
    fixtures::writeFile(dir.file("Tale.txt"), "Three short words.");
    const Run mp3 = audiobook({dir.file("Tale.txt"), "--to", dir.file("out"), "--mp3", "--rate", "450"});
    ASSERT_EQ(mp3.status, 0) << mp3.err;
    EXPECT_EQ(fixtures::readFile(dir.file("out/Tale.mp3")).substr(0, 3), "ID3");
    EXPECT_NE(mp3.err.find("Wrote "), std::string::npos) << mp3.err;

    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{dir.file("Tale.txt")}, 2},                                          // no --to
        {{dir.file("Tale.txt"), "--to", dir.file("o"), "--m4b", "--mp3"}, 2}, // two formats
        {{dir.file("Tale.txt"), "--to", dir.file("o"), "--rate", "9"}, 2},    // a speech option's check
        {{dir.file("Missing.txt"), "--to", dir.file("o")}, 1},                // no book
    };
    for (const auto& [args, status] : cases) {
        const Run r = audiobook(args);
        EXPECT_EQ(r.status, status) << r.err;
        EXPECT_NE(r.err.find("quarrow-cli: audiobook: "), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir.file("o")));
}

} // namespace
