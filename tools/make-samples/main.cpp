// Generates the sample backup root from the recipe in samples/backups.
//
//   quarrow_make_samples <recipe folder> <output root>
//
// Each sub-folder of the recipe becomes one backup folder of the same name. Its files are turned
// into the files a device backup holds:
//
//   NAME.plist          copied byte for byte (property lists that devices write as XML)
//   NAME.plist.xml      converted to the binary form and written as NAME.plist
//   notes.sqlite.sql    run against an empty Core Data notes database (schema format 1, 4096-byte
//                       pages, secure_delete off), written under the name of notes.sqlite
//   notes.db.sql        the same for the iPhone OS 1-3 notes database (notes.db)
//   AddressBook.sqlitedb.sql, sms.db.sql, call_history.db.sql
//                       the same for the address book, the messages (iOS 6 layout) and the call
//                       history, each under the name of its device file
//   pictures.txt        one picture a line, "<file ID> <width> <height> <seed>": an uncompressed
//                       PNG of that size, written under the file ID
//
// Every file then gets the modification time that the backup's property lists give: Info.plist
// its "Last Backup Date", Manifest.plist and Status.plist their "Date", everything else the time of
// the property list that describes the backup. The output depends on nothing but the recipe (and
// the SQLite and libplist versions), so two runs give the same bytes and times.
//
// The output root is removed and made anew. Any recipe error stops the run with a message and a
// non-zero exit status, and leaves no output root behind.

#include "DeviceDb.h"
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
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;
namespace fx = quarrow::fixtures;

namespace {

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

// A database of the recipe: which schema it starts from, in which schema format, and the name it
// has in a backup (the SHA-1 of "<domain>-<path>").
struct DatabaseKind {
    const char* recipeName;
    const char* backupName;
    const char* (*schema)();
    int schemaFormat;
};

const DatabaseKind kDatabases[] = {
    {"notes.sqlite.sql", "ca3bc056d4da0bbf88b5fb3be254f3b7147e639c", [] { return fx::kNotesSchema; }, 1},
    {"notes.db.sql", "740b7eaf93d6ea5d305e88bb349c8e9643f48c3b", [] { return fx::kLegacyNotesSchema; }, 1},
    {"AddressBook.sqlitedb.sql", "31bb7ba8914766d4ba40d6dfb6113c8b614be442", [] { return fx::kAddressBookSchema; }, 4},
    {"sms.db.sql", "3d0d7e5fb2ce288813306e4d4636395e047a3d28", [] { return fx::smsSchema(fx::SmsLayout::IOS6); }, 4},
    {"call_history.db.sql", "2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca", [] { return fx::kCallHistorySchema; }, 1},
};

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isDeviceIdentifier(const std::string& name) {
    return name.size() == 40 && std::all_of(name.begin(), name.end(),
                                            [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
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
        for (const fs::path& source : sources) {
            if (!makeFile(source)) {
                return false;
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
        if (endsWith(name, ".plist.xml")) {
            return makePlist(source, name.substr(0, name.size() - 4), true);
        }
        if (endsWith(name, ".plist")) {
            return makePlist(source, name, false);
        }
        if (name == "README.md") {
            return true;
        }
        if (name == "pictures.txt") {
            return makePictures(source);
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
        const std::string target = (output_ / kind.backupName).string();
        if (!fx::createDatabase(target, kind.schema(), kind.schemaFormat, 4096)) {
            return fail("cannot create " + target);
        }
        if (!fx::execSql(target, fx::readFile(source.string()))) {
            return fail("the statements of " + source.string() + " failed");
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
            if (!(fields >> id >> width >> height >> seed) || !isDeviceIdentifier(id) || width < 1 || height < 1 ||
                width > 4000 || height > 4000) {
                return fail("bad picture line in " + source.string() + ": " + line);
            }
            const fs::path target = output_ / id;
            if (!fx::writeFile(target.string(), fx::pngPicture(width, height, seed))) {
                return fail("cannot write " + target.string());
            }
        }
        return true;
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
            if (name && lower(*name) != id) {
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
        for (const auto& entry : fs::directory_iterator(output_, ec)) {
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
