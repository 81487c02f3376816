#include "PhotoAndVideoScanner.h"

#include "ScanContext.h"
#include "ScannerRegistry.h"
#include "discovery/BackupFiles.h"
#include "discovery/BackupUnlock.h"
#include "platform/FileReads.h"
#include "platform/Log.h"
#include "platform/UniqueFd.h"
#include "records/Records.h"
#include "records/ScanNotifications.h"
#include "records/ValueHelpers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace quarrow {

namespace {

// Steps of the running progress: one each thirtieth of the entries.
constexpr std::size_t kProgressSteps = 30;

// The domains of the device's pictures and movies: the camera roll ("Media/DCIM/..." and the photo
// library's own files) and the media the device keeps elsewhere (the pictures of messages among them).
constexpr const char* kMediaDomains[] = {"CameraRollDomain", "MediaDomain"};

struct DirClose {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// A storage folder opened without following a link. Folders are listed and their entries looked at
// relative to them, so that a folder cannot be swapped for another between the listing and a look.
UniqueFd openStorageFolder(const UniqueFd& top, const std::string& name) {
    return UniqueFd(::openat(top.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
}

// The names in the folder, in name order so that every scan of a backup walks its files alike;
// nothing when the folder cannot be read. The descriptor stays open for looking at the entries.
std::optional<std::vector<std::string>> listNames(const UniqueFd& folder) {
    const int own = folder ? ::fcntl(folder.get(), F_DUPFD_CLOEXEC, 0) : -1; // the listing closes its own
    std::unique_ptr<DIR, DirClose> dir(own >= 0 ? ::fdopendir(own) : nullptr);
    if (!dir) {
        if (own >= 0) {
            ::close(own);
        }
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// One folder whose entries are walked: its name in the backup folder ("" for the backup folder
// itself) and its entries' names.
struct WalkedFolder {
    std::string name;
    std::vector<std::string> names;
};

// Posts the running progress in thirtieths of n entries: 1, 2, ... up to 29, each just before the
// entry at index floor(n * k / 30) is looked at; several steps falling on one index raise it once.
class ThirtiethsProgress {
public:
    ThirtiethsProgress(NotificationCenter& nc, std::size_t n) : nc_(nc), n_(n) {}

    void before(std::size_t i) {
        if (nextStep_ < kProgressSteps && n_ * nextStep_ / kProgressSteps == i) {
            nc_.post(ScanNotification::kProgress, ++counter_);
            while (nextStep_ < kProgressSteps && n_ * nextStep_ / kProgressSteps <= i) {
                ++nextStep_;
            }
        }
    }

private:
    NotificationCenter& nc_;
    std::size_t n_;
    std::size_t nextStep_ = 1;
    long long counter_ = 0;
};

// The file IDs of the databases the scanners read, with those of the logs a backup may keep of them
// as files of their own: the device's records, whatever their bytes say (a damaged header too).
std::unordered_set<std::string> scannedDatabaseIDs() {
    std::unordered_set<std::string> ids;
    for (const ScannerEntry& entry : ScannerRegistry::shared().entries()) {
        for (const DeviceFile& file : entry.files) {
            ids.insert(BackupFiles::fileID(file));
            for (const char* log : {"-wal", "-journal", "-shm"}) {
                const std::string path = std::string(file.relativePath) + log;
                ids.insert(BackupFiles::fileID({file.domain, path}));
            }
        }
    }
    return ids;
}

// What a walk found, for the closing log line.
struct WalkCounts {
    std::size_t large = 0;      // regular files of the threshold
    std::size_t records = 0;    // of those, the device's own records, not posted
    std::size_t unreadable = 0; // of those, files whose first bytes could not be read, posted by size
};

// Whether a file of the threshold is one of the device's own records rather than a picture or a
// movie. A file whose first bytes cannot be read (no permission, gone since it was listed) counts as
// no record: hiding a picture from the user loses it, while listing a file too many costs a line,
// and the export says so when it cannot copy it.
bool isDeviceRecord(int folderFd, const std::string& name, const std::unordered_set<std::string>& databaseIDs,
                    WalkCounts& counts) {
    if (databaseIDs.contains(name)) {
        return true;
    }
    const std::optional<std::string> leading = leadingBytesAt(folderFd, name, kDeviceRecordBytes);
    if (!leading) {
        ++counts.unreadable;
        return false;
    }
    return deviceRecordKind(*leading) != DeviceRecordKind::None;
}

// The pictures and movies of an encrypted backup of today's layout, by what its decrypted Manifest.db
// says: the files of the media domains, with their plain sizes from their records. Only the first
// cipher block of each file large enough is decrypted, to pass over the device's own records as the
// plain walk does; the rest is decrypted when the user exports the file.
void scanEncryptedMedia(ScanContext& context, const BackupFiles& files) {
    const UnlockedBackup& unlocked = *files.unlocked();
    std::vector<ListedFile> listed;
    for (const char* domain : kMediaDomains) {
        std::vector<ListedFile> more = files.listedFiles(domain);
        listed.insert(listed.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
    const std::unordered_set<std::string> databaseIDs = scannedDatabaseIDs();
    ThirtiethsProgress progress(context.nc, listed.size());
    WalkCounts counts;
    std::size_t missing = 0;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        progress.before(i);
        const ListedFile& file = listed[i];
        const std::uint64_t size = file.record.size.value_or(0);
        if (size < kPhotoAndVideoMinimumSize) {
            continue;
        }
        ++counts.large;
        struct stat st {};
        if (::lstat(file.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            ++missing; // not held, or something other than a file in its place: nothing to export
            continue;
        }
        if (databaseIDs.contains(file.fileID)) {
            ++counts.records;
            continue;
        }
        if (const std::optional<Secret> leading = decryptFirstBlock(unlocked, file.record, file.path)) {
            if (deviceRecordKind(leading->view()) != DeviceRecordKind::None) {
                ++counts.records;
                continue;
            }
        } else {
            ++counts.unreadable; // listed: the export says what is wrong with it
        }
        auto node = std::make_shared<PRPhotoAndVideoNode>();
        const auto slash = file.relativePath.find_last_of('/');
        node->setFileNodeName(slash == std::string::npos ? file.relativePath : file.relativePath.substr(slash + 1));
        node->setFileNodeSize(sizeTextForBytes(size));
        node->setFileByteCount(size);
        node->setFilePath(file.path);
        node->setEncryptionKey(file.record.encryptionKey.value_or(std::string()));
        context.nc.post(ScanNotification::kPhotoAndVideo, std::shared_ptr<PRObject>(std::move(node)));
    }
    systemLog(
        "Photos and videos: the backup is encrypted; " + std::to_string(counts.large) + " of " +
        std::to_string(listed.size()) + " media files are large enough to be pictures or movies" +
        (counts.records > 0 ? "; " + std::to_string(counts.records) +
                                  " of those are databases or property lists of the device, not listed"
                            : std::string()) +
        (missing > 0 ? "; " + std::to_string(missing) + " are not held by the backup, not listed" : std::string()) +
        (counts.unreadable > 0 ? "; " + std::to_string(counts.unreadable) +
                                     " could not be decrypted to look at and are listed by their size alone"
                               : std::string()));
}

} // namespace

DeviceRecordKind deviceRecordKind(std::string_view leading) {
    using namespace std::string_view_literals;
    // Header of a database file: offset 0, 16 bytes, "SQLite format 3" and its terminating zero.
    if (leading.starts_with("SQLite format 3\0"sv)) {
        return DeviceRecordKind::Database;
    }
    // A write-ahead log: offset 0, the big-endian magic 0x377f0682 or 0x377f0683 (the checksums'
    // byte order), then at offset 4 the format version 3007000, the only one there is.
    if (leading.size() >= 8 && leading.substr(0, 3) == "\x37\x7f\x06"sv &&
        (leading[3] == '\x82' || leading[3] == '\x83') && leading.substr(4, 4) == "\x00\x2d\xe2\x18"sv) {
        return DeviceRecordKind::DatabaseLog;
    }
    // A rollback journal: offset 0, its 8-byte magic.
    if (leading.starts_with("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7"sv)) {
        return DeviceRecordKind::DatabaseLog;
    }
    // A binary property list: "bplist", then its version as two digits ("00").
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (leading.size() >= 8 && leading.starts_with("bplist"sv) && digit(leading[6]) && digit(leading[7])) {
        return DeviceRecordKind::PropertyList;
    }
    return DeviceRecordKind::None;
}

void scanPhotoAndVideoThread(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return;
    }
    const UniqueFd top(::open(backupFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    std::optional<std::vector<std::string>> topNames = listNames(top);
    if (!topNames) {
        systemLog("Photos and videos: the backup folder cannot be listed: " + backupFolder + ": " +
                  std::strerror(errno));
        return;
    }

    const BackupFiles& files = context.filesFor(backupFolder);
    // An unlocked backup of today's layout says in its manifest which files are pictures and how large
    // they are; its storage folders hold nothing but ciphertext.
    if (files.encrypted() && files.unlocked() && files.layout() == BackupLayout::Manifest) {
        scanEncryptedMedia(context, files);
        return;
    }
    // Today's backups keep every file of the device in the storage folders, and nothing but their own
    // bookkeeping at the top; older ones keep everything at the top.
    std::vector<WalkedFolder> folders;
    if (files.layout() == BackupLayout::Manifest) {
        for (const std::string& name : *topNames) {
            if (!BackupFiles::isStorageFolderName(name)) {
                continue;
            }
            std::optional<std::vector<std::string>> names = listNames(openStorageFolder(top, name));
            if (!names) {
                // A link, a file or an unreadable folder in a storage folder's place: its entries
                // cannot be walked; the others can.
                systemLog("Photos and videos: a storage folder of the backup cannot be listed: " + name);
                continue;
            }
            folders.push_back({name, std::move(*names)});
        }
    } else {
        folders.push_back({"", std::move(*topNames)});
    }

    std::size_t n = 0;
    for (const WalkedFolder& folder : folders) {
        n += folder.names.size();
    }
    // An encrypted backup stores its files as ciphertext: the bytes of no picture, and a copy of
    // them would be no picture either. They are counted, never reported.
    const bool encrypted = files.encrypted();
    const std::unordered_set<std::string> databaseIDs =
        encrypted ? std::unordered_set<std::string>{} : scannedDatabaseIDs();
    ThirtiethsProgress progress(context.nc, n);
    const std::string prefix = backupFolder.ends_with('/') ? backupFolder : backupFolder + "/";
    std::size_t i = 0;
    WalkCounts counts;
    for (const WalkedFolder& folder : folders) {
        const bool atTop = folder.name.empty();
        const UniqueFd storage = atTop ? UniqueFd() : openStorageFolder(top, folder.name);
        const int fd = atTop ? top.get() : storage.get();
        const std::string folderPrefix = atTop ? prefix : prefix + folder.name + "/";
        for (const std::string& name : folder.names) {
            progress.before(i++);
            if (fd < 0 || (atTop && BackupFiles::isBookkeepingName(name))) {
                continue;
            }
            struct stat st {};
            if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
                static_cast<std::uint64_t>(st.st_size) < kPhotoAndVideoMinimumSize) {
                continue;
            }
            ++counts.large;
            // Ciphertext is not looked into: its bytes say nothing, and none of it is posted.
            if (encrypted) {
                continue;
            }
            if (isDeviceRecord(fd, name, databaseIDs, counts)) {
                ++counts.records;
                continue;
            }
            context.nc.post(ScanNotification::kPhotoAndVideo, folderPrefix + name);
        }
    }
    const std::string large = std::to_string(counts.large) + " of " + std::to_string(n);
    if (encrypted) {
        systemLog("Photos and videos: the backup is encrypted; " + large +
                  " files are large enough but hold ciphertext, and are not listed");
    } else {
        systemLog("Photos and videos: " + large + " files are large enough to be pictures or movies" +
                  (counts.records > 0 ? "; " + std::to_string(counts.records) +
                                            " of those are databases or property lists of the device, not listed"
                                      : std::string()) +
                  (counts.unreadable > 0 ? "; " + std::to_string(counts.unreadable) +
                                               " could not be read and are listed by their size alone"
                                         : std::string()));
    }
}

} // namespace quarrow
