#include "MainThread.h"

#include <future>

namespace quarrow {

MainThreadLoop::MainThreadLoop() : mainId_(std::this_thread::get_id()) {}

void MainThreadLoop::runAndWait(std::function<void()> task) {
    if (std::this_thread::get_id() == mainId_) {
        task();
        return;
    }
    std::promise<void> finished;
    auto future = finished.get_future();
    post([&task, &finished] {
        task();
        finished.set_value();
    });
    future.wait();
}

void MainThreadLoop::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        ++wakeups_;
    }
    cv_.notify_all();
}

void MainThreadLoop::wake() {
    {
        std::lock_guard lock(mutex_);
        ++wakeups_;
    }
    cv_.notify_all();
}

void MainThreadLoop::runUntil(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    while (true) {
        while (!tasks_.empty()) {
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
        // A wake() between done() and the wait must not be lost: compare the wake-up count.
        const auto seen = wakeups_;
        lock.unlock();
        const bool finished = done();
        lock.lock();
        if (finished && tasks_.empty()) {
            return;
        }
        cv_.wait(lock, [&] { return !tasks_.empty() || wakeups_ != seen; });
    }
}

} // namespace quarrow
