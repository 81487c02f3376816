#pragma once

#include <string>
#include <vector>

namespace quarrow::cli {

// `quarrow-cli export BACKUP_FOLDER --to DIR [--deleted-only] [--category NAME ...]`, given the
// arguments after the word "export". Scans like `scan`, ticks the chosen records and writes them
// into DIR exactly as the application's export does. Answers 0 when everything was written, 1 when
// something could not be (listed on standard error), 2 for bad usage.
int runExportCommand(const std::vector<std::string>& args);

} // namespace quarrow::cli
