#include "ExportRun.h"

#include "ExportNames.h"
#include "ExportOutput.h"
#include "PRRtfController.h"
#include "PRVCFController.h"
#include "ResultCollection.h"
#include "discovery/BackupUnlock.h"
#include "platform/Alerts.h"
#include "platform/FileMoves.h"
#include "platform/LocalizedStrings.h"
#include "platform/Platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

namespace {

// One buffer of this size serves the whole copy of a photo or video.
constexpr std::size_t kCopyBufferSize = std::size_t{8} * 1024 * 1024;
constexpr std::size_t kFailuresShownInAlert = 10;
// Names tried for a decrypted picture before the export gives up on it: "IMG_0001.JPG", then
// "IMG_0001 (2).JPG" and so on.
constexpr int kFreeNameAttempts = 10000;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

std::string textOf(const OptText& value) {
    return value ? *value : std::string();
}

std::string recordsNotExported(std::int32_t count) {
    return std::to_string(count) + (count == 1 ? " record" : " records") + " not exported";
}

template <class Node> std::int32_t tickedCount(const std::vector<std::shared_ptr<Node>>& records) {
    std::int32_t count = 0;
    for (const auto& r : records) {
        count += (r && r->bSelected()) ? 1 : 0;
    }
    return count;
}

// True when both paths name the same existing file, so that opening the target for writing would
// empty the source.
bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Opens a file of the backup for copying: never through a link, never blocking on a FIFO, and only
// when it is a regular file; otherwise nothing and the reason.
File openRegularForReading(const std::string& path, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = errno == ELOOP ? "it is a link" : std::strerror(errno);
        return File(nullptr, &std::fclose);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        reason = "it is not a regular file";
        return File(nullptr, &std::fclose);
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        reason = std::strerror(errno);
        ::close(fd);
    }
    return File(file, &std::fclose);
}

} // namespace

ExportRun::ExportRun(ResultCollection& collection, std::string recoverPath, ExportOutput* output,
                     std::shared_ptr<const UnlockedBackup> unlocked)
    : collection_(collection), recoverPath_(std::move(recoverPath)),
      output_(output != nullptr ? *output : diskExportOutput()), unlocked_(std::move(unlocked)) {}

ExportRun::~ExportRun() {
    join();
}

void ExportRun::start() {
    if (recoverThread_.joinable()) {
        return;
    }
    recoverThread_ = std::thread([this] { recoverFilesThread(); });
}

void ExportRun::join() {
    if (recoverThread_.joinable()) {
        recoverThread_.join();
    }
}

bool ExportRun::cancel() {
    State expected = State::Ready;
    return state_.compare_exchange_strong(expected, State::Cancelled) || expected == State::Cancelled;
}

bool ExportRun::wasCancelled() const {
    const State s = state_.load();
    return s == State::Cancelled || s == State::CancelledDone;
}

int ExportRun::progressPercent() const {
    const ResultCounters& c = collection_.counters();
    const std::int32_t selected = c.selectedFilesNum;
    if (selected <= 0) {
        return 0;
    }
    const float ratio = static_cast<float>(c.recovredFilesNum.load()) * 100.0F / static_cast<float>(selected);
    if (!(ratio > 0.0F)) {
        return 0;
    }
    return ratio >= 100.0F ? 100 : static_cast<int>(ratio);
}

std::vector<ExportFailure> ExportRun::failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

std::string ExportRun::recoverFilePath() const {
    std::lock_guard lock(mutex_);
    return recoverFilePath_;
}

void ExportRun::setRecoverFilePath(std::string path) {
    std::lock_guard lock(mutex_);
    recoverFilePath_ = std::move(path);
}

void ExportRun::addFailure(ExportFailure failure) {
    std::lock_guard lock(mutex_);
    failures_.push_back(std::move(failure));
}

void ExportRun::countRecordBegun() {
    ++collection_.counters().recovredFilesNum;
    const std::int32_t count = exported_.fetch_add(1) + 1;
    if (onRecordBegun) {
        onRecordBegun(count);
    }
}

bool ExportRun::prepareCategoryFolder(const std::string& folder, std::int32_t recordsInCategory) {
    setRecoverFilePath(folder);
    std::string error;
    if (output_.createDirectories(folder, error)) {
        return true;
    }
    std::string reason = "the folder could not be created: " + error;
    if (recordsInCategory > 0) {
        reason += "; " + recordsNotExported(recordsInCategory);
    }
    addFailure({folder, std::move(reason)});
    return false;
}

