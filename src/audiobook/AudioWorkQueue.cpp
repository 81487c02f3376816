#include "AudioWorkQueue.h"

#include "MediaLibrary.h"

namespace quarrow {

AudioWorkQueue::AudioWorkQueue(ProcessRunner& runner, MainThread& mainThread, Listener listener)
    : converter_(runner), listener_(mainThread, std::move(listener)) {
    worker_ = std::thread([this] { workerLoop(); });
}

AudioWorkQueue::~AudioWorkQueue() {
    listener_.close();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        ++generation_;
        tasks_.clear();
    }
    changed_.notify_all();
    worker_.join();
}

void AudioWorkQueue::post(std::function<void(const Listener&)> call) {
    listener_.post(std::move(call));
}

std::uint64_t AudioWorkQueue::enqueue(Task task) {
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        id = nextId_++;
        tasks_.push_back({id, std::move(task)});
    }
    changed_.notify_all();
    return id;
}

void AudioWorkQueue::cancel() {
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        dropped.swap(tasks_);
    }
    for (const Entry& entry : dropped) {
        post([id = entry.id](const Listener& l) {
            if (l.finished) {
                AudioConversionResult result;
                result.outcome = AudioConversionOutcome::Cancelled;
                l.finished(id, result);
            }
        });
    }
    changed_.notify_all();
}

bool AudioWorkQueue::isBusy() const {
    std::lock_guard lock(mutex_);
    return running_ || !tasks_.empty();
}

std::size_t AudioWorkQueue::pending() const {
    std::lock_guard lock(mutex_);
    return tasks_.size() + (running_ ? 1 : 0);
}

void AudioWorkQueue::waitUntilIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopping_ || (!running_ && tasks_.empty()); });
}

void AudioWorkQueue::workerLoop() {
    for (;;) {
        Entry entry;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_) {
                return;
            }
            entry = std::move(tasks_.front());
            tasks_.pop_front();
            running_ = true;
            generation = generation_.load();
        }
        const std::uint64_t id = entry.id;
        post([id](const Listener& l) {
            if (l.started) {
                l.started(id);
            }
        });
        AudioConversionResult result;
        if (entry.task.kind == Task::Kind::Convert) {
            int lastPercent = -1;
            result = converter_.convert(
                entry.task.job,
                [&](double share) {
                    // A few hand-overs a second at most: whole percents only.
                    const int percent = static_cast<int>(share * 100);
                    if (percent != lastPercent) {
                        lastPercent = percent;
                        post([id, share](const Listener& l) {
                            if (l.progress) {
                                l.progress(id, share);
                            }
                        });
                    }
                },
                [this, generation] { return generation != generation_.load(); });
        } else if (generation != generation_.load()) {
            result.outcome = AudioConversionOutcome::Cancelled;
        } else {
            const MediaCopyResult copy = copyToMediaLibrary(entry.task.file, entry.task.mediaFolder);
            result.outcome = copy.copied ? AudioConversionOutcome::Done : AudioConversionOutcome::Failed;
            result.path = copy.path;
            result.error = copy.error;
        }
        post([id, result](const Listener& l) {
            if (l.finished) {
                l.finished(id, result);
            }
        });
        {
            std::lock_guard lock(mutex_);
            running_ = false;
        }
        changed_.notify_all();
    }
}

} // namespace quarrow
