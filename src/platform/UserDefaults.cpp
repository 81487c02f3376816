#include "UserDefaults.h"

#include "Log.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quarrow {

std::optional<std::string> MemoryUserDefaults::stringForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void MemoryUserDefaults::setString(const std::string& key, const std::string& value) {
    std::lock_guard lock(mutex_);
    values_[key] = value;
}

FileUserDefaults::FileUserDefaults(std::string path) : path_(std::move(path)) {
    std::ifstream in(path_);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos && eq > 0) {
            values_[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
}

void FileUserDefaults::setString(const std::string& key, const std::string& value) {
    // Keys and values are single lines; a line break would split the entry on reading.
    if (key.find_first_of("=\n") != std::string::npos || value.find('\n') != std::string::npos) {
        systemLog("UserDefaults: refused key or value with a line break: " + key);
        return;
    }
    std::lock_guard lock(mutex_);
    values_[key] = value;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(fs::path(path_).parent_path(), ec);
    const std::string temp = path_ + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const auto& [k, v] : values_) {
            out << k << '=' << v << '\n';
        }
        if (!out) {
            systemLog("UserDefaults: cannot write " + temp);
            return;
        }
    }
    fs::rename(temp, path_, ec);
    if (ec) {
        systemLog("UserDefaults: cannot replace " + path_ + ": " + ec.message());
    }
}

std::string FileUserDefaults::defaultPath(const std::string& homeFolder) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string base = (xdg && *xdg) ? std::string(xdg) : homeFolder + "/.config";
    return base + "/quarrow/defaults";
}

} // namespace quarrow
