#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

namespace quarrow {

// Root of every object that travels through a notification as a record. The class name is what
// callers use to tell record kinds apart, as the result view's sorting does.
class PRObject {
public:
    virtual ~PRObject() = default;
    virtual const char* className() const = 0;
};

// A notification carries nothing, a record, a text or a number.
using NotificationObject = std::variant<std::monostate, std::shared_ptr<PRObject>, std::string, long long>;

struct Notification {
    std::string name;
    NotificationObject object;

    std::shared_ptr<PRObject> record() const;
    template <class T> std::shared_ptr<T> recordAs() const { return std::dynamic_pointer_cast<T>(record()); }
    const std::string* text() const { return std::get_if<std::string>(&object); }
    const long long* number() const { return std::get_if<long long>(&object); }
};

// Named notifications delivered synchronously, on the posting thread, to every observer registered
// for that name, in registration order. Observers may post or register from inside a delivery.
class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    using Token = std::uint64_t;

    static NotificationCenter& defaultCenter();

    // An empty name observes every notification.
    Token addObserver(std::string name, Observer observer);
    void removeObserver(Token token);
    void post(std::string name, NotificationObject object = {});

private:
    struct Entry {
        Token token;
        std::string name;
        std::shared_ptr<Observer> observer;
    };
    // Copied on every change and shared by the posts in flight, so a post takes one reference under
    // the lock instead of copying the observer list: scans post once per record.
    using Entries = std::vector<Entry>;
    std::mutex mutex_;
    std::shared_ptr<const Entries> entries_ = std::make_shared<const Entries>();
    Token nextToken_ = 1;
};

} // namespace quarrow
