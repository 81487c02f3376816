#pragma once

// What the scan benchmarks share: a log that keeps nothing, and the fastest of several runs.

#include "platform/Log.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <string_view>
#include <utility>

namespace quarrow::bench {

using Clock = std::chrono::steady_clock;

// The scanners log as they go; a benchmark measures them, not the terminal.
class QuietLog : public LogSink {
public:
    void write(std::string_view) override {}
};

inline double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The fastest wall time of the runs, and what the last one counted.
template <typename Run> std::pair<double, std::size_t> best(int repetitions, Run run) {
    double fastest = 1e300;
    std::size_t found = 0;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Clock::now();
        found = run();
        fastest = std::min(fastest, seconds(start));
    }
    return {fastest, found};
}

} // namespace quarrow::bench
