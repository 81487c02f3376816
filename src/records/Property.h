#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <utility>

namespace quarrow {

// Optional text: absent is a different value from the empty text.
using OptText = std::optional<std::string>;

// A value read and written as one indivisible step. Reads answer a copy and writes store a copy,
// so a text handed to a setter can change afterwards without touching the property. The lock is a
// one-byte spin lock: records are many and contention is rare (one writer, then readers).
template <class T> class Property {
public:
    explicit Property(T initial) : value_(std::move(initial)) {}
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;

    T get() const {
        Guard g(lock_);
        return value_;
    }
    // Calls f with the value under the lock, without a copy; f must not touch this property.
    template <class F> decltype(auto) view(F&& f) const {
        Guard g(lock_);
        return f(value_);
    }
    void set(T value) {
        Guard g(lock_);
        value_ = std::move(value);
    }

private:
    struct Guard {
        explicit Guard(std::atomic_flag& f) : flag(f) {
            while (flag.test_and_set(std::memory_order_acquire)) {
                flag.wait(true, std::memory_order_relaxed);
            }
        }
        ~Guard() {
            flag.clear(std::memory_order_release);
            flag.notify_one();
        }
        std::atomic_flag& flag;
    };
    mutable std::atomic_flag lock_;
    T value_;
};

} // namespace quarrow
