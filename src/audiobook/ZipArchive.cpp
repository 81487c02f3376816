#include "ZipArchive.h"

#include "TextDecoding.h"
#include "UnpackFolder.h"
#include "platform/FileMoves.h"
#include "platform/Log.h"
#include "records/Utf8.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

namespace quarrow {

// Where the archive's bytes come from: a memory span, or a file read with pread.
struct ZipArchive::Source {
    std::string_view memory;
    int fd = -1;
    std::uint64_t size = 0;

    Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    ~Source() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

namespace {

// Entries listed at most; an archive with more is refused when it is unpacked.
constexpr std::size_t kMaxListedEntries = 100000;
constexpr std::size_t kCopyChunk = std::size_t{64} * 1024;

struct Stream {
    std::uint64_t position = 0;
    bool failed = false;
};

} // namespace

// minizip's file functions over a Source. The archive is opened once; the name minizip passes is
// not used.
namespace zipio {

voidpf ZCALLBACK open64(voidpf, const void*, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_WRITE) != 0) {
        return nullptr;
    }
    return new Stream;
}

uLong ZCALLBACK read(voidpf opaque, voidpf stream, void* buffer, uLong size) {
    auto* source = static_cast<ZipArchive::Source*>(opaque);
    auto* s = static_cast<Stream*>(stream);
    if (s->position >= source->size || size == 0) {
        return 0;
    }
    const std::uint64_t n = std::min<std::uint64_t>(size, source->size - s->position);
    if (source->fd < 0) {
        std::memcpy(buffer, source->memory.data() + s->position, n);
        s->position += n;
        return static_cast<uLong>(n);
    }
    std::uint64_t done = 0;
    while (done < n) {
        const ssize_t got =
            ::pread(source->fd, static_cast<char*>(buffer) + done, n - done, static_cast<off_t>(s->position + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            s->failed = got < 0;
            break;
        }
        done += static_cast<std::uint64_t>(got);
    }
    s->position += done;
    return static_cast<uLong>(done);
}

uLong ZCALLBACK write(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK tell64(voidpf, voidpf stream) {
    return static_cast<Stream*>(stream)->position;
}

long ZCALLBACK seek64(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin) {
    auto* source = static_cast<ZipArchive::Source*>(opaque);
    auto* s = static_cast<Stream*>(stream);
    std::uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        base = 0;
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = s->position;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = source->size;
        break;
    default:
        return -1;
    }
    if (offset > UINT64_MAX - base) {
        return -1;
    }
    s->position = base + offset;
    return 0;
}

int ZCALLBACK close(voidpf, voidpf stream) {
    delete static_cast<Stream*>(stream);
    return 0;
}

int ZCALLBACK testError(voidpf, voidpf stream) {
    return static_cast<Stream*>(stream)->failed ? 1 : 0;
}

} // namespace zipio

namespace {

unzFile handle(void* p) {
    return static_cast<unzFile>(p);
}

// Splits a relative path at "/" into its components, dropping empty ones and ".".
std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto slash = path.find('/', start);
        const auto end = slash == std::string_view::npos ? path.size() : slash;
        const auto part = path.substr(start, end - start);
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        start = slash + 1;
    }
    return parts;
}

// Opens (creating when missing) the folders of `parts` below `rootFd`, never following a link.
// Answers the descriptor of the last one (the caller closes it unless it is rootFd), or -1.
int openFolders(int rootFd, const std::vector<std::string_view>& parts, std::size_t count) {
    int fd = rootFd;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name(parts[i]);
        if (::mkdirat(fd, name.c_str(), 0700) != 0 && errno != EEXIST) {
            if (fd != rootFd) {
                ::close(fd);
            }
            return -1;
        }
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd != rootFd) {
            ::close(fd);
        }
        if (next < 0) {
            return -1;
        }
        fd = next;
    }
    return fd;
}

} // namespace

std::optional<std::string> safeEntryPath(const ZipEntry& entry, std::size_t maxDepth) {
    if (entry.nameHasNul || entry.name.empty() || entry.name[0] == '/') {
        return std::nullopt;
    }
    const auto parts = components(entry.name);
    if (parts.size() > maxDepth) {
        return std::nullopt;
    }
    std::string path;
    for (const auto part : parts) {
        if (part == "..") {
            return std::nullopt;
        }
        if (!path.empty()) {
            path.push_back('/');
        }
        path.append(part);
    }
    return path;
}

