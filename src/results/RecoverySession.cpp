#include "RecoverySession.h"

#include "platform/MainThread.h"
#include "platform/Platform.h"
#include "records/ScanNotifications.h"
#include "scan/ScanRun.h"

#include <sys/stat.h>

namespace quarrow {

namespace {

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

RecoverySession::RecoverySession(NotificationCenter& nc) : nc_(nc), collection_(nc) {}

RecoverySession::~RecoverySession() {
    exportRun_.reset();
    scanRun_.reset();
}

void RecoverySession::prepareScan() {
    if (isScanning()) {
        return;
    }
    releaseScan();
    unlocked_.reset();
    scanners_ = ScannerRegistry::shared().edition(edition_);
    categoriesRan_ = categoriesOf(scanners_);
    collection_.showView();
}

bool RecoverySession::startScan(const std::string& backupFolder, std::shared_ptr<const UnlockedBackup> unlocked) {
    if (isScanning()) {
        return false;
    }
    prepareScan();
    unlocked_ = unlocked;
    scanRun_ = std::make_unique<ScanRun>(
        nc_, [this] { collection_.ScanThreadFinish(); }, scanners_);
    scanRun_->onWorkerDone = [this] {
        if (wakeOnWorkerDone_) {
            wakeOnWorkerDone_();
        }
        if (onScanWorkerDone) {
            onScanWorkerDone();
        }
    };
    scanRun_->ScanIOSBackFile(backupFolder, std::move(unlocked));
    return true;
}

bool RecoverySession::isScanning() const {
    return scanRun_ && !scanRun_->isFinished();
}

void RecoverySession::releaseScan() {
    if (scanRun_ && scanRun_->isFinished()) {
        scanRun_.reset(); // joins the worker, which has nothing left to do
    }
}

bool RecoverySession::runScan(const std::string& backupFolder, std::vector<long long>* progress,
                              std::shared_ptr<const UnlockedBackup> unlocked) {
    if (!isFolder(backupFolder) || isScanning()) {
        return false;
    }
    // The worker hands its finish step to this thread, which serves it from a small loop.
    MainThreadLoop loop;
    Platform& platform = Platform::current();
    MainThread* previous = &platform.mainThread();
    platform.setMainThread(&loop);
    NotificationCenter::Token token = 0;
    if (progress) {
        token = nc_.addObserver(ScanNotification::kProgress, [progress](const Notification& n) {
            if (const auto* value = n.number()) {
                progress->push_back(*value);
            }
        });
    }
    wakeOnWorkerDone_ = [&loop] { loop.wake(); };
    startScan(backupFolder, std::move(unlocked));
    loop.runUntil([this] { return !isScanning(); });
    releaseScan();
    wakeOnWorkerDone_ = {};
    if (progress) {
        nc_.removeObserver(token);
    }
    platform.setMainThread(previous);
    return true;
}

ExportRun* RecoverySession::newExport(const std::string& exportFolder, ExportOutput* output) {
    if (exportRun_) {
        return nullptr;
    }
    exportRun_ = std::make_unique<ExportRun>(collection_, exportFolder, output, unlocked_);
    return exportRun_.get();
}

void RecoverySession::releaseExport() {
    exportRun_.reset(); // waits for a worker that is still returning from its finish step
}

void RecoverySession::goHome() {
    collection_.releaseUIMemory();
    ResultCounters& c = collection_.counters();
    c.BackUpFilesNum = 0;
    c.deleteeFilesNum = 0;
    c.selectedFilesNum = 0;
    c.recovredFilesNum = 0;
    categoriesRan_.clear();
    unlocked_.reset();
}

} // namespace quarrow
