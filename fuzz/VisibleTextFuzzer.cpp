// Fuzz target for the readable form of a note body: any bytes as the stored HTML, then as the
// command line prints it. Every character shown comes from at least one stored byte.

#include "platform/TextEscapes.h"
#include "results/NoteText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string html(reinterpret_cast<const char*>(data), size);
    const std::string text = quarrow::visibleText(html);
    if (text.size() > html.size()) {
        std::abort();
    }
    for (const char c : quarrow::terminalText(text)) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\n' && b != '\t') || b == 0x7F) {
            std::abort();
        }
    }
    return 0;
}
