// What encryption costs. The same note store is scanned (note scanner and deleted-note carver, as a
// scan runs them) from a plain backup and from the same backup encrypted, whose scan decrypts
// Manifest.db and the note store into its work folder first; the decryption alone is compared with
// a plain copy of the same bytes; and the one-time unlocking is timed with the iteration counts
// devices use. Goals: the scan ratio close to 1 for a large store (decrypting streams at disk speed),
// the decryption within a small multiple of a copy, the unlocking a few seconds, once per scan.
//
//   quarrow_bench_encrypted [notes, default 40000] [repetitions, default 3] [--no-unlock]

#include "BenchBackups.h"
#include "BenchTiming.h"
#include "EncryptedBackup.h"
#include "ModernBackup.h"
#include "NoteStore.h"
#include "discovery/BackupKeyBag.h"
#include "discovery/BackupKeys.h"
#include "discovery/BackupUnlock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/UniqueFd.h"
#include "results/ResultCollection.h"
#include "scan/DelNoteScanner.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace quarrow;
namespace fs = std::filesystem;
namespace fx = quarrow::fixtures;
using namespace quarrow::bench;

namespace {

constexpr const char* kNotesDomain = "AppDomainGroup-group.com.apple.notes";

void buildBackup(const std::string& folder, const std::string& store, int notes) {
    {
        fx::NoteStoreBuilder db(store);
        const auto f = db.addFolder("Notes");
        for (int i = 0; i < notes; ++i) {
            const std::string title = "Note " + std::to_string(i);
            std::string text = title + "\n";
            for (int line = 0; line < 8; ++line) {
                text += "line " + std::to_string(line) + " of the note, with a few words on it\n";
            }
            db.addNote({title, text, f, 700000000.0 + i, 700000000.0 + i});
        }
        db.close();
    }
    fx::ModernBackupBuilder backup(folder);
    backup.writePropertyLists(fx::ModernDevice{});
    backup.addDatabase(kNotesDomain, "NoteStore.sqlite", store);
    backup.addOtherRows(2000);
    if (!backup.writeManifest()) {
        std::fprintf(stderr, "cannot write the manifest of %s\n", folder.c_str());
        std::exit(1);
    }
}

std::size_t scan(const std::string& folder, const std::shared_ptr<const UnlockedBackup>& unlocked) {
    NotificationCenter nc;
    ResultCollection collection(nc);
    {
        ScanContext context(nc, folder, unlocked);
        scanNoteThread(context, folder);
        scanDelNoteThread(context, folder);
    }
    return collection.noteArray().size();
}

// Copies or decrypts `source` into a fresh file in `scratch`, then removes it.
std::size_t copyOnce(const std::string& source, const std::string& target) {
    const UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    const UniqueFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    std::string buffer(1u << 20, '\0');
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(in.get(), buffer.data(), buffer.size())) > 0;) {
        if (::write(out.get(), buffer.data(), static_cast<std::size_t>(n)) != n) {
            std::fprintf(stderr, "write failed\n");
            std::exit(1);
        }
        total += static_cast<std::size_t>(n);
    }
    ::unlink(target.c_str());
    return total;
}

} // namespace

int main(int argc, char** argv) {
    const int notes = argc > 1 ? std::atoi(argv[1]) : 40000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    const bool unlockAtDeviceCounts = !(argc > 3 && std::strcmp(argv[3], "--no-unlock") == 0);
    QuietLog quiet;
    ScopedLogSink scoped(quiet);

    const auto made = scratchFolder("encrypted");
    if (!made) {
        return 1;
    }
    const std::string root = *made;
    const std::string plain = root + "/plain";
    const std::string encrypted = root + "/encrypted";
    buildBackup(plain, root + "/NoteStore.sqlite", notes);
    const std::shared_ptr<const UnlockedBackup> unlocked = encryptedCopy(plain, encrypted);
    if (!unlocked) {
        return 1;
    }

    const auto plainScan = best(repetitions, [&] { return scan(plain, nullptr); });
    const auto encryptedScan = best(repetitions, [&] { return scan(encrypted, unlocked); });

    // The note store alone: decrypted with its record's key, against a copy of the plain file.
    const std::string id = fx::modernFileID(kNotesDomain, "NoteStore.sqlite");
    const std::string stored = "/" + id.substr(0, 2) + "/" + id;
    const std::size_t bytes = static_cast<std::size_t>(fs::file_size(plain + stored));
    const auto copy = best(repetitions, [&] { return copyOnce(plain + stored, root + "/copy"); });
    const std::string key = fx::fixtureKey("file " + id);
    const Secret fileKey(key.data(), key.size());
    const auto decrypt = best(repetitions, [&] {
        const UniqueFd in(::open((encrypted + stored).c_str(), O_RDONLY | O_CLOEXEC));
        const UniqueFd out(::open((root + "/decrypted").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        const DecryptResult r = BackupKeys::decryptFile(fileKey, in.get(), out.get(), bytes);
        ::unlink((root + "/decrypted").c_str());
        return r.status == DecryptStatus::Decrypted ? static_cast<std::size_t>(r.written) : 0;
    });

    std::printf("Note store of %d notes (%.1f MiB), manifest of ~2000 rows, best of %d runs\n", notes,
                static_cast<double>(bytes) / (1 << 20), repetitions);
    std::printf("  scan, plain backup        %8.1f ms  (%zu notes)\n", plainScan.first * 1e3, plainScan.second);
    std::printf("  scan, encrypted backup    %8.1f ms  (%zu notes)   ratio %.2f\n", encryptedScan.first * 1e3,
                encryptedScan.second, encryptedScan.first / plainScan.first);
    std::printf("  copy of the note store    %8.1f ms  (%.0f MiB/s)\n", copy.first * 1e3,
                static_cast<double>(bytes) / (1 << 20) / copy.first);
    std::printf("  decryption of it          %8.1f ms  (%.0f MiB/s)   ratio %.2f%s\n", decrypt.first * 1e3,
                static_cast<double>(bytes) / (1 << 20) / decrypt.first, decrypt.first / copy.first,
                decrypt.second == bytes ? "" : "  (FAILED)");

    if (unlockAtDeviceCounts) {
        // What a device's key bag costs once per scan: both PBKDF2 steps at the counts devices use.
        fx::BackupEncryption device;
        device.iterations = 10000;
        device.dpic = 10000000;
        std::string problem;
        const auto bag = readBackupKeyBag(fx::keyBagBytes(device), problem);
        const Secret password(device.password);
        std::optional<BackupKeys> keys;
        const auto start = Clock::now();
        const auto result = bag ? BackupKeys::unlock(*bag, password, keys) : BackupKeys::Unlock::NoProtectedKey;
        std::printf("  unlocking at ITER 10,000 and DPIC 10,000,000: %.2f s%s\n", seconds(start),
                    result == BackupKeys::Unlock::Unlocked ? "" : "  (FAILED)");
    }

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
