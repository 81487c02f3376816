// Fuzz target for the RTF reader: any bytes, read as a book's RTF file.
// Built as a libFuzzer binary with clang (QUARROW_FUZZ) and as a replay test over the saved corpus.

#include "audiobook/RtfText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quarrow::RtfDocument doc = quarrow::parseRtf(std::string_view(reinterpret_cast<const char*>(data), size));
    // The text never grows beyond a few bytes per input byte: no expansion can run away.
    if (doc.text.size() > 8 * size + 8) {
        __builtin_trap();
    }
    return 0;
}
