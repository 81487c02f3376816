#include "UserFolders.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quarrow {
namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string withHome(std::string value, const std::string& home) {
    for (const char* variable : {"${HOME}", "$HOME"}) {
        const std::string v = variable;
        for (auto at = value.find(v); at != std::string::npos; at = value.find(v, at + home.size())) {
            value.replace(at, v.size(), home);
        }
    }
    return value;
}

} // namespace

std::string userDirsValue(const std::string& text, const std::string& name, const std::string& homeFolder) {
    const std::string key = "XDG_" + name + "_DIR=";
    std::string found;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = trimmed(line);
        if (line.rfind(key, 0) != 0) {
            continue;
        }
        std::string value = trimmed(line.substr(key.size()));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        found = withHome(value, homeFolder);
    }
    return found;
}

std::string userDirectory(const std::string& name, const std::string& homeFolder, const std::string& fallback) {
    std::string configHome;
    if (const char* env = std::getenv("XDG_CONFIG_HOME"); env != nullptr && env[0] == '/') {
        configHome = env;
    } else {
        configHome = homeFolder + "/.config";
    }
    std::string value;
    if (std::ifstream in(configHome + "/user-dirs.dirs"); in) {
        std::ostringstream text;
        text << in.rdbuf();
        value = userDirsValue(text.str(), name, homeFolder);
    }
    if (value.empty()) {
        if (const char* env = std::getenv(("XDG_" + name + "_DIR").c_str()); env != nullptr) {
            value = env;
        }
    }
    while (value.size() > 1 && value.back() == '/') {
        value.pop_back();
    }
    // A relative value, or the home folder itself (what a "disabled" folder is set to), is no
    // place to put files.
    if (value.empty() || value.front() != '/' || value == homeFolder) {
        return homeFolder + "/" + fallback;
    }
    return value;
}

std::string documentsFolder(const std::string& homeFolder) {
    return userDirectory("DOCUMENTS", homeFolder, "Documents");
}

} // namespace quarrow
