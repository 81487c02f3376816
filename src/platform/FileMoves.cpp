#include "FileMoves.h"

#include "UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A hard link fails on an existing target too.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP) {
        return errno;
    }
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        return EEXIST;
    }
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string numberedName(const std::string& stem, const std::string& extension, int n) {
    return n <= 1 ? stem + extension : stem + " (" + std::to_string(n) + ")" + extension;
}

std::string renameToFreeName(const std::string& from, const std::string& folder, const std::string& stem,
                             const std::string& extension, int& error) {
    // Far more than any real folder holds; a bound, so that a folder that refuses every name ends.
    constexpr int kMostTries = 10000;
    for (int n = 1; n <= kMostTries; ++n) {
        std::string to = folder + "/" + numberedName(stem, extension, n);
        error = renameNoReplace(from, to);
        if (error == 0) {
            return to;
        }
        if (error != EEXIST) {
            return {};
        }
    }
    return {};
}

int copyFileNoReplace(const std::string& from, const std::string& to) {
    const UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) {
        return errno;
    }
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        return EEXIST;
    }
    const auto slash = to.rfind('/');
    std::string temporary = (slash == std::string::npos ? std::string() : to.substr(0, slash + 1)) + ".copy-XXXXXX";
    const UniqueFd out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!out) {
        return errno;
    }
    int error = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(in.get(), nullptr, out.get(), nullptr, std::size_t{1} << 30, 0);
        if (n > 0) {
            continue;
        }
        if (n < 0) {
            error = errno;
        }
        break;
    }
    if (error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
        // Older kernels and some file systems copy only through the buffer.
        error = 0;
        ::lseek(in.get(), 0, SEEK_SET);
        ::ftruncate(out.get(), 0);
        char buffer[1 << 16];
        for (ssize_t n; (n = ::read(in.get(), buffer, sizeof buffer)) != 0;) {
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error = errno;
                break;
            }
            if (!writeAll(out.get(), buffer, static_cast<std::size_t>(n))) {
                error = errno;
            }
            if (error != 0) {
                break;
            }
        }
    }
    if (error == 0 && ::fsync(out.get()) != 0) {
        error = errno;
    }
    if (error == 0) {
        ::fchmod(out.get(), 0644);
        error = renameNoReplace(temporary, to);
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
    }
    return error;
}

} // namespace quarrow
