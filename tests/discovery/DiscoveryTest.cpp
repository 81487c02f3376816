#include "discovery/PRIOSDeviceController.h"

#include "DeviceDb.h"
#include "ModernBackup.h"
#include "platform/Host.h"
#include "platform/Log.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;

struct ProductCase {
    OptText productType;
    OptText label;
    const char* image;
};

class ProductTypeTable : public ::testing::TestWithParam<ProductCase> {};

TEST_P(ProductTypeTable, GivesLabelAndPicture) {
    const auto& c = GetParam();
    EXPECT_EQ(PRIOSDeviceController::GetDevcieType(c.productType), c.label);
    EXPECT_EQ(PRIOSDeviceController::deviceImageName(c.productType), c.image);
    // A model the table does not know shows its product type rather than nothing.
    EXPECT_EQ(PRIOSDeviceController::deviceTypeText(c.productType), c.label ? c.label : c.productType);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProductTypeTable,
    ::testing::Values(ProductCase{std::nullopt, "Iphone", "iphone"}, ProductCase{"", "Iphone", "iphone"},
                      ProductCase{"iPhone1,1", "Iphone", "iphone"}, ProductCase{"iPhone3,3", "Iphone 4", "iphone"},
                      ProductCase{"iPhone3,2", std::nullopt, "iphone"}, ProductCase{"iPhone4,1", "Iphone 4S", "iphone"},
                      ProductCase{"iPhone5,2", "Iphone 5", "iphone"}, ProductCase{"iPod4,1", "IpodTouch4G", "iphone"},
                      ProductCase{"ipad2,1", "Ipad 2", "ipad"}, ProductCase{"iPad2,5", std::nullopt, "ipad"},
                      ProductCase{"iPad3,6", "NewIpad", "ipad"}, ProductCase{"AppleTV2,1", std::nullopt, "iphone"},
                      ProductCase{"iPhone9,3", std::nullopt, "iphone"},
                      ProductCase{"iPhone15,2", std::nullopt, "iphone"}, ProductCase{"iPad13,18", std::nullopt, "ipad"},
                      ProductCase{"iPod9,1", std::nullopt, "iphone"}));

TEST(IOSVersionIOS6, ComparesTheFirstPartOnly) {
    EXPECT_TRUE(IOSVersionIOS6("6"));
    EXPECT_TRUE(IOSVersionIOS6("6.0"));
    EXPECT_TRUE(IOSVersionIOS6("6.1.3"));
    for (const char* v : {"5.1.1", "7.0", "10.2", "06.1", ""}) {
        EXPECT_FALSE(IOSVersionIOS6(v)) << v;
    }
    EXPECT_FALSE(IOSVersionIOS6(std::nullopt));
}

class Discovery : public ::testing::Test {
protected:
    void SetUp() override { root = dir.makeDir("Backup"); }
    std::string backup(const std::string& name) { return dir.makeDir("Backup/" + name); }
    const std::vector<PRIOSDeviceNodePtr>& list() {
        controller.addBackupsInRoot(root);
        return controller.arrangedObjects();
    }

