// Fuzz target for the names an export makes: a record's name as a file name (any bytes, with or
// without the vCard extension) and the default export folder name for any broken-down time.
// Aborts when a made name could leave its folder, hide itself, break UTF-8 or exceed 255 bytes.

#include "platform/TextEscapes.h"
#include "results/ExportNames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

namespace {

bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = quarrow::utf8SequenceLength(text, i);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view extension = data[0] & 1 ? ".vcf" : "";
    const std::string_view name(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string made = quarrow::exportFileName(name, extension);

    check(!made.empty() && made.size() <= 255);
    check(made.size() >= extension.size() &&
          made.compare(made.size() - extension.size(), extension.size(), extension) == 0);
    check(made[0] != '.');
    for (const char c : made.substr(0, made.size() - extension.size())) {
        const auto b = static_cast<unsigned char>(c);
        check(b != '/' && b != 0 && b >= 0x20 && b != 0x7F);
    }
    check(!isUtf8(name) || isUtf8(made));

    std::tm when{};
    if (size >= 1 + 6 * sizeof(int)) {
        int fields[6];
        std::memcpy(fields, data + 1, sizeof fields);
        when.tm_year = fields[0];
        when.tm_mon = fields[1];
        when.tm_mday = fields[2];
        when.tm_hour = fields[3];
        when.tm_min = fields[4];
        when.tm_sec = fields[5];
    }
    check(!quarrow::defaultExportName(when).empty());
    return 0;
}
