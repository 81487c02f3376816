#pragma once

#include <string>

namespace quarrow {

// Handing finished audio files to the desktop's media players: a copy in the "Audiobooks" folder
// of the user's Music folder (XDG_MUSIC_DIR), which music and audiobook players watch.
std::string mediaLibraryFolder(const std::string& homeFolder);

struct MediaCopyResult {
    bool copied = false;
    std::string path;  // the copy
    std::string error; // why there is none, for the user
};

// Copies the file into `folder` (made when missing) under its own name. A file of that name already
// there stays as it is, and the copy is reported as not made.
MediaCopyResult copyToMediaLibrary(const std::string& file, const std::string& folder);

} // namespace quarrow