ZipArchive::ZipArchive(std::unique_ptr<Source> source) : source_(std::move(source)) {}

ZipArchive::~ZipArchive() {
    UnzipCloseFile();
}

std::unique_ptr<ZipArchive> ZipArchive::UnzipOpenFile(const std::string& path) {
    auto source = std::make_unique<Source>();
    source->fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (source->fd < 0 || ::fstat(source->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    source->size = static_cast<std::uint64_t>(st.st_size);
    std::unique_ptr<ZipArchive> archive(new ZipArchive(std::move(source)));
    if (!archive->open()) {
        return nullptr;
    }
    systemLog(std::to_string(archive->entries_.size()) + " entries in the zip file");
    return archive;
}

std::unique_ptr<ZipArchive> ZipArchive::openMemory(std::string_view bytes) {
    auto source = std::make_unique<Source>();
    source->memory = bytes;
    source->size = bytes.size();
    std::unique_ptr<ZipArchive> archive(new ZipArchive(std::move(source)));
    if (!archive->open()) {
        return nullptr;
    }
    return archive;
}

bool ZipArchive::open() {
    zlib_filefunc64_def io{};
    io.zopen64_file = zipio::open64;
    io.zread_file = zipio::read;
    io.zwrite_file = zipio::write;
    io.ztell64_file = zipio::tell64;
    io.zseek64_file = zipio::seek64;
    io.zclose_file = zipio::close;
    io.zerror_file = zipio::testError;
    io.opaque = source_.get();
    unz_ = unzOpen2_64("archive", &io);
    if (!unz_) {
        return false;
    }
    CodePageDecoder cp437(437);
    std::string rawName;
    for (int err = unzGoToFirstFile(handle(unz_)); err == UNZ_OK && entries_.size() < kMaxListedEntries;
         err = unzGoToNextFile(handle(unz_))) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(handle(unz_), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            break;
        }
        rawName.assign(info.size_filename + 1, '\0');
        if (unzGetCurrentFileInfo64(handle(unz_), &info, rawName.data(), rawName.size(), nullptr, 0, nullptr, 0) !=
            UNZ_OK) {
            break;
        }
        rawName.resize(info.size_filename);
        ZipEntry entry;
        entry.nameHasNul = rawName.find('\0') != std::string::npos;
        if (isStrictUtf8(rawName)) {
            entry.name = rawName;
        } else {
            cp437.append(entry.name, rawName);
        }
        for (char& c : entry.name) {
            if (c == '\\') {
                c = '/';
            }
        }
        entry.isFolder = !entry.name.empty() && entry.name.back() == '/';
        entry.size = info.uncompressed_size;
        unz64_file_pos pos{};
        unzGetFilePos64(handle(unz_), &pos);
        positions_.emplace_back(pos.pos_in_zip_directory, pos.num_of_file);
        entries_.push_back(std::move(entry));
    }
    return true;
}

bool ZipArchive::goToEntry(std::size_t index) {
    if (!unz_ || index >= positions_.size()) {
        return false;
    }
    unz64_file_pos pos{positions_[index].first, positions_[index].second};
    return unzGoToFilePos64(handle(unz_), &pos) == UNZ_OK;
}

std::optional<std::string> ZipArchive::readEntry(std::size_t index, std::uint64_t maxBytes) {
    if (index >= entries_.size() || entries_[index].isFolder || !goToEntry(index)) {
        return std::nullopt;
    }
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(handle(unz_), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        (info.flag & 1) != 0 || unzOpenCurrentFile(handle(unz_)) != UNZ_OK) {
        return std::nullopt;
    }
    std::string data;
    char buffer[kCopyChunk];
    bool ok = true;
    for (;;) {
        const int n = unzReadCurrentFile(handle(unz_), buffer, sizeof buffer);
        if (n < 0 || data.size() + static_cast<std::size_t>(n) > maxBytes) {
            ok = false;
            break;
        }
        if (n == 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    const int closed = unzCloseCurrentFile(handle(unz_));
    if (!ok || closed != UNZ_OK) {
        return std::nullopt;
    }
    return data;
}

UnpackResult ZipArchive::UnzipFileTo(const UnpackFolder& folder, const UnpackLimits& limits) {
    UnpackResult result;
    if (!unz_) {
        result.error = "The archive is not open.";
        return result;
    }
    if (entries_.size() > limits.maxEntries || entries_.size() >= kMaxListedEntries) {
        result.error = "The archive holds more than " + std::to_string(limits.maxEntries) + " files.";
        return result;
    }
    std::uint64_t total = 0;
    auto skip = [&result](std::size_t index, const char* why) {
        systemLog("Unzip: entry " + std::to_string(index) + " skipped: " + why);
        ++result.entriesSkipped;
    };
    char buffer[kCopyChunk];
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const ZipEntry& entry = entries_[i];
        const auto path = safeEntryPath(entry, limits.maxDepth);
        if (!path) {
            skip(i, "unsafe name");
            continue;
        }
        const auto parts = components(*path);
        if (parts.empty()) {
            continue; // the archive's root folder
        }
        if (entry.isFolder) {
            const int fd = openFolders(folder.fd(), parts, parts.size());
            if (fd < 0) {
                skip(i, "folder cannot be made");
            } else if (fd != folder.fd()) {
                ::close(fd);
            }
            continue;
        }
        unz_file_info64 info{};
        if (!goToEntry(i) ||
            unzGetCurrentFileInfo64(handle(unz_), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            skip(i, "cannot be read");
            continue;
        }
        if ((info.flag & 1) != 0) {
            skip(i, "encrypted");
            continue;
        }
        const int dirFd = openFolders(folder.fd(), parts, parts.size() - 1);
        if (dirFd < 0) {
            skip(i, "folder cannot be made");
            continue;
        }
        const std::string base(parts.back());
        const int out = ::openat(dirFd, base.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out < 0) {
            if (dirFd != folder.fd()) {
                ::close(dirFd);
            }
            skip(i, "file cannot be made");
            continue;
        }
        bool readFailed = unzOpenCurrentFile(handle(unz_)) != UNZ_OK;
        bool opened = !readFailed;
        bool writeFailed = false;
        bool tooLarge = false;
        while (!readFailed) {
            const int n = unzReadCurrentFile(handle(unz_), buffer, sizeof buffer);
            if (n < 0) {
                readFailed = true;
                break;
            }
            if (n == 0) {
                break;
            }
            total += static_cast<std::uint64_t>(n);
            if (total > limits.maxTotalBytes) {
                tooLarge = true;
                break;
            }
            if (!writeAll(out, buffer, static_cast<std::size_t>(n))) {
                writeFailed = true;
                break;
            }
        }
        if (opened && unzCloseCurrentFile(handle(unz_)) != UNZ_OK && !tooLarge && !writeFailed) {
            readFailed = true; // a CRC mismatch shows only here, once every byte has been read
        }
        const bool closedOk = ::close(out) == 0;
        if (readFailed || tooLarge || writeFailed || !closedOk) {
            ::unlinkat(dirFd, base.c_str(), 0);
        }
        if (dirFd != folder.fd()) {
            ::close(dirFd);
        }
        if (tooLarge) {
            systemLog("Unzip: stopped at entry " + std::to_string(i) + ": more than " +
                      std::to_string(limits.maxTotalBytes) + " bytes unpacked");
            result.error = "The book unpacks to more than " + std::to_string(limits.maxTotalBytes >> 20) +
                           " MB; it looks like a zip bomb.";
            return result;
        }
        if (writeFailed || !closedOk) {
            systemLog(std::string("Unzip: cannot write entry ") + std::to_string(i) + ": " + std::strerror(errno));
            result.error = "The book could not be unpacked: the cache folder cannot be written.";
            return result;
        }
        if (readFailed) {
            skip(i, "damaged (read or CRC error)");
            continue;
        }
        ++result.filesWritten;
    }
    result.ok = true;
    return result;
}

bool ZipArchive::UnzipCloseFile() {
    if (!unz_) {
        return true;
    }
    const int status = unzClose(handle(unz_));
    unz_ = nullptr;
    return status == UNZ_OK;
}

} // namespace quarrow
