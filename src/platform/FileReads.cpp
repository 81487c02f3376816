#include "FileReads.h"

#include "UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

ssize_t readAllAt(int fd, void* buffer, std::size_t size, off_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, bytes + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

std::optional<std::string> leadingBytesAt(int folderFd, const std::string& name, std::size_t size) {
    const UniqueFd fd(::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return std::nullopt;
    }
    std::string bytes(size, '\0');
    const ssize_t n = readAllAt(fd.get(), bytes.data(), size, 0);
    if (n < 0) {
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(n));
    return bytes;
}

} // namespace quarrow
