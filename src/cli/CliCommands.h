#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "scan/ScannerRegistry.h"

#include <optional>

namespace quarrow::cli {

// Runs the command line; answers the process exit status (2 for bad usage).
int run(int argc, char** argv);

// The edition an --edition argument names: "notes" or "full".
std::optional<Edition> editionNamed(const std::string& name);

// Reads an edition option at args[i]: --all (every category, the full edition) or --edition NAME
// (moving i past NAME). The commands that scan share it.
enum class EditionOption { NotOne, Read, Bad };
EditionOption readEditionOption(const std::vector<std::string>& args, std::size_t& i, std::optional<Edition>& edition);

// The exit status of a scan that cannot read the backup at all: an encrypted one.
inline constexpr int kUnreadableBackup = 3;
// When the backup cannot be scanned, says why in one line on standard error and answers
// kUnreadableBackup; answers 0 otherwise.
int refuseUnreadableBackup(const std::string& backupFolder);

// Prints the usage text on the stream's file.
void printUsage(std::FILE* out);

} // namespace quarrow::cli
