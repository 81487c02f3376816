#include "BackupKeyBag.h"

namespace quarrow {

namespace {

// The key bag is a run of records:
//
//   offset  size    meaning
//   0       4       tag, four ASCII letters
//   4       4       length of the value, big-endian
//   8       length  value (integers: 4 bytes big-endian)
//
// The header comes first (VERS, TYPE, UUID, HMCK, WRAP, SALT, ITER, DPWT, DPIC, DPSL). Every later
// UUID starts a class key, whose CLAS, WRAP, KTYP and WPKY follow it. Unknown tags are skipped.
constexpr std::size_t kRecordHeader = 8;

std::uint32_t bigEndian32(std::string_view bytes) {
    std::uint32_t value = 0;
    for (const char c : bytes.substr(0, 4)) {
        value = value << 8 | static_cast<unsigned char>(c);
    }
    return value;
}

// A 4-byte integer value; anything else counts as damage.
bool integerValue(std::string_view value, std::uint32_t& out) {
    if (value.size() != 4) {
        return false;
    }
    out = bigEndian32(value);
    return true;
}

} // namespace

std::optional<BackupKeyBag> readBackupKeyBag(std::string_view bytes, std::string& problem) {
    BackupKeyBag bag;
    bool headerUuid = false;
    bool haveSalt = false;
    bool haveIterations = false;
    bool haveDpic = false;
    KeyBagClass* current = nullptr;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kRecordHeader) {
            problem = "key bag is cut inside a record header at byte " + std::to_string(at);
            return std::nullopt;
        }
        const std::string_view tag = bytes.substr(at, 4);
        const std::uint32_t length = bigEndian32(bytes.substr(at + 4, 4));
        at += kRecordHeader;
        if (length > bytes.size() - at) {
            problem = "key bag record " + std::string(tag) + " runs past the end at byte " + std::to_string(at);
            return std::nullopt;
        }
        const std::string_view value = bytes.substr(at, length);
        at += length;

        bool ok = true;
        if (tag == "UUID") {
            if (!headerUuid) {
                headerUuid = true;
            } else {
                current = &bag.classes.emplace_back();
            }
        } else if (current) {
            if (tag == "CLAS") {
                ok = integerValue(value, current->protectionClass);
            } else if (tag == "WRAP") {
                ok = integerValue(value, current->wrap);
            } else if (tag == "KTYP") {
                ok = integerValue(value, current->keyType);
            } else if (tag == "WPKY") {
                current->wrappedKey = std::string(value);
            }
        } else if (tag == "VERS") {
            ok = integerValue(value, bag.version);
        } else if (tag == "TYPE") {
            ok = integerValue(value, bag.type);
        } else if (tag == "SALT") {
            bag.salt = std::string(value);
            haveSalt = true;
        } else if (tag == "ITER") {
            ok = integerValue(value, bag.iterations);
            haveIterations = ok;
        } else if (tag == "DPSL") {
            bag.dpsl = std::string(value);
        } else if (tag == "DPIC") {
            ok = integerValue(value, bag.dpic);
            haveDpic = ok;
        }
        if (!ok) {
            problem = "key bag record " + std::string(tag) + " is not a 4-byte integer";
            return std::nullopt;
        }
    }
    if (!haveSalt || bag.salt.empty() || !haveIterations || bag.iterations == 0) {
        problem = "key bag has no SALT or ITER";
        return std::nullopt;
    }
    if (bag.dpsl && (bag.dpsl->empty() || !haveDpic || bag.dpic == 0)) {
        problem = "key bag has DPSL without DPIC";
        return std::nullopt;
    }
    if (bag.iterations > kMaxKeyBagIterations || (bag.dpsl && bag.dpic > kMaxKeyBagIterations)) {
        problem = "key bag asks for more than " + std::to_string(kMaxKeyBagIterations) + " iterations";
        return std::nullopt;
    }
    if (bag.classes.empty()) {
        problem = "key bag holds no class key";
        return std::nullopt;
    }
    return bag;
}

} // namespace quarrow
