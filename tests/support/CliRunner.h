#pragma once

#include <string>

namespace quarrow::test {

struct CliResult {
    int status = -1; // exit status, -1 when the process did not exit normally
    std::string out; // standard output
};

// Runs a shell command line and collects its standard output and exit status.
CliResult runCommand(const std::string& commandLine);

// The text in single quotes for the shell.
std::string shellQuoted(const std::string& text);

} // namespace quarrow::test
