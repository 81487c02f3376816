// Times the deleted-note carver on a device-like notes database of about 256 MiB against a plain
// sequential read of the same file (cat FILE > /dev/null), and reports the peak resident size.
//
// Usage: quarrow_bench_carver FILE [MiB [walk]]
//   Generates FILE (many notes, updates and deletes, schema format 1, 4096-byte pages, switched to
//   write-ahead logging as a scan does) in a child process when it does not exist yet, then times.

#include "DeviceDb.h"
#include "carving/DbFileReader.h"
#include "carving/DelNoteCarver.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "scan/ScanContext.h"
#include "scan/ScanNotifications.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
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

long peakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::uint64_t sizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void generate(const std::string& path, std::uint64_t targetBytes) {
    fixtures::NotesDbBuilder db(path);
    std::mt19937 rng(2012);
    std::int64_t pk = 0;
    const char* words[] = {"milk", "meeting", "Café",  "日本語", "remember",
                           "call", "flight",  "ideas", "list",   "ünïcode"};
    while (sizeOf(path) < targetBytes) {
        db.begin();
        for (int i = 0; i < 2000; ++i) {
            fixtures::NoteSpec n;
            n.pk = ++pk;
            n.title = std::string(words[rng() % 10]) + " " + std::to_string(pk);
            if (rng() % 8 == 0) {
                n.title += " " + std::string(60, 't'); // a wide title now and then
            }
            n.content = "<div>" + n.title + "</div>";
            const std::size_t body = 200 + rng() % 1700;
            while (n.content.size() < body) {
                n.content += std::string("<div>") + words[rng() % 10] + " " + std::to_string(rng()) + "</div>";
            }
            n.modificationDate = 352803900.5 + static_cast<double>(pk) * 61;
            n.creationDate = 352800000 + static_cast<double>(pk) * 60;
            db.addNote(n);
        }
        // Edit and delete among the notes written so far.
        for (int i = 0; i < 200; ++i) {
            const std::int64_t victim = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(pk));
            db.updateNote(victim, "Edited " + std::to_string(victim),
                          "<div>Edited " + std::to_string(victim) + "</div>", 352900000.25);
        }
        for (int i = 0; i < 400; ++i) {
            db.deleteNote(1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(pk)));
        }
        db.commit();
    }
    db.close();
    commitDB(path);
    std::printf("generated %s: %lld notes written, %.1f MiB\n", path.c_str(), static_cast<long long>(pk),
                static_cast<double>(sizeOf(path)) / (1 << 20));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [MiB]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const std::uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
    if (sizeOf(path) == 0) {
        // In a child, so that the generator's memory does not count in this process's peak.
        const pid_t child = fork();
        if (child == 0) {
            generate(path, mib << 20);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    const double megabytes = static_cast<double>(sizeOf(path)) / 1e6;
    const std::string cat = "cat '" + path + "' > /dev/null";
    if (std::system(cat.c_str()) != 0) { // warm the page cache for both runs
        return 1;
    }
    // Best of three for every timing: the machine may be shared.
    constexpr int kRuns = 3;
    double t = 0, cpu = 0, catSeconds = 1e9, catCpu = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        t = now();
        cpu = cpuSeconds(RUSAGE_CHILDREN);
        if (std::system(cat.c_str()) != 0) {
            return 1;
        }
        catSeconds = std::min(catSeconds, now() - t);
        catCpu = std::min(catCpu, cpuSeconds(RUSAGE_CHILDREN) - cpu);
    }

    MemoryLogSink log;
    ScopedLogSink scoped(log);
    const long rssBefore = peakRssKiB();

    // The page walk alone, records counted and dropped: the reader's own memory.
    std::size_t notes = 0, bodies = 0;
    double walkSeconds = 1e9, walkCpu = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        notes = bodies = 0;
        auto file = DbFileReader::openFile(path);
        NoteCarveCallbacks count{[&](PRNoteNodePtr) { ++notes; }, [&](PRNoteValueNodePtr) { ++bodies; }};
        t = now();
        cpu = cpuSeconds(RUSAGE_SELF);
        carveNoteRecords(*file, count, path);
        walkSeconds = std::min(walkSeconds, now() - t);
        walkCpu = std::min(walkCpu, cpuSeconds(RUSAGE_SELF) - cpu);
    }
    const long rssWalk = peakRssKiB();
    if (argc > 3 && std::string(argv[3]) == "walk") {
        std::printf("walk %.3f s wall, %.3f s CPU; cat %.3f s wall, %.3f s CPU\n", walkSeconds, walkCpu, catSeconds,
                    catCpu);
        return 0;
    }

    // The whole carver as a scan runs it: records kept in the working lists, paired and posted.
    NotificationCenter nc;
    std::size_t posted = 0;
    nc.addObserver(ScanNotification::kDelNote, [&](const Notification&) { ++posted; });
    double carveSeconds = 0;
    double carveCpu = 0;
    {
        auto file = DbFileReader::openFile(path);
        ScanContext context(nc);
        t = now();
        cpu = cpuSeconds(RUSAGE_SELF);
        carveDelNotes(*file, context, path);
        carveSeconds = now() - t;
        carveCpu = cpuSeconds(RUSAGE_SELF) - cpu;
    }
    const long rssCarve = peakRssKiB();

    std::printf("file: %.1f MB\n", megabytes);
    std::printf("cat > /dev/null: %.3f s wall (%.0f MB/s), %.3f s CPU (%.0f MB/s)\n", catSeconds,
                megabytes / catSeconds, catCpu, megabytes / catCpu);
    std::printf("page walk (records counted): %.3f s wall (%.0f MB/s, %.1fx cat), %.3f s CPU (%.0f MB/s, %.1fx cat); "
                "%zu notes, %zu bodies\n",
                walkSeconds, megabytes / walkSeconds, walkSeconds / catSeconds, walkCpu, megabytes / walkCpu,
                walkCpu / catCpu, notes, bodies);
    std::printf("carver (records kept, paired, posted): %.3f s wall (%.0f MB/s, %.1fx cat), %.3f s CPU (%.0f MB/s, "
                "%.1fx cat); %zu posted\n",
                carveSeconds, megabytes / carveSeconds, carveSeconds / catSeconds, carveCpu, megabytes / carveCpu,
                carveCpu / catCpu, posted);
    std::printf("peak RSS: %ld KiB at start, %ld KiB after the walk, %ld KiB after the carver\n", rssBefore, rssWalk,
                rssCarve);
    return 0;
}
