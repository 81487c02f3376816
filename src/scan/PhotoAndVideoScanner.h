#pragma once

#include <cstdint>
#include <string>

namespace quarrow {

class ScanContext;

// Smallest file taken for a picture or a movie, in bytes.
inline constexpr std::uint64_t kPhotoAndVideoMinimumSize = 50000;

// Walks the files the backup stores and posts the full path of every regular file of at least
// kPhotoAndVideoMinimumSize bytes as "ScanPhotoAndVideoInfo": the entries of the backup folder in
// the flat layout of older backups, the entries of its two-hex-digit storage folders in the
// manifest layout. The backup's own bookkeeping (Manifest.db, Info.plist, ...) is never posted, nor
// is anything of an encrypted backup, whose files are ciphertext (they are counted in the log).
// Links, FIFOs, devices and folders are passed over without being opened or followed. While it
// walks it posts its progress in thirtieths of all the entries walked: "ScanProgressInfo" 1, 2, ...
// up to 29, each just before the entry at index floor(n * k / 30) is looked at.
void scanPhotoAndVideoThread(ScanContext& context, const std::string& backupFolder);

} // namespace quarrow
