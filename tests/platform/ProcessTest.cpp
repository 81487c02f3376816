// Helper programs get their arguments as they are, with no shell in between; how they end is
// reported truthfully; a cancel stops them.

#include "platform/Process.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using namespace quarrow;
using namespace quarrow::test;

namespace {

ProcessResult runCollecting(std::vector<std::string> args, std::vector<std::string>& lines) {
    ProcessRequest request;
    request.arguments = std::move(args);
    request.outputLine = [&lines](std::string_view line) { lines.emplace_back(line); };
    return SystemProcessRunner().run(request);
}

TEST(Process, ArgumentsReachTheProgramUnchangedAndRunNothing) {
    TempDir dir;
    const std::string marker = dir.file("ran");
    const std::vector<std::string> hostile = {"It's \"odd\" $(touch " + marker + ").aiff",
                                              "`touch " + marker + "`",
                                              "a;touch " + marker,
                                              "two\nlines",
                                              "  blanks  ",
                                              "-v",
                                              "*",
                                              ""};
    std::vector<std::string> args = {"printf", "[%s]\\n"};
    args.insert(args.end(), hostile.begin(), hostile.end());
    std::vector<std::string> lines;
    const ProcessResult result = runCollecting(args, lines);
    ASSERT_TRUE(result.succeeded()) << result.failureText();
    std::vector<std::string> expected;
    for (const std::string& h : hostile) {
        const auto nl = h.find('\n');
        if (nl == std::string::npos) {
            expected.push_back("[" + h + "]");
        } else {
            expected.push_back("[" + h.substr(0, nl));
            expected.push_back(h.substr(nl + 1) + "]");
        }
    }
    EXPECT_EQ(lines, expected);
    EXPECT_FALSE(std::filesystem::exists(marker));
}

struct Ending {
    const char* name;
    std::vector<std::string> args;
    bool started;
    int exitCode;
    int termSignal;
    const char* failurePart; // expected in failureText()
};

class ProcessEnding : public ::testing::TestWithParam<Ending> {};

TEST_P(ProcessEnding, IsReportedAsItHappened) {
    const Ending& e = GetParam();
    std::vector<std::string> lines;
    const ProcessResult result = runCollecting(e.args, lines);
    EXPECT_EQ(result.started, e.started);
    EXPECT_FALSE(result.succeeded());
    if (e.started) {
        EXPECT_EQ(result.exitCode, e.exitCode);
        EXPECT_EQ(result.termSignal, e.termSignal);
    }
    EXPECT_NE(result.failureText().find(e.failurePart), std::string::npos) << result.failureText();
}

INSTANTIATE_TEST_SUITE_P(
    Endings, ProcessEnding,
    ::testing::Values(Ending{"ExitStatus",
                             {"sh", "-c", "echo first >&2; echo 'last words' >&2; exit 3"},
                             true,
                             3,
                             0,
                             "status 3: last words"},
                      Ending{"Signal", {"sh", "-c", "kill -9 $$"}, true, -1, 9, "signal 9"},
                      Ending{"Missing", {"quarrow-no-such-program"}, false, -1, 0, "could not be started"}),
    [](const auto& info) { return info.param.name; });

TEST(Process, CancelStopsTheProgramQuickly) {
    ProcessRequest request;
    request.arguments = {"sleep", "30"};
    const auto start = std::chrono::steady_clock::now();
    request.cancelled = [start] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(150); };
    const ProcessResult result = SystemProcessRunner().run(request);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.succeeded());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(Process, LongErrorOutputKeepsItsEnd) {
    std::vector<std::string> lines;
    const ProcessResult result =
        runCollecting({"sh", "-c",
                       "head -c 300000 /dev/zero | tr '\\0' 'x'; echo >&2; "
                       "head -c 300000 /dev/zero | tr '\\0' 'y' >&2; echo >&2; echo final >&2; exit 1"},
                      lines);
    EXPECT_LE(result.errorOutput.size(), 64u * 1024);
    EXPECT_NE(result.failureText().find("final"), std::string::npos);
    ASSERT_EQ(lines.size(), 1u); // the unterminated last line of standard output is delivered too
    EXPECT_EQ(lines[0].size(), 300000u);
}

} // namespace
