#pragma once

#include "Records.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quarrow {

class NotificationCenter;

// What the scanners of one scan share: the notification centre they post through, the working
// lists, and the private working copies of the backup's database files.
//
// The backup is the user's only copy of their data and is never written: every scanner opens the
// working copy that workingCopyOf() makes once per scan, and commitDB() changes only that copy.
class ScanContext {
public:
    explicit ScanContext(NotificationCenter& nc);
    ~ScanContext();
    ScanContext(const ScanContext&) = delete;
    ScanContext& operator=(const ScanContext&) = delete;

    NotificationCenter& nc;

    std::vector<PRContactNodePtr> contactArray;
    std::vector<PRContactNodePtr> contactInfoArray;
    std::vector<PRContactNodePtr> delContactArray;
    std::vector<std::shared_ptr<DelContactValue>> delContactValueArray;
    std::vector<PRMessageNodePtr> messageArray;
    std::vector<std::shared_ptr<PRChatMessageNode>> chatMessageArray;
    std::vector<PRNoteNodePtr> noteArray;
    std::vector<std::shared_ptr<PRNoteValueNode>> noteValueArray;

    // The path of this scan's private copy of a backup file (made on first request, with a write-
    // ahead log beside it if there is one), or nothing (logged) when it cannot be made.
    std::optional<std::string> workingCopyOf(const std::string& backupFilePath);

    // Empties the working lists and removes the working copies.
    void removeSomeArray();

private:
    std::string workFolder_;
    std::map<std::string, std::string> copies_;
};

// Switches the database file to write-ahead logging and folds any log beside it into it. Callers
// pass a working copy, never a file of the backup.
void commitDB(const std::string& databasePath);

// The backup's notes database: the first of the two fixed names that exists, or nothing.
std::optional<std::string> notesDatabasePath(const std::string& backupFolder);

} // namespace quarrow
