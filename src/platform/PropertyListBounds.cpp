#include "PropertyListBounds.h"

#include <cstdint>
#include <vector>

namespace quarrow {

namespace {

// Binary property list ("bplist00"), as far as the bounds need it:
//
//   offset        size  meaning
//   0             8     magic "bplist00"
//   ...                 objects, each starting with a marker byte: high nibble the type, low nibble a
//                       count (0xF: the count follows as an integer object, marker 0x1n, 2^n bytes)
//   table         N*o   offset table: one big-endian offset of `o` bytes per object
//   size-32       6     unused
//   size-26       1     o, bytes per offset table entry
//   size-25       1     r, bytes per object reference
//   size-24       8     N, number of objects
//   size-16       8     the top object's index
//   size-8        8     offset of the offset table
//
// Containers hold references (object indexes, `r` bytes each) right after their count: arrays and
// sets one per element, dictionaries all keys first and then all values.
constexpr std::string_view kBinaryMagic = "bplist00";
constexpr std::size_t kTrailerSize = 32;
constexpr std::uint8_t kTypeInteger = 0x1;
constexpr std::uint8_t kTypeArray = 0xA;
constexpr std::uint8_t kTypeOrderedSet = 0xB;
constexpr std::uint8_t kTypeSet = 0xC;
constexpr std::uint8_t kTypeDictionary = 0xD;

std::uint64_t readBigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

struct Children {
    std::size_t first = 0; // offset of the first reference
    std::uint64_t count = 0;
};

// One step of the walk: an object on the current path, the next of its references to follow, and
// what its finished children add up to so far.
struct Frame {
    std::uint64_t object = 0;
    Children children;
    std::uint64_t next = 0;
    std::uint64_t nodes = 1;
    std::uint64_t depth = 1;
};

class BinaryWalk {
public:
    BinaryWalk(std::string_view bytes, const PropertyListBounds& bounds) : bytes_(bytes), bounds_(bounds) {}

    std::optional<std::string> run() {
        if (bytes_.size() < kBinaryMagic.size() + kTrailerSize) {
            return std::nullopt; // libplist refuses it
        }
        const std::size_t trailer = bytes_.size() - kTrailerSize;
        offsetSize_ = static_cast<unsigned char>(bytes_[trailer + 6]);
        refSize_ = static_cast<unsigned char>(bytes_[trailer + 7]);
        objects_ = readBigEndian(bytes_, trailer + 8, 8);
        const std::uint64_t top = readBigEndian(bytes_, trailer + 16, 8);
        table_ = readBigEndian(bytes_, trailer + 24, 8);
        if (offsetSize_ == 0 || offsetSize_ > 8 || refSize_ == 0 || refSize_ > 8 || objects_ == 0 || top >= objects_ ||
            table_ > trailer || objects_ > (trailer - table_) / offsetSize_) {
            return "damaged";
        }
        if (objects_ > bounds_.maxNodes) {
            return "too many objects";
        }
        state_.assign(objects_, State{});
        return walk(top);
    }

private:
    enum class Color : std::uint8_t { Unseen, OnPath, Done };
    struct State {
        Color color = Color::Unseen;
        std::uint64_t nodes = 0; // nodes the object expands to, itself included
        std::uint64_t depth = 0; // levels below and including it
    };

    // Where the object's references are, or no references at all for a scalar. False when the object
    // lies outside the file or claims more references than the file holds.
    bool childrenOf(std::uint64_t object, Children& out) const {
        out = {};
        const std::uint64_t at =
            readBigEndian(bytes_, static_cast<std::size_t>(table_ + object * offsetSize_), offsetSize_);
        if (at < kBinaryMagic.size() || at >= table_) {
            return false;
        }
        const auto marker = static_cast<unsigned char>(bytes_[at]);
        const std::uint8_t type = marker >> 4;
        const bool dictionary = type == kTypeDictionary;
        if (!dictionary && type != kTypeArray && type != kTypeOrderedSet && type != kTypeSet) {
            return true;
        }
        std::uint64_t count = marker & 0x0F;
        std::size_t first = static_cast<std::size_t>(at) + 1;
        if (count == 0x0F) {
            if (first >= table_) {
                return false;
            }
            const auto intMarker = static_cast<unsigned char>(bytes_[first]);
            const std::size_t width = std::size_t{1} << (intMarker & 0x0F);
            if (intMarker >> 4 != kTypeInteger || width > 8 || width > table_ - first - 1) {
                return false;
            }
            count = readBigEndian(bytes_, first + 1, width);
            first += 1 + width;
        }
        const std::uint64_t perEntry = dictionary ? 2 : 1;
        if (first > table_ || count > (table_ - first) / refSize_ / perEntry) {
            return false;
        }
        out.first = first;
        out.count = count * perEntry;
        return true;
    }

