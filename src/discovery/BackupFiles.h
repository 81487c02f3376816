#pragma once

#include "ArchivedFile.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// A device file found in a backup: which one, where it lies, and where the backup keeps the logs
// of that database ("<relativePath>-wal" and "-journal" are device files of their own; empty when
// the backup holds none).
struct LocatedFile {
    DeviceFile file;
    std::string path;
    std::string walPath;
    std::string journalPath;
};

class SqliteSource;
struct UnlockedBackup;

// A regular file that Manifest.db lists, with what its record says (its plain size and, in an
// encrypted backup, its wrapped key).
struct ListedFile {
    std::string fileID;
    std::string relativePath;
    std::string path; // where the backup stores it: <folder>/<first two digits>/<file ID>
    ArchivedFile record;
};

// How a backup lays its files out.
enum class BackupLayout {
    Flat,     // up to iOS 9: <folder>/<file ID>
    Manifest, // from iOS 10 on: <folder>/<first two hex digits>/<file ID>, listed in Manifest.db
};

// What a lookup in Manifest.db has cost so far: the pages read from the file and the rows visited
// by full scans of a table (none while every lookup goes through the file-ID key).
struct ManifestReads {
    int lookups = 0;
    long long pagesRead = 0;
    long long fullScanSteps = 0;
    long long pageCount = 0; // pages in the file, for comparison
};

// "Where is the file for domain D, path P, or its fixed hashed name?" for one backup folder, in
// either layout; callers keep one object per backup for the whole scan.
//
// In the manifest layout, Manifest.db says which files the backup holds. It is opened once, on the
// first lookup, through the SQLite source (read in place, or a private folded copy), and every
// lookup runs one prepared statement on its file-ID key: a manifest of hundreds of thousands of
// rows is never read whole. When Manifest.db cannot be read, files are looked for under their
// names alone (logged).
//
// An encrypted backup is read with the keys its password unlocked (see BackupUnlock.h): Manifest.db
// and then each file a scanner asks for are decrypted on request, once per object, into the work
// folder of the SQLite source (a private 0700 folder that goes with the scan, on interrupt too), and
// the lookups answer those decrypted copies; nothing decrypted is ever written next to the backup.
// A file that cannot be decrypted (no class key, truncated, bad padding) is logged and not found.
// Without the keys an encrypted backup's lookups find nothing (logged once).
class BackupFiles {
public:
    // `source` opens Manifest.db; without one the object opens it through a source and work folder
    // of its own.
    // `unlocked`: the keys of an encrypted backup, when its password has been given.
    explicit BackupFiles(std::string backupFolder, SqliteSource* source = nullptr,
                         std::shared_ptr<const UnlockedBackup> unlocked = nullptr);
    ~BackupFiles();
    BackupFiles(BackupFiles&&) noexcept;
    BackupFiles& operator=(BackupFiles&&) noexcept;

    const std::string& folder() const { return folder_; }

    // The layout, decided by whether the folder holds a Manifest.db.
    BackupLayout layout() const;
    // Whether Manifest.plist says the backup is encrypted ("IsEncrypted").
    bool encrypted() const;
    static bool isEncrypted(const std::string& backupFolder);

    // The SHA-1 of "<domain>-<relativePath>", 40 lowercase hex digits.
    static std::string fileID(const DeviceFile& file);
    // Whether a name at the top of a manifest-layout backup is one of the folders its files are
    // stored in: two hex digits, the first two of their file IDs.
    static bool isStorageFolderName(std::string_view name);
    // Whether a name at the top of a backup is one of the backup's own records of itself (its
    // manifest in any of its forms, Info.plist, Status.plist) rather than a file of the device.
    static bool isBookkeepingName(std::string_view name);

    // The path of the file in this backup when something exists there (whatever its kind: readers
    // check that it is a regular file), or nothing.
    std::optional<std::string> locate(const DeviceFile& file) const;
    std::optional<std::string> locateHashed(std::string_view fileID) const;

    // The first of the files that exists, in the order given, with the logs the backup holds for it.
    std::optional<LocatedFile> locateFirst(std::span<const DeviceFile> files) const;
    std::optional<LocatedFile> locateFirst(std::initializer_list<DeviceFile> files) const {
        return locateFirst(std::span<const DeviceFile>(files.begin(), files.size()));
    }

    // The backup's notes database: the first of notes.sqlite and notes.db that exists.
    std::optional<LocatedFile> notesDatabase() const { return locateFirst(DeviceFiles::kNotesDatabases); }

    // The regular files Manifest.db lists in the domain, in path order, whether the backup holds them
    // or not; nothing in the flat layout, without a readable manifest, or for an encrypted backup
    // without its keys. A record that cannot be read is logged and passed over. In an encrypted
    // backup nothing but Manifest.db is decrypted: each file's record says what it needs.
    std::vector<ListedFile> listedFiles(std::string_view domain) const;
    // The keys of an encrypted backup, when its password has been given.
    const std::shared_ptr<const UnlockedBackup>& unlocked() const;

    // What the manifest lookups have read so far (all zero in the flat layout).
    ManifestReads manifestReads() const;
    // Closes Manifest.db and forgets the decrypted copies (when the work folder holding them is about
    // to go); a later lookup opens and decrypts again.
    void close();

private:
    std::optional<std::string> locateFile(std::string_view fileID, const DeviceFile* file) const;

    struct State;
    std::string folder_;
    std::unique_ptr<State> state_;
};

} // namespace quarrow
