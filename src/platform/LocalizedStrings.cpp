#include "LocalizedStrings.h"

namespace quarrow {

LocalizedStrings& LocalizedStrings::shared() {
    static LocalizedStrings strings;
    return strings;
}

std::string LocalizedStrings::lookup(const std::string& key) const {
    auto it = table_.find(key);
    return it == table_.end() ? key : it->second;
}

} // namespace quarrow
