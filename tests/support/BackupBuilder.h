#pragma once

#include <map>
#include <string>

namespace quarrow::test {

using Keys = std::map<std::string, std::string>;

// Property lists as devices write them: Info.plist as XML, Manifest.plist and Status.plist binary.
std::string xmlPlist(const Keys& keys);
void writeInfoPlist(const std::string& backupFolder, const Keys& keys);
// Manifest.plist with a "Lockdown" dictionary holding the keys, in binary form.
void writeBinaryManifest(const std::string& backupFolder, const Keys& lockdown);
void writeBinaryStatus(const std::string& backupFolder);

// A typical iPhone 4S Info.plist.
Keys typicalInfo(const std::string& name = "Anna's iPhone");

// Paths of the notes databases inside a backup folder.
std::string notesSqlitePath(const std::string& backupFolder);
std::string notesDbPath(const std::string& backupFolder);

// Sets a file's modification time (seconds since 1970, UTC).
void setModificationTime(const std::string& path, long long seconds);

// Hash of every file below the folder (path, bytes and mode), to prove a scan changed nothing.
std::string folderFingerprint(const std::string& folder);

} // namespace quarrow::test
