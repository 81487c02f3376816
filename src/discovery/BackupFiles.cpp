#include "BackupFiles.h"

#include "ArchivedFile.h"
#include "BackupUnlock.h"
#include "SqliteSource.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "platform/TextEscapes.h"
#include "platform/WorkFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <openssl/evp.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

namespace {

// Manifest.db, as devices write it from iOS 10 on:
//   Files(fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB)
// fileID is the SHA-1 of "<domain>-<relativePath>" and names the file <first two digits>/<fileID>;
// flags say what the entry is. The primary key gives every lookup an index, whatever other indexes
// the file has.
constexpr const char* kLookup = "SELECT domain, relativePath, flags, file FROM Files WHERE fileID = ?1";
constexpr std::int64_t kFlagRegularFile = 1;

bool isFileID(std::string_view id) {
    return id.size() == 40 &&
           std::all_of(id.begin(), id.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Whether something lies at the path (links followed). Missing is the usual case and says nothing;
// a link that leads nowhere is worth a line.
bool exists(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return true;
    }
    const int error = errno;
    if (::lstat(path.c_str(), &st) == 0) {
        systemLog("Backup file is a link that leads nowhere (" + std::string(std::strerror(error)) +
                  "), passed over: " + path);
    }
    return false;
}

std::string_view columnText(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
                : std::string_view();
}

struct FinalizeStatement {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};

} // namespace

struct BackupFiles::State {
    std::mutex mutex;
    SqliteSource* source = nullptr;
    std::shared_ptr<const UnlockedBackup> unlocked;
    // Decrypted copies in the source's work folder, by file ID; nothing for a file that could not be
    // decrypted (logged once).
    std::map<std::string, std::optional<std::string>, std::less<>> decrypted;

    bool examined = false;
    BackupLayout layout = BackupLayout::Flat;
    bool encrypted = false;
    bool encryptionLogged = false;

    // Manifest.db, opened on the first lookup. Declared in the order they may be destroyed in
    // reverse: the statement before its connection, the connection before the source of its copy.
    std::unique_ptr<WorkFolder> ownFolder;
    std::unique_ptr<SqliteSource> ownSource;
    bool manifestTried = false;
    SqliteHandle manifest;
    std::unique_ptr<sqlite3_stmt, FinalizeStatement> lookup;
    ManifestReads reads;

    void examine(const std::string& folder) {
        if (examined) {
            return;
        }
        examined = true;
        layout = exists(folder + "/Manifest.db") ? BackupLayout::Manifest : BackupLayout::Flat;
        if (const auto manifestPlist = PropertyList::readDictionary(folder + "/Manifest.plist")) {
            encrypted = manifestPlist->boolean("IsEncrypted").value_or(false);
        }
    }

