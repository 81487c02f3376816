// Fuzz target for the parser of the CREATE TABLE texts that sqlite_master keeps: any text.

#include "QuietLog.h"
#include "carving/SchemaParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietFuzzLog();
    const std::string_view sql(reinterpret_cast<const char*>(data), size);
    if (const auto shape = quarrow::carving::parseCreateTable(sql)) {
        for (const auto& column : shape->columns) {
            quarrow::carving::affinityOf(column.declaredType);
            shape->columnIndex(column.name);
        }
    }
    return 0;
}