    TempDir dir;
    std::string root;
    FixedHost host;
    PRIOSDeviceController controller{host};
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

TEST_F(Discovery, DescribesABackupFromInfoPlist) {
    const auto b = backup("3d0d7e5fb2ce288813306e4d4636395e047a3d28");
    writeInfoPlist(b, typicalInfo());
    fixtures::writeFile(b + "/Manifest.plist", "ignored when Info.plist is there");
    setModificationTime(b + "/Info.plist", 1367403630); // 2013-05-01 10:20:30 UTC
    const auto& rows = list();
    ASSERT_EQ(rows.size(), 1u);
    const auto& n = *rows[0];
    EXPECT_EQ(n.strDeviceName(), "Anna's iPhone");
    EXPECT_EQ(n.strDeviceSerial(), "C39GK0QZDTD2");
    EXPECT_EQ(n.strDeviceType(), "Iphone 4S");
    EXPECT_EQ(n.strIOSVersion(), "6.1.3");
    EXPECT_EQ(n.itunesVersion(), "11.0.2");
    EXPECT_EQ(n.deviceImage(), "iphone");
    EXPECT_EQ(n.backUpFilePath(), b);
    EXPECT_EQ(n.strDeviceBackUpTime(), "2013-05-01 10:20"); // no "Last Backup Date": the file's time
    EXPECT_EQ(n.strDeviceSize(), std::to_string(std::filesystem::file_size(b + "/Info.plist")));
    EXPECT_FALSE(n.bEncrypted());
}

TEST_F(Discovery, DescribesABackupFromABinaryManifestAlone) {
    const auto b = backup("a1");
    writeBinaryManifest(b, {{"DeviceName", "Ben's iPad"},
                            {"SerialNumber", "DMPHX1ZZ"},
                            {"ProductType", "iPad3,4"},
                            {"ProductVersion", "6.0"},
                            {"BuildVersion", "10A403"}});
    writeBinaryStatus(b);
    setModificationTime(b + "/Manifest.plist", 1356998400); // 2013-01-01 00:00 UTC
    const auto& rows = list();
    ASSERT_EQ(rows.size(), 1u);
    const auto& n = *rows[0];
    EXPECT_EQ(n.strDeviceName(), "Ben's iPad");
    EXPECT_EQ(n.itunesVersion(), "10A403");
    EXPECT_EQ(n.strDeviceSize(), "");
    EXPECT_EQ(n.strDeviceType(), "NewIpad");
    EXPECT_EQ(n.deviceImage(), "ipad");
    EXPECT_EQ(n.strDeviceBackUpTime(), "2013-01-01 00:00");
}

// Backups made today: the device's own record of the backup time, whatever the file's time says
// (a backup copied to another disk today keeps the day it was made), and the encryption flag.
struct ModernCase {
    const char* productType;
    const char* productVersion;
    bool encrypted;
    const char* deviceType;
    const char* image;
};

class ModernBackupListing : public Discovery, public ::testing::WithParamInterface<ModernCase> {};

TEST_P(ModernBackupListing, ShowsWhatItsPropertyListsSay) {
    const ModernCase& c = GetParam();
    const auto b = backup("00008110-001A2D3C0E91801E");
    fixtures::ModernBackupBuilder builder(b);
    fixtures::ModernDevice device;
    device.productType = c.productType;
    device.productVersion = c.productVersion;
    device.encrypted = c.encrypted;
    device.lastBackupDate = 1700000000; // 2023-11-14 22:13:20 UTC
    builder.writePropertyLists(device);
    builder.addFile("HomeDomain", "Library/SMS/sms.db", "x");
    ASSERT_TRUE(builder.writeManifest());
    setModificationTime(b + "/Info.plist", 1767225600); // copied on 2026-01-01
    const auto& rows = list();
    ASSERT_EQ(rows.size(), 1u);
    const auto& n = *rows[0];
    EXPECT_EQ(n.strDeviceName(), "Mia's iPhone");
    EXPECT_EQ(n.strIOSVersion(), c.productVersion);
    EXPECT_EQ(n.strDeviceType(), c.deviceType);
    EXPECT_EQ(n.deviceImage(), c.image);
    EXPECT_EQ(n.strDeviceBackUpTime(), "2023-11-14 22:13");
    EXPECT_EQ(n.itunesVersion(), "12.12.10");
    EXPECT_EQ(n.bEncrypted(), c.encrypted);
}

INSTANTIATE_TEST_SUITE_P(IOS10To18, ModernBackupListing,
                         ::testing::Values(ModernCase{"iPhone9,3", "10.3.3", false, "iPhone9,3", "iphone"},
                                           ModernCase{"iPhone12,8", "14.8", true, "iPhone12,8", "iphone"},
                                           ModernCase{"iPad13,18", "16.6", false, "iPad13,18", "ipad"},
                                           ModernCase{"iPhone17,1", "18.2", true, "iPhone17,1", "iphone"}));

TEST_F(Discovery, MissingKeysLeaveTheirPropertiesAbsent) {
    const auto b = backup("a2");
    writeInfoPlist(b, {{"Device Name", "Bare"}});
    fixtures::writeFile(b + "/other", "x");
    const auto& rows = list();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->strDeviceSerial(), std::nullopt);
    EXPECT_EQ(rows[0]->strIOSVersion(), std::nullopt);
    EXPECT_EQ(rows[0]->strDeviceType(), "Iphone"); // absent product type
}

