#pragma once

#include "Secret.h"

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quarrow {

// What the person is asked for: the password of one backup, and whether the last one given for it
// was wrong.
struct PasswordPrompt {
    std::string backupName; // the device's name, as the backup list shows it
    std::string backupFolder;
    bool afterWrongPassword = false;
};

// Where a backup's password comes from: a dialog in the app, a file or standard input on the command
// line, a script in tests. The password is never logged and never stored; the Secret it comes in is
// cleared when its holder is done with it.
class PasswordRequest {
public:
    virtual ~PasswordRequest() = default;
    // The password, or nothing when none is given (the person cancelled, or there is no one to
    // ask). May be called from any thread; asked again after a wrong password.
    virtual std::optional<Secret> requestPassword(const PasswordPrompt& prompt) = 0;
};

// For headless use without a password: answers nothing.
class NoPasswordRequest : public PasswordRequest {
public:
    std::optional<Secret> requestPassword(const PasswordPrompt& prompt) override;
};

// The first line of a file, or of standard input for "-" (`quarrow-cli scan --password-file`).
// Answered once: a file cannot be asked again, so after a wrong password it answers nothing.
class FilePasswordRequest : public PasswordRequest {
public:
    explicit FilePasswordRequest(std::string path) : path_(std::move(path)) {}
    std::optional<Secret> requestPassword(const PasswordPrompt& prompt) override;

private:
    std::string path_;
    bool asked_ = false;
};

// The first line of the file at `path` ("-": standard input) without its line end, or nothing
// (logged without the content) when it cannot be read, is empty, or its first line is longer than
// any password (4096 bytes).
std::optional<Secret> readPasswordLine(const std::string& path);

// Answers from a script that a test fills in advance (nothing once it runs out), and records every
// prompt.
class ScriptedPasswordRequest : public PasswordRequest {
public:
    void answerNext(std::optional<std::string> password);
    std::optional<Secret> requestPassword(const PasswordPrompt& prompt) override;
    std::vector<PasswordPrompt> prompts() const;

private:
    mutable std::mutex mutex_;
    std::deque<std::optional<std::string>> answers_;
    std::vector<PasswordPrompt> prompts_;
};

} // namespace quarrow
