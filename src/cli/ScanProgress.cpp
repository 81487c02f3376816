#include "ScanProgress.h"

#include <string>
#include <unistd.h>

namespace quarrow::cli {

namespace {
constexpr int kBarWidth = 40;
} // namespace

ScanProgress::ScanProgress(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

ScanProgress ScanProgress::onStandardError() {
    return ScanProgress(stderr, ::isatty(STDERR_FILENO) == 1);
}

void ScanProgress::show(long long percent) {
    const int value = percent < 0 ? 0 : percent > 100 ? 100 : static_cast<int>(percent);
    if (value <= shown_) {
        return;
    }
    shown_ = value;
    if (!terminal_) {
        std::fprintf(out_, "%d%%\n", value);
    } else {
        const int filled = value * kBarWidth / 100;
        const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                                std::string(static_cast<std::size_t>(kBarWidth - filled), '-');
        // \r returns to the line's start; \x1b[K clears what a longer earlier line left.
        std::fprintf(out_, "\rScanning [%s] %3d%%\x1b[K", bar.c_str(), value);
    }
    std::fflush(out_);
}

void ScanProgress::finish() {
    show(100);
    if (terminal_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
}

} // namespace quarrow::cli
