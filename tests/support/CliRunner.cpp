#include "CliRunner.h"

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace quarrow::test {

CliResult runCommand(const std::string& commandLine) {
    CliResult r;
    FILE* pipe = ::popen(commandLine.c_str(), "r");
    if (!pipe) {
        return r;
    }
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        r.out.append(buffer.data(), n);
    }
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

} // namespace quarrow::test