template <class Node, class Write>
void ExportRun::exportTextCategory(const std::vector<std::shared_ptr<Node>>& records, const char* folderName,
                                   const char* typeKey, Write write) {
    const std::string folder = recoverPath_ + "/" + folderName;
    const std::int32_t ticked = tickedCount(records);
    if (!prepareCategoryFolder(folder, ticked)) {
        // Nothing can be written there; the records still count, so the progress reaches its end.
        for (std::int32_t i = 0; i < ticked; ++i) {
            countRecordBegun();
        }
        return;
    }
    PRRtfController rtf;
    for (const auto& record : records) {
        if (record && record->bSelected()) {
            (this->*write)(*record, rtf);
        }
    }
    if (auto failure = rtf.writeRtfInPath(folder, typeKey, output_)) {
        if (ticked > 0) {
            failure->reason += "; " + recordsNotExported(ticked);
        }
        addFailure(std::move(*failure));
    }
}

void ExportRun::recoverFilesThread() {
    State expected = State::Ready;
    if (!state_.compare_exchange_strong(expected, State::Writing)) {
        if (expected == State::Cancelled) {
            saveProgressorHanderToMainThread();
            state_.store(State::CancelledDone);
        }
        return;
    }
    collection_.counters().recovredFilesNum = 0;
    vCardNames_.clear();
    if (recoverPath_.empty()) {
        // The category folders would land at the root of the file system.
        addFailure({recoverPath_, "no export folder was named; nothing exported"});
        saveProgressorHanderToMainThread();
        state_.store(State::Finished);
        return;
    }

    const std::string photoFolder = recoverPath_ + "/Photo&Video";
    const auto& photos = collection_.photoAndVideoArray();
    const std::int32_t tickedPhotos = tickedCount(photos);
    if (prepareCategoryFolder(photoFolder, tickedPhotos)) {
        for (const auto& photo : photos) {
            if (photo && photo->bSelected()) {
                recoverPhotoAndVideo(*photo);
            }
        }
    } else {
        for (std::int32_t i = 0; i < tickedPhotos; ++i) {
            countRecordBegun();
        }
    }
    exportTextCategory(collection_.contactArray(), "Contact", "Contact", &ExportRun::recoverContactNode);
    exportTextCategory(collection_.messageArray(), "Message", "Message", &ExportRun::recoverMessageNode);
    exportTextCategory(collection_.noteArray(), "Note", "Note", &ExportRun::recoverNoteNode);
    exportTextCategory(collection_.callHistoryArray(), "CallHistory", "CallHistory",
                       &ExportRun::recoverCallHistoryNode);

    if (openFolderWhenDone) {
        Platform::current().workspace().openFile(recoverPath_);
    }
    saveProgressorHanderToMainThread();
    state_.store(State::Finished);
}

void ExportRun::saveProgressorHanderToMainThread() {
    Platform::current().mainThread().runAndWait([this] { saveProgressorHanderToMainThreadHandle(); });
}

void ExportRun::saveProgressorHanderToMainThreadHandle() {
    collection_.counters().recovredFilesNum = 0;
    if (onFinish) {
        onFinish(*this);
    }
}

