// Times a scan of contacts, messages and call history through the whole path a scan takes (ScanRun
// on its worker, the three scanners reading in place, every record posted into a ResultCollection,
// names found for every message and call) against plain SQLite loops that read the same rows and
// columns as text. The goal is a ratio of at most 2.
//
// It also times the names alone: the scan's index of the contacts' numbers against the earlier
// lookup that searched every contact's numbers run together, once per message or call (measured on
// a slice of the lookups and scaled, since it grows with contacts x lookups).
//
//   quarrow_bench_categories [contacts, default 5000] [messages, default 50000] [calls, default 20000]
//                            [repetitions, default 5]

#include "PhoneDbs.h"
#include "discovery/BackupFiles.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "records/ValueHelpers.h"
#include "results/ResultCollection.h"
#include "scan/ScanContext.h"
#include "scan/ScanRun.h"
#include "scan/ScannerRegistry.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <unordered_set>
#include <vector>

using namespace quarrow;
namespace fs = std::filesystem;
namespace fx = quarrow::fixtures;
using Clock = std::chrono::steady_clock;

namespace {

class Random {
public:
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    std::size_t below(std::size_t n) { return next() % n; }

private:
    std::uint64_t state_ = 0xca11;
};

const char* const kFirst[] = {"Anna", "Ben",   "Chloé", "Daniel", "Emma", "Felipe", "Grace", "Hiro",
                              "Ines", "Jonas", "Kemal", "Lucía",  "Maya", "Noah",   "Olga",  "Pavel"};
const char* const kLast[] = {"Berg", "Cole", "Díaz",  "Engel",  "Fischer", "García", "Hansen", "Ito",
                             "Jung", "Kaur", "Lopez", "Müller", "Nguyen",  "Okafor", "Petrov", "Quinn"};
const char* const kWords[] = {"see",  "you",      "at",     "noon",   "dinner", "tonight", "call",  "me",
                              "when", "free",     "thanks", "😀",      "ok",     "meeting", "late",  "train",
                              "café", "tomorrow", "Lisbon", "photos", "love",   "milk",    "bread", "🎉"};

std::string words(Random& r, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += (i ? " " : "") + std::string(kWords[r.below(std::size(kWords))]);
    }
    return text;
}

// Ten digits of a North American number.
std::string digits10(Random& r) {
    std::string d = std::to_string(200 + r.below(800)) + "555" + std::to_string(1000 + r.below(9000));
    return d;
}

// The same number written the ways people and phones write it.
std::string written(const std::string& d, std::size_t style) {
    switch (style % 4) {
    case 0:
        return "+1 (" + d.substr(0, 3) + ") " + d.substr(3, 3) + "-" + d.substr(6);
    case 1:
        return "(" + d.substr(0, 3) + ") " + d.substr(3, 3) + "-" + d.substr(6);
    case 2:
        return d.substr(0, 3) + "-" + d.substr(3, 3) + "-" + d.substr(6);
    default:
        return "+1" + d;
    }
}

struct Backup {
    std::vector<std::string> numbers; // every contact's numbers as ten digits
};

