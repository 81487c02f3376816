#include "ScanContext.h"

#include "discovery/PRIOSDeviceController.h"
#include "platform/Log.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

namespace fs = std::filesystem;

ScanContext::ScanContext(NotificationCenter& center) : nc(center) {}

ScanContext::~ScanContext() {
    removeSomeArray();
}

std::optional<std::string> ScanContext::workingCopyOf(const std::string& backupFilePath) {
    if (auto it = copies_.find(backupFilePath); it != copies_.end()) {
        return it->second;
    }
    if (workFolder_.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quarrow-scan-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            systemLog("Cannot create a working folder for the scan in " + pattern);
            return std::nullopt;
        }
        workFolder_ = pattern;
    }
    const std::string copy = workFolder_ + "/" + std::to_string(copies_.size()) + ".sqlite";
    std::error_code ec;
    fs::copy_file(backupFilePath, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        systemLog("Cannot copy " + backupFilePath + " for scanning: " + ec.message());
        fs::remove(copy, ec);
        return std::nullopt;
    }
    // A copy of a read-only file is read-only too; the scan must be able to switch its journal.
    fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ec);
    if (fs::exists(backupFilePath + "-wal", ec)) {
        fs::copy_file(backupFilePath + "-wal", copy + "-wal", fs::copy_options::overwrite_existing, ec);
        if (ec) {
            systemLog("Cannot copy the write-ahead log of " + backupFilePath + ": " + ec.message());
        }
        fs::permissions(copy + "-wal", fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ec);
    }
    copies_[backupFilePath] = copy;
    return copy;
}

void ScanContext::removeSomeArray() {
    // Assigning empty lists gives their memory back, not just their records.
    messageArray = {};
    chatMessageArray = {};
    contactArray = {};
    contactInfoArray = {};
    delContactValueArray = {};
    delContactArray = {};
    noteValueArray = {};
    noteArray = {};
    if (!workFolder_.empty()) {
        std::error_code ec;
        fs::remove_all(workFolder_, ec);
        if (ec) {
            systemLog("Cannot remove the scan's working folder " + workFolder_ + ": " + ec.message());
        }
        workFolder_.clear();
    }
    copies_.clear();
}

void commitDB(const std::string& databasePath) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(databasePath.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK) {
        return;
    }
    if (sqlite3_exec(db.get(), "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return;
    }
    if (sqlite3_wal_checkpoint_v2(db.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) != SQLITE_OK) {
        std::printf("Failed to commit\n");
        std::fflush(stdout);
    }
}

std::optional<std::string> notesDatabasePath(const std::string& backupFolder) {
    for (const char* name : {BackupFileNames::kNotes, BackupFileNames::kNotesLegacy}) {
        const std::string path = backupFolder + "/" + name;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            return path;
        }
    }
    return std::nullopt;
}

} // namespace quarrow
