// Times the carving engine (through the notes adapter, as a scan runs it) on a device-like notes
// database of about 256 MiB against a plain sequential read of the same file (cat FILE > /dev/null)
// in the same run, and on a crafted 64 MiB file whose every byte is record-like; reports each run's
// peak resident size.
//
// Usage: quarrow_bench_carver FOLDER [MiB [engine|crafted]]
//   Generates FOLDER/device-<MiB>.sqlite and FOLDER/crafted-64.sqlite in child processes when
//   they do not exist yet, then times. The third argument runs that one measurement alone (for a
//   profiler).
//
// Each measurement runs in a child process of its own, so that its peak resident size is its own:
//   engine    deleted notes carved in place (main file, -wal, -journal) and counted
//   crafted   the same over the crafted file

#include "DeviceDb.h"
#include "LargeFiles.h"
#include "carving/DatabaseFile.h"
#include "carving/NoteCarving.h"
#include "platform/Log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quarrow;

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// CPU seconds (user and system) of this process or of its finished children: the machine may be
// busy with other work, which wall-clock times would count.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// System CPU seconds alone: page faults of fresh memory and mappings of the file count there.
double systemSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
}

long peakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::uint64_t sizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// One measurement, best of `runs`, in a child process; prints its line with the child's peak RSS.
struct Figures {
    double wall = 1e9;
    double cpu = 1e9;
    double system = 0; // of the best run's CPU time
};

void report(const char* what, const Figures& f, double megabytes, const Figures& cat, const std::string& extra) {
    std::printf("%s: %.3f s wall (%.0f MB/s, %.1fx cat), %.3f s CPU (%.3f s system; %.0f MB/s, %.1fx cat); %s; "
                "peak RSS %ld KiB\n",
                what, f.wall, megabytes / f.wall, f.wall / cat.wall, f.cpu, f.system, megabytes / f.cpu,
                f.cpu / cat.cpu, extra.c_str(), peakRssKiB());
    std::fflush(stdout);
}

// Runs body in a child (so that the child's peak resident size is the measurement's alone) and
// waits for it; body prints its own line.
void inChild(const std::function<void()>& body) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        body();
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

// The measured work, out of line so that a profiler can count this one call alone
// (valgrind --tool=callgrind --toggle-collect='*runMeasured*').
[[gnu::noinline]] void runMeasured(const std::function<void()>& run) {
    run();
}

Figures timed(int runs, const std::function<void()>& run) {
    Figures best;
    for (int i = 0; i < runs; ++i) {
        const double t = now();
        const double cpu = cpuSeconds(RUSAGE_SELF);
        const double system = systemSeconds();
        runMeasured(run);
        best.wall = std::min(best.wall, now() - t);
        const double used = cpuSeconds(RUSAGE_SELF) - cpu;
        if (used < best.cpu) {
            best.cpu = used;
            best.system = systemSeconds() - system;
        }
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [MiB [engine|crafted]]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
    const std::string only = argc > 3 ? argv[3] : "";
    const auto wanted = [&only](const char* what) { return only.empty() || only == what; };
    ::mkdir(folder.c_str(), 0700);
    const std::string path = folder + "/device-" + std::to_string(mib) + ".sqlite";
    const std::string crafted = folder + "/crafted-64.sqlite";
    // In children, so that the generators' memory does not count in any measurement.
    if (sizeOf(path) == 0) {
        inChild([&] {
            const auto notes = fixtures::writeDeviceLikeNotes(path, mib << 20);
            std::printf("generated %s: %lld notes written, %.1f MiB\n", path.c_str(), static_cast<long long>(notes),
                        static_cast<double>(sizeOf(path)) / (1 << 20));
        });
    }
    if (sizeOf(crafted) == 0) {
        inChild([&] { fixtures::writeRecordLikeFile(crafted, std::uint64_t{64} << 20); });
    }
    const double megabytes = static_cast<double>(sizeOf(path)) / 1e6;
    const double craftedMegabytes = static_cast<double>(sizeOf(crafted)) / 1e6;
    const std::string cat = "cat '" + path + "' > /dev/null";
    if (std::system(cat.c_str()) != 0 || std::system(("cat '" + crafted + "' > /dev/null").c_str()) != 0) {
        return 1; // warms the page cache for every run
    }
    // Best of three for every timing: the machine may be shared.
    constexpr int kRuns = 3;
    Figures catFigures;
    for (int run = 0; run < kRuns; ++run) {
        const double t = now();
        const double cpu = cpuSeconds(RUSAGE_CHILDREN);
        if (std::system(cat.c_str()) != 0) {
            return 1;
        }
        catFigures.wall = std::min(catFigures.wall, now() - t);
        catFigures.cpu = std::min(catFigures.cpu, cpuSeconds(RUSAGE_CHILDREN) - cpu);
    }
    std::printf("file: %.1f MB; crafted file: %.1f MB\n", megabytes, craftedMegabytes);
    std::printf("cat > /dev/null: %.3f s wall (%.0f MB/s), %.3f s CPU (%.0f MB/s)\n", catFigures.wall,
                megabytes / catFigures.wall, catFigures.cpu, megabytes / catFigures.cpu);

    const auto engine = [&](const char* what, const std::string& file, double size) {
        inChild([&] {
            MemoryLogSink log;
            ScopedLogSink scoped(log);
            std::size_t notes = 0, cut = 0;
            const Figures f = timed(kRuns, [&] {
                auto opened = carving::openDatabaseInPlace(file, file);
                const carving::NoteCarving carved = carving::carveDeletedNotes(*opened->file);
                notes = carved.notes.size();
                cut = carved.cutBodies;
            });
            report(what, f, size, catFigures,
                   std::to_string(notes) + " deleted notes, " + std::to_string(cut) + " cut bodies; file " +
                       std::to_string(static_cast<long>(size * 1e6 / 1024)) + " KiB");
        });
    };
    if (wanted("engine")) {
        engine("engine (deleted notes carved in place)", path, megabytes);
    }
    if (wanted("crafted")) {
        engine("engine over the crafted file (ratio: to cat of the device file per MB)", crafted, craftedMegabytes);
    }

    return 0;
}
