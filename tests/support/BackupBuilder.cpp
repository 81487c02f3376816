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

namespace {
void appendBigEndian(std::string& out, std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void appendMarker(std::string& out, unsigned type, std::size_t count) {
    if (count < 15) {
        out += static_cast<char>(type << 4 | count);
        return;
    }
    out += static_cast<char>(type << 4 | 0x0F);
    out += static_cast<char>(0x12); // a 4-byte integer follows
    appendBigEndian(out, count, 4);
}
} // namespace

std::string binaryPlist(const std::vector<BinaryObject>& objects, std::uint32_t top) {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const auto& object : objects) {
        offsets.push_back(out.size());
        switch (object.kind) {
        case BinaryObject::String:
            appendMarker(out, 0x5, object.text.size());
            out += object.text;
            break;
        case BinaryObject::Array:
            appendMarker(out, 0xA, object.refs.size());
            break;
        case BinaryObject::Dictionary:
            appendMarker(out, 0xD, object.refs.size() / 2);
            break;
        }
        for (const auto ref : object.refs) {
            appendBigEndian(out, ref, 4);
        }
    }
    const std::uint64_t table = out.size();
    for (const auto offset : offsets) {
        appendBigEndian(out, offset, 4);
    }
    out.append(6, '\0');
    out += static_cast<char>(4); // bytes per offset
    out += static_cast<char>(4); // bytes per reference
    appendBigEndian(out, objects.size(), 8);
    appendBigEndian(out, top, 8);
    appendBigEndian(out, table, 8);
    return out;
}

std::string nestedBinaryPlist(std::size_t depth) {
    std::vector<BinaryObject> objects(depth);
    for (std::size_t i = 0; i + 1 < depth; ++i) {
        objects[i] = {BinaryObject::Array, {static_cast<std::uint32_t>(i + 1)}, {}};
    }
    objects.back() = {BinaryObject::Array, {}, {}};
    return binaryPlist(objects);
}

std::string nestedXmlPlist(std::size_t depth) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
    for (std::size_t i = 0; i < depth; ++i) {
        out += "<array>";
    }
    for (std::size_t i = 0; i < depth; ++i) {
        out += "</array>";
    }
    return out + "</plist>\n";
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
        // Links are fingerprinted as links (their target text), never followed: a backup may hold
        // loops and links to nowhere.
        if (S_ISREG(st.st_mode)) {
            entry += fixtures::readFile(e.path().string());
        } else if (S_ISLNK(st.st_mode)) {
            std::error_code ec;
            entry += fs::read_symlink(e.path(), ec).string();
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
