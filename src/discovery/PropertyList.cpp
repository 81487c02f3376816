#include "PropertyList.h"

#include "platform/Log.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <plist/plist.h>
#include <sstream>
#include <sys/stat.h>

namespace quarrow {

namespace {
// No backup property list comes near this; a larger file is not one of them.
constexpr std::uintmax_t kMaxPropertyListBytes = 64u << 20;
} // namespace

struct PropertyList::Owner {
    explicit Owner(plist_t r) : root(r) {}
    ~Owner() { plist_free(root); }
    plist_t root;
};

PropertyList::~PropertyList() = default;
PropertyList::PropertyList(PropertyList&&) noexcept = default;
PropertyList& PropertyList::operator=(PropertyList&&) noexcept = default;

std::optional<PropertyList> PropertyList::readDictionary(const std::string& path, bool quietIfMissing) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (!quietIfMissing) {
            systemLog("Property list is missing: " + path);
        }
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        systemLog("Property list is not a regular file: " + path);
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxPropertyListBytes) {
        systemLog("Property list is too large to be one: " + path);
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        systemLog("Property list cannot be read: " + path);
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        systemLog("Property list cannot be read: " + path);
        return std::nullopt;
    }
    return fromMemory(bytes.str(), path);
}

std::optional<PropertyList> PropertyList::fromMemory(const std::string& bytes, const std::string& origin) {
    plist_t root = nullptr;
    if (!bytes.empty()) {
        plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    }
    if (!root) {
        systemLog("Property list is malformed: " + origin);
        return std::nullopt;
    }
    auto owner = std::make_shared<Owner>(root);
    if (plist_get_node_type(root) != PLIST_DICT) {
        systemLog("Property list root is not a dictionary: " + origin);
        return std::nullopt;
    }
    return PropertyList(owner, root);
}

std::optional<std::string> PropertyList::text(const std::string& key) const {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (!item) {
        return std::nullopt;
    }
    switch (plist_get_node_type(item)) {
    case PLIST_STRING: {
        char* value = nullptr;
        plist_get_string_val(item, &value);
        if (!value) {
            return std::nullopt;
        }
        std::string out(value);
        std::free(value);
        return out;
    }
    case PLIST_UINT: {
        std::uint64_t v = 0;
        plist_get_uint_val(item, &v);
        return std::to_string(v);
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(item, &v);
        char text[64];
        std::snprintf(text, sizeof text, "%g", v);
        return std::string(text);
    }
    case PLIST_BOOLEAN: {
        std::uint8_t v = 0;
        plist_get_bool_val(item, &v);
        return std::string(v ? "YES" : "NO");
    }
    default:
        return std::nullopt;
    }
}

std::optional<PropertyList> PropertyList::dictionary(const std::string& key) const {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (!item || plist_get_node_type(item) != PLIST_DICT) {
        return std::nullopt;
    }
    return PropertyList(owner_, item);
}

} // namespace quarrow
