#pragma once

#include "ExportRun.h"
#include "ResultCollection.h"
#include "records/Category.h"
#include "scan/ScannerRegistry.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace quarrow {

class ExportOutput;
class NotificationCenter;
class ScanRun;
struct UnlockedBackup;

// One recovery job, the same object under both front ends: the scan of a backup with the chosen
// edition's scanners, the records it reports (the result collection), and the export of the ticked
// ones. The desktop application and the command line drive it; widgets observe it through the
// collection's hooks and the session's own.
//
// Threads: everything here is called on the main thread. A scan runs on a worker of its own and
// hands its finish step to the main thread (Platform's MainThread), so whoever starts a scan must
// keep serving that thread until isScanning() is false; the same holds for an export's finish step.
class RecoverySession {
public:
    explicit RecoverySession(NotificationCenter& nc);
    // Waits for a scan or an export still running (see the class comment).
    ~RecoverySession();
    RecoverySession(const RecoverySession&) = delete;
    RecoverySession& operator=(const RecoverySession&) = delete;

    ResultCollection& collection() { return collection_; }
    const ResultCollection& collection() const { return collection_; }

    // Which scanners a scan runs; the notes edition unless chosen otherwise.
    Edition edition() const { return edition_; }
    void setEdition(Edition edition) { edition_ = edition; }

    // --- The scan ---
    // Readies a new scan: the collection prepared (showView) and the edition's scanners chosen,
    // which scanners() and categoriesRan() answer from now on. Does nothing while a scan runs.
    void prepareScan();
    // Readies a new scan and starts the edition's scanners on a worker. Answers false, changing
    // nothing, while a scan is running. An encrypted backup is read with `unlocked`, the keys that
    // unlockBackup() made from its password (once per scan; the scan's lookups decrypt on request);
    // the session keeps them in memory for the export of its pictures and movies, which are
    // decrypted only as they are exported, until goHome() or the next scan.
    bool startScan(const std::string& backupFolder, std::shared_ptr<const UnlockedBackup> unlocked = nullptr);
    // True from startScan until the worker has ended.
    bool isScanning() const;
    // Called on the scan's worker as it ends; a front end hops to its main thread and calls
    // releaseScan() there.
    std::function<void()> onScanWorkerDone;
    // Lets an ended scan's worker go. Does nothing while the scan runs.
    void releaseScan();
    // A whole scan on the calling thread, which serves the finish step from a small loop meanwhile
    // (for the command line and tests). Every progress value posted is appended to `progress`
    // when given. Answers false, scanning nothing, when the path is not a folder or a scan runs.
    bool runScan(const std::string& backupFolder, std::vector<long long>* progress = nullptr,
                 std::shared_ptr<const UnlockedBackup> unlocked = nullptr);

    // The scanners of the scan readied last, and the categories they report into: the result view
    // enables exactly these.
    const std::vector<ScannerEntry>& scanners() const { return scanners_; }
    const std::set<Category>& categoriesRan() const { return categoriesRan_; }
    bool categoryRan(Category category) const { return categoriesRan_.contains(category); }

    // --- The export ---
    // A new export of the ticked records into the folder, not yet started: the caller sets its
    // hooks and then starts it on its worker (start()) or runs it here (recoverFilesThread()).
    // Nothing while another export exists.
    ExportRun* newExport(const std::string& exportFolder, ExportOutput* output = nullptr);
    ExportRun* exportRun() { return exportRun_.get(); }
    bool isExporting() const { return exportRun_ != nullptr; }
    // Lets a finished export go (not from inside its finish step, which its worker waits for).
    void releaseExport();

    // The way back home: the lists, the ticks and the counts go; the categories ran and the keys of
    // an encrypted backup are forgotten.
    void goHome();

private:
    NotificationCenter& nc_;
    ResultCollection collection_;
    Edition edition_ = Edition::Notes;
    std::unique_ptr<ScanRun> scanRun_;
    std::function<void()> wakeOnWorkerDone_;
    std::vector<ScannerEntry> scanners_;
    std::set<Category> categoriesRan_;
    std::unique_ptr<ExportRun> exportRun_;
    // The keys of the encrypted backup scanned last, kept in memory (never on disk) for the export of
    // its pictures and movies, and let go with its results: on the way home, at the next scan, and
    // with the session. The key material is wiped when the last holder lets go.
    std::shared_ptr<const UnlockedBackup> unlocked_;
};

} // namespace quarrow
