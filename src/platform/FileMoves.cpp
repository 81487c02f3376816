#include "FileMoves.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

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

} // namespace quarrow
