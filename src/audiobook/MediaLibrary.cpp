#include "MediaLibrary.h"

#include "BookFiles.h"

#include "platform/FileMoves.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace quarrow {

std::string mediaLibraryFolder(const std::string& homeFolder) {
    return userDirectory("MUSIC", homeFolder, "Music") + "/Audiobooks";
}

MediaCopyResult copyToMediaLibrary(const std::string& file, const std::string& folder) {
    MediaCopyResult result;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        result.error = "The folder " + folder + " cannot be made: " + ec.message() + ".";
        return result;
    }
    const std::string name(lastPathComponent(file));
    const std::string to = folder + "/" + name;
    const int error = copyFileNoReplace(file, to);
    if (error == EEXIST) {
        result.error = "\"" + name + "\" is already in " + folder + "; it was left as it is.";
    } else if (error != 0) {
        result.error = "\"" + name + "\" could not be copied to " + folder + ": " + std::strerror(error) + ".";
    } else {
        result.copied = true;
        result.path = to;
    }
    return result;
}

} // namespace quarrow
