#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quarrow {

// The imported books' file paths, kept between runs: one path a line, with "\" and line feeds
// escaped so that any path survives. Written whole through a temporary file and a rename.
class BookListStore {
public:
    explicit BookListStore(std::string path) : path_(std::move(path)) {}

    // "$XDG_DATA_HOME/quarrow/imported-books", or "<home>/.local/share/quarrow/imported-books".
    static std::string defaultPath(const std::string& homeFolder);

    const std::string& path() const { return path_; }
    // The stored paths; empty when there is no list yet.
    std::vector<std::string> load() const;
    // Answers false (logged) when the list cannot be written.
    bool save(const std::vector<std::string>& paths) const;

private:
    std::string path_;
};

} // namespace quarrow
