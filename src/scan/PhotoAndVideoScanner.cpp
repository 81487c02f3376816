#include "PhotoAndVideoScanner.h"

#include "ScanContext.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quarrow {

namespace {

struct DirClose {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Steps of the running progress: one each thirtieth of the entries.
constexpr std::size_t kProgressSteps = 30;

} // namespace

void scanPhotoAndVideoThread(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return;
    }
    // The folder is opened once and every entry looked at relative to it, so that the folder cannot
    // be swapped for another between the listing and the look.
    const int fd = ::open(backupFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        systemLog("Photos and videos: the backup folder cannot be listed: " + backupFolder + ": " +
                  std::strerror(errno));
        return;
    }
    std::unique_ptr<DIR, DirClose> dir(::fdopendir(fd));
    if (!dir) {
        ::close(fd);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    // Listed in name order, so that every scan of a backup lists its files alike.
    std::sort(names.begin(), names.end());

    const std::size_t n = names.size();
    std::size_t nextStep = 1;
    long long counter = 0;
    std::size_t found = 0;
    const std::string prefix = backupFolder.ends_with('/') ? backupFolder : backupFolder + "/";
    for (std::size_t i = 0; i < n; ++i) {
        // Several steps can fall on one index; the counter rises once there.
        if (nextStep < kProgressSteps && n * nextStep / kProgressSteps == i) {
            context.nc.post(ScanNotification::kProgress, ++counter);
            while (nextStep < kProgressSteps && n * nextStep / kProgressSteps <= i) {
                ++nextStep;
            }
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir.get()), names[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        if (static_cast<std::uint64_t>(st.st_size) >= kPhotoAndVideoMinimumSize) {
            context.nc.post(ScanNotification::kPhotoAndVideo, prefix + names[i]);
            ++found;
        }
    }
    systemLog("Photos and videos: " + std::to_string(found) + " of " + std::to_string(n) +
              " files are large enough to be pictures or movies");
}

} // namespace quarrow
