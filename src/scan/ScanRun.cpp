#include "ScanRun.h"

#include "ScanContext.h"

namespace quarrow {

ScanRun::ScanRun(NotificationCenter& nc, std::function<void()> scanThreadFinish, std::vector<ScannerEntry> scanners)
    : nc_(nc), scanThreadFinish_(std::move(scanThreadFinish)), scanners_(std::move(scanners)) {}

ScanRun::~ScanRun() {
    join();
}

void ScanRun::ScanIOSBackFile(const std::string& backupFolder, std::shared_ptr<const UnlockedBackup> unlocked) {
    if (scanBackFileThreader_.joinable() || finished_) {
        return;
    }
    context_ = std::make_unique<ScanContext>(nc_, backupFolder, std::move(unlocked));
    scanBackFileThreader_ = std::thread(&ScanRun::ScanIOSBackUpFilehand, this, backupFolder);
}

void ScanRun::join() {
    if (scanBackFileThreader_.joinable() && scanBackFileThreader_.get_id() != std::this_thread::get_id()) {
        scanBackFileThreader_.join();
    }
}

void ScanRun::ScanIOSBackUpFilehand(const std::string& backupFolder) {
    // Scanners that read ahead find their files now and read them while the scanners before them
    // run; each still posts in its own turn.
    std::vector<std::future<ScannerPost>> ahead(scanners_.size());
    for (std::size_t i = 0; i < scanners_.size(); ++i) {
        if (scanners_[i].ahead) {
            ahead[i] = scanners_[i].ahead(*context_, backupFolder);
        }
    }
    for (std::size_t i = 0; i < scanners_.size(); ++i) {
        if (ahead[i].valid()) {
            if (const ScannerPost post = ahead[i].get()) {
                post(*context_);
            }
        } else if (scanners_[i].run) {
            scanners_[i].run(*context_, backupFolder);
        }
    }
    if (scanThreadFinish_) {
        scanThreadFinish_();
    }
    context_->removeSomeArray();
    finished_ = true;
    if (onWorkerDone) {
        onWorkerDone();
    }
}

} // namespace quarrow
