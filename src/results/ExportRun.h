#pragma once

#include "ExportFailure.h"
#include "records/Records.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quarrow {

class ExportFile;
class ExportOutput;
class PRRtfController;
class ResultCollection;
struct AlertRequest;
struct UnlockedBackup;

// One export of the ticked records of a result collection into a folder: one sub-folder per
// category, one text file per text category, one vCard per contact, a copy of every photo and
// video. Both front ends drive the same run:
//
//   GUI:  ExportRun run(collection, chosenPath);  run.onFinish = ...;  run.start();
//         a one-second timer shows run.progressPercent(); onFinish (main thread) closes the sheet
//         and, when run.failures() is not empty, shows exportFailureAlert(run.failures()).
//   CLI:  ExportRun run(collection, dir);  run.recoverFilesThread();  then read run.failures().
//
// Every ticked record of the five master lists is exported, whatever a filter shows. While a run
// writes, the collection's lists and ticks must not change (the GUI's progress sheet is modal).
class ExportRun {
public:
    // `recoverPath` is the export folder itself (the full path a save panel answers). The output
    // must outlive the run; by default the real file system. `unlocked`: the keys of the encrypted
    // backup the records come from, which its pictures and movies are decrypted with as they are
    // written; without them such a file is reported and the run goes on.
    ExportRun(ResultCollection& collection, std::string recoverPath, ExportOutput* output = nullptr,
              std::shared_ptr<const UnlockedBackup> unlocked = nullptr);
    ~ExportRun(); // waits for the worker
    ExportRun(const ExportRun&) = delete;
    ExportRun& operator=(const ExportRun&) = delete;

    // Starts the worker thread running recoverFilesThread(). A run is started once.
    void start();
    // Waits for the worker, if one was started.
    void join();
    // Stops the run if it has not begun writing: it then writes nothing, opens nothing, and still
    // runs its finish step. Answers false when writing has already begun (or is over).
    bool cancel();

    // The worker body: writes every category in the order Photo&Video, Contacts, Messages, Notes,
    // Call History, then opens the export folder in the file viewer (unless openFolderWhenDone is
    // false) and runs the finish step on the main thread, waiting for it. May be called directly
    // on the main thread for a synchronous export.
    void recoverFilesThread();

    // Progress for a timer on another thread: records begun * 100 / ticked records, in single
    // precision, truncated, kept within 0 to 100. Thread-safe.
    int progressPercent() const;
    // Records whose export has begun in this run (the collection's recovredFilesNum goes back to 0
    // in the finish step; this does not). Thread-safe.
    std::int32_t exportedCount() const { return exported_.load(); }
    bool isFinished() const { return state_.load() == State::Finished || state_.load() == State::CancelledDone; }
    bool wasCancelled() const;

    // What could not be written, in the order it happened. Complete once the run has finished.
    std::vector<ExportFailure> failures() const;

    const std::string& recoverPath() const { return recoverPath_; }
    // The category folder being written. Thread-safe.
    std::string recoverFilePath() const;

    // Set before starting. Opening is the last thing before the finish step.
    bool openFolderWhenDone = true;
    // Called on the worker as each record's export begins, with the count so far (for a command
    // line that prints progress as it goes).
    std::function<void(std::int32_t recovered)> onRecordBegun;
    // Called on the main thread at the end of the finish step (close the sheet, show failures).
    // The worker waits for it, so it must not destroy the run; post that for later instead.
    std::function<void(ExportRun&)> onFinish;

    // The per-record steps, one per category. Each counts the record as begun first.
    void recoverPhotoAndVideo(const PRPhotoAndVideoNode& record);
    void recoverContactNode(const PRContactNode& record, PRRtfController& rtf);
    void recoverMessageNode(const PRMessageNode& record, PRRtfController& rtf);
    void recoverNoteNode(const PRNoteNode& record, PRRtfController& rtf);
    void recoverCallHistoryNode(const PRCallHistoryNode& record, PRRtfController& rtf);

    // The text records as they appear in the category files (without the closing "\n\n").
    static std::string contactRecordText(const PRContactNode& record);
    static std::string messageRecordText(const PRMessageNode& record);
    static std::string noteRecordText(const PRNoteNode& record);
    static std::string callHistoryRecordText(const PRCallHistoryNode& record);
    // The vCard path inside the Contact folder: named after the contact's name, else its company,
    // else "unknown <rowid>", always a safe file name, and numbered " (2)", " (3)", ... when an
    // earlier card of the run took the name. The name chosen is added to namesTaken.
    static std::string vCardPath(const std::string& contactFolder, const PRContactNode& record,
                                 std::set<std::string>& namesTaken);

private:
    enum class State { Ready, Writing, Finished, Cancelled, CancelledDone };

    void countRecordBegun();
    void addFailure(ExportFailure failure);
    void setRecoverFilePath(std::string path);
    // Creates the category folder; when that fails, reports it once for the whole category.
    bool prepareCategoryFolder(const std::string& folder, std::int32_t recordsInCategory);
    template <class Node, class Write>
    void exportTextCategory(const std::vector<std::shared_ptr<Node>>& records, const char* folderName,
                            const char* typeKey, Write write);
    void saveProgressorHanderToMainThread();
    void saveProgressorHanderToMainThreadHandle();
    // A picture or movie of an encrypted backup, decrypted straight into the category folder.
    void recoverEncryptedPhotoAndVideo(const PRPhotoAndVideoNode& record, const std::string& source,
                                       const std::string& name);
    // Closes the temporary file a picture was written to and gives it its name through `place`,
    // which says why when it cannot. On any failure, an earlier one included (`ok` false, `error`
    // said), the temporary goes and the failure is reported: a partial file never takes a name.
    void settleTemporary(std::unique_ptr<ExportFile> out, const std::string& temporary, const std::string& target,
                         bool ok, std::string error, const std::function<bool(std::string& error)>& place);

    ResultCollection& collection_;
    const std::string recoverPath_;
    ExportOutput& output_;
    std::atomic<State> state_{State::Ready};
    std::atomic<std::int32_t> exported_{0};
    mutable std::mutex mutex_; // guards failures_ and recoverFilePath_
    std::vector<ExportFailure> failures_;
    std::string recoverFilePath_;
    std::set<std::string> vCardNames_; // card names this run has written (worker only)
    std::shared_ptr<const UnlockedBackup> unlocked_;
    std::thread recoverThread_;
};

// The one alert that ends an export with failures: a fixed message, the failures listed one a line
// ("<path>: <reason>", at most ten, then "and N more"), and the " Ok " button.
AlertRequest exportFailureAlert(const std::vector<ExportFailure>& failures);

} // namespace quarrow
