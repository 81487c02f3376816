#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quarrow {

// "Run on the main thread": the GUI implements it with its event loop, the command line with
// MainThreadLoop below.
class MainThread {
public:
    virtual ~MainThread() = default;
    // Runs the task on the main thread and returns when it has finished. Called from the main
    // thread itself, it runs the task at once.
    virtual void runAndWait(std::function<void()> task) = 0;
    // Queues the task for the main thread and returns at once.
    virtual void post(std::function<void()> task) = 0;
};

// Runs every task at once on the calling thread. For tests that need no thread hand-off.
class InlineMainThread : public MainThread {
public:
    void runAndWait(std::function<void()> task) override { task(); }
    void post(std::function<void()> task) override { task(); }
};

// A small task loop for a headless main thread. The thread that constructs it is the main thread;
// it calls runUntil() to serve the tasks that workers hand over.
class MainThreadLoop : public MainThread {
public:
    MainThreadLoop();
    void runAndWait(std::function<void()> task) override;
    void post(std::function<void()> task) override;
    // Serves tasks until done() answers true (checked after every task and every wake-up).
    void runUntil(const std::function<bool()>& done);
    // Wakes runUntil() so that it checks done() again.
    void wake();

private:
    std::thread::id mainId_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    unsigned long long wakeups_ = 0;
};

} // namespace quarrow