TEST_F(Discovery, PassesOverWhatIsNotABackup) {
    fixtures::writeFile(root + "/.DS_Store", "x");
    backup(".hidden");
    writeInfoPlist(root + "/.hidden", typicalInfo());
    fixtures::writeFile(root + "/.hidden/x", "x");
    fixtures::writeFile(root + "/a-file", "x");
    backup("empty");
    writeInfoPlist(backup("only-info"), typicalInfo()); // one entry is not enough
    const auto noPlist = backup("no-plist");
    fixtures::writeFile(noPlist + "/a", "x");
    fixtures::writeFile(noPlist + "/b", "x");
    const auto malformed = backup("malformed");
    fixtures::writeFile(malformed + "/Info.plist", "<plist><dict><key>Device Name");
    fixtures::writeFile(malformed + "/b", "x");
    const auto notDict = backup("array-root");
    fixtures::writeFile(notDict + "/Info.plist", "<plist version=\"1.0\"><array><string>x</string></array></plist>");
    fixtures::writeFile(notDict + "/b", "x");
    const auto noLockdown = backup("no-lockdown");
    fixtures::writeFile(noLockdown + "/Manifest.plist", xmlPlist({{"Version", "9.1"}}));
    fixtures::writeFile(noLockdown + "/b", "x");
    const auto good = backup("good");
    writeInfoPlist(good, typicalInfo("Good"));
    writeBinaryStatus(good);

    const auto& rows = list();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->strDeviceName(), "Good");
    EXPECT_TRUE(log.contains("Property list is malformed"));
    EXPECT_TRUE(log.contains("root is not a dictionary"));
    EXPECT_TRUE(log.contains("Lockdown"));
}

TEST_F(Discovery, MissingRootListsNothingAndSaysSo) {
    controller.addBackupsInRoot(dir.file("nowhere"));
    EXPECT_TRUE(controller.arrangedObjects().empty());
    EXPECT_TRUE(log.contains("Backup root cannot be listed"));
    controller.addDeviceNodeByPath(dir.file("nowhere/else"));
    EXPECT_TRUE(log.contains("Filepath is not exist"));
}

TEST_F(Discovery, UnreadableBackupFolderIsSkipped) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every folder";
    }
    const auto b = backup("locked");
    writeInfoPlist(b, typicalInfo());
    fixtures::writeFile(b + "/x", "x");
    ::chmod(b.c_str(), 0);
    EXPECT_TRUE(list().empty());
    EXPECT_TRUE(log.contains("cannot be read"));
}

TEST(BackupTime, OlderHostsKeepTheRawText) {
    FixedHost host;
    host.version = SystemVersion{10, 6, 8};
    PRIOSDeviceController controller(host);
    EXPECT_EQ(controller.convertCurrentTimeZone2("2013-05-01 10:20:30 +0000"), "2013-05-01 10:20:30 +0000");
    host.version = SystemVersion{10, 15, 7};
    EXPECT_EQ(controller.convertCurrentTimeZone2("2013-05-01 10:20:30 +0000"), "2013-05-01 10:20");
}

TEST(HostVersion, FailureIsLoggedAndReadAsTen) {
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    FixedHost host;
    host.version = std::nullopt;
    std::uint32_t major = 0, minor = 9, bugFix = 9;
    getSystemVersionMajor(host, &major, &minor, &bugFix);
    EXPECT_EQ(major, 10u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(bugFix, 0u);
    EXPECT_TRUE(log.contains("Unable to obtain system version"));
    LinuxHost linux;
    getSystemVersionMajor(linux, &major, &minor, nullptr);
    EXPECT_EQ(major, 10u);
    EXPECT_EQ(minor, 15u);
}
