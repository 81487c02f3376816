#pragma once

#include "DatabaseLayouts.h"
#include "discovery/BackupFiles.h"
#include "discovery/SqliteSource.h"
#include "platform/WorkFolder.h"
#include "records/Records.h"
#include "records/ValueHelpers.h"

#include <memory>
#include <string>
#include <vector>

namespace quarrow {

class NotificationCenter;

// What the scanners of one scan share: the notification centre they post through, the backup's
// files, the one way to open its databases, the scan's private work folder, and the working lists.
//
// The backup is the user's only copy of their data and is never written: the SQLite source reads
// its databases in place, read-only, or from private copies in the work folder, which goes when the
// scan ends (or the process is interrupted).
class ScanContext {
public:
    // `unlocked`: the keys of an encrypted backup, unlocked once for the whole scan.
    explicit ScanContext(NotificationCenter& nc, std::string backupFolder = {},
                         std::shared_ptr<const UnlockedBackup> unlocked = nullptr);
    ~ScanContext();
    ScanContext(const ScanContext&) = delete;
    ScanContext& operator=(const ScanContext&) = delete;

    NotificationCenter& nc;

    // The files of the backup a scanner is given; the same object for every scanner of the scan.
    const BackupFiles& filesFor(const std::string& backupFolder);

    WorkFolder workFolder{"scan"};
    SqliteSource sqlite{workFolder};

    std::vector<PRContactNodePtr> contactArray;
    std::vector<PRContactNodePtr> contactInfoArray;
    std::vector<PRContactNodePtr> delContactArray;
    std::vector<std::shared_ptr<DelContactValue>> delContactValueArray;
    std::vector<PRMessageNodePtr> messageArray;
    std::vector<std::shared_ptr<PRChatMessageNode>> chatMessageArray;
    std::vector<PRNoteNodePtr> noteArray;
    std::vector<std::shared_ptr<PRNoteValueNode>> noteValueArray;

    // Names for the numbers of messages and calls, made from contactArray by the contacts scanner.
    PhoneNameIndex phoneNames;
    // The version of each database as read, decided from the database itself.
    DatabaseLayouts layouts;

    // Empties the working lists and removes the work folder with every private copy in it.
    void removeSomeArray();

private:
    std::shared_ptr<const UnlockedBackup> unlocked_;
    BackupFiles files_;
};

} // namespace quarrow
