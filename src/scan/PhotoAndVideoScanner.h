#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quarrow {

class ScanContext;

// Smallest file taken for a picture or a movie, in bytes.
inline constexpr std::uint64_t kPhotoAndVideoMinimumSize = 50000;

// Files the device keeps for itself that a backup stores beside its pictures and movies, known by
// their first bytes (at most kDeviceRecordBytes of them).
enum class DeviceRecordKind {
    None,         // anything else: a picture, a movie, or a kind nobody here knows
    Database,     // "SQLite format 3\0"
    DatabaseLog,  // a SQLite write-ahead log or rollback journal, by its magic number
    PropertyList, // a binary property list, "bplist" and its two-digit version
};

inline constexpr std::size_t kDeviceRecordBytes = 16;

// What the leading bytes of a file say it is; None unless they say so plainly.
DeviceRecordKind deviceRecordKind(std::string_view leading);

// Walks the files the backup stores and posts the full path of every regular file of at least
// kPhotoAndVideoMinimumSize bytes as "ScanPhotoAndVideoInfo": the entries of the backup folder in
// the flat layout of older backups, the entries of its two-hex-digit storage folders in the
// manifest layout. The backup's own bookkeeping (Manifest.db, Info.plist, ...) is never posted.
// An encrypted backup's stored files are ciphertext: one of today's layout whose password was given
// is listed by its decrypted Manifest.db instead, the regular files of the media domains
// (CameraRollDomain, MediaDomain) of at least that plain size by their records, each posted as a
// PRPhotoAndVideoNode that carries its wrapped key for the export, with only its first cipher block
// decrypted, to pass over the device's records; without its password, or in the flat layout,
// nothing of it is posted (the files are counted in the log).
// Nor are the device's own records: the databases the other scanners read (and their logs), known
// by their file IDs, and every file whose first bytes make it a database, a database log or a
// binary property list (deviceRecordKind). Only files large enough to be posted are opened, for
// one read of their first bytes; a file that cannot be read is posted as before, by its size.
// Links, FIFOs, devices and folders are passed over without being opened or followed. While it
// walks it posts its progress in thirtieths of all the entries walked: "ScanProgressInfo" 1, 2, ...
// up to 29, each just before the entry at index floor(n * k / 30) is looked at.
void scanPhotoAndVideoThread(ScanContext& context, const std::string& backupFolder);

} // namespace quarrow
