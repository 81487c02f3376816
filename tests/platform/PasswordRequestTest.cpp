// The backup password: where it comes from, that it is cleared, and that it never reaches the log.

#include "platform/PasswordRequest.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

#include "DeviceDb.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;

TEST(Secret, HoldsItsBytesThroughMovesAndCopiesOnlyWhenAsked) {
    Secret s(std::string_view("hunter2"));
    EXPECT_EQ(s.view(), "hunter2");
    Secret copy = s.copy();
    Secret moved = std::move(s);
    EXPECT_TRUE(s.empty()); // NOLINT(bugprone-use-after-move): a moved-from secret holds nothing
    EXPECT_EQ(moved.view(), "hunter2");
    moved.shrink(4);
    EXPECT_EQ(moved.view(), "hunt");
    moved.shrink(9);
    EXPECT_EQ(moved.view(), "hunt");
    moved.clear();
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(copy.view(), "hunter2");
    EXPECT_EQ(Secret(3).view(), std::string_view("\0\0\0", 3));
}

struct PasswordLineCase {
    const char* name;
    std::string fileBytes;
    std::optional<std::string> password;
};

class PasswordLine : public testing::TestWithParam<PasswordLineCase> {};

TEST_P(PasswordLine, IsTheFirstLineWithoutItsEnd) {
    TempDir dir;
    const std::string path = dir.file("password");
    ASSERT_TRUE(fixtures::writeFile(path, GetParam().fileBytes));
    MemoryLogSink log;
    const ScopedLogSink scoped(log);
    const std::optional<Secret> got = readPasswordLine(path);
    ASSERT_EQ(got.has_value(), GetParam().password.has_value());
    if (got) {
        EXPECT_EQ(got->view(), *GetParam().password);
    } else {
        EXPECT_TRUE(log.contains("Password file"));
    }
    // Whatever the file holds, none of it is logged.
    for (const std::string& line : log.lines()) {
        EXPECT_EQ(line.find("correct horse"), std::string::npos) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PasswordLine,
    testing::Values(PasswordLineCase{"LineAndMore", "correct horse\nsecond line\n", "correct horse"},
                    PasswordLineCase{"NoLineEnd", "correct horse", "correct horse"},
                    PasswordLineCase{"WindowsLineEnd", "correct horse\r\n", "correct horse"},
                    PasswordLineCase{"BlanksKept", " correct horse \n", " correct horse "},
                    PasswordLineCase{"Empty", "", std::nullopt},
                    PasswordLineCase{"EmptyFirstLine", "\ncorrect horse\n", std::nullopt},
                    PasswordLineCase{"LongestPassword", std::string(4096, 'p') + "\n", std::string(4096, 'p')},
                    PasswordLineCase{"LongerThanAnyPassword", "correct horse" + std::string(4096, 'p'), std::nullopt}),
    [](const testing::TestParamInfo<PasswordLineCase>& info) { return std::string(info.param.name); });

TEST(PasswordFile, MissingFileGivesNoPassword) {
    TempDir dir;
    MemoryLogSink log;
    const ScopedLogSink scoped(log);
    EXPECT_FALSE(readPasswordLine(dir.file("absent")));
    EXPECT_TRUE(log.contains("Password file cannot be opened"));
}

TEST(PasswordFile, StandardInputGivesItsFirstLineAndLeavesTheRest) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const std::string input = "correct horse\nnext\n";
    ASSERT_EQ(::write(pipeFds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    ::close(pipeFds[1]);
    const int savedStdin = ::dup(STDIN_FILENO);
    ::dup2(pipeFds[0], STDIN_FILENO);
    ::close(pipeFds[0]);
    const std::optional<Secret> got = readPasswordLine("-");
    char rest[16] = {};
    const ssize_t n = ::read(STDIN_FILENO, rest, sizeof rest);
    ::dup2(savedStdin, STDIN_FILENO);
    ::close(savedStdin);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->view(), "correct horse");
    EXPECT_EQ(std::string(rest, n > 0 ? static_cast<std::size_t>(n) : 0), "next\n");
}

TEST(PasswordFile, IsAnsweredOnceAndNotAgainAfterAWrongPassword) {
    TempDir dir;
    ASSERT_TRUE(fixtures::writeFile(dir.file("password"), "correct horse\n"));
    FilePasswordRequest request(dir.file("password"));
    const auto first = request.requestPassword({"Mia's iPhone", dir.path(), false});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->view(), "correct horse");
    EXPECT_FALSE(request.requestPassword({"Mia's iPhone", dir.path(), true}));
}

TEST(PasswordRequests, ScriptedAnswersInOrderAndTheDefaultAnswersNothing) {
    ScriptedPasswordRequest scripted;
    scripted.answerNext("wrong");
    scripted.answerNext(std::nullopt);
    scripted.answerNext("right");
    EXPECT_EQ(scripted.requestPassword({"A", "/a", false})->view(), "wrong");
    EXPECT_FALSE(scripted.requestPassword({"A", "/a", true}));
    EXPECT_EQ(scripted.requestPassword({"A", "/a", true})->view(), "right");
    EXPECT_FALSE(scripted.requestPassword({"A", "/a", true})); // the script has run out
    ASSERT_EQ(scripted.prompts().size(), 4u);
    EXPECT_FALSE(scripted.prompts()[0].afterWrongPassword);
    EXPECT_TRUE(scripted.prompts()[1].afterWrongPassword);

    EXPECT_FALSE(Platform::current().passwords().requestPassword({"A", "/a", false}));
    Platform::current().setPasswords(&scripted);
    EXPECT_EQ(&Platform::current().passwords(), &scripted);
    Platform::current().setPasswords(nullptr);
    EXPECT_NE(&Platform::current().passwords(), &scripted);
}
