#include "PropertyList.h"

#include "PropertyListBounds.h"
#include "platform/FileReads.h"
#include "platform/Log.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // Opened before it is looked at, without blocking, so that what is checked is what is read and a
    // FIFO planted under the name cannot hang the listing.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd) {
        const int error = errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(path.c_str(), &link) == 0) {
            systemLog("Property list is a link to nothing: " + path);
        } else if (error != ENOENT || !quietIfMissing) {
            systemLog("Property list cannot be opened (" + std::string(std::strerror(error)) + "): " + path);
        }
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        systemLog("Property list is not a regular file: " + path);
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxPropertyListBytes) {
        systemLog("Property list is too large to be one: " + path);
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    const ssize_t got = readAllAt(fd.get(), bytes.data(), bytes.size(), 0);
    if (got < 0) {
        systemLog("Property list cannot be read: " + path);
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(got)); // shorter when it shrank since fstat: parse what is there
    return fromMemory(bytes, path);
}

std::optional<PropertyList> PropertyList::fromMemory(const std::string& bytes, const std::string& origin) {
    // libplist recurses as deep as the list nests: a hostile file must be refused before it gets there.
    if (const auto refused = propertyListOutOfBounds(bytes)) {
        systemLog("Property list is refused (" + *refused + "): " + origin);
        return std::nullopt;
    }
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
        // Not plist_get_string_val: it aborts the process on a string holding a NUL byte. libplist
        // keeps such a string cut at the NUL, with the uncut length beside it, so the text is what
        // comes before the first NUL.
        std::uint64_t length = 0;
        const char* value = plist_get_string_ptr(item, &length);
        if (!value) {
            return std::nullopt;
        }
        return std::string(value, ::strnlen(value, static_cast<std::size_t>(length)));
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

std::optional<bool> PropertyList::boolean(const std::string& key) const {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (!item || plist_get_node_type(item) != PLIST_BOOLEAN) {
        return std::nullopt;
    }
    std::uint8_t v = 0;
    plist_get_bool_val(item, &v);
    return v != 0;
}

std::optional<std::int64_t> PropertyList::date(const std::string& key) const {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (!item || plist_get_node_type(item) != PLIST_DATE) {
        return std::nullopt;
    }
    // libplist counts dates from 2001-01-01 UTC (978307200 in seconds since 1970), as the format does.
    constexpr std::int64_t kFormatEpoch = 978307200;
    std::int32_t seconds = 0;
    std::int32_t micros = 0;
    plist_get_date_val(item, &seconds, &micros);
    return kFormatEpoch + seconds;
}

std::optional<std::string> PropertyList::data(const std::string& key) const {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (!item || plist_get_node_type(item) != PLIST_DATA) {
        return std::nullopt;
    }
    std::uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(item, &length);
    return std::string(bytes ? bytes : "", bytes ? static_cast<std::size_t>(length) : 0);
}

std::optional<PropertyList> PropertyList::dictionary(const std::string& key) const {
    plist_t item = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (!item || plist_get_node_type(item) != PLIST_DICT) {
        return std::nullopt;
    }
    return PropertyList(owner_, item);
}

std::vector<PropertyList> PropertyList::dictionaries(const std::string& key) const {
    std::vector<PropertyList> out;
    plist_t array = plist_dict_get_item(static_cast<plist_t>(node_), key.c_str());
    if (!array || plist_get_node_type(array) != PLIST_ARRAY) {
        return out;
    }
    const std::uint32_t count = plist_array_get_size(array);
    for (std::uint32_t i = 0; i < count; ++i) {
        plist_t item = plist_array_get_item(array, i);
        if (item && plist_get_node_type(item) == PLIST_DICT) {
            out.push_back(PropertyList(owner_, item));
        }
    }
    return out;
}

} // namespace quarrow