    std::optional<std::string> enter(std::uint64_t object, std::vector<Frame>& path) {
        if (path.size() >= bounds_.maxDepth) {
            return "nested too deeply";
        }
        Frame frame;
        frame.object = object;
        if (!childrenOf(object, frame.children)) {
            return "damaged";
        }
        state_[object].color = Color::OnPath;
        path.push_back(frame);
        return std::nullopt;
    }

    // Adds a finished child to its parent; fails once the parent alone breaks a bound.
    std::optional<std::string> add(Frame& parent, const State& child) const {
        parent.nodes += child.nodes;
        if (child.depth + 1 > parent.depth) {
            parent.depth = child.depth + 1;
        }
        if (parent.nodes > bounds_.maxNodes) {
            return "too many objects";
        }
        if (parent.depth > bounds_.maxDepth) {
            return "nested too deeply";
        }
        return std::nullopt;
    }

    // Depth-first over the references with an explicit path, so that the check itself never
    // recurses. Shared objects are measured once and counted at every use, as libplist copies them.
    std::optional<std::string> walk(std::uint64_t top) {
        std::vector<Frame> path;
        if (auto failure = enter(top, path)) {
            return failure;
        }
        while (!path.empty()) {
            Frame& frame = path.back();
            if (frame.next < frame.children.count) {
                const std::size_t at = frame.children.first + static_cast<std::size_t>(frame.next * refSize_);
                const std::uint64_t child = readBigEndian(bytes_, at, refSize_);
                ++frame.next;
                if (child >= objects_) {
                    return "damaged";
                }
                switch (state_[child].color) {
                case Color::OnPath:
                    return "refers to itself";
                case Color::Done:
                    if (auto failure = add(frame, state_[child])) {
                        return failure;
                    }
                    break;
                case Color::Unseen:
                    if (auto failure = enter(child, path)) {
                        return failure;
                    }
                    break;
                }
                continue;
            }
            State& done = state_[frame.object];
            done = {Color::Done, frame.nodes, frame.depth};
            path.pop_back();
            if (!path.empty()) {
                if (auto failure = add(path.back(), done)) {
                    return failure;
                }
            }
        }
        return std::nullopt;
    }

    std::string_view bytes_;
    const PropertyListBounds& bounds_;
    std::size_t offsetSize_ = 0;
    std::size_t refSize_ = 0;
    std::uint64_t objects_ = 0;
    std::uint64_t table_ = 0;
    std::vector<State> state_;
};

bool startsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == ':' || c == '.';
}

// XML: every element counts as a node; <array> and <dict> that are not empty ("<array/>") open a
// level that their end tag closes. Comments, CDATA, declarations and processing instructions are
// passed over whole, since a tag inside them is no element.
std::optional<std::string> xmlOutOfBounds(std::string_view xml, const PropertyListBounds& bounds) {
    std::size_t depth = 0;
    std::size_t nodes = 0;
    std::size_t at = xml.find('<');
    while (at != std::string_view::npos) {
        std::string_view closer = ">";
        if (startsWith(xml, at, "<!--")) {
            closer = "-->";
        } else if (startsWith(xml, at, "<![CDATA[")) {
            closer = "]]>";
        } else if (startsWith(xml, at, "<?")) {
            closer = "?>";
        }
        const std::size_t end = xml.find(closer, at + 1);
        if (end == std::string_view::npos) {
            break; // unterminated: libplist rejects it
        }
        if (closer == ">" && at + 1 < xml.size() && xml[at + 1] != '!') {
            const bool closing = xml[at + 1] == '/';
            std::size_t nameEnd = at + 1 + (closing ? 1 : 0);
            const std::size_t nameStart = nameEnd;
            while (nameEnd < end && isNameChar(xml[nameEnd])) {
                ++nameEnd;
            }
            const std::string_view name = xml.substr(nameStart, nameEnd - nameStart);
            const bool container = name == "array" || name == "dict";
            if (closing) {
                if (container && depth > 0) {
                    --depth;
                }
            } else {
                if (++nodes > bounds.maxNodes) {
                    return "too many objects";
                }
                if (container && xml[end - 1] != '/' && ++depth > bounds.maxDepth) {
                    return "nested too deeply";
                }
            }
        }
        at = xml.find('<', end + closer.size());
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> propertyListOutOfBounds(std::string_view bytes, const PropertyListBounds& bounds) {
    if (startsWith(bytes, 0, kBinaryMagic)) {
        return BinaryWalk(bytes, bounds).run();
    }
    return xmlOutOfBounds(bytes, bounds);
}

} // namespace quarrow
