#pragma once

#include "AudioFileConverter.h"
#include "platform/MainThreadListener.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarrow {

class MainThread;

// The audio list's long work, one task after another on one worker thread: conversions with
// ffmpeg and copies into the media folder. What the listener hears runs on the main thread and is
// handed over without waiting; nothing reaches it once the queue is destroyed.
class AudioWorkQueue {
public:
    struct Task {
        enum class Kind { Convert, CopyToMediaLibrary };
        Kind kind = Kind::Convert;
        AudioConversionJob job; // Convert
        std::string file;       // CopyToMediaLibrary: the file, and the folder it goes to
        std::string mediaFolder;
    };
    struct Listener {
        std::function<void(std::uint64_t id)> started;
        std::function<void(std::uint64_t id, double share)> progress;
        // For a copy, path is the copy and seconds 0.
        std::function<void(std::uint64_t id, const AudioConversionResult&)> finished;
    };

    AudioWorkQueue(ProcessRunner& runner, MainThread& mainThread, Listener listener);
    // Cancels everything and waits for the worker.
    ~AudioWorkQueue();
    AudioWorkQueue(const AudioWorkQueue&) = delete;
    AudioWorkQueue& operator=(const AudioWorkQueue&) = delete;

    std::uint64_t enqueue(Task task);
    // Stops the running conversion (its unfinished file is removed) and drops the waiting tasks;
    // each is reported as Cancelled.
    void cancel();
    bool isBusy() const;
    std::size_t pending() const; // running and waiting
    void waitUntilIdle();

private:
    struct Entry {
        std::uint64_t id;
        Task task;
    };

    void workerLoop();
    void post(std::function<void(const Listener&)> call);

    AudioFileConverter converter_;
    MainThreadListener<Listener> listener_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry> tasks_;
    bool running_ = false;
    bool stopping_ = false;
    std::uint64_t nextId_ = 1;
    std::atomic<std::uint64_t> generation_{0};
    std::thread worker_;
};

} // namespace quarrow
