#include "BookListStore.h"

#include "BookFiles.h"
#include "platform/Log.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quarrow {

namespace {

constexpr std::uint64_t kMaxListBytes = 16u << 20;

std::string escape(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string unescape(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            out.push_back(line[i + 1] == 'n' ? '\n' : line[i + 1]);
            ++i;
        } else {
            out.push_back(line[i]);
        }
    }
    return out;
}

} // namespace

std::string BookListStore::defaultPath(const std::string& homeFolder) {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const std::string base = (xdg && *xdg == '/') ? std::string(xdg) : homeFolder + "/.local/share";
    return base + "/quarrow/imported-books";
}

std::vector<std::string> BookListStore::load() const {
    std::vector<std::string> paths;
    const auto bytes = readFileBytes(path_, kMaxListBytes);
    if (!bytes) {
        return paths;
    }
    std::string_view rest(*bytes);
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const auto line = rest.substr(0, end);
        if (!line.empty()) {
            paths.push_back(unescape(line));
        }
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    return paths;
}

bool BookListStore::save(const std::vector<std::string>& paths) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(fs::path(path_).parent_path(), ec);
    const std::string temp = path_ + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc | std::ios::binary);
        for (const auto& p : paths) {
            out << escape(p) << '\n';
        }
        out.flush();
        if (!out) {
            systemLog("Book list: cannot write the list of imported books");
            std::remove(temp.c_str());
            return false;
        }
    }
    fs::rename(temp, path_, ec);
    if (ec) {
        systemLog("Book list: cannot replace the list of imported books: " + ec.message());
        return false;
    }
    return true;
}

} // namespace quarrow
