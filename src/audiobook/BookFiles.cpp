#include "BookFiles.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

namespace {

// Reads a regular file; a file longer than `maxBytes` is refused, or cut when `cut` is set.
std::optional<std::string> readRegularFile(const std::string& path, std::uint64_t maxBytes, bool cut) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    std::optional<std::string> result;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (cut || static_cast<std::uint64_t>(st.st_size) <= maxBytes)) {
        std::string data;
        data.resize(
            static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), maxBytes)));
        std::size_t done = 0;
        bool ok = true;
        while (done < data.size()) {
            const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) {
                data.resize(done); // the file shrank while it was read
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        if (ok) {
            result = std::move(data);
        }
    }
    ::close(fd);
    return result;
}

} // namespace

std::optional<std::string> readFileBytes(const std::string& path, std::uint64_t maxBytes) {
    return readRegularFile(path, maxBytes, false);
}

std::optional<std::string> readFileHead(const std::string& path, std::uint64_t maxBytes) {
    return readRegularFile(path, maxBytes, true);
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string_view lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

std::string_view pathExtension(std::string_view path) {
    const auto name = lastPathComponent(path);
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? std::string_view() : name.substr(dot + 1);
}

std::string_view deletingPathExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string safeFileName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(c == '/' || b < 0x20 || b == 0x7F ? '_' : c);
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos) {
        return "_";
    }
    out.erase(0, first);
    out.erase(out.find_last_not_of(' ') + 1);
    constexpr std::size_t kMaxBytes = 200;
    if (out.size() > kMaxBytes) {
        std::size_t cut = kMaxBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) {
            --cut; // never split a UTF-8 sequence
        }
        out.resize(cut);
    }
    if (out.find_first_not_of('.') == std::string::npos) {
        return "_" + out; // ".", ".." and the like would name a folder
    }
    return out;
}

} // namespace quarrow
