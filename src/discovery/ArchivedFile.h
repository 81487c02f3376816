#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// What a backup's Manifest.db says about one file in its `file` column: an NSKeyedArchiver binary
// property list whose root object (class MBFile) has Size, ProtectionClass and, in an encrypted
// backup, EncryptionKey (an NSData: 4 bytes of protection class, little-endian, then the wrapped key).
struct ArchivedFile {
    std::optional<std::uint64_t> size;
    std::optional<std::uint32_t> protectionClass;
    std::optional<std::string> encryptionKey;
};

// Reads the archive from its bytes, or answers nothing with the reason in `problem` when it is no
// property list, is out of bounds (see PropertyListBounds), or its root object cannot be found.
// Every object reference (UID) is checked against $objects before it is followed; a field of the
// wrong type counts as absent.
std::optional<ArchivedFile> readArchivedFile(std::string_view bytes, std::string& problem);

} // namespace quarrow
