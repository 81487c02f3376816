#include "SqliteSource.h"

#include "platform/Log.h"
#include "platform/WorkFolder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quarrow {

// A database and the logs that belong to it. Beside a file of our own they are "<path>-wal" and
// "<path>-journal"; a backup stores them as files of their own, under their own names, which its
// locator finds (empty when the backup holds none).
struct DatabaseFiles {
    std::string path;
    std::string wal;
    std::string journal;
};

namespace {

// A scanner's connection is used by the one thread that opened it, so it needs no locking of its
// own: every column read would otherwise take and release the connection's mutex.
constexpr int kReadFlags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;

DatabaseFiles besideItself(const std::string& path) {
    return {path, path + "-wal", path + "-journal"};
}

// A file descriptor that closes itself.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

enum class Presence { Missing, Regular, Other };

// Whether something lies at the path, and whether it is a regular file (links followed, as the
// database library follows them).
Presence presenceOf(const std::string& path, off_t* size = nullptr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return Presence::Missing;
    }
    if (size) {
        *size = st.st_size;
    }
    return S_ISREG(st.st_mode) ? Presence::Regular : Presence::Other;
}

// The file opened for reading without ever blocking (a FIFO opens at once), checked to be a
// regular file on the descriptor itself; nothing (logged) otherwise.
Fd openRegular(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd) {
        systemLog("Database cannot be read: " + path + ": " + std::strerror(errno));
        return Fd();
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        systemLog("Database is not a regular file, skipped: " + path);
        return Fd();
    }
    return fd;
}

// The journal header's magic number: a rollback journal that starts with it is hot, and its page
// images must be rolled back into the database before the database is consistent.
constexpr unsigned char kJournalMagic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};

bool hasHotJournal(const std::string& journal) {
    if (journal.empty() || presenceOf(journal) != Presence::Regular) {
        return false;
    }
    Fd fd(::open(journal.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    unsigned char header[sizeof kJournalMagic] = {};
    return fd && ::pread(fd.get(), header, sizeof header, 0) == static_cast<ssize_t>(sizeof header) &&
           std::memcmp(header, kJournalMagic, sizeof header) == 0;
}

// Up to `size` leading bytes of a regular file (fewer when it is shorter), or nothing when there is
// no regular file at the path.
std::optional<std::string> leadingBytes(const std::string& path, std::size_t size) {
    if (path.empty() || presenceOf(path) != Presence::Regular) {
        return std::nullopt;
    }
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    std::string bytes(size, '\0');
    const ssize_t n = fd ? ::pread(fd.get(), bytes.data(), size, 0) : -1;
    if (n < 0) {
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(n));
    return bytes;
}

std::uint32_t bigEndian32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

bool powerOfTwoWithin(std::uint32_t value, std::uint32_t low, std::uint32_t high) {
    return value >= low && value <= high && (value & (value - 1)) == 0;
}

// The database library passes over a log it cannot use without a word, so the rows in it would
// silently be missing from the scan. The header fields it checks first:
//   write-ahead log: offset 0, 4 bytes, magic 0x377f0682 or 0x377f0683; offset 4, 4 bytes, 3007000
//   rollback journal (hot): offset 20, 4 bytes, sector size, a power of two from 32 to 65536;
//                           offset 24, 4 bytes, page size, a power of two from 512 to 65536
void reportUnusableLogs(const DatabaseFiles& files) {
    if (const auto header = leadingBytes(files.wal, 8); header && !header->empty()) {
        const bool usable = header->size() == 8 && (bigEndian32(*header, 0) & 0xFFFFFFFEu) == 0x377f0682u &&
                            bigEndian32(*header, 4) == 3007000u;
        if (!usable) {
            systemLog("Write-ahead log is damaged, none of it is folded in: " + files.wal);
        }
    }
    if (hasHotJournal(files.journal)) {
        const auto header = leadingBytes(files.journal, 28);
        const bool usable = header && header->size() == 28 && powerOfTwoWithin(bigEndian32(*header, 20), 32, 65536) &&
                            powerOfTwoWithin(bigEndian32(*header, 24), 512, 65536);
        if (!usable) {
            systemLog("Rollback journal is damaged, none of it is rolled back: " + files.journal);
        }
    }
}

// True when the database can be read where it lies with nothing to fold in: a rollback-journal
// database (header bytes 18 and 19 are 1) with no write-ahead log and no hot journal beside it.
// Switching such a file to write-ahead logging changes only those two bytes, so reading it in
// place gives exactly the rows a folded copy would, without copying the file.
bool readableInPlace(int fd, const DatabaseFiles& files) {
    unsigned char header[20] = {};
    if (::pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        std::memcmp(header, "SQLite format 3", 16) != 0 || header[18] != 1 || header[19] != 1) {
        return false;
    }
    off_t walSize = 0;
    if (!files.wal.empty() && presenceOf(files.wal, &walSize) == Presence::Regular && walSize > 0) {
        return false;
    }
    return !hasHotJournal(files.journal);
}

// A file: URI for the path, with every byte outside the unreserved set escaped, read immutable.
std::string immutableUri(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + "?immutable=1";
}

// Copies everything the descriptor holds into a new private file (0600, never an existing one).
bool copyInto(int from, const std::string& to) {
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!out) {
        return false;
    }
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, out.get(), nullptr, std::size_t{1} << 30, 0);
        if (n == 0) {
            return true;
        }
        if (n > 0) {
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
            return false;
        }
        break; // no kernel copy between these files: copy through a buffer
    }
    std::vector<char> buffer(std::size_t{1} << 20);
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out.get(), buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            done += w;
        }
    }
}

