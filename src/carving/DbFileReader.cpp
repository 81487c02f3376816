#include "DbFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

DbFileReader::DbFileReader(std::span<const std::uint8_t> bytes)
    : data_(bytes.data()), held_(bytes.size()), size_(bytes.size()) {}

DbFileReader::DbFileReader(int fd, std::uint64_t size) : size_(size), fd_(fd) {}

DbFileReader::~DbFileReader() {
    if (map_) {
        ::munmap(map_, mapLength_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::unique_ptr<DbFileReader> DbFileReader::openFile(const std::string& path, bool mapWindow) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<DbFileReader> reader(new DbFileReader(fd, static_cast<std::uint64_t>(st.st_size)));
    reader->useMap_ = mapWindow;
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return reader;
}

std::size_t DbFileReader::preadInto(std::uint64_t offset, std::size_t n, std::uint8_t* out) const {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break; // the file shrank or cannot be read: the rest reads as zeros
        }
        done += static_cast<std::size_t>(got);
    }
    std::memset(out + done, 0, n - done);
    return done;
}

std::size_t DbFileReader::readAt(std::int64_t offset, std::size_t n, std::uint8_t* out) const {
    if (n == 0) {
        return 0;
    }
    std::size_t before = 0; // bytes before the start of the file
    if (offset < 0) {
        const std::uint64_t ahead = static_cast<std::uint64_t>(-(offset + 1)) + 1;
        before = ahead >= n ? n : static_cast<std::size_t>(ahead);
        std::memset(out, 0, before);
        out += before;
        n -= before;
        offset = 0;
    }
    const std::uint64_t off = static_cast<std::uint64_t>(offset);
    std::size_t inside = 0;
    if (off < size_) {
        inside = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - off));
    }
    std::memset(out + inside, 0, n - inside);
    if (inside == 0) {
        return 0;
    }
    if (fd_ < 0) {
        std::memcpy(out, data_ + off, inside); // a memory reader holds the whole file
        return inside;
    }
    return preadInto(off, inside, out);
}

void DbFileReader::fillWindow(std::int64_t offset) {
    const std::uint64_t want = static_cast<std::uint64_t>(offset);
    std::uint64_t start = want > kWindowLookBack ? want - kWindowLookBack : 0;
    start &= ~std::uint64_t{4095};
    ++moves_;
    const std::uint64_t n = std::min<std::uint64_t>(kWindowSize, size_ - start);
    if (map_) {
        ::munmap(map_, mapLength_);
        map_ = nullptr;
    }
    if (useMap_) {
        // Mapping the window saves copying it; the mapping never reaches past the end of the file.
        void* mapped = ::mmap(nullptr, static_cast<std::size_t>(n), PROT_READ, MAP_SHARED | MAP_POPULATE, fd_,
                              static_cast<off_t>(start));
        if (mapped != MAP_FAILED) {
            map_ = mapped;
            mapLength_ = static_cast<std::size_t>(n);
            data_ = static_cast<const std::uint8_t*>(mapped);
            base_ = static_cast<std::int64_t>(start);
            held_ = n;
            return;
        }
        useMap_ = false;
    }
    if (window_.empty()) {
        window_.resize(kWindowSize);
    }
    preadInto(start, static_cast<std::size_t>(n), window_.data());
    data_ = window_.data();
    base_ = static_cast<std::int64_t>(start);
    held_ = n;
}

std::uint8_t DbFileReader::slowByteAt(std::int64_t offset) {
    if (offset < 0 || static_cast<std::uint64_t>(offset) >= size_ || fd_ < 0) {
        return 0;
    }
    fillWindow(offset);
    return data_[offset - base_];
}

void DbFileReader::read(std::int64_t offset, std::size_t n, std::uint8_t* out) {
    if (n == 0) {
        return;
    }
    // Bytes before the start of the file.
    if (offset < 0) {
        const std::uint64_t before = static_cast<std::uint64_t>(-(offset + 1)) + 1;
        if (before >= n) {
            std::memset(out, 0, n);
            return;
        }
        std::memset(out, 0, static_cast<std::size_t>(before));
        out += before;
        n -= static_cast<std::size_t>(before);
        offset = 0;
    }
    const std::uint64_t off = static_cast<std::uint64_t>(offset);
    // Bytes past the end of the file (written so that nothing can overflow).
    std::size_t inside = 0;
    if (off < size_) {
        inside = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - off));
    }
    std::memset(out + inside, 0, n - inside);
    if (inside == 0) {
        return;
    }
    if (offset >= base_ && static_cast<std::uint64_t>(offset - base_) <= held_ &&
        held_ - static_cast<std::uint64_t>(offset - base_) >= inside) {
        std::memcpy(out, data_ + (offset - base_), inside);
        return;
    }
    if (fd_ < 0) {
        return; // memory reader: everything inside the file is held, so this is not reached
    }
    if (inside > kViewSpan) {
        preadInto(off, inside, out);
        return;
    }
    fillWindow(offset);
    std::memcpy(out, data_ + (offset - base_), inside);
}

std::span<const std::uint8_t> DbFileReader::view(std::int64_t offset, std::size_t n) {
    if (offset < 0 || static_cast<std::uint64_t>(offset) >= size_) {
        return {};
    }
    const std::uint64_t off = static_cast<std::uint64_t>(offset);
    const std::uint64_t want = std::min<std::uint64_t>(n, size_ - off);
    const bool held = offset >= base_ && off - static_cast<std::uint64_t>(base_) < held_;
    if (fd_ >= 0 && (!held || held_ - (off - static_cast<std::uint64_t>(base_)) < want)) {
        fillWindow(offset);
    }
    const std::uint64_t at = off - static_cast<std::uint64_t>(base_);
    return {data_ + at, static_cast<std::size_t>(std::min<std::uint64_t>(want, held_ - at))};
}

} // namespace quarrow
