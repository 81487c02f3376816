// The scan of every bundled sample backup, compared byte for byte with the output committed in
// tests/cli/expected. Any change in what a scan finds, in which order, or how it is written shows
// up here; when a change is meant, regenerate the file with
//   (cd <build>/samples/Backup && TZ=UTC quarrow-cli scan ID --json) > tests/cli/expected/scan-ID.json
// and review the difference.

#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace quarrow::test;

namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SampleScanGolden : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST_P(SampleScanGolden, JsonMatchesTheCommittedOutput) {
    const std::string id = GetParam();
    const std::string expected =
        slurp(std::filesystem::path(QUARROW_SOURCE_DIR) / "tests/cli/expected" / ("scan-" + id + ".json"));
    ASSERT_FALSE(expected.empty()) << "no expected output for " << id;
    // Run from the sample root with the folder's bare name, so that "backup" does not carry the
    // build folder's path.
    const CliResult r = runCommand("cd " + shellQuoted(QUARROW_SAMPLE_ROOT) + " && TZ=UTC " +
                                   shellQuoted(QUARROW_CLI_PATH) + " scan --json " + shellQuoted(id) + " 2>/dev/null");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleScanGolden,
                         ::testing::Values("00008110-001A2D3C0E91801E", "340e53821200ee8b952e724618cb2a7573b0f537",
                                           "3f9c2a7d5e81b04c6a1d92e7f0b3c58a4d6e2f17",
                                           "5a2e8c4f1b7d09e3c6a5f2d8b1e4c7a0f3d9b2e6",
                                           "8b07e4d1c2a95f3e60d7b18c4a2f9e05d3c71b6a",
                                           "c1d5a0e9f7b3248e6a0c9d2b5f8e1a3c7d4b6e90",
                                           "e7b1d4a8c3f6920d5e1b7a4c8f2d6e093b5a1c7d"),
                         [](const auto& info) { return info.param.substr(0, 8); });
