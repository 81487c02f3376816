#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarrow::cli {

// A JSON string literal for the text. Control characters are escaped; bytes that are not valid
// UTF-8 become U+FFFD, so the output always parses.
std::string jsonString(std::string_view text);
// jsonString, or null for an absent text.
std::string jsonString(const std::optional<std::string>& text);
inline std::string jsonString(const std::string& text) {
    return jsonString(std::string_view(text));
}
inline std::string jsonString(const char* text) {
    return jsonString(std::string_view(text));
}

// A path as a JSON string that names it byte for byte: the path itself when it is UTF-8, otherwise
// its file URI ("file:///Backup/%FF"), which every path argument of the command line takes back.
std::string jsonPath(std::string_view path);
// jsonPath, or null for an absent path.
std::string jsonPath(const std::optional<std::string>& path);
inline std::string jsonPath(const std::string& path) {
    return jsonPath(std::string_view(path));
}

// The path a command-line argument names: the argument itself, or, when nothing exists under that
// name and it is a file URI, the path the URI names (as jsonPath writes paths that are not UTF-8).
std::string argumentPath(const std::string& argument);

} // namespace quarrow::cli
