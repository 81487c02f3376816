// Reports a worker queues for the main thread reach the listener as it is when they run there, and
// nobody once the owner has closed: an owner that goes while reports are queued is never called back.

#include "platform/MainThreadListener.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quarrow;

namespace {

// A main thread whose queued tasks run when the test says so.
class HeldMainThread : public MainThread {
public:
    void runAndWait(std::function<void()> task) override { task(); }
    void post(std::function<void()> task) override { queued.push_back(std::move(task)); }
    void runQueued() {
        auto tasks = std::move(queued);
        queued.clear();
        for (auto& task : tasks) {
            task();
        }
    }
    std::vector<std::function<void()>> queued;
};

struct Listener {
    std::function<void(const std::string&)> heard;
};

} // namespace

TEST(MainThreadListener, AReportReachesTheListenerOfItsRunAndNobodyAfterClose) {
    HeldMainThread main;
    std::vector<std::string> first, second;
    MainThreadListener<Listener> listener(main, Listener{[&first](const std::string& s) { first.push_back(s); }});
    const auto say = [&listener](std::string what) {
        listener.post([what](const Listener& l) {
            if (l.heard) {
                l.heard(what);
            }
        });
    };

    say("queued before the change");
    const auto token = listener.set(Listener{[&second](const std::string& s) { second.push_back(s); }});
    main.runQueued();
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(second, std::vector<std::string>{"queued before the change"});

    // A token of an older listener clears nothing; the current one's does.
    const auto newer = listener.set(Listener{[&second](const std::string& s) { second.push_back("newer " + s); }});
    listener.clear(token);
    say("a");
    main.runQueued();
    EXPECT_EQ(second.back(), "newer a");
    listener.clear(newer);
    say("b");
    main.runQueued();
    EXPECT_EQ(second.back(), "newer a");

    // Closed while a report is queued: it runs, and reaches nobody.
    listener.set(Listener{[&first](const std::string& s) { first.push_back(s); }});
    say("after close");
    listener.close();
    main.runQueued();
    EXPECT_TRUE(first.empty());
}

TEST(MainThreadListener, QueuedReportsOutliveTheirOwnerHarmlessly) {
    HeldMainThread main;
    bool heard = false;
    {
        MainThreadListener<Listener> listener(main, Listener{[&heard](const std::string&) { heard = true; }});
        listener.post([](const Listener& l) { l.heard("late"); });
    }
    main.runQueued(); // the owner is gone; its box is not
    EXPECT_FALSE(heard);
}
