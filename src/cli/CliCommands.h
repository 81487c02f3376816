#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "scan/ScannerRegistry.h"

#include <memory>
#include <optional>

namespace quarrow {
struct UnlockedBackup;
}

namespace quarrow::cli {

// Runs the command line; answers the process exit status (2 for bad usage).
int run(int argc, char** argv);

// The edition an --edition argument names: "notes" or "full".
std::optional<Edition> editionNamed(const std::string& name);

// Reads an edition option at args[i]: --all (every category, the full edition) or --edition NAME
// (moving i past NAME). The commands that scan share it.
enum class EditionOption { NotOne, Read, Bad };
EditionOption readEditionOption(const std::vector<std::string>& args, std::size_t& i, std::optional<Edition>& edition);

// The exit status of a scan that cannot read the backup at all: an encrypted one without its
// password, or with a wrong one.
inline constexpr int kUnreadableBackup = 3;
// Readies the backup for scan and export. A plain backup needs nothing (0, `unlocked` empty). An
// encrypted one is unlocked with the password read from `passwordFile` (its first line; "-" for
// standard input), saying "Unlocking…" on standard error while the keys are derived; when there is no
// password file, or the password is wrong, one line on standard error says so and the answer is
// kUnreadableBackup.
int unlockForScan(const std::string& backupFolder, const std::optional<std::string>& passwordFile,
                  std::shared_ptr<const UnlockedBackup>& unlocked);
// Reads a --password-file option at args[i] (moving i past its value): Read, Bad when the value is
// missing, NotOne when args[i] is another argument.
enum class PasswordFileOption { NotOne, Read, Bad };
PasswordFileOption readPasswordFileOption(const std::vector<std::string>& args, std::size_t& i,
                                          std::optional<std::string>& passwordFile);

// Prints the usage text on the stream's file.
void printUsage(std::FILE* out);

} // namespace quarrow::cli
