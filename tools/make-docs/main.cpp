// Writes the manual pages and the bash completion of quarrow and quarrow-cli from the command
// table in src/cli, at build time. Usage: quarrow_make_docs OUTPUT_FOLDER VERSION
// Output: OUTPUT_FOLDER/man1/*.1.gz (gzip without name or time, so builds are reproducible) and
// OUTPUT_FOLDER/completions/quarrow-cli.

#include "cli/CommandHelp.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <zlib.h>

namespace {

bool writeGzip(const std::filesystem::path& path, const std::string& text) {
    gzFile out = gzopen(path.c_str(), "wb9");
    if (!out) {
        return false;
    }
    const bool written = gzwrite(out, text.data(), static_cast<unsigned>(text.size())) == static_cast<int>(text.size());
    return gzclose(out) == Z_OK && written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER VERSION\n", argv[0]);
        return 2;
    }
    namespace fs = std::filesystem;
    using namespace quarrow::cli;
    const fs::path out = argv[1];
    const std::string version = argv[2];
    fs::create_directories(out / "man1");
    fs::create_directories(out / "completions");
    bool ok = writeGzip(out / "man1" / "quarrow.1.gz", applicationManPage(version)) &&
              writeGzip(out / "man1" / "quarrow-cli.1.gz", cliManPage(version));
    for (const auto& command : commandHelp()) {
        ok = ok && writeGzip(out / "man1" / ("quarrow-cli-" + std::string(command.name) + ".1.gz"),
                             commandManPage(command, version));
    }
    std::ofstream completion(out / "completions" / "quarrow-cli", std::ios::binary);
    completion << bashCompletion();
    ok = ok && completion.good();
    if (!ok) {
        std::fprintf(stderr, "%s: could not write into %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
