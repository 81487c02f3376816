// Fuzz target for the typedstream reader (message.attributedBody): any bytes as the archive. The
// text read, when there is one, is bytes of the input, so it can never be longer than the input.

#include "records/TypedStream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view archive(reinterpret_cast<const char*>(data), size);
    if (const auto text = quarrow::typedStreamString(archive); text && text->size() > size) {
        std::abort();
    }
    return 0;
}
