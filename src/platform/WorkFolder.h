#pragma once

#include <mutex>
#include <optional>
#include <string>

namespace quarrow {

// A private folder for one job's working files: copies of backup databases, and later decrypted or
// unpacked data. Nothing else may see them, and nothing may stay behind:
// - made on first use, with mode 0700, under the cache root ($XDG_CACHE_HOME/quarrow, or
//   ~/.cache/quarrow), named "<purpose>-<pid>-XXXXXX";
// - removed with everything in it when its owner destroys it or calls remove();
// - removed too when the process is ended by SIGINT, SIGTERM or SIGHUP: a signal handler only
//   records the signal, a watcher thread removes every live work folder and then lets the signal
//   take its usual course (a signal the process ignored at the first use stays ignored);
// - left behind only when the process is killed outright; sweepStale() removes such folders, whose
//   process is gone, the next time the program starts or a work folder is made.
class WorkFolder {
public:
    // `purpose` names the folder (letters and digits; anything else becomes "x").
    explicit WorkFolder(std::string purpose = "scan");
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // The folder, made on the first call; nothing (logged) when it cannot be made, then and on
    // every later call. Thread-safe.
    std::optional<std::string> path();
    // Whether the folder has been made and not removed since.
    bool exists() const;
    // Removes the folder now; a later path() makes a fresh one.
    void remove();

    // "$XDG_CACHE_HOME/quarrow" when that variable holds an absolute path, else
    // "$HOME/.cache/quarrow" (the home folder of the password database when HOME is unset).
    static std::string cacheRoot();
    // Removes the work folders under the cache root whose process no longer exists, and answers
    // how many it removed. Folders of this process and of live processes stay.
    static int sweepStale();

private:
    std::string purpose_;
    mutable std::mutex mutex_;
    std::optional<std::string> path_;
    bool failed_ = false;
};

} // namespace quarrow
