// Reading a file's first bytes inside a folder: only a regular file is read, never through a link,
// and nothing that could block (a FIFO) is waited on.

#include "platform/FileReads.h"

#include "platform/UniqueFd.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;

namespace {

struct LeadingCase {
    const char* name;
    std::size_t size;
    std::optional<std::string> expected;
    int error; // errno when nothing is answered
};

class LeadingBytes : public ::testing::TestWithParam<LeadingCase> {
protected:
    void SetUp() override {
        std::ofstream(dir.file("long"), std::ios::binary) << std::string("SQLite format 3\0rest", 20);
        std::ofstream(dir.file("short"), std::ios::binary) << "bplist";
        std::ofstream(dir.file("empty"), std::ios::binary);
        ASSERT_EQ(::symlink(dir.file("long").c_str(), dir.file("link").c_str()), 0);
        ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
        dir.makeDir("folder");
    }
    TempDir dir;
};

} // namespace

// A FIFO with no writer would block a plain open for ever; here it must be refused at once.
TEST_P(LeadingBytes, ReadsRegularFilesAlone) {
    const UniqueFd folder(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(folder);
    errno = 0;
    const auto bytes = leadingBytesAt(folder.get(), GetParam().name, GetParam().size);
    EXPECT_EQ(bytes, GetParam().expected);
    if (!GetParam().expected) {
        EXPECT_EQ(errno, GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, LeadingBytes,
                         ::testing::Values(LeadingCase{"long", 16, std::string("SQLite format 3\0", 16), 0},
                                           LeadingCase{"short", 16, std::string("bplist"), 0},
                                           LeadingCase{"empty", 16, std::string(), 0},
                                           LeadingCase{"link", 16, std::nullopt, ELOOP},
                                           LeadingCase{"fifo", 16, std::nullopt, EINVAL},
                                           LeadingCase{"folder", 16, std::nullopt, EINVAL},
                                           LeadingCase{"missing", 16, std::nullopt, ENOENT}),
                         [](const auto& info) { return std::string(info.param.name); });

// A read past the middle answers what lies between its offset and the end; one that cannot be made
// at an offset at all (a pipe) is answered as a failure, not as an empty file.
TEST(ReadAllAt, AnswersTheBytesToTheEndOrTheFailure) {
    TempDir dir;
    std::ofstream(dir.file("f"), std::ios::binary) << "0123456789";
    const UniqueFd file(::open(dir.file("f").c_str(), O_RDONLY | O_CLOEXEC));
    char buffer[8] = {};
    ASSERT_EQ(readAllAt(file.get(), buffer, sizeof buffer, 6), 4);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(readAllAt(file.get(), buffer, sizeof buffer, 10), 0);

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const UniqueFd in(ends[0]);
    const UniqueFd out(ends[1]);
    ASSERT_EQ(::write(out.get(), "abc", 3), 3);
    EXPECT_EQ(readAllAt(in.get(), buffer, sizeof buffer, 0), -1);
    EXPECT_EQ(errno, ESPIPE);
}
