#include "HtmlText.h"

#include "HtmlEntities.h"
#include "TextDecoding.h"
#include "platform/TextEscapes.h"

#include <array>
#include <cstring>
#include <optional>

namespace quarrow {

namespace {

// Bytes that may start a stop character: "<", the ASCII white space, and the lead bytes of U+0085
// (C2 85), U+2028 and U+2029 (E2 80 A8/A9).
constexpr std::array<bool, 256> kMaybeStop = [] {
    std::array<bool, 256> t{};
    for (const unsigned char c : {'<', ' ', '\t', '\n', '\r', '\f'}) {
        t[c] = true;
    }
    t[0xC2] = true;
    t[0xE2] = true;
    return t;
}();

// The length of the white-space character at `i`, or 0.
std::size_t whiteSpaceAt(std::string_view s, std::size_t i) {
    switch (static_cast<unsigned char>(s[i])) {
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case '\f':
        return 1;
    case 0xC2:
        return i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x85 ? 2 : 0;
    case 0xE2:
        return i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80 &&
                       (static_cast<unsigned char>(s[i + 2]) == 0xA8 || static_cast<unsigned char>(s[i + 2]) == 0xA9)
                   ? 3
                   : 0;
    default:
        return 0;
    }
}

bool isInlineTag(std::string_view name) {
    static constexpr std::string_view kInline[] = {"a",      "b",    "i",    "q",       "span", "em",
                                                   "strong", "cite", "abbr", "acronym", "label"};
    for (const auto tag : kInline) {
        if (name == tag) {
            return true;
        }
    }
    return false;
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Position just past the next `what` at or after `from`, or the end.
std::size_t skipPast(std::string_view s, std::size_t from, std::string_view what) {
    const auto at = s.find(what, from);
    return at == std::string_view::npos ? s.size() : at + what.size();
}

// The UTF-16 unit of a candidate "&...;" (4 to 10 characters), or nothing.
std::optional<char16_t> referenceUnit(std::string_view candidate) {
    if (candidate.size() < 4 || candidate.size() > 10) {
        return std::nullopt;
    }
    if (candidate[1] != '#') {
        return namedCharacterReference(candidate);
    }
    const bool hex = candidate[2] == 'x' || candidate[2] == 'X';
    const std::string_view digits = candidate.substr(hex ? 3 : 2, candidate.size() - (hex ? 4 : 3));
    if (digits.empty()) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : digits) {
        const int d = hex ? hexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(d);
        if (value > 0xFFFF) {
            return std::nullopt; // at most 8 digits fit in a candidate, so this cannot wrap first
        }
    }
    if (value < 1 || value > 65534) {
        return std::nullopt;
    }
    return static_cast<char16_t>(value);
}

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// The candidate that starts at the "&" at `amp`: it ends at the first ";" before the next "&".
std::string_view candidateAt(std::string_view text, std::size_t amp) {
    const std::size_t nextAmp = text.find('&', amp + 1);
    const std::size_t limit = nextAmp == std::string_view::npos ? text.size() : nextAmp;
    const void* semi = std::memchr(text.data() + amp + 1, ';', limit - amp - 1);
    if (!semi) {
        return {};
    }
    const auto end = static_cast<std::size_t>(static_cast<const char*>(semi) - text.data()) + 1;
    return text.substr(amp, end - amp);
}

} // namespace

std::string decodeHTMLCharacterReferences(std::string_view text) {
    // The candidates never overlap (none holds an "&" past its first byte) and each is found in the
    // text as written, so one pass from the front replaces the same ones a pass from the back would.
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, amp - i));
        const std::string_view candidate = candidateAt(text, amp);
        const auto unit = referenceUnit(candidate);
        if (!unit) {
            out.push_back('&');
            i = amp + 1;
            continue;
        }
        i = amp + candidate.size();
        if (isHighSurrogate(*unit) && i < text.size() && text[i] == '&') {
            const std::string_view next = candidateAt(text, i);
            if (const auto low = referenceUnit(next); low && isLowSurrogate(*low)) {
                appendUtf8(out, 0x10000 + ((char32_t(*unit) - 0xD800) << 10) + (char32_t(*low) - 0xDC00));
                i += next.size();
                continue;
            }
        }
        appendUtf8(out, *unit); // a lone surrogate becomes U+FFFD here
    }
    return out;
}

std::string stringByConvertingHTMLToPlainText(std::string_view html) {
    std::string result;
    result.reserve(html.size() / 2);
    const std::size_t n = html.size();
    std::size_t i = 0;
    while (i < n) {
        // Everything up to the next stop character.
        const std::size_t start = i;
        while (i < n &&
               !(kMaybeStop[static_cast<unsigned char>(html[i])] && (html[i] == '<' || whiteSpaceAt(html, i)))) {
            ++i;
        }
        result.append(html.substr(start, i - start));
        if (i >= n) {
            break;
        }
        if (html[i] == '<') {
            ++i;
            if (html.substr(i, 3) == "!--") {
                i = skipPast(html, i + 3, "-->");
                continue;
            }
            if (i < n && html[i] == '/') {
                ++i;
                std::string name;
                while (i < n && isAsciiLetter(html[i])) {
                    name.push_back(static_cast<char>(html[i] | 0x20));
                    ++i;
                }
                // The check comes before the tag's ">" is read, so a closing tag at the very end
                // still adds its blank.
                if (!isInlineTag(name) && !result.empty() && i < n) {
                    result.push_back(' ');
                }
            }
            i = skipPast(html, i, ">");
            continue;
        }
        while (i < n) {
            const std::size_t w = whiteSpaceAt(html, i);
            if (w == 0) {
                break;
            }
            i += w;
        }
        if (!result.empty() && i < n) {
            result.push_back(' ');
        }
    }
    return decodeHTMLCharacterReferences(result);
}

} // namespace quarrow
