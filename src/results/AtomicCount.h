#pragma once

#include <atomic>
#include <cstdint>

namespace quarrow {

// A signed 32-bit counter that one thread may change while another reads it (the export worker
// counts records while the main thread's timer shows the percentage). It copies and assigns like a
// plain integer, so it can sit in a struct of counters that is reset by assignment.
class AtomicCount {
public:
    AtomicCount(std::int32_t value = 0) : value_(value) {}
    AtomicCount(const AtomicCount& other) : value_(other.load()) {}
    AtomicCount& operator=(const AtomicCount& other) {
        value_.store(other.load());
        return *this;
    }
    AtomicCount& operator=(std::int32_t value) {
        value_.store(value);
        return *this;
    }

    std::int32_t load() const { return value_.load(); }
    operator std::int32_t() const { return load(); }
    // Answers the new value.
    std::int32_t operator++() { return value_.fetch_add(1) + 1; }

private:
    std::atomic<std::int32_t> value_;
};

} // namespace quarrow
