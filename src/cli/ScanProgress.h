#pragma once

#include <cstdio>

namespace quarrow::cli {

// Shows a scan's progress (absolute percentages, as the scanners post them) on a stream: a bar
// redrawn in place when the stream is a terminal, otherwise one percentage per line, for logs and
// pipes. Values only go up; a repeated or smaller value shows nothing new.
class ScanProgress {
public:
    ScanProgress(std::FILE* out, bool terminal);
    // Standard error, with the bar when it is a terminal.
    static ScanProgress onStandardError();

    void show(long long percent);
    // Shows 100 % and ends the line.
    void finish();

private:
    std::FILE* out_;
    bool terminal_;
    int shown_ = -1;
};

} // namespace quarrow::cli