    // The prepared lookup, or nothing when Manifest.db cannot be read as a manifest (logged once).
    sqlite3_stmt* lookupStatement(const std::string& folder) {
        if (manifestTried) {
            return lookup.get();
        }
        manifestTried = true;
        if (!source) {
            ownFolder = std::make_unique<WorkFolder>("scan");
            ownSource = std::make_unique<SqliteSource>(*ownFolder);
            source = ownSource.get();
        }
        std::string path = folder + "/Manifest.db";
        if (encrypted) {
            std::optional<std::string> plain = decryptedManifest(path);
            if (!plain) {
                return nullptr;
            }
            path = std::move(*plain);
        }
        manifest = source->open(path);
        if (!manifest) {
            systemLog("Manifest.db cannot be read; files are looked for by their names alone: " + path);
            return nullptr;
        }
        sqlite3_stmt* raw = nullptr;
        if (!SqliteSource::hasColumns(manifest.get(), "Files", {"fileID", "domain", "relativePath", "flags"}) ||
            sqlite3_prepare_v2(manifest.get(), kLookup, -1, &raw, nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            systemLog("Manifest.db has no Files table; files are looked for by their names alone: " + path);
            manifest.reset();
            return nullptr;
        }
        lookup.reset(raw);
        sqlite3_stmt* count = nullptr;
        if (sqlite3_prepare_v2(manifest.get(), "PRAGMA page_count", -1, &count, nullptr) == SQLITE_OK &&
            sqlite3_step(count) == SQLITE_ROW) {
            reads.pageCount = sqlite3_column_int64(count, 0);
        }
        sqlite3_finalize(count);
        return raw;
    }

    // A fresh private file for decrypted bytes in the source's work folder, or nothing (logged).
    std::optional<std::string> privateTarget(const std::string& name) {
        const std::optional<std::string> work = source->workFolder().path();
        if (!work) {
            return std::nullopt;
        }
        std::string target = *work + "/decrypted-" + name;
        ::unlink(target.c_str()); // an earlier lookup's copy, forgotten by close()
        return target;
    }

    // Manifest.db decrypted into the work folder (or where it lies, when the backup keeps it plain).
    std::optional<std::string> decryptedManifest(const std::string& path) {
        if (!unlocked->manifestKey) {
            return path; // before iOS 10.2 only the files were encrypted
        }
        std::optional<std::string> target = privateTarget("Manifest.db");
        if (!target || decryptManifest(*unlocked, path, *target).status != DecryptStatus::Decrypted) {
            systemLog("Manifest.db of the encrypted backup cannot be decrypted: " + path);
            return std::nullopt;
        }
        return target;
    }

    // The file decrypted into the work folder with the key of its Manifest.db record, made once.
    std::optional<std::string> decryptedFile(std::string_view id, const std::string& path, std::string_view record) {
        if (const auto known = decrypted.find(id); known != decrypted.end()) {
            return known->second;
        }
        std::optional<std::string> result;
        std::string problem;
        const std::optional<ArchivedFile> archived = readArchivedFile(record, problem);
        if (!archived) {
            systemLog("Manifest.db record of " + std::string(id) + " cannot be read (" + problem + "); not read");
        } else if (auto target = privateTarget(std::string(id))) {
            if (decryptBackupFile(*unlocked, *archived, path, *target).status == DecryptStatus::Decrypted) {
                result = std::move(*target);
            }
        }
        decrypted.emplace(std::string(id), result);
        return result;
    }

    void countReads() {
        if (!manifest) {
            return;
        }
        int current = 0;
        int highest = 0;
        if (sqlite3_db_status(manifest.get(), SQLITE_DBSTATUS_CACHE_MISS, &current, &highest, 0) == SQLITE_OK) {
            reads.pagesRead = current;
        }
        reads.fullScanSteps = sqlite3_stmt_status(lookup.get(), SQLITE_STMTSTATUS_FULLSCAN_STEP, 0);
    }
};

BackupFiles::BackupFiles(std::string backupFolder, SqliteSource* source, std::shared_ptr<const UnlockedBackup> unlocked)
    : folder_(std::move(backupFolder)), state_(std::make_unique<State>()) {
    state_->source = source;
    state_->unlocked = std::move(unlocked);
}

BackupFiles::~BackupFiles() = default;
BackupFiles::BackupFiles(BackupFiles&&) noexcept = default;
BackupFiles& BackupFiles::operator=(BackupFiles&&) noexcept = default;

std::string BackupFiles::fileID(const DeviceFile& file) {
    std::string name;
    name.reserve(file.domain.size() + 1 + file.relativePath.size());
    name.append(file.domain).append("-").append(file.relativePath);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(name.data(), name.size(), digest, &length, EVP_sha1(), nullptr) != 1) {
        return {};
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(std::size_t{2} * length);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

bool BackupFiles::isStorageFolderName(std::string_view name) {
    return name.size() == 2 && hexDigitValue(name[0]) >= 0 && hexDigitValue(name[1]) >= 0;
}

bool BackupFiles::isBookkeepingName(std::string_view name) {
    static constexpr std::string_view kNames[] = {"Manifest.db",    "Manifest.db-wal", "Manifest.db-shm",
                                                  "Manifest.plist", "Manifest.mbdb",   "Manifest.mbdx",
                                                  "Info.plist",     "Status.plist"};
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

BackupLayout BackupFiles::layout() const {
    const std::lock_guard lock(state_->mutex);
    state_->examine(folder_);
    return state_->layout;
}

bool BackupFiles::encrypted() const {
    const std::lock_guard lock(state_->mutex);
    state_->examine(folder_);
    return state_->encrypted;
}

bool BackupFiles::isEncrypted(const std::string& backupFolder) {
    return BackupFiles(backupFolder).encrypted();
}

std::optional<std::string> BackupFiles::locate(const DeviceFile& file) const {
    return locateFile(fileID(file), &file);
}

std::optional<std::string> BackupFiles::locateHashed(std::string_view fileID) const {
    return locateFile(fileID, nullptr);
}

std::optional<std::string> BackupFiles::locateFile(std::string_view id, const DeviceFile* file) const {
    if (folder_.empty() || id.empty()) {
        return std::nullopt;
    }
    State& state = *state_;
    const std::lock_guard lock(state.mutex);
    state.examine(folder_);
    if (state.encrypted && (!state.unlocked || state.layout == BackupLayout::Flat)) {
        if (!state.encryptionLogged) {
            state.encryptionLogged = true;
            // Before iOS 10 the files' keys were in Manifest.mbdb, which is not read: say so rather
            // than blame a password that was given.
            systemLog(state.unlocked
                          ? "Encrypted backup has no Manifest.db (the layout before iOS 10); its files are not read: " +
                                folder_
                          : "Backup is encrypted; its files cannot be read without its password: " + folder_);
        }
        return std::nullopt;
    }
    if (state.layout == BackupLayout::Flat) {
        std::string path = folder_ + "/";
        path.append(id);
        return exists(path) ? std::optional(path) : std::nullopt;
    }
    if (!isFileID(id)) {
        return std::nullopt;
    }
    std::string path = folder_ + "/";
    path.append(id.substr(0, 2)).append("/").append(id);
    sqlite3_stmt* lookup = state.lookupStatement(folder_);
    if (!lookup) {
        // Without its manifest an encrypted backup's files have no keys.
        return !state.encrypted && exists(path) ? std::optional(path) : std::nullopt;
    }
    ++state.reads.lookups;
    sqlite3_reset(lookup);
    sqlite3_bind_text(lookup, 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(lookup);
    bool listed = false;
    std::string record; // the file's MBFile record, for its key
    if (rc == SQLITE_ROW) {
        const bool sameFile =
            !file || (columnText(lookup, 0) == file->domain && columnText(lookup, 1) == file->relativePath);
        if (!sameFile) {
            systemLog("Manifest.db lists " + std::string(id) + " under another name; not read");
        } else if (sqlite3_column_int64(lookup, 2) != kFlagRegularFile) {
            systemLog("Manifest.db lists " + std::string(id) + " as something other than a file; not read");
        } else {
            listed = true;
            if (state.encrypted) {
                const auto* blob = static_cast<const char*>(sqlite3_column_blob(lookup, 3));
                record.assign(blob ? blob : "", blob ? static_cast<std::size_t>(sqlite3_column_bytes(lookup, 3)) : 0);
            }
        }
    } else if (rc != SQLITE_DONE) {
        systemLog("Manifest.db lookup failed: " + std::string(sqlite3_errmsg(state.manifest.get())));
    }
    sqlite3_reset(lookup);
    state.countReads();
    if (!listed) {
        return std::nullopt;
    }
    if (!exists(path)) {
        systemLog("Manifest.db lists a file the backup does not hold: " + path);
        return std::nullopt;
    }
    if (state.encrypted) {
        return state.decryptedFile(id, path, record);
    }
    return path;
}

std::optional<LocatedFile> BackupFiles::locateFirst(std::span<const DeviceFile> files) const {
    for (const DeviceFile& file : files) {
        if (auto path = locate(file)) {
            LocatedFile located{file, std::move(*path), {}, {}};
            // A log is a device file of its own. Older backups and copies made by hand may keep it
            // beside the database's own name instead, which the flat layout still accepts.
            const bool flat = layout() == BackupLayout::Flat;
            const auto companion = [this, &file, &located, flat](const char* suffix) {
                const std::string relativePath = std::string(file.relativePath) + suffix;
                auto found = locate(DeviceFile{file.domain, relativePath});
                return found ? std::move(*found) : flat ? located.path + suffix : std::string();
            };
            located.walPath = companion("-wal");
            located.journalPath = companion("-journal");
            return located;
        }
    }
    return std::nullopt;
}

std::vector<ListedFile> BackupFiles::listedFiles(std::string_view domain) const {
    std::vector<ListedFile> files;
    State& state = *state_;
    const std::lock_guard lock(state.mutex);
    state.examine(folder_);
    if (folder_.empty() || state.layout != BackupLayout::Manifest || (state.encrypted && !state.unlocked)) {
        return files;
    }
    if (!state.lookupStatement(folder_)) {
        return files;
    }
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(state.manifest.get(),
                           "SELECT fileID, relativePath, file FROM Files WHERE domain = ?1 AND flags = ?2 "
                           "ORDER BY relativePath, fileID",
                           -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        systemLog("Manifest.db cannot be listed: " + std::string(sqlite3_errmsg(state.manifest.get())));
        return files;
    }
    const std::unique_ptr<sqlite3_stmt, FinalizeStatement> list(raw);
    sqlite3_bind_text(raw, 1, domain.data(), static_cast<int>(domain.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(raw, 2, kFlagRegularFile);
    std::size_t unreadable = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        const std::string_view id = columnText(raw, 0);
        if (!isFileID(id)) {
            ++unreadable;
            continue;
        }
        const auto* blob = static_cast<const char*>(sqlite3_column_blob(raw, 2));
        std::string problem;
        std::optional<ArchivedFile> record = readArchivedFile(
            std::string_view(blob ? blob : "", blob ? static_cast<std::size_t>(sqlite3_column_bytes(raw, 2)) : 0),
            problem);
        if (!record) {
            ++unreadable;
            continue;
        }
        std::string path = folder_ + "/";
        path.append(id.substr(0, 2)).append("/").append(id);
        files.push_back({std::string(id), std::string(columnText(raw, 1)), std::move(path), std::move(*record)});
    }
    if (rc != SQLITE_DONE) {
        systemLog("Manifest.db listing stopped: " + std::string(sqlite3_errmsg(state.manifest.get())));
    }
    if (unreadable > 0) {
        systemLog("Manifest.db: " + std::to_string(unreadable) + " records of " + std::string(domain) +
                  " cannot be read; passed over");
    }
    return files;
}

const std::shared_ptr<const UnlockedBackup>& BackupFiles::unlocked() const {
    return state_->unlocked;
}

ManifestReads BackupFiles::manifestReads() const {
    const std::lock_guard lock(state_->mutex);
    return state_->reads;
}

void BackupFiles::close() {
    const std::lock_guard lock(state_->mutex);
    state_->lookup.reset();
    state_->manifest.reset();
    state_->manifestTried = false;
    state_->decrypted.clear();
}

} // namespace quarrow
