#include "BackupFiles.h"

#include "platform/Log.h"

#include <cerrno>
#include <cstring>
#include <openssl/evp.h>
#include <sys/stat.h>

namespace quarrow {

BackupFiles::BackupFiles(std::string backupFolder) : folder_(std::move(backupFolder)) {}

std::string BackupFiles::fileID(const DeviceFile& file) {
    std::string name;
    name.reserve(file.domain.size() + 1 + file.relativePath.size());
    name.append(file.domain).append("-").append(file.relativePath);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(name.data(), name.size(), digest, &length, EVP_sha1(), nullptr) != 1) {
        return {};
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(std::size_t{2} * length);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

std::optional<std::string> BackupFiles::locate(const DeviceFile& file) const {
    return locateHashed(fileID(file));
}

std::optional<std::string> BackupFiles::locateHashed(std::string_view fileID) const {
    if (folder_.empty() || fileID.empty()) {
        return std::nullopt;
    }
    std::string path = folder_ + "/";
    path.append(fileID);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        // Missing is the usual case and says nothing; a link that leads nowhere is worth a line.
        const int error = errno;
        if (::lstat(path.c_str(), &st) == 0) {
            systemLog("Backup file is a link that leads nowhere (" + std::string(std::strerror(error)) +
                      "), passed over: " + path);
        }
        return std::nullopt;
    }
    return path;
}

std::optional<LocatedFile> BackupFiles::locateFirst(std::span<const DeviceFile> files) const {
    for (const DeviceFile& file : files) {
        if (auto path = locate(file)) {
            return LocatedFile{file, std::move(*path)};
        }
    }
    return std::nullopt;
}

} // namespace quarrow
