#include "Process.h"

#include "UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quarrow {

namespace {

constexpr std::size_t kErrorOutputKept = std::size_t{64} * 1024;
constexpr int kPollMs = 100;
// How long a cancelled program has to end after SIGTERM before it is killed.
constexpr auto kTermGrace = std::chrono::seconds(2);

// Keeps the last `kErrorOutputKept` bytes, cut at a line start when it had to drop some.
void keepTail(std::string& kept, const char* data, std::size_t size) {
    kept.append(data, size);
    if (kept.size() > 2 * kErrorOutputKept) {
        kept.erase(0, kept.size() - kErrorOutputKept);
        const auto newline = kept.find('\n');
        if (newline != std::string::npos) {
            kept.erase(0, newline + 1);
        }
    }
}

} // namespace

std::string ProcessResult::failureText() const {
    if (!started) {
        return error.empty() ? "could not be started" : "could not be started: " + error;
    }
    if (cancelled) {
        return "cancelled";
    }
    // The program's last non-empty line of standard error says most.
    std::string last;
    std::size_t end = errorOutput.size();
    while (end > 0 && last.empty()) {
        const std::size_t start = errorOutput.rfind('\n', end - 1);
        const std::size_t from = start == std::string::npos ? 0 : start + 1;
        last = errorOutput.substr(from, end - from);
        while (!last.empty() && (last.back() == '\r' || last.back() == ' ')) {
            last.pop_back();
        }
        end = start == std::string::npos ? 0 : start;
    }
    std::string how = termSignal != 0 ? "ended by signal " + std::to_string(termSignal)
                                      : "exited with status " + std::to_string(exitCode);
    return last.empty() ? how : how + ": " + last;
}

ProcessResult SystemProcessRunner::run(const ProcessRequest& request) {
    ProcessResult result;
    if (request.arguments.empty()) {
        result.error = "no program given";
        return result;
    }
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    UniqueFd outRead(outPipe[0]);
    UniqueFd outWrite(outPipe[1]);
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    UniqueFd errRead(errPipe[0]);
    UniqueFd errWrite(errPipe[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
    // The child starts with the default signal handling, whatever this process set up.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.reserve(request.arguments.size() + 1);
    for (const std::string& a : request.arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    outWrite = UniqueFd();
    errWrite = UniqueFd();
    if (spawned != 0) {
        result.error = request.arguments[0] + ": " + std::strerror(spawned);
        return result;
    }
    result.started = true;

    std::string pending; // standard output not yet ended by a newline
    bool outOpen = true;
    bool errOpen = true;
    std::optional<std::chrono::steady_clock::time_point> termSent;
    bool killed = false;
    const auto stopIfCancelled = [&] {
        if (!result.cancelled && request.cancelled && request.cancelled()) {
            result.cancelled = true;
            ::kill(pid, SIGTERM);
            termSent = std::chrono::steady_clock::now();
        }
        if (termSent && !killed && std::chrono::steady_clock::now() - *termSent > kTermGrace) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
    };
    char buffer[16384];
    while (outOpen || errOpen) {
        stopIfCancelled();
        pollfd fds[2] = {{outOpen ? outRead.get() : -1, POLLIN, 0}, {errOpen ? errRead.get() : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 2, kPollMs);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[0].revents != 0) {
            const ssize_t n = ::read(outRead.get(), buffer, sizeof buffer);
            if (n > 0) {
                pending.append(buffer, static_cast<std::size_t>(n));
                std::size_t start = 0;
                for (std::size_t nl; (nl = pending.find('\n', start)) != std::string::npos; start = nl + 1) {
                    if (request.outputLine) {
                        request.outputLine(std::string_view(pending).substr(start, nl - start));
                    }
                }
                pending.erase(0, start);
            } else if (n == 0 || errno != EINTR) {
                outOpen = false;
            }
        }
        if (fds[1].revents != 0) {
            const ssize_t n = ::read(errRead.get(), buffer, sizeof buffer);
            if (n > 0) {
                keepTail(result.errorOutput, buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                errOpen = false;
            }
        }
    }
    if (!pending.empty() && request.outputLine) {
        request.outputLine(pending);
    }
    if (result.errorOutput.size() > kErrorOutputKept) {
        result.errorOutput.erase(0, result.errorOutput.size() - kErrorOutputKept);
    }

    // A program that closed its outputs may still run: keep asking about cancelling while waiting.
    int status = 0;
    for (;;) {
        const pid_t waited = ::waitpid(pid, &status, WNOHANG);
        if (waited == pid) {
            break;
        }
        if (waited < 0 && errno != EINTR) {
            result.error = std::strerror(errno);
            return result;
        }
        stopIfCancelled();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.termSignal = WTERMSIG(status);
    }
    return result;
}

ProcessRunner& systemProcessRunner() {
    static SystemProcessRunner runner;
    return runner;
}

} // namespace quarrow
