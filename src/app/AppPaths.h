#pragma once

#include <optional>
#include <string>

namespace quarrow::app {

// The folder of the running binary (from /proc/self/exe), usable before Qt starts.
std::string executableFolder();
// The bundled sample backup root: the build's generated samples, or the copy installed beside
// the binary. Nothing when neither exists.
std::optional<std::string> sampleBackupRoot();
// The command-line program: beside the binary, else the one this build made, else by name.
std::string commandLinePath();

// True when Qt can reach a display or was told which platform to use.
bool displayAvailable();

// Without a display: says so on standard error and replaces this process with the command-line
// scan of the first backup (the user's, else the first sample). Returns only when that fails.
int runCommandLineInstead(const std::optional<std::string>& commandLineRoot);

} // namespace quarrow::app