void ExportRun::recoverPhotoAndVideo(const PRPhotoAndVideoNode& record) {
    countRecordBegun();
    const std::string source = textOf(record.filePath());
    std::string name = textOf(record.fileNodeName());
    if (name.empty()) {
        name = source.substr(source.find_last_of('/') + 1);
    }
    if (record.bEncrypted()) {
        recoverEncryptedPhotoAndVideo(record, source, name);
        return;
    }
    const std::string target = recoverPath_ + "/Photo&Video/" + exportFileName(name);

    // The whole file at filePath is copied; its size text is for display only.
    std::string unreadable;
    File in = openRegularForReading(source, unreadable);
    if (!in) {
        addFailure({target, "could not be copied: the source " + source + " cannot be read: " + unreadable});
        return;
    }
    if (sameFile(source, target)) {
        addFailure({target, "could not be copied: it is the source file itself"});
        return;
    }
    // Written beside the target and renamed over it, so that whatever is at the target's name, a
    // link planted there included, is replaced and never written through.
    std::string error;
    std::string temporary;
    auto out = output_.createTemporaryBeside(target, temporary, error);
    if (!out) {
        addFailure({target, "could not be created: " + error});
        return;
    }
    std::unique_ptr<char[]> buffer(new char[kCopyBufferSize]);
    bool ok = true;
    while (ok) {
        const std::size_t n = std::fread(buffer.get(), 1, kCopyBufferSize, in.get());
        if (n > 0 && !out->write(buffer.get(), n)) {
            error = "could not be written: " + out->error();
            ok = false;
        } else if (n < kCopyBufferSize) {
            if (std::ferror(in.get()) != 0) {
                error = "could not be copied: reading " + source + " failed: " + std::strerror(errno);
                ok = false;
            }
            break;
        }
    }
    settleTemporary(std::move(out), temporary, target, ok, std::move(error),
                    [&](std::string& why) { return output_.replaceItem(temporary, target, why); });
}

void ExportRun::recoverEncryptedPhotoAndVideo(const PRPhotoAndVideoNode& record, const std::string& source,
                                              const std::string& name) {
    // Named as the device named the file; pictures of several camera folders share names
    // ("IMG_0001.JPG"), so the name is numbered rather than another file replaced.
    const std::string safeName = exportFileName(name);
    const auto dot = safeName.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? safeName.substr(0, dot) : safeName;
    const std::string extension = hasExtension ? safeName.substr(dot) : std::string();
    const std::string folder = recoverPath_ + "/Photo&Video/";
    const std::string target = folder + safeName;
    if (!unlocked_) {
        addFailure({target, "could not be decrypted: the backup's password is not at hand; scan it again with its "
                            "password and export again"});
        return;
    }
    std::string unreadable;
    File in = openRegularForReading(source, unreadable);
    if (!in) {
        addFailure({target, "could not be decrypted: the source " + source + " cannot be read: " + unreadable});
        return;
    }
    std::string error;
    std::string temporary;
    auto out = output_.createTemporaryBeside(target, temporary, error);
    if (!out) {
        addFailure({target, "could not be created: " + error});
        return;
    }
    // The plaintext goes nowhere but into the temporary file beside the target.
    const std::uint64_t size = record.fileByteCount();
    const ArchivedFile archived{size, std::nullopt, record.encryptionKey()};
    const DecryptResult result = decryptBackupFile(*unlocked_, archived, ::fileno(in.get()), source,
                                                   [&out](const unsigned char* data, std::size_t n) {
                                                       return out->write(reinterpret_cast<const char*>(data), n);
                                                   });
    bool ok = true;
    switch (result.status) {
    case DecryptStatus::Decrypted:
        if (result.written != size) {
            error = "could not be decrypted: " + std::to_string(result.written) + " bytes came out of " +
                    std::to_string(size);
            ok = false;
        }
        break;
    case DecryptStatus::NoKey:
        error = "could not be decrypted: its key does not open with this backup's password (" + result.problem + ")";
        ok = false;
        break;
    case DecryptStatus::Truncated:
    case DecryptStatus::BadPadding:
        error = "could not be decrypted: the backup's copy is damaged or cut short (" + result.problem + ")";
        ok = false;
        break;
    case DecryptStatus::ReadFailed:
        error = "could not be decrypted: reading " + source + " failed (" + result.problem + ")";
        ok = false;
        break;
    case DecryptStatus::WriteFailed:
        error = "could not be written: " + out->error();
        ok = false;
        break;
    }
    settleTemporary(std::move(out), temporary, target, ok, std::move(error), [&](std::string& why) {
        for (int n = 1;; ++n) {
            const std::string candidate = folder + numberedName(stem, extension, n);
            if (output_.moveItem(temporary, candidate, why)) {
                return true;
            }
            if (!output_.fileExists(candidate) || n >= kFreeNameAttempts) {
                return false;
            }
        }
    });
}

void ExportRun::settleTemporary(std::unique_ptr<ExportFile> out, const std::string& temporary,
                                const std::string& target, bool ok, std::string error,
                                const std::function<bool(std::string& error)>& place) {
    if (ok && !out->close()) {
        error = "could not be written: " + out->error();
        ok = false;
    }
    if (ok && !place(error)) {
        error = "could not be written: " + error;
        ok = false;
    }
    if (!ok) {
        out.reset();
        output_.removeItem(temporary);
        addFailure({target, std::move(error)});
    }
}

