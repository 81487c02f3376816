#include "Json.h"

#include "platform/TextEscapes.h"

#include <cstdio>
#include <sys/stat.h>

namespace quarrow::cli {

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t n = utf8SequenceLength(text, i);
            if (n == 0) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out.append(text.substr(i, n));
                i += n;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    return out + "\"";
}

std::string jsonString(const std::optional<std::string>& text) {
    return text ? jsonString(std::string_view(*text)) : "null";
}

std::string jsonPath(std::string_view path) {
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t n = utf8SequenceLength(path, i);
        if (n == 0) {
            return jsonString(fileUriOf(path));
        }
        i += n;
    }
    return jsonString(path);
}

std::string jsonPath(const std::optional<std::string>& path) {
    return path ? jsonPath(std::string_view(*path)) : "null";
}

std::string argumentPath(const std::string& argument) {
    struct stat st {};
    if (::lstat(argument.c_str(), &st) != 0) {
        if (auto path = pathOfFileUri(argument)) {
            return *path;
        }
    }
    return argument;
}

} // namespace quarrow::cli
