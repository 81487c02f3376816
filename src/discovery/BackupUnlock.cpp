#include "BackupUnlock.h"

#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

namespace {

std::string fileName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opened without blocking and checked before it is read: a FIFO planted in a backup must not hang
// the scan. Nothing, with the reason in `problem`, unless it is a regular file.
UniqueFd openRegularSource(const std::string& source, std::string& problem) {
    UniqueFd in(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st {};
    if (!in) {
        problem = std::strerror(errno);
        return in;
    }
    if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = "not a regular file";
        return UniqueFd();
    }
    return in;
}

// The file's own key from its record, or nothing with the reason in `problem`.
std::optional<Secret> recordKey(const UnlockedBackup& backup, const ArchivedFile& record, std::string& problem) {
    if (!record.encryptionKey) {
        problem = "its record has no encryption key";
        return std::nullopt;
    }
    return backup.keys.fileKey(*record.encryptionKey, problem);
}

DecryptResult decryptWithKey(const Secret& key, std::optional<std::uint64_t> size, const std::string& source,
                             const std::string& target) {
    DecryptResult result;
    const UniqueFd in = openRegularSource(source, result.problem);
    if (!in) {
        result.status = DecryptStatus::ReadFailed;
    } else {
        const UniqueFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out) {
            result.status = DecryptStatus::WriteFailed;
            result.problem = "cannot create the decrypted file (" + std::string(std::strerror(errno)) + ")";
            systemLog("Encrypted file is not decrypted (" + result.problem + "): " + fileName(source));
            return result; // nothing of ours to remove
        }
        result = BackupKeys::decryptFile(key, in.get(), out.get(), size);
    }
    if (result.status != DecryptStatus::Decrypted) {
        ::unlink(target.c_str());
        systemLog("Encrypted file is skipped (" + result.problem + "): " + fileName(source));
    }
    return result;
}

} // namespace

const char* unlockMessage(UnlockStatus status) {
    switch (status) {
    case UnlockStatus::Unlocked:
        return "";
    case UnlockStatus::NoPassword:
        return kEncryptedNoPasswordMessage;
    case UnlockStatus::WrongPassword:
        return kWrongPasswordMessage;
    case UnlockStatus::NoKeyBag:
        return kNoKeyBagMessage;
    case UnlockStatus::Damaged:
        return kDamagedKeyBagMessage;
    }
    return kDamagedKeyBagMessage;
}

UnlockResult unlockBackup(const std::string& folder, const std::string& backupName, PasswordRequest& passwords,
                          const std::function<void()>& deriving) {
    UnlockResult result;
    const std::optional<PropertyList> manifest = PropertyList::readDictionary(folder + "/Manifest.plist", false);
    const std::optional<std::string> keyBagBytes = manifest ? manifest->data("BackupKeyBag") : std::nullopt;
    if (!keyBagBytes) {
        systemLog("Encrypted backup has no key bag in Manifest.plist: " + folder);
        result.status = UnlockStatus::NoKeyBag;
        return result;
    }
    std::string problem;
    const std::optional<BackupKeyBag> bag = readBackupKeyBag(*keyBagBytes, problem);
    if (!bag) {
        systemLog("Encrypted backup's key bag cannot be read (" + problem + "): " + folder);
        result.status = UnlockStatus::Damaged;
        return result;
    }
    const std::optional<std::string> manifestKey = manifest->data("ManifestKey");

    PasswordPrompt prompt{backupName, folder, false};
    for (;;) {
        std::optional<BackupKeys> keys;
        BackupKeys::Unlock unlocked = BackupKeys::Unlock::WrongPassword;
        {
            const std::optional<Secret> password = passwords.requestPassword(prompt);
            if (!password) {
                result.status = prompt.afterWrongPassword ? UnlockStatus::WrongPassword : UnlockStatus::NoPassword;
                return result;
            }
            if (deriving) {
                deriving();
            }
            unlocked = BackupKeys::unlock(*bag, *password, keys);
        } // the password is cleared here
        if (unlocked == BackupKeys::Unlock::NoProtectedKey) {
            systemLog("Encrypted backup's key bag holds no key under its password: " + folder);
            result.status = UnlockStatus::Damaged;
            return result;
        }
        if (unlocked == BackupKeys::Unlock::WrongPassword) {
            // Not logged: the front end says so in its one line, or asks again.
            prompt.afterWrongPassword = true;
            continue;
        }
        auto backup = std::make_shared<UnlockedBackup>();
        backup->keys = std::move(*keys);
        if (manifestKey) {
            backup->manifestKey = backup->keys.fileKey(*manifestKey, problem);
            if (!backup->manifestKey) {
                std::string line = "Encrypted backup's manifest key cannot be used (";
                line.append(problem).append("): ").append(folder);
                systemLog(line);
                result.status = UnlockStatus::Damaged;
                return result;
            }
        }
        result.status = UnlockStatus::Unlocked;
        result.unlocked = std::move(backup);
        return result;
    }
}

DecryptResult decryptBackupFile(const UnlockedBackup& backup, const ArchivedFile& record, const std::string& source,
                                const std::string& target) {
    DecryptResult result;
    const std::optional<Secret> key = recordKey(backup, record, result.problem);
    if (!key) {
        result.status = DecryptStatus::NoKey;
        systemLog("Encrypted file is skipped (" + result.problem + "): " + fileName(source));
        return result;
    }
    return decryptWithKey(*key, record.size, source, target);
}

DecryptResult decryptBackupFile(const UnlockedBackup& backup, const ArchivedFile& record, int sourceFd,
                                const std::string& sourceName, const BackupKeys::Sink& sink) {
    DecryptResult result;
    const std::optional<Secret> key = recordKey(backup, record, result.problem);
    if (!key) {
        result.status = DecryptStatus::NoKey;
    } else {
        result = BackupKeys::decryptFile(*key, sourceFd, sink, record.size);
    }
    if (result.status != DecryptStatus::Decrypted) {
        systemLog("Encrypted file is not decrypted (" + result.problem + "): " + fileName(sourceName));
    }
    return result;
}

std::optional<Secret> decryptFirstBlock(const UnlockedBackup& backup, const ArchivedFile& record,
                                        const std::string& source) {
    std::string problem;
    const std::optional<Secret> key = recordKey(backup, record, problem);
    const UniqueFd in = key ? openRegularSource(source, problem) : UniqueFd();
    return in ? BackupKeys::decryptFirstBlock(*key, in.get()) : std::nullopt;
}

DecryptResult decryptManifest(const UnlockedBackup& backup, const std::string& source, const std::string& target) {
    if (!backup.manifestKey) {
        return {DecryptStatus::NoKey, "the backup has no manifest key", 0};
    }
    return decryptWithKey(*backup.manifestKey, std::nullopt, source, target);
}

} // namespace quarrow
