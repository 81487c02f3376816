#pragma once

#include <map>
#include <string>

namespace quarrow {

// The key is the English text; a key without a translation is its own translation.
class LocalizedStrings {
public:
    static LocalizedStrings& shared();
    std::string lookup(const std::string& key) const;
    void setTranslations(std::map<std::string, std::string> table) { table_ = std::move(table); }

private:
    std::map<std::string, std::string> table_;
};

inline std::string localizedString(const std::string& key) {
    return LocalizedStrings::shared().lookup(key);
}

} // namespace quarrow
