#pragma once

#include "BackupKeyBag.h"
#include "platform/Secret.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// How decrypting one file of an encrypted backup ended.
enum class DecryptStatus {
    Decrypted,
    NoKey,      // its class key is missing, or its own key does not unwrap
    Truncated,  // not a whole number of cipher blocks, or shorter than the size it should have
    BadPadding, // the last block's PKCS7 padding is wrong: damaged, or another key
    ReadFailed,
    WriteFailed,
};

struct DecryptResult {
    DecryptStatus status = DecryptStatus::Decrypted;
    std::string problem;       // for the log; never content
    std::uint64_t written = 0; // plaintext bytes written
};

// The keys that unlock one encrypted backup: every class key that its password protects.
//
// Unlocking derives the password key in two steps, PBKDF2-HMAC-SHA256 (password, DPSL, DPIC) and
// then PBKDF2-HMAC-SHA1 (that, SALT, ITER), 32 bytes (backups older than iOS 10.2 have no DPSL and
// take only the second step), and unwraps (RFC 3394, AES-256) each class key whose WRAP has bit 1.
// The derivation is the slow part (seconds, with the counts devices use): it is done once per scan.
class BackupKeys {
public:
    enum class Unlock { Unlocked, WrongPassword, NoProtectedKey };

    // Unlocks the key bag with the password. A class key that does not unwrap means the password is
    // wrong; a bag with no class key under the password cannot be unlocked at all.
    static Unlock unlock(const BackupKeyBag& bag, const Secret& password, std::optional<BackupKeys>& out);

    bool hasClassKey(std::uint32_t protectionClass) const { return classKeys_.count(protectionClass) != 0; }
    std::size_t classKeyCount() const { return classKeys_.size(); }

    // A file's own key from its wrapped form: 4 bytes of protection class (little-endian) and the
    // RFC 3394-wrapped key, as in Manifest.plist's "ManifestKey" and each file's "EncryptionKey".
    // Nothing, with the reason in `problem`, when the class key is missing or the key does not unwrap.
    std::optional<Secret> fileKey(std::string_view classAndWrappedKey, std::string& problem) const;

    // Decrypts a whole file: AES-256-CBC with a zero IV and PKCS7 padding, read from `inFd` until
    // its end and written to `outFd`, cut to `size` when it is given. Reads and writes in blocks, so
    // a file of any size costs little memory. What has been written before a failure stays written:
    // the caller removes it.
    static DecryptResult decryptFile(const Secret& key, int inFd, int outFd, std::optional<std::uint64_t> size);
    // The same, handing the plaintext to `sink` piece by piece instead of a file: a sink that answers
    // false ends the decryption as WriteFailed.
    using Sink = std::function<bool(const unsigned char* data, std::size_t size)>;
    static DecryptResult decryptFile(const Secret& key, int inFd, const Sink& sink, std::optional<std::uint64_t> size);
    // The plaintext of the file's first cipher block (16 bytes), read from the start of `inFd`: what a
    // file's first bytes say about its kind costs one block, not the whole file. Nothing when the
    // file is shorter than a block or cannot be read.
    static std::optional<Secret> decryptFirstBlock(const Secret& key, int inFd);

private:
    std::map<std::uint32_t, Secret> classKeys_;
};

// The password key alone (both PBKDF2 steps); for the key bag's tests and the fixtures.
std::optional<Secret> derivePasswordKey(const BackupKeyBag& bag, const Secret& password);
// RFC 3394 unwrap with AES-256: a 32-byte key-encryption key, a wrapped key of 8 bytes more than the
// key. Nothing when the integrity check fails.
std::optional<Secret> unwrapKey(const Secret& kek, std::string_view wrapped);

} // namespace quarrow
