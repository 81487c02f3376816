#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// One class key of a backup's key bag: the key that protects the files of one protection class,
// wrapped (RFC 3394) with the key derived from the backup password.
struct KeyBagClass {
    std::uint32_t protectionClass = 0; // CLAS
    std::uint32_t wrap = 0;            // WRAP: bit 1 (value 2) = wrapped with the password key
    std::uint32_t keyType = 0;         // KTYP
    std::string wrappedKey;            // WPKY
};

// Manifest.plist's "BackupKeyBag", as far as unlocking needs it.
struct BackupKeyBag {
    std::uint32_t version = 0;    // VERS
    std::uint32_t type = 0;       // TYPE (1 = backup)
    std::string salt;             // SALT, for PBKDF2-HMAC-SHA1
    std::uint32_t iterations = 0; // ITER
    // The first derivation step of iOS 10.2 on (PBKDF2-HMAC-SHA256); absent in older backups.
    std::optional<std::string> dpsl; // DPSL
    std::uint32_t dpic = 0;          // DPIC
    std::vector<KeyBagClass> classes;
};

// Iteration counts above this are refused: devices use 10,000,000 for DPIC (several seconds of
// PBKDF2) and far fewer for ITER, and a key bag asking for billions would keep a scan busy for hours.
inline constexpr std::uint32_t kMaxKeyBagIterations = 50'000'000;

// Reads the key bag from its bytes, or answers nothing with the reason in `problem` when it is
// truncated, lacks SALT or ITER, asks for too many iterations, or holds no class key.
std::optional<BackupKeyBag> readBackupKeyBag(std::string_view bytes, std::string& problem);

} // namespace quarrow
