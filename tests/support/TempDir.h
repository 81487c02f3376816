#pragma once

#include <string>

namespace quarrow::test {

// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Creates a sub-folder (and its parents) and answers its path.
    std::string makeDir(const std::string& name) const;

private:
    std::string path_;
};

} // namespace quarrow::test
