#include "results/BackupRootChoice.h"

#include "platform/Host.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quarrow;

TEST(BackupRootChoice, FirstGivenSourceWins) {
    FixedHost host;
    host.home = "/home/anna";
    MemoryUserDefaults defaults;
    ::unsetenv("QUARROW_BACKUP_ROOT");
    const std::string standard = "/home/anna/Library/Application Support/MobileSync/Backup";
    EXPECT_EQ(effectiveBackupRoot(host, defaults), standard);
    EXPECT_EQ(backupRootSource(defaults, std::nullopt), BackupRootSource::Default);

    defaults.setString(kBackupRootDefaultsKey, "/media/copy");
    EXPECT_EQ(effectiveBackupRoot(host, defaults), "/media/copy");
    EXPECT_EQ(effectiveBackupRoot(host, defaults, std::string()), "/media/copy"); // empty is not given

    ::setenv("QUARROW_BACKUP_ROOT", "/env/root", 1);
    EXPECT_EQ(effectiveBackupRoot(host, defaults), "/env/root");
    EXPECT_EQ(backupRootSource(defaults, std::nullopt), BackupRootSource::Environment);

    EXPECT_EQ(effectiveBackupRoot(host, defaults, "/cli/root"), "/cli/root");
    EXPECT_EQ(backupRootSource(defaults, "/cli/root"), BackupRootSource::CommandLine);
    ::unsetenv("QUARROW_BACKUP_ROOT");
}
