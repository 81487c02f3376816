// Fuzz target for reading ffprobe's flat output back: the texts in it come from the probed file's
// tags (a title, chapter names), so any bytes may reach the reader.
// Built as a libFuzzer binary with clang (QUARROW_FUZZ) and as a replay test over the saved corpus.

#include "audiobook/AudioFileConverter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const quarrow::AudioProbe probe = quarrow::parseProbeOutput(text);
    // A chapter list is never longer than the lines that could name its chapters, whatever
    // chapter number a line claims.
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (probe.chapterTitles.size() > lines) {
        __builtin_trap();
    }
    return 0;
}
