#pragma once

#include "platform/Log.h"

// Damaged inputs log; the fuzzers keep their output quiet. Installed once by the first input.
inline void quietFuzzLog() {
    class QuietSink : public quarrow::LogSink {
    public:
        void write(std::string_view) override {}
    };
    static QuietSink quiet;
    static quarrow::ScopedLogSink scoped(quiet);
}
