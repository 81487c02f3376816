#pragma once

#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quarrow {

// One file of the device as a backup knows it: its domain and its path inside that domain. The
// backup stores it under the SHA-1 of "<domain>-<relativePath>" in hex, its file ID.
struct DeviceFile {
    std::string_view domain;
    std::string_view relativePath;

    friend bool operator==(const DeviceFile& a, const DeviceFile& b) {
        return a.domain == b.domain && a.relativePath == b.relativePath;
    }
};

// The device databases the scanners read.
namespace DeviceFiles {
inline constexpr DeviceFile kNotes{"HomeDomain", "Library/Notes/notes.sqlite"};                     // iOS 4 to 8
inline constexpr DeviceFile kNotesLegacy{"HomeDomain", "Library/Notes/notes.db"};                   // iPhone OS 1 to 3
inline constexpr DeviceFile kNoteStore{"AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite"}; // iOS 9 on
inline constexpr DeviceFile kAddressBook{"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb"};
inline constexpr DeviceFile kMessages{"HomeDomain", "Library/SMS/sms.db"};
inline constexpr DeviceFile kCallHistory{"WirelessDomain", "Library/CallHistory/call_history.db"};
inline constexpr DeviceFile kCallHistoryLegacy{"HomeDomain", "Library/CallHistory/call_history.db"};
inline constexpr DeviceFile kCallHistoryStore{"HomeDomain", "Library/CallHistoryDB/CallHistory.storedata"}; // iOS 8 on

// The notes databases, in the order they are looked for: the first that exists is the one.
inline constexpr DeviceFile kNotesDatabases[] = {kNotes, kNotesLegacy};
} // namespace DeviceFiles

// A device file found in a backup: which one, and where it lies.
struct LocatedFile {
    DeviceFile file;
    std::string path;
};

// "Where is the file for domain D, path P, or its fixed hashed name?" for one backup folder. Only
// the flat layout today (<folder>/<file ID>); layouts that need state (a manifest database to look
// names up in, a key to decrypt with) are answered behind the same calls, so callers keep one
// object per backup for the whole scan.
class BackupFiles {
public:
    explicit BackupFiles(std::string backupFolder);

    const std::string& folder() const { return folder_; }

    // The SHA-1 of "<domain>-<relativePath>", 40 lowercase hex digits.
    static std::string fileID(const DeviceFile& file);

    // The path of the file in this backup when something exists there (whatever its kind: readers
    // check that it is a regular file), or nothing.
    std::optional<std::string> locate(const DeviceFile& file) const;
    std::optional<std::string> locateHashed(std::string_view fileID) const;

    // The first of the files that exists, in the order given.
    std::optional<LocatedFile> locateFirst(std::span<const DeviceFile> files) const;
    std::optional<LocatedFile> locateFirst(std::initializer_list<DeviceFile> files) const {
        return locateFirst(std::span<const DeviceFile>(files.begin(), files.size()));
    }

    // The backup's notes database: the first of notes.sqlite and notes.db that exists.
    std::optional<LocatedFile> notesDatabase() const { return locateFirst(DeviceFiles::kNotesDatabases); }

private:
    std::string folder_;
};

} // namespace quarrow
