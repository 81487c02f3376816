// Fuzz target for the HTML-to-text conversion and the text decoding before it: any bytes, read as
// a book's HTML file.
// Built as a libFuzzer binary with clang (QUARROW_FUZZ) and as a replay test over the saved corpus.

#include "audiobook/HtmlText.h"
#include "audiobook/TextDecoding.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = quarrow::decodeBookText(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string plain = quarrow::stringByConvertingHTMLToPlainText(text);
    // Tags and references only ever shrink the text (a reference of 4 bytes or more gives at most
    // 4 bytes of UTF-8), so the result is never longer than its input.
    if (plain.size() > text.size()) {
        __builtin_trap();
    }
    return 0;
}