Backup buildBackup(const fs::path& folder, int contacts, int messages, int calls) {
    Random r;
    Backup b;
    {
        fx::AddressBookBuilder db((folder / BackupFiles::fileID(DeviceFiles::kAddressBook)).string());
        db.begin();
        for (int i = 0; i < contacts; ++i) {
            fx::PersonSpec p;
            p.first = kFirst[r.below(std::size(kFirst))];
            p.last = kLast[r.below(std::size(kLast))];
            if (r.below(4) == 0) {
                p.organization = "Company " + std::to_string(r.below(300));
            }
            if (r.below(5) == 0) {
                p.note = words(r, 5 + r.below(30));
            }
            for (std::size_t n = 1 + r.below(3); n > 0; --n) {
                const std::string d = digits10(r);
                b.numbers.push_back(d);
                p.values.push_back({fx::kABPhone, "_$!<Mobile>!$_", written(d, r.next())});
            }
            p.values.push_back({fx::kABEmail, "_$!<Home>!$_", "person" + std::to_string(i) + "@example.org"});
            db.addPerson(p);
        }
        db.commit();
    }
    // Partners: most are contacts, written as devices write handles; the rest are strangers.
    // A handle is one per number and service, as on a device: no number is drawn twice.
    std::vector<std::string> partners;
    std::unordered_set<std::string> drawn;
    while (partners.size() < 800) {
        std::string partner =
            r.below(10) < 7 && !b.numbers.empty() ? "+1" + b.numbers[r.below(b.numbers.size())] : "+1" + digits10(r);
        if (drawn.insert(partner).second) {
            partners.push_back(std::move(partner));
        }
    }
    {
        fx::SmsDbBuilder db((folder / BackupFiles::fileID(DeviceFiles::kMessages)).string(), fx::SmsLayout::IOS6);
        db.begin();
        std::vector<std::int64_t> handles;
        for (const auto& p : partners) {
            handles.push_back(db.addHandle(p, r.below(2) ? "iMessage" : "SMS"));
        }
        std::vector<std::int64_t> chats;
        for (int i = 0; i < 50; ++i) {
            chats.push_back(db.addChat(
                "chat" + std::to_string(i),
                {handles[r.below(handles.size())], handles[r.below(handles.size())], handles[r.below(handles.size())]},
                "iMessage"));
        }
        for (int i = 0; i < messages; ++i) {
            fx::HandleMessageSpec m;
            m.text = words(r, 1 + r.below(25));
            m.date = 380000000 + i * 300;
            m.fromMe = r.below(2) == 0;
            if (r.below(20) == 0) {
                m.chatId = chats[r.below(chats.size())]; // sent into a group
                m.fromMe = true;
            } else {
                m.handleId = handles[r.below(handles.size())];
            }
            db.addMessage(m);
        }
        db.commit();
    }
    {
        fx::CallHistoryBuilder db((folder / BackupFiles::fileID(DeviceFiles::kCallHistory)).string());
        db.begin();
        for (int i = 0; i < calls; ++i) {
            const int flags[] = {fx::kCallIncoming, fx::kCallOutgoing, fx::kFaceTimeIncoming, fx::kFaceTimeOutgoing};
            db.addCall({partners[r.below(partners.size())], 1360000000 + i * 600,
                        static_cast<std::int64_t>(r.below(3) ? r.below(4000) : 0), flags[r.below(4)]});
        }
        db.commit();
    }
    return b;
}

struct Timing {
    double wall = 0;
    double cpu = 0;
};

double processCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class Stopwatch {
public:
    Timing elapsed() const {
        return {std::chrono::duration<double>(Clock::now() - wall_).count(), processCpuSeconds() - cpu_};
    }

private:
    Clock::time_point wall_ = Clock::now();
    double cpu_ = processCpuSeconds();
};

struct Counts {
    std::size_t contacts = 0, messages = 0, calls = 0, named = 0;
};

// The three scanners alone, their records posted to a centre that nobody observes.
Timing timeScannersAlone(const std::string& folder) {
    NotificationCenter nc;
    const Stopwatch watch;
    {
        ScanContext context(nc, folder);
        for (const auto& e : ScannerRegistry::shared().edition(Edition::Full)) {
            if (e.category == Category::Contact || e.category == Category::Message ||
                e.category == Category::CallHistory) {
                e.run(context, folder);
            }
        }
    }
    return watch.elapsed();
}

// The three scanners of the full edition that read these databases, run as a scan runs them.
Timing timeScan(const std::string& folder, Counts& counts) {
    std::vector<ScannerEntry> entries;
    for (const auto& e : ScannerRegistry::shared().edition(Edition::Full)) {
        if (e.category == Category::Contact || e.category == Category::Message || e.category == Category::CallHistory) {
            entries.push_back(e);
        }
    }
    NotificationCenter nc;
    ResultCollection collection(nc);
    collection.showView();
    ScanRun run(
        nc, [&collection] { collection.ScanThreadFinish(); }, entries);
    const Stopwatch watch;
    run.ScanIOSBackFile(folder);
    run.join();
    const Timing t = watch.elapsed();
    counts = {collection.contactArray().size(), collection.messageArray().size(), collection.callHistoryArray().size(),
              0};
    for (const auto& m : collection.messageArray()) {
        counts.named += m->messageName().has_value();
    }
    for (const auto& c : collection.callHistoryArray()) {
        counts.named += c->callName().has_value();
    }
    return t;
}

