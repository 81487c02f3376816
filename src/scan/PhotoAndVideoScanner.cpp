#include "PhotoAndVideoScanner.h"

#include "ScanContext.h"
#include "discovery/BackupFiles.h"
#include "platform/Log.h"
#include "platform/UniqueFd.h"
#include "records/ScanNotifications.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quarrow {

namespace {

// Steps of the running progress: one each thirtieth of the entries.
constexpr std::size_t kProgressSteps = 30;

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

} // namespace

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
    ThirtiethsProgress progress(context.nc, n);
    const std::string prefix = backupFolder.ends_with('/') ? backupFolder : backupFolder + "/";
    std::size_t i = 0;
    std::size_t found = 0;
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
            ++found;
            if (!encrypted) {
                context.nc.post(ScanNotification::kPhotoAndVideo, folderPrefix + name);
            }
        }
    }
    if (encrypted) {
        systemLog("Photos and videos: the backup is encrypted; " + std::to_string(found) + " of " + std::to_string(n) +
                  " files are large enough but hold ciphertext, and are not listed");
    } else {
        systemLog("Photos and videos: " + std::to_string(found) + " of " + std::to_string(n) +
                  " files are large enough to be pictures or movies");
    }
}

} // namespace quarrow
