// Fuzz target for property lists as discovery reads them: any bytes through our wrapper, which
// checks nesting and expansion before libplist builds anything, then the lookups discovery makes.

#include "QuietLog.h"
#include "platform/PropertyList.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietFuzzLog();
    const auto list =
        quarrow::PropertyList::fromMemory(std::string(reinterpret_cast<const char*>(data), size), "fuzz input");
    if (!list) {
        return 0;
    }
    for (const char* key : {"Device Name", "Product Type", "Product Version", "iTunes Version"}) {
        (void)list->text(key);
    }
    if (const auto lockdown = list->dictionary("Lockdown")) {
        (void)lockdown->text("DeviceName");
        (void)lockdown->dictionary("Lockdown");
    }
    return 0;
}
