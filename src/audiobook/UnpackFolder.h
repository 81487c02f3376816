#pragma once

#include "platform/WorkFolder.h"

#include <memory>
#include <string>

namespace quarrow {

// The private folder one ePub is unpacked into: a work folder of its own (mode 0700, made with
// mkdtemp under the user's cache folder, so no other user can read it or predict its name, and two
// books of the same name never share one; removed on an interrupt too), plus a descriptor of it
// through which every file is written, so that no name inside the archive can lead elsewhere. The
// book and its chapters share it; it is removed when the last of them lets it go.
class UnpackFolder {
public:
    // A new folder, or nothing (logged) when none can be made.
    static std::shared_ptr<UnpackFolder> create();

    ~UnpackFolder();
    UnpackFolder(const UnpackFolder&) = delete;
    UnpackFolder& operator=(const UnpackFolder&) = delete;

    const std::string& path() const { return path_; }
    // The folder's descriptor (O_DIRECTORY), valid for the object's lifetime.
    int fd() const { return fd_; }

private:
    UnpackFolder() = default;
    WorkFolder folder_{"book"};
    std::string path_;
    int fd_ = -1;
};

} // namespace quarrow