// Copies a log of the database (its write-ahead log or its journal) next to the copy, under the
// name the database library looks for. A log that is not a regular file is logged and left out.
void copyLog(const std::string& log, const std::string& copy, const char* suffix) {
    if (log.empty() || presenceOf(log) == Presence::Missing) {
        return;
    }
    const Fd fd = openRegular(log);
    if (fd && !copyInto(fd.get(), copy + suffix)) {
        systemLog("Cannot copy the log " + log + " for scanning: " + std::strerror(errno));
    }
}

} // namespace

void SqliteClose::operator()(sqlite3* db) const {
    sqlite3_close(db);
}

SqliteSource::SqliteSource(WorkFolder& workFolder) : workFolder_(workFolder) {}

SqliteSource::~SqliteSource() = default;

std::optional<std::string> SqliteSource::foldedCopy(const std::string& backupPath) {
    return foldedCopyOf(besideItself(backupPath));
}

std::optional<std::string> SqliteSource::foldedCopy(const LocatedFile& file) {
    return foldedCopyOf({file.path, file.walPath, file.journalPath});
}

std::optional<std::string> SqliteSource::foldedCopyOf(const DatabaseFiles& files) {
    const std::string& backupPath = files.path;
    if (const auto it = copies_.find(backupPath); it != copies_.end()) {
        return it->second;
    }
    const Fd fd = openRegular(backupPath);
    if (!fd) {
        return std::nullopt;
    }
    const auto folder = workFolder_.path();
    if (!folder) {
        return std::nullopt; // logged where the folder failed
    }
    const std::string copy = *folder + "/" + std::to_string(copies_.size()) + ".sqlite";
    if (!copyInto(fd.get(), copy)) {
        systemLog("Cannot copy " + backupPath + " for scanning: " + std::strerror(errno));
        ::unlink(copy.c_str());
        return std::nullopt;
    }
    reportUnusableLogs(files);
    copyLog(files.wal, copy, "-wal");
    copyLog(files.journal, copy, "-journal");
    commitDB(copy);
    copies_[backupPath] = copy;
    return copy;
}

SqliteHandle SqliteSource::open(const std::string& backupPath) {
    return openFiles(besideItself(backupPath));
}

SqliteHandle SqliteSource::open(const LocatedFile& file) {
    return openFiles({file.path, file.walPath, file.journalPath});
}

SqliteHandle SqliteSource::openFiles(const DatabaseFiles& files) {
    const std::string& backupPath = files.path;
    sqlite3* raw = nullptr;
    int rc = SQLITE_ERROR;
    bool inPlace = false;
    {
        const Fd fd = openRegular(backupPath);
        if (!fd) {
            return nullptr;
        }
        inPlace = readableInPlace(fd.get(), files);
        if (inPlace) {
            // Through the descriptor already checked, so that the path cannot be swapped for
            // something else in between; by its path where /proc is not mounted.
            const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
            const std::string& target = ::access(self.c_str(), F_OK) == 0 ? self : backupPath;
            rc = sqlite3_open_v2(immutableUri(target).c_str(), &raw, kReadFlags | SQLITE_OPEN_URI, nullptr);
        }
    }
    if (!inPlace) {
        const auto copy = foldedCopyOf(files);
        if (!copy) {
            return nullptr;
        }
        rc = sqlite3_open_v2(copy->c_str(), &raw, kReadFlags, nullptr);
    }
    SqliteHandle db(raw);
    if (rc != SQLITE_OK) {
        systemLog("Database cannot be opened: " + backupPath + ": " + (raw ? sqlite3_errmsg(raw) : "out of memory"));
        return nullptr;
    }
    // The private copy is ours and is read front to back: map it rather than copy every page
    // through read(). The backup's own file is never mapped: it could shrink under the mapping.
    sqlite3_exec(db.get(), inPlace ? "PRAGMA mmap_size=0;" : "PRAGMA mmap_size=1073741824;", nullptr, nullptr, nullptr);
    return db;
}

std::vector<std::string> SqliteSource::tableColumns(sqlite3* db, std::string_view table) {
    std::vector<std::string> columns;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?1)", -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return columns;
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    sqlite3_bind_text(raw, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(raw) == SQLITE_ROW) {
        if (const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0))) {
            columns.emplace_back(name, static_cast<std::size_t>(sqlite3_column_bytes(raw, 0)));
        }
    }
    return columns;
}

bool SqliteSource::hasColumns(sqlite3* db, std::string_view table, std::initializer_list<std::string_view> columns) {
    const auto declared = tableColumns(db, table);
    if (declared.empty()) {
        return false;
    }
    for (std::string_view wanted : columns) {
        const auto same = [wanted](const std::string& name) {
            return name.size() == wanted.size() &&
                   sqlite3_strnicmp(name.c_str(), wanted.data(), static_cast<int>(wanted.size())) == 0;
        };
        if (std::none_of(declared.begin(), declared.end(), same)) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> SqliteSource::schemaDamage(sqlite3* db) {
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK) {
        return std::nullopt;
    }
    return std::string(sqlite3_errmsg(db));
}

void SqliteSource::logUnread(sqlite3* db, std::string_view what, std::string_view lacking, const std::string& path) {
    if (const auto damage = schemaDamage(db)) {
        systemLog(std::string(what) + " cannot be read (" + *damage + "): " + path);
    } else {
        systemLog(std::string(what) + " " + std::string(lacking) + ": " + path);
    }
}

void commitDB(const std::string& databasePath) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(databasePath.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const SqliteHandle db(raw);
    if (rc != SQLITE_OK) {
        return;
    }
    if (sqlite3_exec(db.get(), "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return;
    }
    if (sqlite3_wal_checkpoint_v2(db.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) != SQLITE_OK) {
        // Standard output belongs to the command line's results: the failure goes to the log.
        systemLog("Failed to commit");
    }
}

} // namespace quarrow
