#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quarrow {

// A property-list dictionary read with libplist, XML and binary forms alike. Only the lookups that
// backup discovery and the book library need: texts, nested dictionaries and arrays of them.
class PropertyList {
public:
    ~PropertyList();
    PropertyList(PropertyList&&) noexcept;
    PropertyList& operator=(PropertyList&&) noexcept;

    // The dictionary in the file, or nothing (logged) when the file is missing, unreadable, not a
    // property list, or its root is not a dictionary. `quietIfMissing` keeps an absent file silent.
    static std::optional<PropertyList> readDictionary(const std::string& path, bool quietIfMissing = true);
    static std::optional<PropertyList> fromMemory(const std::string& bytes, const std::string& origin);

    // The text at the key; absent when the key is missing or holds no text (numbers, dates and
    // booleans are rendered as text).
    std::optional<std::string> text(const std::string& key) const;
    // The truth value at the key; nothing when the key is missing or holds no boolean.
    std::optional<bool> boolean(const std::string& key) const;
    // The date at the key in seconds since 1970-01-01 UTC; nothing when it holds no date.
    std::optional<std::int64_t> date(const std::string& key) const;
    // The bytes of the data item at the key; nothing when the key is missing or holds no data.
    std::optional<std::string> data(const std::string& key) const;
    // The dictionary at the key, or nothing. The result shares the node's owner.
    std::optional<PropertyList> dictionary(const std::string& key) const;
    // The dictionaries of the array at the key, in order; elements of other kinds are left out.
    // Empty when the key is missing or holds no array.
    std::vector<PropertyList> dictionaries(const std::string& key) const;

private:
    struct Owner;
    PropertyList(std::shared_ptr<Owner> owner, void* node) : owner_(std::move(owner)), node_(node) {}
    std::shared_ptr<Owner> owner_;
    void* node_ = nullptr;
};

} // namespace quarrow
