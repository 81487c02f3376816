#include "Host.h"

#include "Log.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace quarrow {

namespace {
const passwd* currentPasswd() {
    return getpwuid(getuid());
}
} // namespace

std::string LinuxHost::loginName() const {
    if (const passwd* pw = currentPasswd(); pw && pw->pw_name) {
        return pw->pw_name;
    }
    const char* user = std::getenv("USER");
    return user ? user : "";
}

std::string LinuxHost::homeFolder() const {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* pw = currentPasswd(); pw && pw->pw_dir) {
        return pw->pw_dir;
    }
    return "/";
}

void getSystemVersionMajor(const Host& host, std::uint32_t* major, std::uint32_t* minor, std::uint32_t* bugFix) {
    SystemVersion v;
    if (auto answered = host.systemVersion()) {
        v = *answered;
    } else {
        systemLog("Unable to obtain system version: -1");
        v = SystemVersion{10, 0, 0};
    }
    if (major) {
        *major = v.major;
    }
    if (minor) {
        *minor = v.minor;
    }
    if (bugFix) {
        *bugFix = v.bugFix;
    }
}

std::string defaultBackupRoot(const Host& host) {
    if (const char* root = std::getenv("QUARROW_BACKUP_ROOT"); root && *root) {
        return root;
    }
    return host.homeFolder() + "/Library/Application Support/MobileSync/Backup";
}

} // namespace quarrow
