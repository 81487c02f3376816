#include "DbFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

DbFileReader::DbFileReader(std::span<const std::uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

DbFileReader::DbFileReader(int fd, std::uint64_t size) : size_(size), fd_(fd) {}

DbFileReader::~DbFileReader() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::unique_ptr<DbFileReader> DbFileReader::openFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<DbFileReader>(new DbFileReader(fd, static_cast<std::uint64_t>(st.st_size)));
}

std::size_t DbFileReader::readAt(std::int64_t offset, std::size_t n, std::uint8_t* out) const {
    if (n == 0) {
        return 0;
    }
    if (offset < 0) {
        // Bytes before the start of the file.
        const std::uint64_t ahead = static_cast<std::uint64_t>(-(offset + 1)) + 1;
        const std::size_t before = ahead >= n ? n : static_cast<std::size_t>(ahead);
        std::memset(out, 0, before);
        out += before;
        n -= before;
        offset = 0;
    }
    const std::uint64_t off = static_cast<std::uint64_t>(offset);
    const std::size_t inside = off < size_ ? static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - off)) : 0;
    std::memset(out + inside, 0, n - inside);
    if (inside == 0) {
        return 0;
    }
    if (fd_ < 0) {
        std::memcpy(out, data_ + off, inside);
        return inside;
    }
    std::size_t done = 0;
    while (done < inside) {
        const ssize_t got = ::pread(fd_, out + done, inside - done, static_cast<off_t>(off + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break; // the file shrank or cannot be read: the rest reads as zeros
        }
        done += static_cast<std::size_t>(got);
    }
    std::memset(out + done, 0, inside - done);
    return done;
}

} // namespace quarrow
