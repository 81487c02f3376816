#include "UnpackFolder.h"

#include "platform/Log.h"

#include <fcntl.h>
#include <unistd.h>

namespace quarrow {

std::shared_ptr<UnpackFolder> UnpackFolder::create() {
    std::shared_ptr<UnpackFolder> folder(new UnpackFolder);
    const auto path = folder->folder_.path();
    if (!path) {
        return nullptr;
    }
    folder->path_ = *path;
    folder->fd_ = ::open(path->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder->fd_ < 0) {
        systemLog("Unpack folder: cannot open the new folder");
        return nullptr;
    }
    return folder;
}

UnpackFolder::~UnpackFolder() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    // The work folder removes itself and everything in it.
}

} // namespace quarrow
