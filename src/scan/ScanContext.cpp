#include "ScanContext.h"

namespace quarrow {

ScanContext::ScanContext(NotificationCenter& center, std::string backupFolder,
                         std::shared_ptr<const UnlockedBackup> unlocked)
    : nc(center), unlocked_(std::move(unlocked)), files_(std::move(backupFolder), &sqlite, unlocked_) {}

ScanContext::~ScanContext() {
    removeSomeArray();
}

const BackupFiles& ScanContext::filesFor(const std::string& backupFolder) {
    if (files_.folder() != backupFolder) {
        files_ = BackupFiles(backupFolder, &sqlite, unlocked_);
    }
    return files_;
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
    phoneNames = {};
    layouts = {};
    files_.close(); // its manifest may be a private copy
    sqlite.forgetCopies();
    workFolder.remove();
}

} // namespace quarrow
