#include "WorkFolder.h"

#include "Log.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quarrow {

namespace fs = std::filesystem;

namespace {

// The work folders that exist now, for the signal watcher.
std::mutex liveMutex;
std::set<std::string>& liveFolders() {
    static std::set<std::string> folders;
    return folders;
}

void removeTree(const std::string& path) {
    // A writer may still be adding files while the folder goes; a second pass takes those. Asking
    // whether the folder is still there fails once it is gone, which is success, not an error.
    const auto present = [&path] {
        std::error_code ignored;
        return fs::exists(fs::symlink_status(path, ignored));
    };
    std::error_code ec;
    for (int pass = 0; pass < 2 && present(); ++pass) {
        fs::remove_all(path, ec);
    }
    if (present()) {
        systemLog("Cannot remove the work folder " + path + ": " + (ec ? ec.message() : "it keeps filling up"));
    }
}

// --- Ending on a signal -------------------------------------------------------------------------
//
// The handler may only do async-signal-safe work, so it writes the signal's number into a pipe.
// The watcher thread reads it, removes every live folder, puts back the disposition the process had
// before and raises the signal again, so that the process ends as it would have without us (with
// the status of that signal). Should an earlier handler return instead, ours is installed again.

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
int signalPipe[2] = {-1, -1};
std::array<struct sigaction, kSignals.size()> previousActions{};
std::array<bool, kSignals.size()> handled{};

extern "C" void recordSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

void installHandler(std::size_t i) {
    struct sigaction action {};
    action.sa_handler = recordSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(kSignals[i], &action, nullptr);
}

void watchSignals() {
    for (;;) {
        unsigned char byte = 0;
        const auto n = ::read(signalPipe[0], &byte, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n != 1) {
            return;
        }
        {
            std::lock_guard lock(liveMutex);
            for (const auto& folder : liveFolders()) {
                removeTree(folder);
            }
            liveFolders().clear();
        }
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            if (handled[i] && kSignals[i] == byte) {
                ::sigaction(kSignals[i], &previousActions[i], nullptr);
                ::raise(kSignals[i]);
                installHandler(i);
            }
        }
    }
}

void startSignalWatcher() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe2(signalPipe, O_CLOEXEC) != 0) {
            systemLog("Cannot watch for signals: work folders stay behind on an interrupt");
            return;
        }
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            ::sigaction(kSignals[i], nullptr, &previousActions[i]);
            // A signal the process was started to ignore (a background job's SIGINT) stays ignored.
            handled[i] = previousActions[i].sa_handler != SIG_IGN;
        }
        std::thread(watchSignals).detach();
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            if (handled[i]) {
                installHandler(i);
            }
        }
    });
}

// --- Names ---------------------------------------------------------------------------------------

std::string cleanPurpose(std::string purpose) {
    for (char& c : purpose) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!plain) {
            c = 'x';
        }
    }
    return purpose.empty() ? "work" : purpose;
}

// The pid in a name "<purpose>-<pid>-XXXXXX", or nothing when the name is not one of ours.
std::optional<pid_t> pidOfFolderName(const std::string& name) {
    const auto last = name.rfind('-');
    if (last == std::string::npos || last == 0 || name.size() - last - 1 != 6) {
        return std::nullopt;
    }
    const auto before = name.rfind('-', last - 1);
    if (before == std::string::npos || before == 0 || before + 1 == last || last - before - 1 > 9) {
        return std::nullopt;
    }
    pid_t pid = 0;
    for (std::size_t i = before + 1; i < last; ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return std::nullopt;
        }
        pid = pid * 10 + (name[i] - '0');
    }
    return pid > 0 ? std::optional<pid_t>(pid) : std::nullopt;
}

bool processIsGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Makes the folder and its parents, each 0700 when it is new.
bool makeFolders(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return true;
    }
    const fs::path parent = fs::path(path).parent_path();
    if (!parent.empty() && parent != fs::path(path) && !makeFolders(parent.string())) {
        return false;
    }
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

} // namespace

WorkFolder::WorkFolder(std::string purpose) : purpose_(cleanPurpose(std::move(purpose))) {}

WorkFolder::~WorkFolder() {
    remove();
}

std::string WorkFolder::cacheRoot() {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/') {
        return std::string(xdg) + "/quarrow";
    }
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        home = env;
    } else if (const struct passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/.cache/quarrow";
}

std::optional<std::string> WorkFolder::path() {
    std::lock_guard lock(mutex_);
    if (path_ || failed_) {
        return path_;
    }
    static std::once_flag swept;
    std::call_once(swept, [] { sweepStale(); });
    startSignalWatcher();

    const std::string root = cacheRoot();
    std::string pattern = root + "/" + purpose_ + "-" + std::to_string(::getpid()) + "-XXXXXX";
    // Registered under the lock the watcher takes, so that an interrupt between making the folder
    // and registering it cannot leave it behind.
    std::lock_guard live(liveMutex);
    if (!makeFolders(root) || !::mkdtemp(pattern.data())) {
        systemLog("Cannot create a work folder in " + root + ": " + std::strerror(errno));
        failed_ = true;
        return std::nullopt;
    }
    liveFolders().insert(pattern);
    path_ = pattern;
    return path_;
}

bool WorkFolder::exists() const {
    std::lock_guard lock(mutex_);
    return path_.has_value();
}

void WorkFolder::remove() {
    std::lock_guard lock(mutex_);
    if (!path_) {
        return;
    }
    std::lock_guard live(liveMutex);
    removeTree(*path_);
    liveFolders().erase(*path_);
    path_.reset();
}

int WorkFolder::sweepStale() {
    const std::string root = cacheRoot();
    std::error_code ec;
    int removed = 0;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const auto pid = pidOfFolderName(it->path().filename().string());
        struct stat st {};
        if (!pid || *pid == ::getpid() || ::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::getuid() || !processIsGone(*pid)) {
            continue;
        }
        removeTree(it->path().string());
        ++removed;
    }
    return removed;
}

} // namespace quarrow
