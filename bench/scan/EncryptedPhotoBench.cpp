// What the photos of an encrypted backup cost against those of the same plain backup. The photo scan
// of the plain backup walks the storage folders and reads each large file's first bytes; that of the
// encrypted one lists the media domains from its decrypted Manifest.db and decrypts each large
// file's first block. The export copies every picture of the plain backup and decrypts every
// picture of the encrypted one into a fresh folder. Goals: the scan ratio close to 1 (no picture is
// decrypted while scanning), the export within a small multiple of the copy.
//
//   quarrow_bench_encrypted_photos [pictures, default 600] [repetitions, default 3]

#include "BenchBackups.h"
#include "BenchTiming.h"
#include "EncryptedBackup.h"
#include "ModernBackup.h"
#include "PhoneDbs.h"
#include "discovery/BackupUnlock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "results/ExportRun.h"
#include "results/ResultCollection.h"
#include "scan/PhotoAndVideoScanner.h"
#include "scan/ScanContext.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <time.h>

using namespace quarrow;
namespace fs = std::filesystem;
namespace fx = quarrow::fixtures;
using namespace quarrow::bench;

namespace {

// The file viewer an export opens at its end: nothing, here.
class NoWorkspace : public Workspace {
public:
    bool openURL(const std::string&) override { return true; }
    bool openFile(const std::string&) override { return true; }
    bool revealFile(const std::string&) override { return true; }
};

// Pictures of 60 to 200 KB in a few camera folders, among a phone's worth of other files.
std::size_t buildBackup(const std::string& folder, int pictures) {
    fx::ModernBackupBuilder backup(folder);
    backup.writePropertyLists(fx::ModernDevice{});
    std::size_t bytes = 0;
    for (int i = 0; i < pictures; ++i) {
        const std::size_t size = 60000 + static_cast<std::size_t>(i % 15) * 10000;
        char name[64];
        std::snprintf(name, sizeof name, "Media/DCIM/%dAPPLE/IMG_%04d.JPG", 100 + i / 1000, i % 1000);
        backup.addFile("CameraRollDomain", name, fx::jpegLikeBytes(size, i));
        bytes += size;
    }
    backup.addOtherRows(20000);
    if (!backup.writeManifest()) {
        std::fprintf(stderr, "cannot write the manifest of %s\n", folder.c_str());
        std::exit(1);
    }
    return bytes;
}

// CPU time of the process: what a shared machine disturbs least (the writes of an export wait on
// the disk, which other jobs share).
double cpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Timing {
    double first = 1e300; // fastest wall time
    std::size_t second = 0;
    double cpu = 1e300; // least CPU time
};

template <typename Run> Timing bestWithCpu(int repetitions, Run run) {
    Timing timing;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Clock::now();
        const double cpuStart = cpuSeconds();
        timing.second = run();
        timing.cpu = std::min(timing.cpu, cpuSeconds() - cpuStart);
        timing.first = std::min(timing.first, seconds(start));
    }
    return timing;
}

// The photo scan alone, as a full scan runs it; its pictures stay in `collection`.
std::size_t scanPhotos(const std::string& folder, const std::shared_ptr<const UnlockedBackup>& unlocked,
                       NotificationCenter& nc, ResultCollection& collection) {
    collection.releaseUIMemory();
    ScanContext context(nc, folder, unlocked);
    scanPhotoAndVideoThread(context, folder);
    return collection.photoAndVideoArray().size();
}

// Every listed picture exported into a fresh folder, which is then removed.
std::size_t exportPhotos(ResultCollection& collection, const std::string& target,
                         const std::shared_ptr<const UnlockedBackup>& unlocked) {
    collection.setSelected(collection.photoAndVideoArray(), true);
    ExportRun run(collection, target, nullptr, unlocked);
    run.openFolderWhenDone = false;
    run.recoverFilesThread();
    const std::size_t failed = run.failures().size();
    std::size_t written = 0;
    for (const auto& entry : fs::directory_iterator(target + "/Photo&Video")) {
        written += static_cast<std::size_t>(entry.file_size());
    }
    fs::remove_all(target);
    return failed == 0 ? written : 0;
}

} // namespace

int main(int argc, char** argv) {
    const int pictures = argc > 1 ? std::atoi(argv[1]) : 600;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    QuietLog quiet;
    ScopedLogSink scoped(quiet);
    NoWorkspace workspace;
    Platform::current().setWorkspace(&workspace);

    const auto made = scratchFolder("photos");
    if (!made) {
        return 1;
    }
    const std::string root = *made;
    const std::string plain = root + "/plain";
    const std::string encrypted = root + "/encrypted";
    const std::size_t bytes = buildBackup(plain, pictures);
    const std::shared_ptr<const UnlockedBackup> unlocked = encryptedCopy(plain, encrypted);
    if (!unlocked) {
        return 1;
    }

    NotificationCenter plainCenter;
    ResultCollection plainPhotos(plainCenter);
    NotificationCenter encryptedCenter;
    ResultCollection encryptedPhotos(encryptedCenter);
    const auto plainScan =
        bestWithCpu(repetitions, [&] { return scanPhotos(plain, nullptr, plainCenter, plainPhotos); });
    const auto encryptedScan =
        bestWithCpu(repetitions, [&] { return scanPhotos(encrypted, unlocked, encryptedCenter, encryptedPhotos); });
    const auto copy = bestWithCpu(repetitions, [&] { return exportPhotos(plainPhotos, root + "/copied", nullptr); });
    const auto decrypt =
        bestWithCpu(repetitions, [&] { return exportPhotos(encryptedPhotos, root + "/decrypted", unlocked); });

    const double mib = static_cast<double>(bytes) / (1 << 20);
    std::printf("%d pictures (%.1f MiB) among 20,000 other manifest rows, best of %d runs\n", pictures, mib,
                repetitions);
    std::printf("  photo scan, plain backup       %8.1f ms, CPU %8.1f ms  (%zu listed)\n", plainScan.first * 1e3,
                plainScan.cpu * 1e3, plainScan.second);
    std::printf("  photo scan, encrypted backup   %8.1f ms, CPU %8.1f ms  (%zu listed)   ratio %.2f, CPU %.2f\n",
                encryptedScan.first * 1e3, encryptedScan.cpu * 1e3, encryptedScan.second,
                encryptedScan.first / plainScan.first, encryptedScan.cpu / plainScan.cpu);
    std::printf("  export, copied                 %8.1f ms, CPU %8.1f ms  (%.0f MiB/s)%s\n", copy.first * 1e3,
                copy.cpu * 1e3, mib / copy.first, copy.second == bytes ? "" : "  (FAILED)");
    std::printf("  export, decrypted              %8.1f ms, CPU %8.1f ms  (%.0f MiB/s)   ratio %.2f, CPU %.2f%s\n",
                decrypt.first * 1e3, decrypt.cpu * 1e3, mib / decrypt.first, decrypt.first / copy.first,
                decrypt.cpu / copy.cpu, decrypt.second == bytes ? "" : "  (FAILED)");

    Platform::current().setWorkspace(nullptr);
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
