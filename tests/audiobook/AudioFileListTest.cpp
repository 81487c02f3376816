// The audio list and its work queue: files being written or read by a conversion cannot be deleted
// or converted; deleting removes the file before the row; the queue runs tasks in order, off the
// calling thread, and a cancel stops the running one and drops the rest.

#include "audiobook/AudioFileList.h"
#include "audiobook/AudioWorkQueue.h"
#include "platform/MainThread.h"
#include "platform/Process.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

using namespace quarrow;
using namespace quarrow::test;
namespace fs = std::filesystem;

namespace {

PRAudioNodePtr fileNode(const std::string& path, double seconds = 1.5) {
    auto node = std::make_shared<PRAudioNode>();
    node->setAudioPath(path);
    node->setSeconds(seconds);
    return node;
}

TEST(AudioFileList, BusyFilesStayUntilTheirWorkEnds) {
    TempDir dir;
    std::ofstream(dir.file("A.aiff")) << std::string(2500, 'a');
    std::ofstream(dir.file("B.aiff")) << "b";
    AudioFileList list;
    EXPECT_EQ(list.add(fileNode(dir.file("A.aiff"))), 0u);
    EXPECT_EQ(list.add(fileNode(dir.file("B.aiff"))), 1u);
    EXPECT_EQ(list.add(fileNode(dir.file("A.aiff"))), 0u); // listed once
    EXPECT_EQ(list.entries()[0].bytes, 2500u);
    EXPECT_EQ(list.entries()[0].file->aduioName(), "A.aiff");

    // A conversion of A into A.m4b: A is read, A.m4b is written; neither may go or be converted.
    const std::vector<std::string> inputs{dir.file("A.aiff")};
    const std::size_t row = list.beginWriting(dir.file("A.m4b"), inputs);
    EXPECT_EQ(row, 2u);
    for (const std::size_t busy : {0u, 2u}) {
        EXPECT_FALSE(list.canDelete(busy));
        EXPECT_FALSE(list.canConvert(busy));
        EXPECT_TRUE(list.deleteFile(busy).has_value());
    }
    EXPECT_TRUE(fs::exists(dir.file("A.aiff")));
    EXPECT_TRUE(list.canDelete(1));

    // It ends with a file under another name: the row becomes that file, A is free again.
    std::ofstream(dir.file("A (2).m4b")) << "m4b";
    list.endWriting(dir.file("A.m4b"), inputs, dir.file("A (2).m4b"), 1.4);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.entries()[2].path(), dir.file("A (2).m4b"));
    EXPECT_EQ(list.entries()[2].bytes, 3u);
    EXPECT_DOUBLE_EQ(list.entries()[2].seconds, 1.4);
    EXPECT_TRUE(list.canDelete(0));
    EXPECT_TRUE(list.canDelete(2));

    // A failed conversion leaves no row behind.
    list.beginWriting(dir.file("B.mp3"), {dir.file("B.aiff")});
    list.endWriting(dir.file("B.mp3"), {dir.file("B.aiff")}, std::nullopt, 0);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_TRUE(list.canDelete(1));
}

TEST(AudioFileList, DeleteRemovesTheFileThenTheRow) {
    TempDir dir;
    std::ofstream(dir.file("A.aiff")) << "a";
    AudioFileList list;
    list.add(fileNode(dir.file("A.aiff")));
    list.add(fileNode(dir.file("Gone.aiff")));
    EXPECT_FALSE(list.deleteFile(0));
    EXPECT_FALSE(fs::exists(dir.file("A.aiff")));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list.deleteFile(0)); // already gone from disk: the row goes too
    EXPECT_EQ(list.size(), 0u);
    EXPECT_TRUE(list.deleteFile(0)); // no such row

    // A file the disk refuses to delete stays listed.
    const std::string locked = dir.makeDir("locked");
    std::ofstream(locked + "/C.aiff") << "c";
    list.add(fileNode(locked + "/C.aiff"));
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    if (::geteuid() != 0) { // root deletes anyway
        const auto refused = list.deleteFile(0);
        ASSERT_TRUE(refused);
        EXPECT_NE(refused->find("could not be deleted"), std::string::npos);
        EXPECT_EQ(list.size(), 1u);
    }
    fs::permissions(locked, fs::perms::owner_all);
}

