#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quarrow {
class ResultCollection;
}

namespace quarrow::cli {

// Runs the command line; answers the process exit status (2 for bad usage).
int run(int argc, char** argv);

// Runs one full scan of the backup folder, exactly as the application does (same scan run, same
// scanners, same collection), and returns when it has finished. The collection is prepared with
// showView() first. Every progress value posted is appended to `progress` when given. Answers
// false when the path is not a folder.
bool runScan(const std::string& backupFolder, ResultCollection& collection, std::vector<long long>* progress);

// Prints the usage text on the stream's file.
void printUsage(std::FILE* out);

} // namespace quarrow::cli
