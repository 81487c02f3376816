#include "Gzip.h"

#include <algorithm>
#include <string_view>
#include <zlib.h>

namespace quarrow {

namespace {

// A gzip member starts with the magic 1f 8b and the compression method 8 (deflate).
constexpr unsigned char kMagic[] = {0x1f, 0x8b, 0x08};

struct Inflater {
    z_stream stream{};
    bool ready = false;
    Inflater() {
        // 16 + MAX_WBITS: a gzip wrapper around the deflate data; zlib then checks its trailer.
        ready = inflateInit2(&stream, 16 + MAX_WBITS) == Z_OK;
    }
    ~Inflater() {
        if (ready) {
            inflateEnd(&stream);
        }
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
};

} // namespace

bool looksLikeGzip(std::string_view bytes) {
    return bytes.size() >= sizeof kMagic &&
           std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin(),
                      [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); });
}

GunzipResult gunzip(std::string_view bytes, std::size_t limit) {
    GunzipResult result;
    if (!looksLikeGzip(bytes)) {
        result.error = GunzipError::NotGzip;
        return result;
    }
    Inflater inflater;
    if (!inflater.ready) {
        result.error = GunzipError::Damaged;
        return result;
    }
    z_stream& z = inflater.stream;
    std::string out;
    out.resize(std::min<std::size_t>(limit, std::max<std::size_t>(bytes.size() * 4, 4096)));
    std::size_t produced = 0;
    std::size_t consumed = 0;
    for (;;) {
        // zlib counts in 32-bit units: feed and collect in pieces that fit.
        const std::size_t inChunk = std::min<std::size_t>(bytes.size() - consumed, 1u << 30);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + consumed));
        z.avail_in = static_cast<uInt>(inChunk);
        if (produced == out.size()) {
            if (out.size() >= limit) {
                // Full at the limit: one more byte would pass it.
                unsigned char probe = 0;
                z.next_out = &probe;
                z.avail_out = 1;
                const int rc = inflate(&z, Z_NO_FLUSH);
                if (rc == Z_STREAM_END && z.avail_out == 1) {
                    break;
                }
                result.error = (rc == Z_OK || rc == Z_BUF_ERROR || rc == Z_STREAM_END) ? GunzipError::TooLarge
                                                                                       : GunzipError::Damaged;
                return result;
            }
            out.resize(std::min(limit, out.size() * 2));
        }
        const std::size_t outChunk = std::min<std::size_t>(out.size() - produced, 1u << 30);
        z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        z.avail_out = static_cast<uInt>(outChunk);
        const int rc = inflate(&z, Z_NO_FLUSH);
        consumed += inChunk - z.avail_in;
        produced += outChunk - z.avail_out;
        if (rc == Z_STREAM_END) {
            break;
        }
        if (rc == Z_DATA_ERROR) {
            // A trailer that does not match the data is reported as such ("incorrect data check",
            // "incorrect length check"): the data decompressed but is not what was stored.
            const std::string_view message = z.msg ? z.msg : "";
            const bool trailer = message == "incorrect data check" || message == "incorrect length check";
            result.error = trailer ? GunzipError::Checksum : GunzipError::Damaged;
            return result;
        }
        if (rc == Z_BUF_ERROR && consumed == bytes.size() && z.avail_out > 0) {
            result.error = GunzipError::Damaged; // the input ended before the stream did
            return result;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            result.error = GunzipError::Damaged;
            return result;
        }
    }
    out.resize(produced);
    result.data = std::move(out);
    return result;
}

const char* gunzipErrorText(GunzipError error) {
    switch (error) {
    case GunzipError::NotGzip:
        return "not gzip";
    case GunzipError::Damaged:
        return "damaged gzip stream";
    case GunzipError::Checksum:
        return "gzip checksum does not match";
    case GunzipError::TooLarge:
        return "too large once decompressed";
    }
    return "?";
}

} // namespace quarrow
