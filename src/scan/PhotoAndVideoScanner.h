#pragma once

#include <cstdint>
#include <string>

namespace quarrow {

class ScanContext;

// Smallest file taken for a picture or a movie, in bytes.
inline constexpr std::uint64_t kPhotoAndVideoMinimumSize = 50000;

// Walks the backup folder's entries by name and posts the full path of every regular file of at
// least kPhotoAndVideoMinimumSize bytes as "ScanPhotoAndVideoInfo". Links, FIFOs, devices and
// folders are passed over without being opened or followed. While it walks it posts its progress
// in thirtieths of the entries: "ScanProgressInfo" 1, 2, ... up to 29, each just before the entry
// at index floor(n * k / 30) is looked at.
void scanPhotoAndVideoThread(ScanContext& context, const std::string& backupFolder);

} // namespace quarrow
