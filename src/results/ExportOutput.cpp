#include "ExportOutput.h"

#include "platform/FileMoves.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

namespace {

std::string errnoText(int code) {
    return std::strerror(code);
}

// A temporary name beside the target that nobody can know in advance, so that no link can be planted
// under it; hidden so that a file viewer opened on the folder does not show it while it exists. It
// does not repeat the target's name, which may already be as long as a name can be.
std::string temporaryPathFor(const std::string& path) {
    constexpr char kHex[] = "0123456789abcdef";
    unsigned char random[12] = {};
    std::size_t got = 0;
    while (got < sizeof random) {
        const ssize_t n = ::getrandom(random + got, sizeof random - got, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break; // creation with O_EXCL still refuses whatever is there
        }
        got += static_cast<std::size_t>(n);
    }
    std::string name = ".export-";
    for (const unsigned char b : random) {
        name += kHex[b >> 4];
        name += kHex[b & 0x0F];
    }
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return folder + name + ".tmp";
}

class DiskExportFile : public ExportFile {
public:
    explicit DiskExportFile(int fd) : fd_(fd) {}
    ~DiskExportFile() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    bool write(const char* data, std::size_t size) override {
        if (!writeAll(fd_, data, size)) {
            error_ = errnoText(errno);
            return false;
        }
        return true;
    }

    bool close() override {
        if (fd_ < 0) {
            return true;
        }
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            error_ = errnoText(errno);
            return false;
        }
        return true;
    }

private:
    int fd_;
};

} // namespace

std::unique_ptr<ExportFile> ExportOutput::createTemporaryBeside(const std::string& path, std::string& temporary,
                                                                std::string& error) {
    constexpr int kAttempts = 8;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        temporary = temporaryPathFor(path);
        if (auto file = openForWriting(temporary, error)) {
            return file;
        }
        if (!fileExists(temporary)) {
            return nullptr; // not a name taken: the folder refuses the file
        }
    }
    return nullptr;
}

bool ExportOutput::writeAtomically(const std::string& path, std::string_view bytes, std::string& error) {
    std::string temporary;
    auto file = createTemporaryBeside(path, temporary, error);
    if (!file) {
        return false;
    }
    const bool written = file->write(bytes.data(), bytes.size());
    if (!written || !file->close()) {
        error = file->error();
        file.reset();
        removeItem(temporary);
        return false;
    }
    if (!replaceItem(temporary, path, error)) {
        removeItem(temporary);
        return false;
    }
    return true;
}

ExportOutput& diskExportOutput() {
    static DiskExportOutput output;
    return output;
}

bool DiskExportOutput::createDirectories(const std::string& path, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return true;
    }
    if (S_ISLNK(st.st_mode)) {
        // Planted in the export folder, it would send the category's files wherever it points.
        error = "it is a symbolic link";
        return false;
    }
    error = ec ? ec.message() : errnoText(ENOTDIR);
    return false;
}

std::unique_ptr<ExportFile> DiskExportOutput::openForWriting(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = errnoText(errno);
        return nullptr;
    }
    return std::make_unique<DiskExportFile>(fd);
}

bool DiskExportOutput::replaceItem(const std::string& from, const std::string& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        error = errnoText(errno);
        return false;
    }
    return true;
}

bool DiskExportOutput::moveItem(const std::string& from, const std::string& to, std::string& error) {
    if (const int code = renameNoReplace(from, to); code != 0) {
        error = errnoText(code);
        return false;
    }
    return true;
}

bool DiskExportOutput::fileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool DiskExportOutput::removeItem(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

} // namespace quarrow
