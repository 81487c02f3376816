// The private work folder: only its owner can enter it, and it never outlives its owner, whether
// the owner ends normally, is interrupted, or was killed outright in an earlier run.

#include "platform/WorkFolder.h"

#include "platform/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace quarrow;
using namespace quarrow::test;
namespace fs = std::filesystem;

namespace {

// Points the cache root at a fresh temporary folder for one test.
class WorkFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CACHE_HOME")) {
            previous = old;
        }
        ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    }
    void TearDown() override {
        if (previous.empty()) {
            ::unsetenv("XDG_CACHE_HOME");
        } else {
            ::setenv("XDG_CACHE_HOME", previous.c_str(), 1);
        }
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(cache.path() + "/quarrow", ec)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir cache;
    std::string previous;
};

// The pid of a process that has ended and been reaped.
pid_t deadPid() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return pid;
}

} // namespace

TEST_F(WorkFolderTest, IsMadeOnFirstUseForItsOwnerAloneAndRemovedWithIt) {
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    std::string path;
    {
        WorkFolder folder("scan");
        EXPECT_FALSE(folder.exists());
        ASSERT_TRUE(folder.path());
        path = *folder.path();
        EXPECT_EQ(folder.path(), path); // the same folder on every call
        EXPECT_EQ(fs::path(path).parent_path(), fs::path(cache.path()) / "quarrow");
        EXPECT_EQ(fs::path(path).filename().string().rfind("scan-" + std::to_string(::getpid()) + "-", 0), 0u);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u);
        std::ofstream(path + "/copy.sqlite") << "private";
        fs::create_directory(path + "/inner");
        std::ofstream(path + "/inner/more") << "private";
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(entries().empty());
    EXPECT_TRUE(log.lines().empty()) << log.lines().front(); // a removal that worked says nothing
}

TEST_F(WorkFolderTest, RemoveNowAndAFreshFolderLater) {
    WorkFolder folder("epub");
    const auto first = folder.path();
    ASSERT_TRUE(first);
    folder.remove();
    EXPECT_FALSE(fs::exists(*first));
    EXPECT_FALSE(folder.exists());
    const auto second = folder.path();
    ASSERT_TRUE(second);
    EXPECT_NE(*second, *first);
    EXPECT_TRUE(fs::is_directory(*second));
}

TEST_F(WorkFolderTest, ACacheRootThatCannotBeMadeGivesNothingAndALogLine) {
    std::ofstream(cache.path() + "/quarrow") << "a file where the folder should be";
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    WorkFolder folder;
    EXPECT_FALSE(folder.path());
    EXPECT_TRUE(log.contains("Cannot create a work folder in " + cache.path() + "/quarrow"));
    log.clear();
    EXPECT_FALSE(folder.path()); // and stays so, without trying again
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(WorkFolderTest, StaleFoldersOfGoneProcessesAreSwept) {
    const std::string root = cache.path() + "/quarrow";
    fs::create_directories(root);
    const pid_t gone = deadPid();
    const std::string stale = "scan-" + std::to_string(gone) + "-a1B2c3";
    const std::string live = "scan-" + std::to_string(::getppid()) + "-d4E5f6";
    const std::string mine = "epub-" + std::to_string(::getpid()) + "-g7H8i9";
    for (const auto& name : {stale, live, mine, std::string("notes-of-mine"), std::string("scan-x-abcdef")}) {
        fs::create_directory(root + "/" + name);
        std::ofstream(root + "/" + name + "/f") << "x";
    }
    std::ofstream(root + "/scan-" + std::to_string(gone) + "-zzzzzz") << "a file, not a folder";
    EXPECT_EQ(WorkFolder::sweepStale(), 1);
    std::vector<std::string> kept = {live, mine, "notes-of-mine", "scan-x-abcdef",
                                     "scan-" + std::to_string(gone) + "-zzzzzz"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(entries(), kept);
}

namespace {

class WorkFolderSignal : public WorkFolderTest, public ::testing::WithParamInterface<int> {};

} // namespace

// A child that holds a work folder with a file in it is ended by the signal: it dies of that signal
// (so its parent sees the usual status) and leaves nothing under the cache root.
TEST_P(WorkFolderSignal, EndingTheProcessRemovesItsFolder) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // The child starts with default dispositions, whatever this test process has.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, GetParam());
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    char path[] = QUARROW_WORKFOLDER_CHILD;
    char* argv[] = {path, nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, path, &actions, &attr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(out[1]);

    std::string folder;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') {
        folder += c;
    }
    ::close(out[0]);
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(fs::exists(folder + "/0.sqlite"));

    ASSERT_EQ(::kill(pid, GetParam()), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), GetParam());
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, WorkFolderSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP), [](const auto& info) {
    return std::string(info.param == SIGTERM ? "SIGTERM" : info.param == SIGINT ? "SIGINT" : "SIGHUP");
});
