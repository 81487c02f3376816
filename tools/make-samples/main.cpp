// Generates the sample backup root from the recipe in samples/backups.
//
//   quarrow_make_samples <recipe folder> <output root>
//
// Each sub-folder of the recipe becomes one backup folder of the same name. Its files are turned
// into the files a device backup holds:
//
//   NAME.plist            copied byte for byte (property lists that devices write as XML)
//   NAME.plist.xml        converted to the binary form and written as NAME.plist
//   notes.sqlite.sql      run against an empty Core Data notes database (schema format 1, 4096-byte
//                         pages, secure_delete off), stored as notes.sqlite
//   notes.db.sql          the same for the iPhone OS 1-3 notes database (notes.db)
//   NoteStore.sqlite.sql  run against an empty note store of iOS 16 (WAL mode, secure_delete off),
//                         stored as NoteStore.sqlite
//   AddressBook.sqlitedb.sql, sms.db.sql, call_history.db.sql
//                         the same for the address book, the messages (iOS 6 layout) and the call
//                         history, each stored as its device file
//   pictures.txt          one picture a line, "<file ID> <width> <height> <seed>": an uncompressed
//                         PNG of that size, written under the file ID (flat layout); in the layout
//                         of iOS 10 on "<relative path> <width> <height> <seed>", a file of
//                         CameraRollDomain stored and listed in Manifest.db
//
// A backup whose Status.plist has version 3 or later is in the layout of iOS 10 on: its databases
// go into two-hex-digit folders and Manifest.db lists them. Otherwise they lie flat in the folder
// under their file IDs. A backup whose Manifest.plist says it is encrypted (it must be of the layout
// of iOS 10 on) is made plain first and then encrypted as a device encrypts it, under the password
// kSamplePassword: a key bag in Manifest.plist, Manifest.db and every file under keys of their own.
//
// Every file then gets the modification time that the backup's property lists give: Info.plist
// its "Last Backup Date", Manifest.plist and Status.plist their "Date", everything else the time of
// the property list that describes the backup. The output depends on nothing but the recipe (and
// the SQLite, zlib, protobuf and libplist versions), so two runs give the same bytes and times.
//
// The output root is removed and made anew. Any recipe error stops the run with a message and a
// non-zero exit status, and leaves no output root behind.

#include "DeviceDb.h"
#include "EncryptedBackup.h"
#include "ModernBackup.h"
#include "NoteStore.h"
#include "PhoneDbs.h"

#include <plist/plist.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;
namespace fx = quarrow::fixtures;