std::string ExportRun::contactRecordText(const PRContactNode& r) {
    return "Name:" + textOf(r.contactName()) + "  Phone:" + textOf(r.contactPhone()) +
           "  Email:" + textOf(r.contactEmail()) + "  Company:" + textOf(r.contactCompany()) +
           "  JobTitle:" + textOf(r.contactJobtitle()) + "  Home Page:" + textOf(r.contactHomepage()) +
           "  Birthday:" + textOf(r.contactBirthday()) + "  Note:" + textOf(r.contactNote()) + "  ";
}

std::string ExportRun::messageRecordText(const PRMessageNode& r) {
    return "Name:" + textOf(r.messageName()) + "  Phone:" + textOf(r.messagePhone()) +
           "  Date:" + textOf(r.messageDate()) + "  Type:" + textOf(r.messageType()) +
           "  Content:" + textOf(r.messageContent()) + "  ";
}

std::string ExportRun::noteRecordText(const PRNoteNode& r) {
    return "Title:" + textOf(r.noteTitle()) + "  Note:" + textOf(r.noteContent()) + "  Date:" + textOf(r.noteDate()) +
           "  ";
}

std::string ExportRun::callHistoryRecordText(const PRCallHistoryNode& r) {
    return "Name:" + textOf(r.callName()) + "  Phone:" + textOf(r.callPhone()) + "  Date:" + textOf(r.callDate()) +
           "  Type:" + textOf(r.callType()) + "  Duration:" + textOf(r.callDuration()) + "  ";
}

std::string ExportRun::vCardPath(const std::string& contactFolder, const PRContactNode& record,
                                 std::set<std::string>& namesTaken) {
    std::string base = textOf(record.contactName());
    if (base.empty()) {
        base = textOf(record.contactCompany());
    }
    if (base.empty()) {
        base = "unknown " + std::to_string(record.rowid());
    }
    // Contacts of one name each keep their card: "Name.vcf", "Name (2).vcf", ... The number goes
    // with the extension, so that a name cut to fit keeps it.
    std::string name = exportFileName(base, ".vcf");
    for (int n = 2; !namesTaken.insert(name).second; ++n) {
        name = exportFileName(base, " (" + std::to_string(n) + ").vcf");
    }
    return contactFolder + "/" + name;
}

void ExportRun::recoverContactNode(const PRContactNode& record, PRRtfController& rtf) {
    countRecordBegun();
    rtf.addRtfContent(contactRecordText(record));
    PRVCFController vcf;
    if (auto failure = vcf.creatFile(record, vCardPath(recoverPath_ + "/Contact", record, vCardNames_), output_)) {
        addFailure(std::move(*failure));
    }
}

void ExportRun::recoverMessageNode(const PRMessageNode& record, PRRtfController& rtf) {
    countRecordBegun();
    rtf.addRtfContent(messageRecordText(record));
}

void ExportRun::recoverNoteNode(const PRNoteNode& record, PRRtfController& rtf) {
    countRecordBegun();
    rtf.addRtfContent(noteRecordText(record));
}

void ExportRun::recoverCallHistoryNode(const PRCallHistoryNode& record, PRRtfController& rtf) {
    countRecordBegun();
    rtf.addRtfContent(callHistoryRecordText(record));
}

AlertRequest exportFailureAlert(const std::vector<ExportFailure>& failures) {
    AlertRequest alert;
    alert.messageText = localizedString("Some recovered files could not be written.");
    std::string details;
    for (std::size_t i = 0; i < failures.size() && i < kFailuresShownInAlert; ++i) {
        details += failures[i].path + ": " + failures[i].reason + "\n";
    }
    if (failures.size() > kFailuresShownInAlert) {
        std::string more = localizedString("and %d more");
        if (const auto at = more.find("%d"); at != std::string::npos) {
            more.replace(at, 2, std::to_string(failures.size() - kFailuresShownInAlert));
        }
        details += more + "\n";
    }
    alert.informativeText = details;
    alert.buttons = {localizedString(" Ok ")};
    return alert;
}

} // namespace quarrow
