#pragma once

#include "MainThread.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace quarrow {

// The listener a worker reports to on the main thread. A report is handed to the listener as it
// is when the report runs there, so the listener may be replaced or dropped at any time; once the
// owner is closed, reports still queued reach nobody.
template <class Listener> class MainThreadListener {
public:
    explicit MainThreadListener(MainThread& mainThread, Listener listener = {}) : mainThread_(mainThread) {
        box_->listener = std::move(listener);
    }
    ~MainThreadListener() { close(); }
    MainThreadListener(const MainThreadListener&) = delete;
    MainThreadListener& operator=(const MainThreadListener&) = delete;

    // Sets the listener; answers a token that clears it again, and nothing set after it.
    std::uint64_t set(Listener listener) {
        std::lock_guard lock(box_->mutex);
        box_->listener = std::move(listener);
        return ++box_->token;
    }
    void clear(std::uint64_t token) {
        std::lock_guard lock(box_->mutex);
        if (box_->token == token) {
            box_->listener = {};
        }
    }
    // No report reaches the listener any more, queued or not.
    void close() {
        std::lock_guard lock(box_->mutex);
        box_->alive = false;
    }

    // Queues a report for the main thread: call gets the listener there.
    void post(std::function<void(const Listener&)> call) {
        mainThread_.post([box = box_, call = std::move(call)] {
            Listener listener;
            {
                std::lock_guard lock(box->mutex);
                if (!box->alive) {
                    return;
                }
                listener = box->listener;
            }
            call(listener);
        });
    }

private:
    // Shared with the queued reports, which may outlive the owner.
    struct Box {
        std::mutex mutex;
        Listener listener;
        std::uint64_t token = 0;
        bool alive = true;
    };

    MainThread& mainThread_;
    std::shared_ptr<Box> box_ = std::make_shared<Box>();
};

} // namespace quarrow
