// Fuzz target for the command line's JSON writer: any bytes as a text and as a path. A text must come
// out as one well-formed JSON string that reads back as the text (bytes that are not UTF-8 as
// U+FFFD); a path must read back as exactly the path, directly or through its file URI.

#include "cli/Json.h"
#include "platform/TextEscapes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// Reads one JSON string literal that must fill the whole text; only the escapes the writer uses.
std::optional<std::string> readJsonString(std::string_view json) {
    if (json.size() < 2 || json.front() != '"' || json.back() != '"') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        if (c < 0x20 || c == '"') {
            return std::nullopt;
        }
        if (c != '\\') {
            out += json[i];
            continue;
        }
        if (++i + 1 >= json.size()) {
            return std::nullopt;
        }
        switch (json[i]) {
        case '"':
        case '\\':
            out += json[i];
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            if (i + 5 >= json.size()) {
                return std::nullopt;
            }
            const std::string hex(json.substr(i + 1, 4));
            char* end = nullptr;
            const long value = std::strtol(hex.c_str(), &end, 16);
            if (end != hex.c_str() + 4 || value >= 0x20) {
                return std::nullopt;
            }
            out += static_cast<char>(value);
            i += 4;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

// The text with every byte that is not part of a UTF-8 sequence replaced by U+FFFD.
std::string repaired(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = quarrow::utf8SequenceLength(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto read = readJsonString(quarrow::cli::jsonString(text));
    check(read && *read == repaired(text));

    // Paths as the backup root gives them: absolute, without NUL (no path holds one).
    if (text.find('\0') != std::string::npos) {
        return 0;
    }
    const std::string path = "/" + text;
    const auto written = readJsonString(quarrow::cli::jsonPath(path));
    check(written.has_value());
    if (*written == path) {
        return 0;
    }
    check(repaired(path) != path && quarrow::pathOfFileUri(*written) == path);
    return 0;
}
