// Fuzz target for the carving engine: any bytes, read as a database held in memory with nothing
// beside it. Built as a libFuzzer binary with clang (QUARROW_FUZZ) and as a replay test over the
// saved corpus.

#include "CarvingInput.h"
#include "QuietLog.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietFuzzLog();
    carveFuzzInput({data, size}, {}, {});
    return 0;
}
