// Times the whole command `quarrow-cli scan --summary` (existing notes read with SQL, deleted ones
// carved, everything posted into the result collection, the summary printed) over a backup whose
// notes database holds 150,000 notes in about 64 MiB, against SQLite itself reading every note and
// every body of the same file. Both run as processes of their own; best of the repetitions, wall
// and CPU time (the machine may be busy).
//
//   quarrow_bench_scan_summary FOLDER [repetitions, default 5]
//
// FOLDER/backup is generated when it does not exist yet.

#include "DeviceDb.h"
#include "discovery/BackupFiles.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quarrow;
namespace fs = std::filesystem;

namespace {

constexpr int kNotes = 150000;

class Random {
public:
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    std::size_t below(std::size_t n) { return next() % n; }

private:
    std::uint64_t state_ = 150000;
};

const char* const kWords[] = {"milk",   "meeting", "call",   "Lisbon", "recipe", "crème",    "東京",   "budget",
                              "garden", "tickets", "doctor", "Müller", "ideas",  "birthday", "flight", "😀",
                              "plan",   "project", "review", "café",   "bread",  "keys",     "train",  "lunch"};

std::string words(Random& r, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += (i ? " " : "") + std::string(kWords[r.below(std::size(kWords))]);
    }
    return text;
}

// 150,000 short notes as people keep them (a title and a few lines), a few edited and deleted.
void build(const std::string& path) {
    fixtures::NotesDbBuilder db(path);
    Random r;
    db.begin();
    for (int i = 1; i <= kNotes; ++i) {
        fixtures::NoteSpec n;
        n.pk = i;
        n.title = words(r, 2 + r.below(4));
        n.content = n.title;
        for (std::size_t k = 0, lines = 2 + r.below(5); k < lines; ++k) {
            n.content += "<div>" + words(r, 3 + r.below(8)) + "</div>";
        }
        n.creationDate = 350000000 + i * 60.0;
        n.modificationDate = n.creationDate + 0.5;
        db.addNote(n);
    }
    db.commit();
    db.begin();
    for (int i = 1; i <= kNotes; i += 40) {
        db.updateNote(i, "Edited " + std::to_string(i),
                      "Edited " + std::to_string(i) + "<div>" + words(r, 6) + "</div>", 360000000.25);
    }
    for (int i = 7; i <= kNotes; i += 50) {
        db.deleteNote(i);
    }
    db.commit();
}

struct Timing {
    double wall = 1e9;
    double cpu = 1e9;
};

// Runs f in a child process and answers its wall and CPU time.
template <class F> Timing inChild(F f) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        f();
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Timing t;
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return t;
}

// SQLite reading every note and its body, every column as text.
void readWithSqlite(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "select ZTITLE,ZSUMMARY,ZMODIFICATIONDATE,ZCREATIONDATE,ZCONTENT from znote LEFT JOIN "
                       "ZNOTEBODY ON ZNOTE.Z_PK = ZNOTEBODY.Z_PK",
                       -1, &stmt, nullptr);
    std::size_t rows = 0, bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < 5; ++c) {
            sqlite3_column_text(stmt, c);
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (rows == 0 || bytes == 0) {
        _exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [repetitions]\n", argv[0]);
        return 2;
    }
    const std::string backup = std::string(argv[1]) + "/backup";
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string path = backup + "/" + BackupFiles::fileID(DeviceFiles::kNotes);
    if (!fs::exists(path)) {
        fs::create_directories(backup);
        build(path);
    }
    std::printf("notes database: %.1f MiB, %d notes written\n", static_cast<double>(fs::file_size(path)) / (1 << 20),
                kNotes);
    const std::string scan = std::string(QUARROW_CLI_PATH) + " scan --summary '" + backup + "' > /dev/null 2>&1";
    Timing cli, sqlite;
    for (int i = 0; i < repetitions; ++i) {
        const Timing c = inChild([&] { _exit(std::system(scan.c_str()) == 0 ? 0 : 1); });
        const Timing s = inChild([&] { readWithSqlite(path); });
        cli = {std::min(cli.wall, c.wall), std::min(cli.cpu, c.cpu)};
        sqlite = {std::min(sqlite.wall, s.wall), std::min(sqlite.cpu, s.cpu)};
    }
    std::printf("quarrow-cli scan --summary: %.3f s wall, %.3f s CPU\n", cli.wall, cli.cpu);
    std::printf("SQLite reading every note and body: %.3f s wall, %.3f s CPU\n", sqlite.wall, sqlite.cpu);
    std::printf("ratio: %.2fx wall, %.2fx CPU (goal: at most 2x wall)\n", cli.wall / sqlite.wall, cli.cpu / sqlite.cpu);
    return 0;
}
