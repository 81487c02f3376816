#include "SpeechText.h"

namespace quarrow {

bool hasSpeakableText(std::string_view text) {
    return text.find_first_not_of(" \t\r\n\f\v") != std::string_view::npos;
}

namespace {

bool continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Where to end a piece that starts at 0 and may not pass `limit` (< text.size()).
std::size_t cutBefore(std::string_view text, std::size_t limit) {
    const std::size_t half = limit / 2;
    if (const auto at = text.rfind('\n', limit - 1); at != std::string_view::npos && at >= half) {
        return at + 1;
    }
    for (std::size_t i = limit - 1; i > half; --i) {
        if ((text[i - 1] == '.' || text[i - 1] == '!' || text[i - 1] == '?') && text[i] == ' ') {
            return i + 1;
        }
    }
    if (const auto at = text.rfind(' ', limit - 1); at != std::string_view::npos && at > 0) {
        return at + 1;
    }
    // One word longer than a piece: cut it, but at a character's start.
    std::size_t at = limit;
    while (at > 0 && continuation(text[at])) {
        --at;
    }
    return at > 0 ? at : limit;
}

} // namespace

std::vector<std::string_view> speechPieces(std::string_view text, std::size_t maxBytes) {
    std::vector<std::string_view> pieces;
    if (maxBytes < 8) {
        maxBytes = 8;
    }
    while (text.size() > maxBytes) {
        const std::size_t cut = cutBefore(text, maxBytes);
        pieces.push_back(text.substr(0, cut));
        text.remove_prefix(cut);
    }
    if (!text.empty()) {
        pieces.push_back(text);
    }
    return pieces;
}

} // namespace quarrow
