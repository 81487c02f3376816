#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quarrow {

struct SystemVersion {
    std::uint32_t major = 10;
    std::uint32_t minor = 0;
    std::uint32_t bugFix = 0;
};

// Who and where the user is, and which host version the program believes it runs on.
class Host {
public:
    virtual ~Host() = default;
    virtual std::string loginName() const = 0;
    virtual std::string homeFolder() const = 0;
    // Nothing when the query fails; callers then fall back to 10.0.0 and log.
    virtual std::optional<SystemVersion> systemVersion() const = 0;
};

// The real host. Linux has no such version number; it answers 10.15.7, a host on which every
// version-dependent path takes its current branch.
class LinuxHost : public Host {
public:
    std::string loginName() const override;
    std::string homeFolder() const override;
    std::optional<SystemVersion> systemVersion() const override { return SystemVersion{10, 15, 7}; }
};

// Fixed answers for tests.
class FixedHost : public Host {
public:
    std::string login = "tester";
    std::string home = "/tmp";
    std::optional<SystemVersion> version = SystemVersion{10, 15, 7};

    std::string loginName() const override { return login; }
    std::string homeFolder() const override { return home; }
    std::optional<SystemVersion> systemVersion() const override { return version; }
};

// Writes each given out-parameter; logs "Unable to obtain system version: %ld" and reports 10.0.0
// when the host cannot tell.
void getSystemVersionMajor(const Host& host, std::uint32_t* major, std::uint32_t* minor, std::uint32_t* bugFix);

// "<home>/Library/Application Support/MobileSync/Backup", unless QUARROW_BACKUP_ROOT names another.
std::string defaultBackupRoot(const Host& host);

} // namespace quarrow
