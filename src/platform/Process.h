#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// Starting helper programs (ffmpeg, ffprobe). A program gets its arguments as a list, one string
// each, straight through exec: no shell ever sees a file name, so quotes, blanks, "$(...)" and
// newlines in names are just characters. Tests put a fake runner in place of the real one.
struct ProcessRequest {
    // arguments[0] is the program, looked up in PATH.
    std::vector<std::string> arguments;
    // Each line of the program's standard output (without its newline), on the caller's thread,
    // as it arrives.
    std::function<void(std::string_view line)> outputLine;
    // Asked a few times a second while the program runs; true ends it (SIGTERM, then SIGKILL).
    std::function<bool()> cancelled;
};

struct ProcessResult {
    bool started = false; // false: the program could not be started (`error` says why)
    bool cancelled = false;
    int exitCode = -1;       // when it exited by itself
    int termSignal = 0;      // when a signal ended it
    std::string error;       // why it could not be started or waited for
    std::string errorOutput; // the end of its standard error (at most 64 KiB)

    bool succeeded() const { return started && !cancelled && termSignal == 0 && exitCode == 0; }
    // One line for a message: why the program failed, from its own last words when it left some.
    std::string failureText() const;
};

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Runs the program to its end and answers how it ended. Standard input is /dev/null.
    virtual ProcessResult run(const ProcessRequest& request) = 0;
};

// The real one: posix_spawnp with pipes for standard output and error.
class SystemProcessRunner : public ProcessRunner {
public:
    ProcessResult run(const ProcessRequest& request) override;
};

// The process's runner, shared by every caller (it keeps no state).
ProcessRunner& systemProcessRunner();

} // namespace quarrow
