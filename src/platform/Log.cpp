#include "Log.h"

#include "TextEscapes.h"

#include <atomic>
#include <cstdio>

namespace quarrow {

namespace {
StderrLogSink stderrSink;
std::atomic<LogSink*> currentSink{&stderrSink};
std::mutex stderrMutex;
} // namespace

void StderrLogSink::write(std::string_view line) {
    // Lines name files of the backup, whose names may carry escape codes meant for the terminal.
    const std::string shown = terminalText(line);
    std::lock_guard lock(stderrMutex);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void MemoryLogSink::write(std::string_view line) {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
}

std::vector<std::string> MemoryLogSink::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool MemoryLogSink::contains(std::string_view fragment) const {
    std::lock_guard lock(mutex_);
    for (const auto& line : lines_) {
        if (line.find(fragment) != std::string::npos) {
            return true;
        }
    }
    return false;
}

void MemoryLogSink::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

void systemLog(std::string_view message) {
    currentSink.load()->write(message);
}

LogSink* setLogSink(LogSink* sink) {
    return currentSink.exchange(sink ? sink : &stderrSink);
}

} // namespace quarrow
