#include "ArchivedFile.h"

#include "platform/PropertyListBounds.h"

#include <memory>
#include <plist/plist.h>

namespace quarrow {

namespace {

// An NSKeyedArchiver archive, as far as the MBFile record needs it:
//
//   $archiver  "NSKeyedArchiver"
//   $top       { root: UID n }           the archived object is $objects[n]
//   $objects   [ "$null", {MBFile}, ... ] every object, referred to by index (UID)
//
// An MBFile's scalar fields (Size, ProtectionClass) are stored inline; its EncryptionKey is a UID to
// an NSData object, itself either raw data or a dictionary whose "NS.data" holds the bytes.

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};
using Plist = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

// The object a UID refers to, or nothing when the node is no UID or the index is outside $objects.
plist_t resolve(plist_t objects, plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_UID) {
        return nullptr;
    }
    std::uint64_t index = 0;
    plist_get_uid_val(node, &index);
    if (index >= plist_array_get_size(objects)) {
        return nullptr;
    }
    return plist_array_get_item(objects, static_cast<std::uint32_t>(index));
}

std::optional<std::uint64_t> unsignedField(plist_t dict, const char* key) {
    plist_t item = plist_dict_get_item(dict, key);
    if (!item || plist_get_node_type(item) != PLIST_UINT) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    plist_get_uint_val(item, &value);
    return value;
}

std::optional<std::string> dataOf(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_DATA) {
        return std::nullopt;
    }
    std::uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(node, &length);
    return std::string(bytes ? bytes : "", bytes ? static_cast<std::size_t>(length) : 0);
}

} // namespace

std::optional<ArchivedFile> readArchivedFile(std::string_view bytes, std::string& problem) {
    // libplist recurses as deep as the list nests: refused before it gets there.
    if (const auto refused = propertyListOutOfBounds(bytes)) {
        problem = "file record is refused (" + *refused + ")";
        return std::nullopt;
    }
    plist_t parsed = nullptr;
    if (!bytes.empty()) {
        plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &parsed);
    }
    const Plist root(parsed);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) {
        problem = "file record is no property list dictionary";
        return std::nullopt;
    }
    plist_t objects = plist_dict_get_item(root.get(), "$objects");
    plist_t top = plist_dict_get_item(root.get(), "$top");
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY || !top || plist_get_node_type(top) != PLIST_DICT) {
        problem = "file record has no $objects or $top";
        return std::nullopt;
    }
    plist_t file = resolve(objects, plist_dict_get_item(top, "root"));
    if (!file || plist_get_node_type(file) != PLIST_DICT) {
        problem = "file record's root object is missing";
        return std::nullopt;
    }
    ArchivedFile out;
    out.size = unsignedField(file, "Size");
    if (const auto protectionClass = unsignedField(file, "ProtectionClass");
        protectionClass && *protectionClass <= 0xFFFFFFFFu) {
        out.protectionClass = static_cast<std::uint32_t>(*protectionClass);
    }
    plist_t key = resolve(objects, plist_dict_get_item(file, "EncryptionKey"));
    if (key && plist_get_node_type(key) == PLIST_DICT) {
        key = plist_dict_get_item(key, "NS.data");
    }
    out.encryptionKey = dataOf(key);
    return out;
}

} // namespace quarrow