namespace {

// The password of the encrypted sample backups (samples/README.md gives it to the reader). Their
// iteration counts are small, so unlocking them takes no time.
constexpr const char* kSamplePassword = "tortoise";

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

// A database of the recipe: which device file it becomes, the schema it starts from (none: the
// note store, whose builder makes its tables) and in which schema format.
struct DatabaseKind {
    const char* recipeName;
    const char* domain;
    const char* relativePath;
    const char* (*schema)();
    int schemaFormat;
};

const DatabaseKind kDatabases[] = {
    {"notes.sqlite.sql", "HomeDomain", "Library/Notes/notes.sqlite", [] { return fx::kNotesSchema; }, 1},
    {"notes.db.sql", "HomeDomain", "Library/Notes/notes.db", [] { return fx::kLegacyNotesSchema; }, 1},
    {"NoteStore.sqlite.sql", "AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite", nullptr, 4},
    {"AddressBook.sqlitedb.sql", "HomeDomain", "Library/AddressBook/AddressBook.sqlitedb",
     [] { return fx::kAddressBookSchema; }, 4},
    {"sms.db.sql", "HomeDomain", "Library/SMS/sms.db", [] { return fx::smsSchema(fx::SmsLayout::IOS6); }, 4},
    {"call_history.db.sql", "WirelessDomain", "Library/CallHistory/call_history.db",
     [] { return fx::kCallHistorySchema; }, 1},
};

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A file's name in a backup: 40 lowercase hex digits.
bool isFileID(const std::string& name) {
    return name.size() == 40 && std::all_of(name.begin(), name.end(),
                                            [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// 40 lowercase hex digits, or, for devices from 2018 on, 8 and 16 uppercase hex digits joined by "-".
bool isDeviceIdentifier(const std::string& name) {
    const auto hex = [](std::string_view digits) {
        return std::all_of(digits.begin(), digits.end(),
                           [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
    };
    if (name.size() == 40) {
        return isFileID(name);
    }
    return name.size() == 25 && name[8] == '-' && hex(std::string_view(name).substr(0, 8)) &&
           hex(std::string_view(name).substr(9));
}

bool fail(const std::string& message) {
    std::fprintf(stderr, "quarrow_make_samples: %s\n", message.c_str());
    return false;
}

Plist parsePlist(const std::string& bytes) {
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    return Plist(root);
}

std::optional<std::string> textAt(plist_t dict, const char* key) {
    plist_t node = dict ? plist_dict_get_item(dict, key) : nullptr;
    if (!node || plist_get_node_type(node) != PLIST_STRING) {
        return std::nullopt;
    }
    char* value = nullptr;
    plist_get_string_val(node, &value);
    std::string text = value ? value : "";
    std::free(value);
    return text;
}

// Seconds since 1970 of a date entry, or nothing.
std::optional<std::int64_t> dateAt(plist_t dict, const char* key) {
    plist_t node = dict ? plist_dict_get_item(dict, key) : nullptr;
    if (!node || plist_get_node_type(node) != PLIST_DATE) {
        return std::nullopt;
    }
    std::int32_t seconds = 0;
    std::int32_t micros = 0;
    plist_get_date_val(node, &seconds, &micros);
    return fx::kSecondsFrom1970To2001 + seconds;
}

bool setModificationTime(const fs::path& path, std::int64_t unixSeconds) {
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(unixSeconds);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        return fail("cannot set the time of " + path.string());
    }
    return true;
}

class BackupMaker {
public:
    BackupMaker(fs::path recipe, fs::path output) : recipe_(std::move(recipe)), output_(std::move(output)) {}

    bool make() {
        const std::string id = recipe_.filename().string();
        if (!isDeviceIdentifier(id)) {
            return fail("backup folder name is not 40 lowercase hex digits: " + id);
        }
        std::error_code ec;
        fs::create_directories(output_, ec);
        if (ec) {
            return fail("cannot create " + output_.string() + ": " + ec.message());
        }
        std::vector<fs::path> sources;
        for (const auto& entry : fs::directory_iterator(recipe_, ec)) {
            sources.push_back(entry.path());
        }
        if (ec) {
            return fail("cannot list " + recipe_.string() + ": " + ec.message());
        }
        std::sort(sources.begin(), sources.end());
        // Property lists first: they decide the layout the databases are stored in.
        std::stable_partition(sources.begin(), sources.end(), [](const fs::path& p) {
            return endsWith(p.filename().string(), ".plist") || endsWith(p.filename().string(), ".plist.xml");
        });
        for (const fs::path& source : sources) {
            if (!makeFile(source)) {
                return false;
            }
        }
        if (encrypted() && !manifestLayout()) {
            return fail("an encrypted backup must be of the layout of iOS 10 on: " + id);
        }
        if (manifestLayout()) {
            if (!manifest_) {
                manifest_.emplace(output_.string());
            }
            if (!manifest_->writeManifest()) {
                return fail("cannot write the Manifest.db of " + id);
            }
        }
        if (encrypted()) {
            fx::BackupEncryption settings;
            settings.password = kSamplePassword;
            if (!fx::encryptBackup(output_.string(), settings)) {
                return fail("cannot encrypt " + id);
            }
        }
        return checkIdentity(id) && stampTimes();
    }

private:
    bool makeFile(const fs::path& source) {
        const std::string name = source.filename().string();
        for (const DatabaseKind& kind : kDatabases) {
            if (name == kind.recipeName) {
                return makeDatabase(source, kind);
            }
        }
        if (name == "pictures.txt") {
            return makePictures(source);
        }
        if (endsWith(name, ".plist.xml")) {
            return makePlist(source, name.substr(0, name.size() - 4), true);
        }
        if (endsWith(name, ".plist")) {
            return makePlist(source, name, false);
        }
        if (name == "README.md") {
            return true;
        }
        return fail("no rule for recipe file " + source.string());
    }

    bool makePlist(const fs::path& source, const std::string& name, bool toBinary) {
        const std::string xml = fx::readFile(source.string());
        Plist root = parsePlist(xml);
        if (!root || plist_get_node_type(static_cast<plist_t>(root.get())) != PLIST_DICT) {
            return fail("not a property-list dictionary: " + source.string());
        }
        std::string bytes = xml;
        if (toBinary) {
            char* binary = nullptr;
            std::uint32_t length = 0;
            plist_to_bin(static_cast<plist_t>(root.get()), &binary, &length);
            if (!binary) {
                return fail("cannot convert " + source.string());
            }
            bytes.assign(binary, length);
            plist_to_bin_free(binary);
        }
        const fs::path target = output_ / name;
        if (!fx::writeFile(target.string(), bytes)) {
            return fail("cannot write " + target.string());
        }
        plists_.emplace_back(name, std::move(root));
        return true;
    }

    bool makeDatabase(const fs::path& source, const DatabaseKind& kind) {
        const std::string id = fx::modernFileID(kind.domain, kind.relativePath);
        const std::string target = (output_ / (manifestLayout() ? ".building-" + id : id)).string();
        if (kind.schema) {
            if (!fx::createDatabase(target, kind.schema(), kind.schemaFormat, 4096)) {
                return fail("cannot create " + target);
            }
            if (!fx::execSql(target, fx::readFile(source.string()))) {
                return fail("the statements of " + source.string() + " failed");
            }
        } else {
            fx::NoteStoreBuilder store(target, fx::NoteStoreVersion::iOS16);
            if (!store.ok()) {
                return fail("cannot create " + target);
            }
            store.close();
            if (!fx::runNoteStoreScript(target, fx::readFile(source.string()))) {
                return fail("the statements of " + source.string() + " failed");
            }
        }
        if (manifestLayout()) {
            if (!manifest_) {
                manifest_.emplace(output_.string());
            }
            manifest_->addDatabase(kind.domain, kind.relativePath, target);
            std::error_code ec;
            fs::remove(target, ec);
        }
        return true;
    }

    bool makePictures(const fs::path& source) {
        std::istringstream lines(fx::readFile(source.string()));
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] == '#') {
                continue;
            }
            std::istringstream fields(line);
            std::string id;
            int width = 0;
            int height = 0;
            int seed = 0;
            const bool listed = manifestLayout();
            if (!(fields >> id >> width >> height >> seed) || (listed ? !id.starts_with("Media/") : !isFileID(id)) ||
                width < 1 || height < 1 || width > 4000 || height > 4000) {
                return fail("bad picture line in " + source.string() + ": " + line);
            }
            if (listed) {
                if (!manifest_) {
                    manifest_.emplace(output_.string());
                }
                manifest_->addFile("CameraRollDomain", id, fx::pngPicture(width, height, seed));
                continue;
            }
            const fs::path target = output_ / id;
            if (!fx::writeFile(target.string(), fx::pngPicture(width, height, seed))) {
                return fail("cannot write " + target.string());
            }
        }
        return true;
    }

    // Status.plist's version: 3 and later store files in two-hex-digit folders.
    bool manifestLayout() const {
        const auto version = textAt(plist("Status.plist"), "Version");
        return version && std::atoi(version->c_str()) >= 3;
    }

    bool encrypted() const {
        plist_t manifest = plist("Manifest.plist");
        plist_t flag = manifest ? plist_dict_get_item(manifest, "IsEncrypted") : nullptr;
        std::uint8_t value = 0;
        if (flag && plist_get_node_type(flag) == PLIST_BOOLEAN) {
            plist_get_bool_val(flag, &value);
        }
        return value != 0;
    }

    plist_t plist(const std::string& name) const {
        for (const auto& [n, root] : plists_) {
            if (n == name) {
                return static_cast<plist_t>(root.get());
            }
        }
        return nullptr;
    }

    // The property lists must name the device whose folder holds them, as a device's do.
    bool checkIdentity(const std::string& id) const {
        std::vector<std::optional<std::string>> names = {textAt(plist("Info.plist"), "Unique Identifier"),
                                                         textAt(plist("Info.plist"), "Target Identifier")};
        if (plist_t manifest = plist("Manifest.plist")) {
            names.push_back(textAt(plist_dict_get_item(manifest, "Lockdown"), "UniqueDeviceID"));
        }
        for (const auto& name : names) {
            if (name && lower(*name) != lower(id)) {
                return fail("property lists of " + id + " name another device: " + *name);
            }
        }
        if (!plist("Info.plist") && !plist("Manifest.plist")) {
            return fail("neither Info.plist nor Manifest.plist describes " + id);
        }
        return true;
    }

    bool stampTimes() const {
        const auto info = dateAt(plist("Info.plist"), "Last Backup Date");
        const auto manifest = dateAt(plist("Manifest.plist"), "Date");
        const auto status = dateAt(plist("Status.plist"), "Date");
        if ((plist("Info.plist") && !info) || (plist("Manifest.plist") && !manifest) ||
            (plist("Status.plist") && !status)) {
            return fail("a property list of " + output_.string() + " lacks its date");
        }
        const std::int64_t described = info ? *info : *manifest;
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(output_, ec)) {
            const std::string name = entry.path().filename().string();
            std::int64_t time = described;
            if (name == "Manifest.plist") {
                time = *manifest;
            } else if (name == "Status.plist") {
                time = *status;
            }
            if (!setModificationTime(entry.path(), time)) {
                return false;
            }
        }
        return !ec && setModificationTime(output_, described);
    }

    fs::path recipe_;
    fs::path output_;
    std::vector<std::pair<std::string, Plist>> plists_;
    std::optional<fx::ModernBackupBuilder> manifest_;
};

bool makeRoot(const fs::path& recipe, const fs::path& root) {
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(root, ec);
    if (ec) {
        return fail("cannot create " + root.string() + ": " + ec.message());
    }
    std::vector<fs::path> backups;
    for (const auto& entry : fs::directory_iterator(recipe, ec)) {
        if (entry.is_directory()) {
            backups.push_back(entry.path());
        }
    }
    if (ec || backups.empty()) {
        return fail("no backups in the recipe folder " + recipe.string());
    }
    std::sort(backups.begin(), backups.end());
    for (const fs::path& backup : backups) {
        if (!BackupMaker(backup, root / backup.filename()).make()) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quarrow_make_samples <recipe folder> <output root>\n");
        return 2;
    }
    const fs::path root = argv[2];
    if (!makeRoot(argv[1], root)) {
        std::error_code ec;
        fs::remove_all(root, ec);
        return 1;
    }
    return 0;
}
