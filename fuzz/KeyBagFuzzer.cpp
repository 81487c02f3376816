// Fuzz target for a backup's key bag: any bytes as Manifest.plist's BackupKeyBag, read record by
// record with every length checked, then unlocked when it reads (small iteration counts only, so
// that an input cannot make one run take seconds).

#include "QuietLog.h"
#include "discovery/BackupKeyBag.h"
#include "discovery/BackupKeys.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietFuzzLog();
    std::string problem;
    const auto bag = quarrow::readBackupKeyBag(std::string_view(reinterpret_cast<const char*>(data), size), problem);
    if (!bag || bag->iterations > 64 || (bag->dpsl && bag->dpic > 64)) {
        return 0;
    }
    std::optional<quarrow::BackupKeys> keys;
    quarrow::BackupKeys::unlock(*bag, quarrow::Secret(std::string_view("quarrow")), keys);
    if (keys) {
        (void)keys->fileKey(std::string(44, '\3'), problem);
    }
    return 0;
}
