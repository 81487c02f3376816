// Times turning a 30-minute spoken AIFF file into an M4B audio book through the converter (ffmpeg
// started by the process runner, progress read from its output, the result read back with ffprobe
// and named) against the bare ffmpeg command with the same codec options on the same file,
// alternating the two in one run. The goal is a ratio of at most 1.1.
//
//   quarrow_bench_m4b [minutes, default 30] [repetitions, default 3]

#include "audiobook/AudioFileConverter.h"
#include "platform/AiffFile.h"
#include "platform/Process.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

using namespace quarrow;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 22050;

// Speech-like audio from a fixed seed: voiced syllables (a pitch with harmonics, its own loudness)
// of 80 to 300 ms, pauses between words, so that the encoder works as it does on real speech.
std::string makeSpokenAiff(const std::string& folder, int minutes) {
    AiffWriter writer;
    if (!writer.open(folder, kRate)) {
        std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
        std::exit(1);
    }
    std::uint64_t state = 0x5eed;
    const auto next = [&state](std::uint32_t n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state >> 33) % n;
    };
    const std::int64_t total = static_cast<std::int64_t>(minutes) * 60 * kRate;
    std::vector<std::int16_t> chunk;
    double phase = 0;
    for (std::int64_t done = 0; done < total;) {
        const bool pause = next(5) == 0;
        const int length = static_cast<int>(kRate * (pause ? 0.05 + next(200) / 1000.0 : 0.08 + next(220) / 1000.0));
        const double pitch = 90 + next(160);
        const double loud = pause ? 0 : 2000 + next(6000);
        chunk.resize(static_cast<std::size_t>(std::min<std::int64_t>(length, total - done)));
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            const double envelope = std::sin(M_PI * static_cast<double>(i) / static_cast<double>(chunk.size()));
            phase += 2 * M_PI * pitch / kRate;
            const double voice = std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.25 * std::sin(3 * phase);
            const double breath = (static_cast<double>(next(2001)) - 1000) / 1000.0 * 0.15;
            chunk[i] = static_cast<std::int16_t>(loud * envelope * (voice + breath) / 1.9);
        }
        writer.write(chunk.data(), chunk.size());
        done += static_cast<std::int64_t>(chunk.size());
    }
    const auto path = writer.finish("Spoken");
    if (!path) {
        std::fprintf(stderr, "the AIFF file could not be written\n");
        std::exit(1);
    }
    return *path;
}

double bareFfmpeg(const std::string& input, const std::string& output) {
    const std::vector<std::string> args = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error",      "-y",
                                           "-i",     input,      "-c:a",         "aac",       "-aac_coder", "fast",
                                           "-f",     "ipod",     "-brand",       "M4B ",      output};
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "ffmpeg could not be started\n");
        std::exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "ffmpeg failed\n");
        std::exit(1);
    }
    return seconds;
}

double converter(const std::string& input, const std::string& folder, double seconds) {
    AudioFileConverter convert(systemProcessRunner());
    int steps = 0;
    const auto start = Clock::now();
    const AudioConversionResult result = convert.convert(
        {{{input, "Spoken", seconds}}, AudioFormat::M4B, folder, "Spoken", "A Long Book", "Bench", nullptr},
        [&steps](double) { ++steps; });
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (result.outcome != AudioConversionOutcome::Done) {
        std::fprintf(stderr, "conversion failed: %s\n", result.error.c_str());
        std::exit(1);
    }
    fs::remove(result.path);
    return elapsed;
}

// CPU seconds (user and system) of every child process that has ended so far: the measure that
// other work on a shared machine disturbs least.
double childCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const fs::path folder = fs::temp_directory_path() / ("quarrow-bench-m4b-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string input = makeSpokenAiff(folder.string(), minutes);
    const double audioSeconds = minutes * 60.0;
    std::printf("%d minutes of speech-like AIFF (%.1f MB)\n", minutes, static_cast<double>(fs::file_size(input)) / 1e6);
    std::vector<double> baseline;
    std::vector<double> ours;
    std::vector<double> baselineCpu;
    std::vector<double> oursCpu;
    for (int r = 0; r < repetitions; ++r) {
        double cpu = childCpuSeconds();
        baseline.push_back(bareFfmpeg(input, (folder / "bare.m4b").string()));
        baselineCpu.push_back(childCpuSeconds() - cpu);
        cpu = childCpuSeconds();
        ours.push_back(converter(input, folder.string(), audioSeconds));
        oursCpu.push_back(childCpuSeconds() - cpu);
        std::printf("run %d: bare ffmpeg %.2f s (cpu %.2f s), converter %.2f s (cpu %.2f s)\n", r + 1, baseline.back(),
                    baselineCpu.back(), ours.back(), oursCpu.back());
    }
    const double b = median(baseline);
    const double o = median(ours);
    std::printf("median: converter %.2f s, bare ffmpeg %.2f s, ratio %.3f (goal <= 1.1)\n", o, b, o / b);
    std::printf("median cpu of ffmpeg and ffprobe: converter %.2f s, bare ffmpeg %.2f s, ratio %.3f\n", median(oursCpu),
                median(baselineCpu), median(oursCpu) / median(baselineCpu));
    std::printf("speed: %.0fx real time\n", audioSeconds / o);
    fs::remove_all(folder);
    return 0;
}
