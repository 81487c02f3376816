// quarrow-cli speak: a short book spoken by the real engine into the folder asked for, the JSON it
// prints, the default folder under the user's Documents, and the statuses of its failures.

#include "DeviceDb.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quarrow;
using namespace quarrow::test;
namespace fs = std::filesystem;

namespace {

class SpeakCli : public ::testing::Test {
protected:
    struct Run {
        int status;
        std::string out;
        std::string err;
    };
    Run speak(const std::vector<std::string>& args) {
        std::string command =
            "HOME=" + shellQuoted(dir.path()) + " XDG_CONFIG_HOME=" + shellQuoted(dir.file("config")) +
            " XDG_CACHE_HOME=" + shellQuoted(dir.file("cache")) + " " + shellQuoted(QUARROW_CLI_PATH) + " speak";
        for (const auto& a : args) {
            command += " " + shellQuoted(a);
        }
        const CliResult r = runCommand(command + " 2>" + shellQuoted(dir.file("err")));
        return {r.status, r.out, fixtures::readFile(dir.file("err"))};
    }
    TempDir dir;
};

TEST_F(SpeakCli, SpeaksABookIntoTheFolderAndReportsItsFiles) {
    fixtures::writeFile(dir.file("Tale.txt"), "Three short words.");
    const Run run =
        speak({dir.file("Tale.txt"), "--to", dir.file("out"), "--voice", "Daniel", "--rate", "200", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir.file("out/Tale.aiff")));
    for (const std::string field : {"\"voice\": \"en-gb+m3\"", "\"rate\": 200", "\"outcome\": \"done\"",
                                    "\"name\": \"Tale.aiff\"", "\"part\": 1"}) {
        EXPECT_NE(run.out.find(field), std::string::npos) << field << "\n" << run.out;
    }
    EXPECT_NE(run.err.find("Wrote "), std::string::npos) << run.err;

    // Without --to: AudioBook in the Documents folder the user's desktop names; again: a free name.
    fs::create_directories(dir.file("config"));
    fixtures::writeFile(dir.file("config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    ASSERT_EQ(speak({dir.file("Tale.txt")}).status, 0);
    ASSERT_EQ(speak({dir.file("Tale.txt"), "--whole"}).status, 0);
    EXPECT_TRUE(fs::exists(dir.file("Dokumente/AudioBook/Tale.aiff")));
    EXPECT_TRUE(fs::exists(dir.file("Dokumente/AudioBook/Tale (2).aiff")));
}

struct FailureCase {
    const char* name;
    std::vector<std::string> args; // "BOOK" stands for a book with text, "EMPTY" for one without
    int status;
    const char* message;
};

class SpeakCliFailure : public SpeakCli, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SpeakCliFailure, ExitStatusAndMessage) {
    fixtures::writeFile(dir.file("Book.txt"), "Words.");
    fixtures::writeFile(dir.file("Empty.txt"), "  \n");
    std::vector<std::string> args;
    for (const std::string& a : GetParam().args) {
        args.push_back(a == "BOOK" ? dir.file("Book.txt") : a == "EMPTY" ? dir.file("Empty.txt") : a);
    }
    args.insert(args.end(), {"--to", dir.file("out")});
    const Run run = speak(args);
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir.file("out")) && !fs::is_empty(dir.file("out")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpeakCliFailure,
    ::testing::Values(FailureCase{"NoBook", {}, 2, "which book"},
                      FailureCase{"BadRate", {"BOOK", "--rate", "20"}, 2, "80 to 450"},
                      FailureCase{"BadVolume", {"BOOK", "--volume", "loud"}, 2, "0 to 200"},
                      FailureCase{"TwoModes", {"BOOK", "--per-page", "--whole"}, 2, "choose one"},
                      FailureCase{"UnknownVoice", {"BOOK", "--voice", "Nobody"}, 2, "unknown voice"},
                      FailureCase{"Japanese", {"BOOK", "--language", "Japanese (Japan)"}, 1, "kanji"},
                      FailureCase{"NoText", {"EMPTY"}, 1, "public domain content"},
                      FailureCase{"NotABook", {"/nonexistent/book.doc"}, 1, "book.doc"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
