// Audio files are complete or absent: a name only for a cleanly closed file with samples, never
// over an existing file; and the user's Documents folder found as the desktop finds it.

#include "platform/AiffFile.h"
#include "platform/FileMoves.h"
#include "platform/UserFolders.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

using namespace quarrow;
using namespace quarrow::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AiffWriter, CompleteFileIs16BitMonoAiffUnderItsName) {
    TempDir dir;
    AiffWriter writer;
    ASSERT_TRUE(writer.open(dir.path(), 22050));
    const std::vector<std::int16_t> samples(22050, 1200);
    ASSERT_TRUE(writer.write(samples.data(), samples.size()));
    const auto path = writer.finish("Title");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, dir.file("Title.aiff"));
    const auto info = readAudioFileInfo(*path);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->isAiff16);
    EXPECT_EQ(info->sampleRate, 22050);
    EXPECT_EQ(info->channels, 1);
    EXPECT_EQ(info->frames, 22050);
    EXPECT_DOUBLE_EQ(info->seconds(), 1.0);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"Title.aiff"});
}

TEST(AiffWriter, NeverReplacesAFileButTakesTheNextFreeName) {
    TempDir dir;
    std::ofstream(dir.file("Title.aiff")) << "the user's own file";
    std::ofstream(dir.file("Title (2).aiff")) << "another";
    const std::vector<std::int16_t> samples(100, 1);
    std::vector<std::string> made;
    for (int i = 0; i < 2; ++i) {
        AiffWriter writer;
        ASSERT_TRUE(writer.open(dir.path(), 22050));
        writer.write(samples.data(), samples.size());
        made.push_back(writer.finish("Title").value_or(""));
    }
    EXPECT_EQ(made, (std::vector<std::string>{dir.file("Title (3).aiff"), dir.file("Title (4).aiff")}));
    std::ifstream in(dir.file("Title.aiff"));
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "the user's own file");
}

TEST(AiffWriter, EmptyDiscardedOrAbandonedFilesLeaveNothing) {
    TempDir dir;
    {
        AiffWriter empty;
        ASSERT_TRUE(empty.open(dir.path(), 22050));
        EXPECT_FALSE(empty.finish("Empty"));
    }
    const std::vector<std::int16_t> samples(100, 1);
    {
        AiffWriter discarded;
        ASSERT_TRUE(discarded.open(dir.path(), 22050));
        discarded.write(samples.data(), samples.size());
        EXPECT_FALSE(discarded.temporaryPath().empty());
        EXPECT_TRUE(fs::exists(discarded.temporaryPath()));
        discarded.discard();
    }
    {
        AiffWriter abandoned; // destroyed while writing, as on a cancel
        ASSERT_TRUE(abandoned.open(dir.path(), 22050));
        abandoned.write(samples.data(), samples.size());
    }
    EXPECT_TRUE(namesIn(dir.path()).empty());
}

TEST(AiffWriter, UnwritableFolderFailsToOpen) {
    AiffWriter writer;
    EXPECT_FALSE(writer.open("/nonexistent/folder", 22050));
    EXPECT_FALSE(writer.write(nullptr, 0));
}

TEST(FileMoves, NumberedNames) {
    EXPECT_EQ(numberedName("Book", ".aiff", 1), "Book.aiff");
    EXPECT_EQ(numberedName("Book", ".aiff", 2), "Book (2).aiff");
    EXPECT_EQ(numberedName("Title.epub -01", ".aiff", 12), "Title.epub -01 (12).aiff");
}

// Every byte reaches the file through short writes; a device that takes nothing more fails with
// its reason instead of a silent loss or an endless loop.
TEST(FileMoves, WriteAllWritesEveryByteOrSaysWhyNot) {
    TempDir dir;
    const std::string path = dir.file("out");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    const std::string data(1 << 20, 'q');
    EXPECT_TRUE(writeAll(fd, data.data(), data.size()));
    ::close(fd);
    EXPECT_EQ(std::filesystem::file_size(path), data.size());

    const int full = ::open("/dev/full", O_WRONLY);
    if (full >= 0) {
        errno = 0;
        EXPECT_FALSE(writeAll(full, data.data(), 10));
        EXPECT_EQ(errno, ENOSPC);
        ::close(full);
    }
}

TEST(FileMoves, RenameNoReplaceRefusesATakenName) {
    TempDir dir;
    std::ofstream(dir.file("a")) << "a";
    std::ofstream(dir.file("b")) << "b";
    EXPECT_EQ(renameNoReplace(dir.file("a"), dir.file("b")), EEXIST);
    EXPECT_EQ(renameNoReplace(dir.file("a"), dir.file("c")), 0);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"b", "c"}));
}

struct UserDirsCase {
    const char* text;
    const char* expected;
};

class UserDirsValueTest : public ::testing::TestWithParam<UserDirsCase> {};

TEST_P(UserDirsValueTest, ReadsTheLineAsTheShellWould) {
    EXPECT_EQ(userDirsValue(GetParam().text, "DOCUMENTS", "/home/u"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UserDirsValueTest,
    ::testing::Values(
        UserDirsCase{"XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n", "/home/u/Documents"},
        UserDirsCase{"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n",
                     "/home/u/Dokumente"},
        UserDirsCase{"XDG_DOCUMENTS_DIR=\"/data/docs\"", "/data/docs"},
        UserDirsCase{"XDG_DOCUMENTS_DIR=\"${HOME}/D\"\nXDG_DOCUMENTS_DIR=\"$HOME/Later\"", "/home/u/Later"},
        UserDirsCase{"  XDG_DOCUMENTS_DIR=\"$HOME/Spaced\"  \r\n", "/home/u/Spaced"},
        UserDirsCase{"XDG_MUSIC_DIR=\"$HOME/Music\"\n", ""}, UserDirsCase{"", ""}));

class DocumentsFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
            previous = old;
        }
        ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        ::unsetenv("XDG_DOCUMENTS_DIR");
    }
    void TearDown() override {
        if (previous) {
            ::setenv("XDG_CONFIG_HOME", previous->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
    }
    void write(const std::string& text) { std::ofstream(config.file("user-dirs.dirs")) << text; }
    TempDir config;
    std::optional<std::string> previous;
};

TEST_F(DocumentsFolderTest, ConfiguredFolderWins) {
    write("XDG_DOCUMENTS_DIR=\"$HOME/Papiers\"\n");
    EXPECT_EQ(documentsFolder("/home/u"), "/home/u/Papiers");
}

TEST_F(DocumentsFolderTest, MissingRelativeOrHomeFallsBackToDocuments) {
    EXPECT_EQ(documentsFolder("/home/u"), "/home/u/Documents");
    write("XDG_DOCUMENTS_DIR=\"relative/docs\"\n");
    EXPECT_EQ(documentsFolder("/home/u"), "/home/u/Documents");
    write("XDG_DOCUMENTS_DIR=\"$HOME/\"\n"); // a folder switched off points at the home folder
    EXPECT_EQ(documentsFolder("/home/u"), "/home/u/Documents");
}

TEST_F(DocumentsFolderTest, EnvironmentServesWhenTheFileIsSilent) {
    ::setenv("XDG_DOCUMENTS_DIR", "/srv/docs/", 1);
    EXPECT_EQ(documentsFolder("/home/u"), "/srv/docs");
    ::unsetenv("XDG_DOCUMENTS_DIR");
}

} // namespace
