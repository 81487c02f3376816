#include "PasswordRequest.h"

#include "Log.h"
#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quarrow {

namespace {
// No one types a longer password; a longer first line is some other file given by mistake.
constexpr std::size_t kMaxPasswordBytes = 4096;
} // namespace

std::optional<Secret> NoPasswordRequest::requestPassword(const PasswordPrompt&) {
    return std::nullopt;
}

std::optional<Secret> readPasswordLine(const std::string& path) {
    const bool standardInput = path == "-";
    const std::string where = standardInput ? std::string("standard input") : path;
    // A pipe or a terminal is fine here (`--password-file <(pass show backup)`, `-`): reading it is
    // what the person asked for.
    UniqueFd owned;
    int fd = STDIN_FILENO;
    if (!standardInput) {
        owned = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        if (!owned) {
            systemLog("Password file cannot be opened (" + std::string(std::strerror(errno)) + "): " + where);
            return std::nullopt;
        }
        fd = owned.get();
    }
    // Read straight into the secret buffer, one byte past the limit to tell a long line.
    Secret line(kMaxPasswordBytes + 1);
    std::size_t got = 0;
    bool ended = false;
    while (got < line.size() && !ended) {
        const ssize_t n = ::read(fd, line.data() + got, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            systemLog("Password file cannot be read (" + std::string(std::strerror(errno)) + "): " + where);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        // One byte at a time, so that nothing after the first line is taken from standard input.
        if (line.data()[got] == '\n') {
            ended = true;
        } else {
            ++got;
        }
    }
    if (!ended && got > kMaxPasswordBytes) {
        systemLog("Password file's first line is longer than a password: " + where);
        return std::nullopt;
    }
    if (got > 0 && line.data()[got - 1] == '\r') {
        --got; // written on Windows
    }
    if (got == 0) {
        systemLog("Password file holds no password: " + where);
        return std::nullopt;
    }
    line.shrink(got);
    return line;
}

std::optional<Secret> FilePasswordRequest::requestPassword(const PasswordPrompt&) {
    if (asked_) {
        return std::nullopt;
    }
    asked_ = true;
    return readPasswordLine(path_);
}

void ScriptedPasswordRequest::answerNext(std::optional<std::string> password) {
    const std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(std::move(password));
}

std::optional<Secret> ScriptedPasswordRequest::requestPassword(const PasswordPrompt& prompt) {
    const std::lock_guard<std::mutex> lock(mutex_);
    prompts_.push_back(prompt);
    if (answers_.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    if (!answer) {
        return std::nullopt;
    }
    return Secret(*answer);
}

std::vector<PasswordPrompt> ScriptedPasswordRequest::prompts() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return prompts_;
}

} // namespace quarrow
