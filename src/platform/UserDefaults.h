#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace quarrow {

// Per-user settings. Values are the texts "YES" and "NO"; other texts are stored as given.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;
    virtual std::optional<std::string> stringForKey(const std::string& key) const = 0;
    virtual void setString(const std::string& key, const std::string& value) = 0;

    // True only for a stored "YES".
    bool boolForKey(const std::string& key) const { return stringForKey(key) == "YES"; }
    void setBool(const std::string& key, bool value) { setString(key, value ? "YES" : "NO"); }
};

class MemoryUserDefaults : public UserDefaults {
public:
    std::optional<std::string> stringForKey(const std::string& key) const override;
    void setString(const std::string& key, const std::string& value) override;

protected:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> values_;
};

// Persists to one "key=value" line per setting in a file, written whole on every change through a
// temporary file and a rename, so a crash never leaves half a settings file.
class FileUserDefaults : public MemoryUserDefaults {
public:
    explicit FileUserDefaults(std::string path);
    void setString(const std::string& key, const std::string& value) override;
    const std::string& path() const { return path_; }

    // "$XDG_CONFIG_HOME/quarrow/defaults", or "~/.config/quarrow/defaults".
    static std::string defaultPath(const std::string& homeFolder);

private:
    std::string path_;
};

} // namespace quarrow