TEST(AudioFileList, SizeAndDurationTexts) {
    const std::vector<std::pair<std::uint64_t, std::string>> sizes = {
        {0, "0 bytes"},     {999, "999 bytes"},    {1000, "1 KB"},
        {980400, "980 KB"}, {12345678, "12.3 MB"}, {3500000000ull, "3.50 GB"}};
    for (const auto& [bytes, text] : sizes) {
        EXPECT_EQ(audioSizeText(bytes), text);
    }
    const std::vector<std::pair<double, std::string>> durations = {
        {0, "0:00"}, {-3, "0:00"}, {41.6, "0:42"}, {723, "12:03"}, {3723, "1:02:03"}};
    for (const auto& [seconds, text] : durations) {
        EXPECT_EQ(audioDurationText(seconds), text);
    }
}

// ffmpeg stands in as a program that waits until it is cancelled or released, and leaves nothing.
class SlowTools : public ProcessRunner {
public:
    std::atomic<bool> release{false};
    std::atomic<int> started{0};
    ProcessResult run(const ProcessRequest& request) override {
        ProcessResult result;
        result.started = true;
        ++started;
        while (!release) {
            if (request.cancelled && request.cancelled()) {
                result.cancelled = true;
                return result;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        result.exitCode = 1;
        return result;
    }
};

struct Heard {
    std::mutex mutex;
    std::vector<std::uint64_t> started;
    std::map<std::uint64_t, AudioConversionResult> finished;
    AudioWorkQueue::Listener listener() {
        return {[this](std::uint64_t id) {
                    std::lock_guard lock(mutex);
                    started.push_back(id);
                },
                {},
                [this](std::uint64_t id, const AudioConversionResult& r) {
                    std::lock_guard lock(mutex);
                    finished[id] = r;
                }};
    }
};

TEST(AudioWorkQueue, RunsInOrderAndCancelStopsTheRunningAndTheWaiting) {
    TempDir dir;
    std::ofstream(dir.file("A.aiff")) << "a";
    SlowTools tools;
    InlineMainThread main;
    Heard heard;
    AudioWorkQueue queue(tools, main, heard.listener());
    AudioWorkQueue::Task convert;
    convert.job = {{{dir.file("A.aiff"), "A", 1.0}}, AudioFormat::M4B, dir.path(), "A", {}, {}, {}};
    const auto first = queue.enqueue(convert);
    const auto second = queue.enqueue(convert);
    while (tools.started < 1) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(queue.isBusy());
    EXPECT_EQ(queue.pending(), 2u);
    queue.cancel();
    queue.waitUntilIdle();
    EXPECT_EQ(tools.started, 1); // the waiting one never ran
    std::lock_guard lock(heard.mutex);
    EXPECT_EQ(heard.started, std::vector<std::uint64_t>{first});
    ASSERT_EQ(heard.finished.size(), 2u);
    EXPECT_EQ(heard.finished[first].outcome, AudioConversionOutcome::Cancelled);
    EXPECT_EQ(heard.finished[second].outcome, AudioConversionOutcome::Cancelled);
    EXPECT_FALSE(queue.isBusy());
}

TEST(AudioWorkQueue, FailuresAndCopiesAreReported) {
    TempDir dir;
    std::ofstream(dir.file("A.m4b")) << "audio";
    SlowTools tools;
    tools.release = true; // ffmpeg fails at once
    InlineMainThread main;
    Heard heard;
    AudioWorkQueue queue(tools, main, heard.listener());
    AudioWorkQueue::Task convert;
    convert.job = {{{dir.file("A.m4b"), "A", 1.0}}, AudioFormat::MP3, dir.path(), "A", {}, {}, {}};
    AudioWorkQueue::Task copy;
    copy.kind = AudioWorkQueue::Task::Kind::CopyToMediaLibrary;
    copy.file = dir.file("A.m4b");
    copy.mediaFolder = dir.file("Music/Audiobooks");
    const auto failing = queue.enqueue(convert);
    const auto copied = queue.enqueue(copy);
    const auto again = queue.enqueue(copy);
    queue.waitUntilIdle();
    std::lock_guard lock(heard.mutex);
    EXPECT_EQ(heard.started, (std::vector<std::uint64_t>{failing, copied, again}));
    EXPECT_EQ(heard.finished[failing].outcome, AudioConversionOutcome::Failed);
    EXPECT_NE(heard.finished[failing].error.find("ffmpeg"), std::string::npos);
    EXPECT_EQ(heard.finished[copied].outcome, AudioConversionOutcome::Done);
    EXPECT_EQ(heard.finished[copied].path, dir.file("Music/Audiobooks/A.m4b"));
    EXPECT_EQ(heard.finished[again].outcome, AudioConversionOutcome::Failed);
    EXPECT_NE(heard.finished[again].error.find("already in"), std::string::npos);
}

} // namespace
