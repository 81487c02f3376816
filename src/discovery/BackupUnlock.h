#pragma once

#include "ArchivedFile.h"
#include "BackupKeys.h"
#include "platform/PasswordRequest.h"
#include "platform/Secret.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quarrow {

// What both front ends say when an encrypted backup cannot be opened.
inline constexpr const char* kEncryptedNoPasswordMessage =
    "This backup is encrypted: its password is needed to read it.";
inline constexpr const char* kWrongPasswordMessage = "The password is wrong for this backup.";
inline constexpr const char* kNoKeyBagMessage =
    "This backup is encrypted, but its Manifest.plist holds no key bag to unlock it.";
inline constexpr const char* kDamagedKeyBagMessage = "This backup is encrypted, and what unlocks it is damaged.";

enum class UnlockStatus {
    Unlocked,
    NoPassword,    // none was given
    WrongPassword, // the last one given was wrong, and no other came
    NoKeyBag,      // Manifest.plist is missing or holds no BackupKeyBag
    Damaged,       // the key bag or the manifest key cannot be read or used
};

// The one line a front end shows for a status other than Unlocked.
const char* unlockMessage(UnlockStatus status);

// What reading an unlocked backup needs: its class keys and the key of its Manifest.db (absent in
// backups older than iOS 10.2, whose Manifest.db is not encrypted). Cleared when the last holder
// lets go.
struct UnlockedBackup {
    BackupKeys keys;
    std::optional<Secret> manifestKey;
};

struct UnlockResult {
    UnlockStatus status = UnlockStatus::NoKeyBag;
    std::shared_ptr<const UnlockedBackup> unlocked; // set when Unlocked
};

// Unlocks the encrypted backup in `folder`: reads the key bag and ManifestKey of its Manifest.plist,
// asks `passwords` for the password (`backupName` says which backup), and derives the keys, asking
// again after a wrong password until the request answers nothing. `deriving` runs before each
// derivation, which takes seconds with a device's iteration counts: the front ends say "Unlocking…".
// The password is cleared as soon as the keys are derived; nothing about it is logged.
UnlockResult unlockBackup(const std::string& folder, const std::string& backupName, PasswordRequest& passwords,
                          const std::function<void()>& deriving = {});

// Decrypts one file of the backup, `source`, into `target`, a new private file (0600; it must not
// exist), with the key and size of its Manifest.db record. On failure the target is removed and the
// reason logged with the source's name; nothing of the content is logged.
DecryptResult decryptBackupFile(const UnlockedBackup& backup, const ArchivedFile& record, const std::string& source,
                                const std::string& target);
// The same from the open file `sourceFd` into `sink` (an export target), which sees the plaintext piece
// by piece and nothing past the record's size. Logged the same way, under `sourceName`.
DecryptResult decryptBackupFile(const UnlockedBackup& backup, const ArchivedFile& record, int sourceFd,
                                const std::string& sourceName, const BackupKeys::Sink& sink);
// The plaintext of the first cipher block of one file of the backup (kFirstBlockBytes bytes: what its
// first bytes say about its kind), without decrypting the rest; nothing when it has no usable key,
// is shorter than a block or cannot be opened as a regular file (not logged: the caller counts).
inline constexpr std::size_t kFirstBlockBytes = 16;
std::optional<Secret> decryptFirstBlock(const UnlockedBackup& backup, const ArchivedFile& record,
                                        const std::string& source);
// The same for Manifest.db under the manifest key. A backup without one (older than iOS 10.2) keeps
// its Manifest.db plain: that is read in place, and this answers NoKey.
DecryptResult decryptManifest(const UnlockedBackup& backup, const std::string& source, const std::string& target);

} // namespace quarrow
