#include "TextEscapes.h"

#include <cstdio>
#include <filesystem>

namespace quarrow {

namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr char kHexUpper[] = "0123456789ABCDEF"; // as URIs write their escapes

void appendByteEscape(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

bool keptInUri(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

} // namespace

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(at);
    if (c < 0x80) {
        return 1;
    }
    std::size_t n;
    unsigned lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        lo = c == 0xE0 ? 0xA0 : 0x80;
        hi = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        lo = c == 0xF0 ? 0x90 : 0x80;
        hi = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < n || b(at + 1) < lo || b(at + 1) > hi) {
        return 0;
    }
    for (std::size_t k = 2; k < n; ++k) {
        if ((b(at + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return n;
}

std::string terminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
                appendByteEscape(out, c);
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        const std::size_t n = utf8SequenceLength(text, i);
        if (n == 0) {
            appendByteEscape(out, c);
            ++i;
        } else if (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            // U+0080..U+009F: terminals take some of them as CSI, OSC and the like.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(text[i + 1]));
            out += escaped;
            i += n;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string fileUriOf(std::string_view path) {
    std::string absolute(path);
    if (absolute.empty() || absolute[0] != '/') {
        std::error_code ec;
        const auto made = std::filesystem::absolute(std::filesystem::path(absolute), ec);
        if (!ec) {
            absolute = made.string();
        }
    }
    std::string out = "file://";
    for (const char ch : absolute) {
        const auto c = static_cast<unsigned char>(ch);
        if (keptInUri(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHexUpper[c >> 4];
            out += kHexUpper[c & 0x0F];
        }
    }
    return out;
}

std::optional<std::string> pathOfFileUri(std::string_view uri) {
    constexpr std::string_view kScheme = "file://";
    if (uri.substr(0, kScheme.size()) != kScheme) {
        return std::nullopt;
    }
    uri.remove_prefix(kScheme.size());
    if (uri.substr(0, 9) == "localhost") {
        uri.remove_prefix(9);
    }
    if (uri.empty() || uri[0] != '/') {
        return std::nullopt;
    }
    std::string path;
    path.reserve(uri.size());
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] != '%') {
            path += uri[i];
            continue;
        }
        const int high = i + 2 < uri.size() ? hexDigitValue(uri[i + 1]) : -1;
        const int low = i + 2 < uri.size() ? hexDigitValue(uri[i + 2]) : -1;
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        path += static_cast<char>(high << 4 | low);
        i += 2;
    }
    return path;
}

} // namespace quarrow
