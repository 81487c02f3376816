#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quarrow::test {

using Keys = std::map<std::string, std::string>;

// Property lists as devices write them: Info.plist as XML, Manifest.plist and Status.plist binary.
std::string xmlPlist(const Keys& keys);
void writeInfoPlist(const std::string& backupFolder, const Keys& keys);
// Manifest.plist with a "Lockdown" dictionary holding the keys, in binary form.
void writeBinaryManifest(const std::string& backupFolder, const Keys& lockdown);
void writeBinaryStatus(const std::string& backupFolder);

// One object of a hand-made binary property list: an array or dictionary of references to other
// objects (a dictionary's keys first, then its values), or a string.
struct BinaryObject {
    enum Kind { Array, Dictionary, String } kind = String;
    std::vector<std::uint32_t> refs;
    std::string text;
};
// The bytes of a binary property list ("bplist00") holding the objects as given, references and all,
// so that tests can build what no writer would: cycles, shared objects, any depth.
std::string binaryPlist(const std::vector<BinaryObject>& objects, std::uint32_t top = 0);
// `depth` one-element arrays nested in each other, in binary and in XML form.
std::string nestedBinaryPlist(std::size_t depth);
std::string nestedXmlPlist(std::size_t depth);

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
