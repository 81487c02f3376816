// Fuzz target for a database read with the log beside it: the -wal reader (frame checksums,
// commits, current images) or the -journal reader, and the carving of every image they give.
// Input: one byte (bit 0: the second file is a -journal rather than a -wal), the main file's length
// (4 bytes, big-endian), the main file, then the second file.

#include "CarvingInput.h"
#include "QuietLog.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietFuzzLog();
    if (size < 5) {
        return 0;
    }
    const bool journal = (data[0] & 1) != 0;
    const std::size_t length = std::min<std::size_t>(size - 5, std::size_t{data[1]} << 24 | std::size_t{data[2]} << 16 |
                                                                   std::size_t{data[3]} << 8 | data[4]);
    const std::span<const std::uint8_t> db(data + 5, length);
    const std::span<const std::uint8_t> side(data + 5 + length, size - 5 - length);
    carveFuzzInput(db, journal ? std::span<const std::uint8_t>{} : side,
                   journal ? side : std::span<const std::uint8_t>{});
    return 0;
}
