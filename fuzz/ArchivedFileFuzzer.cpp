// Fuzz target for a Manifest.db `file` record: any bytes as an NSKeyedArchiver archive, checked for
// nesting and expansion before libplist builds it, then every object reference checked before it is
// followed.

#include "QuietLog.h"
#include "discovery/ArchivedFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietFuzzLog();
    std::string problem;
    (void)quarrow::readArchivedFile(std::string_view(reinterpret_cast<const char*>(data), size), problem);
    return 0;
}
