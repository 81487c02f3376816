#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace quarrow::test {

// Points XDG_CACHE_HOME at a test's own folder for a scope, so that unpacked books land where the
// test can see them, and restores the previous value.
class ScopedCacheHome {
public:
    explicit ScopedCacheHome(const std::string& folder) {
        if (const char* old = std::getenv("XDG_CACHE_HOME")) {
            previous_ = old;
        }
        ::setenv("XDG_CACHE_HOME", folder.c_str(), 1);
    }
    ~ScopedCacheHome() {
        if (previous_) {
            ::setenv("XDG_CACHE_HOME", previous_->c_str(), 1);
        } else {
            ::unsetenv("XDG_CACHE_HOME");
        }
    }
    ScopedCacheHome(const ScopedCacheHome&) = delete;
    ScopedCacheHome& operator=(const ScopedCacheHome&) = delete;

private:
    std::optional<std::string> previous_;
};

} // namespace quarrow::test
