#include "TypedStream.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace quarrow {

// The typedstream format, as far as the string of an archived (attributed) string needs it.
//
// Header:
//   integer 4 (the format version), then the signature as a length and bytes: "streamtyped"
//   (integers little-endian) or "typedstream" (big-endian), then the system version (an integer).
// Integers: one byte read as signed. -110..127 is the value itself; the tag bytes before that:
//   0x81  a 16-bit integer follows          0x84  "new": a literal string, object or class follows
//   0x82  a 32-bit integer follows          0x85  nil
//   0x83  a floating-point value follows    0x86  end of an object's values
//   A reference to an earlier string or object is its table index plus -110 (0x92 is index 0).
// Shared strings (type strings, class names): new (0x84, then a length and bytes, added to the
//   string table) or a reference into the string table.
// Values come in groups: a type string ("@" an object, "+" bytes with a length, "i" an integer,
//   ...) and one value per type character.
// Objects ("@"): nil, a reference into the object table, or new: 0x84, the object is added to the
//   table, then its class, then its value groups up to 0x86.
// Classes: new (0x84, the class is added to the object table, then its name as a shared string,
//   its version as an integer, then its superclass as a class) or nil (the chain ends) or a
//   reference into the object table (a class seen before, whose chain was read then).
//
// An archived NSAttributedString is "@" then the attributed string object, whose first value group
// is "@" with its NSString (or NSMutableString) object, whose one value group is "+" with the
// string's UTF-8 bytes.

namespace {

constexpr std::int64_t kTagInt16 = -127; // 0x81
constexpr std::int64_t kTagInt32 = -126; // 0x82
constexpr std::int64_t kTagNew = -124;   // 0x84
constexpr std::int64_t kTagNil = -123;   // 0x85
constexpr std::int64_t kTagEnd = -122;   // 0x86
constexpr std::int64_t kFirstReference = -110;
constexpr int kMaxClassChain = 32;

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    bool header() {
        const auto version = integer();
        if (!version || *version != 4) {
            return false;
        }
        const auto signature = lengthAndBytes();
        if (signature == "streamtyped") {
            bigEndian_ = false;
        } else if (signature == "typedstream") {
            bigEndian_ = true;
        } else {
            return false;
        }
        return integer().has_value();
    }

    // A tag or an integer value, as one signed byte (or the 16/32-bit value a tag announces).
    std::optional<std::int64_t> integer() {
        const auto head = byte();
        if (!head) {
            return std::nullopt;
        }
        const auto value = static_cast<std::int8_t>(*head);
        if (value == kTagInt16) {
            return fixed(2);
        }
        if (value == kTagInt32) {
            return fixed(4);
        }
        return value;
    }

    // A string of the shared-string table: new or a reference.
    std::optional<std::string_view> sharedString() {
        const auto tag = integer();
        if (!tag) {
            return std::nullopt;
        }
        if (*tag == kTagNew) {
            const auto text = lengthAndBytes();
            if (text) {
                strings_.push_back(*text);
            }
            return text;
        }
        if (*tag >= kFirstReference) {
            const auto index = static_cast<std::uint64_t>(*tag - kFirstReference);
            if (index < strings_.size()) {
                return strings_[index];
            }
        }
        return std::nullopt;
    }

    // A new object's class chain, the object's own class first. A chain that references a class
    // read before ends with that class's name.
    std::optional<std::vector<std::string_view>> classChain() {
        std::vector<std::string_view> names;
        for (int depth = 0; depth < kMaxClassChain; ++depth) {
            const auto tag = integer();
            if (!tag) {
                return std::nullopt;
            }
            if (*tag == kTagNil) {
                return names;
            }
            if (*tag >= kFirstReference) {
                const auto index = static_cast<std::uint64_t>(*tag - kFirstReference);
                if (index >= objects_.size()) {
                    return std::nullopt;
                }
                names.push_back(objects_[index]);
                return names;
            }
            if (*tag != kTagNew) {
                return std::nullopt;
            }
            const auto name = sharedString();
            if (!name || !integer()) { // the name, then the class's version
                return std::nullopt;
            }
            objects_.push_back(*name);
            names.push_back(*name);
        }
        return std::nullopt;
    }

    // The start of a new object: 0x84, then its entry in the object table.
    bool newObject() {
        const auto tag = integer();
        if (!tag || *tag != kTagNew) {
            return false;
        }
        objects_.emplace_back(); // the object itself; its class follows
        return true;
    }

    // A length (an integer), then that many bytes.
    std::optional<std::string_view> lengthAndBytes() {
        const auto length = integer();
        if (!length || *length < 0 || static_cast<std::uint64_t>(*length) > bytes_.size() - at_) {
            return std::nullopt;
        }
        const std::string_view out = bytes_.substr(at_, static_cast<std::size_t>(*length));
        at_ += static_cast<std::size_t>(*length);
        return out;
    }

private:
    std::optional<unsigned char> byte() {
        if (at_ >= bytes_.size()) {
            return std::nullopt;
        }
        return static_cast<unsigned char>(bytes_[at_++]);
    }

    std::optional<std::int64_t> fixed(std::size_t width) {
        if (bytes_.size() - at_ < width) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const auto b = static_cast<unsigned char>(bytes_[at_ + i]);
            const std::size_t shift = bigEndian_ ? 8 * (width - 1 - i) : 8 * i;
            value |= static_cast<std::uint32_t>(b) << shift;
        }
        at_ += width;
        return width == 2 ? static_cast<std::int64_t>(static_cast<std::int16_t>(value))
                          : static_cast<std::int64_t>(static_cast<std::int32_t>(value));
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
    bool bigEndian_ = false;
    std::vector<std::string_view> strings_;
    std::vector<std::string_view> objects_; // class names; empty for objects
};

} // namespace

namespace {

bool hasClass(const std::vector<std::string_view>& chain, std::initializer_list<std::string_view> names) {
    for (std::string_view c : chain) {
        for (std::string_view n : names) {
            if (c == n) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

std::optional<std::string> typedStreamString(std::string_view archive) {
    Reader in(archive);
    if (!in.header() || in.sharedString() != "@" || !in.newObject()) {
        return std::nullopt;
    }
    auto chain = in.classChain();
    if (!chain) {
        return std::nullopt;
    }
    if (hasClass(*chain, {"NSAttributedString", "NSMutableAttributedString"})) {
        // The attributed string's first value: its string object.
        if (in.sharedString() != "@" || !in.newObject()) {
            return std::nullopt;
        }
        chain = in.classChain();
        if (!chain) {
            return std::nullopt;
        }
    }
    if (!hasClass(*chain, {"NSString", "NSMutableString"}) || in.sharedString() != "+") {
        return std::nullopt;
    }
    const auto text = in.lengthAndBytes();
    if (!text) {
        return std::nullopt;
    }
    return std::string(*text);
}

} // namespace quarrow
