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

} // namespace quarrow::cli
