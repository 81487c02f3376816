#pragma once

#include "ScannerRegistry.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quarrow {

class NotificationCenter;
class ScanContext;
struct UnlockedBackup;

// One run of the scanners over one backup folder, on a worker thread of its own. The scanners run
// one after another and report through the notification centre (a scanner that reads ahead reads
// during the ones before it, but still posts in its turn); then the run calls
// scanThreadFinish on the worker (which hands the finish step to the main thread and waits for it),
// and finally frees its working lists and working copies.
class ScanRun {
public:
    // Runs the entries' scanners in the order given: by default those of the notes edition.
    ScanRun(NotificationCenter& nc, std::function<void()> scanThreadFinish,
            std::vector<ScannerEntry> scanners = ScannerRegistry::shared().edition(Edition::Notes));
    ~ScanRun();
    ScanRun(const ScanRun&) = delete;
    ScanRun& operator=(const ScanRun&) = delete;

    // Creates the working lists and starts the worker. A run is started once. `unlocked`: the keys of
    // an encrypted backup.
    void ScanIOSBackFile(const std::string& backupFolder, std::shared_ptr<const UnlockedBackup> unlocked = nullptr);

    // True once the worker has freed its lists and is about to end.
    bool isFinished() const { return finished_.load(); }
    // The scanners this run runs, in order.
    const std::vector<ScannerEntry>& scanners() const { return scanners_; }
    // Waits for the worker to end. Must not be called on the main thread while the worker may still
    // need it for the finish step.
    void join();

    // Called on the worker just before it ends (after the lists are freed), e.g. to wake a loop.
    std::function<void()> onWorkerDone;

private:
    void ScanIOSBackUpFilehand(const std::string& backupFolder);

    NotificationCenter& nc_;
    std::function<void()> scanThreadFinish_;
    std::vector<ScannerEntry> scanners_;
    std::unique_ptr<ScanContext> context_;
    std::thread scanBackFileThreader_;
    std::atomic<bool> finished_{false};
};

} // namespace quarrow