// Where the plain loops put what they read: nowhere, or every text kept as a string, as a program
// that reads rows into memory must.
std::vector<std::string>* keptTexts = nullptr;

std::size_t readAll(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot prepare %s: %s\n", sql, sqlite3_errmsg(db));
        std::exit(1);
    }
    std::size_t rows = 0;
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            if (keptTexts && text) {
                keptTexts->emplace_back(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
            }
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    return rows;
}

sqlite3* openReadOnly(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(("file:" + path + "?immutable=1").c_str(), &db,
                    SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    return db;
}

// The floor: the same rows and columns, read as text and dropped, or kept.
Timing timePlain(const fs::path& folder, Counts& counts, bool keep) {
    std::vector<std::string> texts;
    keptTexts = keep ? &texts : nullptr;
    const Stopwatch watch;
    sqlite3* book = openReadOnly((folder / BackupFiles::fileID(DeviceFiles::kAddressBook)).string());
    counts.contacts = readAll(book, "SELECT ROWID, First, Department, JobTitle, Organization, Middle, Last, Note, "
                                    "Birthday FROM ABPerson");
    readAll(book, "SELECT record_id, property, value FROM ABMultiValue ORDER BY ROWID");
    sqlite3_close(book);
    sqlite3* sms = openReadOnly((folder / BackupFiles::fileID(DeviceFiles::kMessages)).string());
    counts.messages = readAll(sms, "SELECT message.ROWID, message.text, message.date, message.is_from_me, handle.id "
                                   "FROM message LEFT JOIN handle ON message.handle_id = handle.ROWID "
                                   "ORDER BY message.ROWID");
    sqlite3_close(sms);
    sqlite3* calls = openReadOnly((folder / BackupFiles::fileID(DeviceFiles::kCallHistory)).string());
    counts.calls = readAll(calls, "SELECT address, date, duration, flags FROM call ORDER BY ROWID");
    sqlite3_close(calls);
    const Timing t = watch.elapsed();
    keptTexts = nullptr;
    return t;
}

// The lookup the names were found with before: every contact's numbers run together, searched for
// the number as a piece of text, contact by contact, for every message and call.
std::string stripped(const std::string& phone) {
    std::string out;
    for (char c : phone) {
        if (c != '-' && c != '(' && c != ')' && c != ' ') {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

OptText substringLookup(const std::string& phone, const std::vector<PRContactNodePtr>& contacts) {
    const std::string number = stripped(phone);
    if (number.empty()) {
        return std::nullopt;
    }
    for (const auto& c : contacts) {
        const std::string all = stripped(c->contactPhone().value_or(""));
        if (!all.empty() && all.size() >= number.size() && all.find(number) != std::string::npos) {
            return c->contactName();
        }
    }
    return std::nullopt;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    const int contacts = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int messages = argc > 2 ? std::atoi(argv[2]) : 50000;
    const int calls = argc > 3 ? std::atoi(argv[3]) : 20000;
    const int repetitions = argc > 4 ? std::atoi(argv[4]) : 5;
    if (contacts < 0 || messages < 0 || calls < 0 || repetitions <= 0) {
        std::fprintf(stderr, "usage: quarrow_bench_categories [contacts] [messages] [calls] [repetitions]\n");
        return 2;
    }
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    InlineMainThread mainThread;
    Platform::current().setMainThread(&mainThread);

    const fs::path work = fs::temp_directory_path() / ("quarrow-bench-categories-" + std::to_string(::getpid()));
    const fs::path backup = work / "backup";
    fs::create_directories(backup);
    const Stopwatch build;
    buildBackup(backup, contacts, messages, calls);
    std::printf("built %d contacts, %d messages, %d calls in %.1f s\n", contacts, messages, calls,
                build.elapsed().wall);

    Counts scanned, plain;
    timeScan(backup.string(), scanned); // warm the page cache and the allocator
    timePlain(backup, plain, false);
    if (scanned.contacts != plain.contacts || scanned.messages != plain.messages || scanned.calls != plain.calls) {
        std::fprintf(stderr, "the scan read %zu/%zu/%zu rows, SQLite %zu/%zu/%zu\n", scanned.contacts, scanned.messages,
                     scanned.calls, plain.contacts, plain.messages, plain.calls);
        return 1;
    }
    std::vector<double> scanWall, scanCpu, plainWall, plainCpu, keptWall, keptCpu, aloneCpu;
    for (int i = 0; i < repetitions; ++i) {
        const Timing s = timeScan(backup.string(), scanned);
        const Timing p = timePlain(backup, plain, false);
        const Timing k = timePlain(backup, plain, true);
        const Timing a = timeScannersAlone(backup.string());
        scanWall.push_back(s.wall), scanCpu.push_back(s.cpu);
        plainWall.push_back(p.wall), plainCpu.push_back(p.cpu);
        keptWall.push_back(k.wall), keptCpu.push_back(k.cpu);
        aloneCpu.push_back(a.cpu);
        std::printf("  run %d: scan %.3f s (cpu %.3f), plain SQLite %.3f s (cpu %.3f)\n", i + 1, s.wall, s.cpu, p.wall,
                    p.cpu);
    }
    const double sw = median(scanWall), sc = median(scanCpu), pw = median(plainWall), pc = median(plainCpu);
    const double kw = median(keptWall), kc = median(keptCpu), ac = median(aloneCpu);
    std::printf("median of %d:                      wall      cpu\n", repetitions);
    std::printf("  scan                             %6.3f s  %6.3f s   (%zu of %zu messages and calls named)\n", sw, sc,
                scanned.named, scanned.messages + scanned.calls);
    std::printf("  plain SQLite, texts dropped      %6.3f s  %6.3f s\n", pw, pc);
    std::printf("  plain SQLite, texts kept         %6.3f s  %6.3f s\n", kw, kc);
    std::printf("  ratio to texts dropped           %6.2f    %6.2f\n", sw / pw, sc / pc);
    std::printf("  ratio to texts kept              %6.2f    %6.2f     (goal <= 2.00)\n", sw / kw, sc / kc);
    std::printf("where the time goes (cpu):\n");
    std::printf("  reading the rows (texts kept)    %6.3f s\n", kc);
    std::printf("  records made, named and posted   %6.3f s\n", ac - kc);
    std::printf("  result collection, run, finish   %6.3f s\n", sc - ac);

    // Names alone: the contacts as the scanner keeps them, every message's and call's number looked up.
    NotificationCenter nc;
    ResultCollection collection(nc);
    {
        ScanRun run(nc, {}, ScannerRegistry::shared().edition(Edition::Full));
        run.ScanIOSBackFile(backup.string());
        run.join();
    }
    std::vector<std::string> lookups;
    for (const auto& m : collection.messageArray()) {
        lookups.push_back(m->messagePhone().value_or(""));
    }
    for (const auto& c : collection.callHistoryArray()) {
        lookups.push_back(c->callPhone().value_or(""));
    }
    const Stopwatch indexWatch;
    const PhoneNameIndex index(collection.contactArray());
    std::size_t found = 0;
    for (const auto& phone : lookups) {
        found += index.nameFor(phone).has_value();
    }
    const double indexed = indexWatch.elapsed().cpu;
    const std::size_t slice = std::min<std::size_t>(lookups.size(), 500);
    const Stopwatch oldWatch;
    std::size_t oldFound = 0;
    for (std::size_t i = 0; i < slice; ++i) {
        oldFound += substringLookup(lookups[i], collection.contactArray()).has_value();
    }
    const double perOld = slice ? oldWatch.elapsed().cpu / static_cast<double>(slice) : 0;
    std::printf("names for %zu numbers among %zu contacts (cpu):\n", lookups.size(), collection.contactArray().size());
    std::printf("  index made once, whole numbers   %8.3f s  (%zu named)\n", indexed, found);
    std::printf("  text search per lookup, scaled  %8.3f s  (%zu of the first %zu named)\n",
                perOld * static_cast<double>(lookups.size()), oldFound, slice);
    if (indexed > 0) {
        std::printf("  ratio                            %8.0f x\n",
                    perOld * static_cast<double>(lookups.size()) / indexed);
    }
    Platform::current().setMainThread(nullptr);
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
