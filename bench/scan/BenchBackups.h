#pragma once

// Scratch folders and encrypted copies of generated backups, for the scan benchmarks.

#include "EncryptedBackup.h"
#include "discovery/BackupUnlock.h"
#include "platform/PasswordRequest.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quarrow::bench {

// A new folder under /tmp named after the benchmark, or nothing (said on stderr).
inline std::optional<std::string> scratchFolder(const std::string& name) {
    std::string pattern = "/tmp/quarrow-bench-" + name + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return std::nullopt;
    }
    return pattern;
}

// Copies the plain backup to `encrypted`, encrypts the copy with the fixtures' password and
// unlocks it; nothing (said on stderr) when a step fails.
inline std::shared_ptr<const UnlockedBackup> encryptedCopy(const std::string& plain, const std::string& encrypted) {
    std::filesystem::copy(plain, encrypted, std::filesystem::copy_options::recursive);
    if (!fixtures::encryptBackup(encrypted)) {
        std::fprintf(stderr, "cannot encrypt the backup\n");
        return nullptr;
    }
    ScriptedPasswordRequest passwords;
    passwords.answerNext(fixtures::BackupEncryption{}.password);
    const UnlockResult unlocked = unlockBackup(encrypted, "bench", passwords);
    if (unlocked.status != UnlockStatus::Unlocked) {
        std::fprintf(stderr, "cannot unlock the backup\n");
        return nullptr;
    }
    return unlocked.unlocked;
}

} // namespace quarrow::bench
