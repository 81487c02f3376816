#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// Why a gzip stream gave no data.
enum class GunzipError {
    NotGzip,  // the bytes do not start with a gzip header (1f 8b, deflate)
    Damaged,  // the stream is cut short or its compressed data is corrupt
    Checksum, // the stream decompresses, but its CRC-32 or length does not match what it holds
    TooLarge, // it would decompress to more than the limit
};

struct GunzipResult {
    std::optional<std::string> data; // present exactly when the whole stream checked out
    GunzipError error = GunzipError::NotGzip;
};

// Whether the bytes start as a gzip stream does.
bool looksLikeGzip(std::string_view bytes);

// Decompresses one gzip stream with zlib, which checks the stream's own CRC-32 and length, so a
// stream whose bytes changed gives no data rather than wrong data. Output is refused beyond
// `limit` bytes, so a small hostile stream cannot take all memory. Bytes after the end of the
// stream are ignored.
GunzipResult gunzip(std::string_view bytes, std::size_t limit);

const char* gunzipErrorText(GunzipError error);

} // namespace quarrow
