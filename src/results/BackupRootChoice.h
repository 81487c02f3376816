#pragma once

#include <optional>
#include <string>

namespace quarrow {

class Host;
class UserDefaults;

// The user-defaults key under which the backup folder chosen by the user is kept.
inline constexpr const char* kBackupRootDefaultsKey = "BackupRootFolder";

// Where the backup list looks, first answer wins: a root given on the command line, then the
// QUARROW_BACKUP_ROOT environment variable, then the folder the user chose and saved, then the
// platform's default backup root. Empty texts count as not given.
std::string effectiveBackupRoot(const Host& host, const UserDefaults& defaults,
                                const std::optional<std::string>& commandLineRoot = std::nullopt);

// Which of those sources gave the root, for the line that shows it.
enum class BackupRootSource { CommandLine, Environment, SavedChoice, Default };
BackupRootSource backupRootSource(const UserDefaults& defaults, const std::optional<std::string>& commandLineRoot);

} // namespace quarrow
