// What looking at each large file's first bytes costs the photo and video scan. An older backup of
// N files at the top of its folder (nine in ten pictures of 50 to 150 KB, one in ten a database
// made by SQLite) is walked by the scan, which opens every file of the threshold for one 16-byte
// read, and by the size-only walk it replaced (list, sort, one attribute read per entry). Both run
// on a warm cache, as a second scan of the same backup does; the first scan of a backup on a cold
// disk is bound by its seeks either way. What the look adds is printed per file too: it should stay
// a few microseconds, next to the milliseconds a scan spends in the databases.
//
//   quarrow_bench_photos [files, default 5000] [repetitions, default 5]

#include "BenchBackups.h"
#include "BenchTiming.h"
#include "DeviceDb.h"
#include "PhoneDbs.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "records/ScanNotifications.h"
#include "scan/PhotoAndVideoScanner.h"
#include "scan/ScanContext.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace quarrow;
namespace fs = std::filesystem;
namespace fx = quarrow::fixtures;
using namespace quarrow::bench;

namespace {

// The walk the scan made before it looked at bytes: every entry's size, none opened.
std::size_t sizeOnlyWalk(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return 0;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end());
    std::size_t large = 0;
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            static_cast<std::uint64_t>(st.st_size) >= kPhotoAndVideoMinimumSize) {
            ++large;
        }
    }
    ::closedir(dir);
    return large;
}

std::size_t scan(const std::string& folder) {
    NotificationCenter nc;
    std::size_t posted = 0;
    nc.addObserver(ScanNotification::kPhotoAndVideo, [&posted](const Notification&) { ++posted; });
    ScanContext context(nc, folder);
    scanPhotoAndVideoThread(context, folder);
    return posted;
}

} // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QuietLog quiet;
    ScopedLogSink scoped(quiet);

    const auto made = scratchFolder("photos");
    if (!made) {
        return 1;
    }
    const std::string root = *made;
    const std::string folder = root + "/backup";
    fs::create_directories(folder);
    const std::string database = root + "/app.sqlite";
    if (!fx::createDatabase(database, "CREATE TABLE t(x);", 4, 4096) ||
        !fx::execSql(database, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
                               "INSERT INTO t SELECT randomblob(2000) FROM n;")) {
        std::fprintf(stderr, "cannot make the database\n");
        return 1;
    }
    const std::string databaseBytes = fx::readFile(database);
    for (int i = 0; i < files; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "%040x", static_cast<unsigned>(i) * 2654435761u);
        const std::string bytes =
            i % 10 == 9 ? databaseBytes : fx::jpegLikeBytes(50000 + static_cast<std::size_t>(i % 100) * 1000, i);
        if (!fx::writeFile(folder + "/" + name, bytes)) {
            std::fprintf(stderr, "cannot write the backup\n");
            return 1;
        }
    }

    const auto walk = best(repetitions, [&] { return sizeOnlyWalk(folder); });
    const auto scanned = best(repetitions, [&] { return scan(folder); });
    std::printf("Older backup of %d files, best of %d runs, warm cache\n", files, repetitions);
    std::printf("  size-only walk            %8.2f ms  (%zu files of the threshold)\n", walk.first * 1e3, walk.second);
    std::printf("  photo scan, first bytes   %8.2f ms  (%zu listed)   ratio %.2f\n", scanned.first * 1e3,
                scanned.second, scanned.first / walk.first);
    std::printf("  added per file of the threshold: %.1f us\n",
                (scanned.first - walk.first) * 1e6 / static_cast<double>(std::max<std::size_t>(walk.second, 1)));

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
