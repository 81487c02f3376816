#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// Where system-log lines go. The default writes one line per message to standard error.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(std::string_view line) = 0;
};

class StderrLogSink : public LogSink {
public:
    void write(std::string_view line) override;
};

// Keeps every line, for tests that check what was logged.
class MemoryLogSink : public LogSink {
public:
    void write(std::string_view line) override;
    std::vector<std::string> lines() const;
    bool contains(std::string_view fragment) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Writes one line to the current sink. Thread-safe.
void systemLog(std::string_view message);

// Replaces the sink (nullptr restores standard error) and answers the previous one.
LogSink* setLogSink(LogSink* sink);

// Installs a sink for the lifetime of a scope, restoring the previous one afterwards.
class ScopedLogSink {
public:
    explicit ScopedLogSink(LogSink& sink) : previous_(setLogSink(&sink)) {}
    ~ScopedLogSink() { setLogSink(previous_); }
    ScopedLogSink(const ScopedLogSink&) = delete;
    ScopedLogSink& operator=(const ScopedLogSink&) = delete;

private:
    LogSink* previous_;
};

} // namespace quarrow
