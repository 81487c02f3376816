#pragma once

#include <string>
#include <string_view>

namespace quarrow {

// Appends the code point as UTF-8. Surrogates and values past U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

// The text of a book file as UTF-8: a byte-order mark decides first (UTF-8, UTF-16 or UTF-32, either
// byte order); without one the bytes are taken as UTF-8 when they are valid UTF-8, and as
// Windows-1252 otherwise. Never fails: a UTF-16 surrogate without its partner, and a byte that is
// not UTF-8 after a UTF-8 mark, become U+FFFD. The mark itself is not part of the text.
std::string decodeBookText(std::string_view bytes);

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined keep their C1 code points.
std::string decodeWindows1252(std::string_view bytes);

// Bytes in a Windows code page number as RTF names them (\ansicpg1251, 437, 10000 for Mac Roman...).
// 1252 and unknown numbers use Windows-1252; others go through the C library's converters. A byte
// sequence the code page cannot decode becomes U+FFFD, one per byte.
class CodePageDecoder {
public:
    explicit CodePageDecoder(int codePage = 1252);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    int codePage() const { return codePage_; }
    void append(std::string& out, std::string_view bytes);

private:
    int codePage_;
    void* iconv_ = nullptr; // iconv_t, or nothing for Windows-1252 and UTF-8
};

} // namespace quarrow
