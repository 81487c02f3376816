#include "BackupBuilder.h"

#include "DeviceDb.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <plist/plist.h>
#include <sys/stat.h>
#include <utime.h>
#include <vector>

namespace quarrow::test {

std::string xmlPlist(const Keys& keys) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n<dict>\n";
    for (const auto& [k, v] : keys) {
        out += "\t<key>" + k + "</key>\n\t<string>" + v + "</string>\n";
    }
    return out + "</dict>\n</plist>\n";
}

void writeInfoPlist(const std::string& backupFolder, const Keys& keys) {
    fixtures::writeFile(backupFolder + "/Info.plist", xmlPlist(keys));
}

namespace {
void writeBinary(const std::string& path, plist_t root) {
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    fixtures::writeFile(path, std::string(bytes, length));
    plist_to_bin_free(bytes);
    plist_free(root);
}
} // namespace

void writeBinaryManifest(const std::string& backupFolder, const Keys& lockdown) {
    plist_t root = plist_new_dict();
    plist_t dict = plist_new_dict();
    for (const auto& [k, v] : lockdown) {
        plist_dict_set_item(dict, k.c_str(), plist_new_string(v.c_str()));
    }
    plist_dict_set_item(root, "Lockdown", dict);
    plist_dict_set_item(root, "IsEncrypted", plist_new_bool(0));
    plist_dict_set_item(root, "Version", plist_new_string("9.1"));
    writeBinary(backupFolder + "/Manifest.plist", root);
}

void writeBinaryStatus(const std::string& backupFolder) {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "IsFullBackup", plist_new_bool(0));
    plist_dict_set_item(root, "Version", plist_new_string("2.4"));
    plist_dict_set_item(root, "SnapshotState", plist_new_string("finished"));
    writeBinary(backupFolder + "/Status.plist", root);
}

Keys typicalInfo(const std::string& name) {
    return {{"Device Name", name},         {"Display Name", name},
            {"Product Type", "iPhone4,1"}, {"Product Version", "6.1.3"},
            {"Build Version", "10B329"},   {"Serial Number", "C39GK0QZDTD2"},
            {"iTunes Version", "11.0.2"},  {"Unique Identifier", "3D0D7E5FB2CE288813306E4D4636395E047A3D28"}};
}

std::string notesSqlitePath(const std::string& backupFolder) {
    return backupFolder + "/ca3bc056d4da0bbf88b5fb3be254f3b7147e639c";
}

std::string notesDbPath(const std::string& backupFolder) {
    return backupFolder + "/740b7eaf93d6ea5d305e88bb349c8e9643f48c3b";
}

void setModificationTime(const std::string& path, long long seconds) {
    utimbuf times{static_cast<time_t>(seconds), static_cast<time_t>(seconds)};
    ::utime(path.c_str(), &times);
}

std::string folderFingerprint(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        std::string entry = e.path().string() + "|" + std::to_string(st.st_mode) + "|" +
                            std::to_string(static_cast<long long>(st.st_mtime)) + "|";
        if (e.is_regular_file()) {
            entry += fixtures::readFile(e.path().string());
        }
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end());
    std::string all;
    for (const auto& e : entries) {
        all += e;
        all += '\n';
    }
    return all;
}

} // namespace quarrow::test
