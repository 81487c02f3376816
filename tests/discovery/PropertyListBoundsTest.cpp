#include "platform/PropertyListBounds.h"

#include "DeviceDb.h"
#include "discovery/PRIOSDeviceController.h"
#include "platform/Host.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "support/BackupBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;

namespace {

using Objects = std::vector<BinaryObject>;

BinaryObject array(std::vector<std::uint32_t> refs) {
    return {BinaryObject::Array, std::move(refs), {}};
}

// Each array refers to the next one twice: 64 objects that libplist would expand to 2^64 nodes.
std::string sharedObjectBomb() {
    Objects objects;
    for (std::uint32_t i = 0; i < 63; ++i) {
        objects.push_back(array({i + 1, i + 1}));
    }
    objects.push_back({BinaryObject::String, {}, "x"});
    return binaryPlist(objects);
}

// An array whose element count (a 4-byte integer after the marker) runs past the end of the file.
std::string countBeyondTheFile() {
    std::string bytes = binaryPlist({array({})});
    bytes[8] = static_cast<char>(0xAF);
    bytes.insert(9, "\x12\x7f\xff\xff\xff", 5);
    // Moving the offset table by five bytes: its offset is the trailer's last field.
    bytes[bytes.size() - 1] = static_cast<char>(bytes[bytes.size() - 1] + 5);
    return bytes;
}

std::string xmlWithTagsInAComment() {
    std::string comment;
    for (int i = 0; i < 1000; ++i) {
        comment += "<array>";
    }
    return "<?xml version=\"1.0\"?><plist version=\"1.0\"><!-- " + comment + " --><dict/></plist>";
}

std::string xmlOfManyEmptyArrays() {
    std::string body = "<plist version=\"1.0\"><dict><key>a</key><array>";
    for (int i = 0; i < 1000; ++i) {
        body += "<array/>";
    }
    return body + "</array></dict></plist>";
}

std::string binaryDeviceManifest() {
    TempDir dir;
    writeBinaryManifest(dir.path(), {{"DeviceName", "Ben's iPad"}, {"ProductType", "iPad3,4"}});
    return fixtures::readFile(dir.file("Manifest.plist"));
}

struct BoundsCase {
    const char* name;
    std::string (*bytes)();
    std::optional<std::string> refused;
};

class PropertyListBoundsTable : public ::testing::TestWithParam<BoundsCase> {};

} // namespace

TEST_P(PropertyListBoundsTable, RefusesWhatLibplistCannotBuildSafely) {
    const auto& c = GetParam();
    const std::string bytes = c.bytes();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(propertyListOutOfBounds(bytes), c.refused);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    if (!c.refused) {
        // What passes is what libplist then parses.
        plist_t root = nullptr;
        plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
        EXPECT_NE(root, nullptr);
        plist_free(root);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PropertyListBoundsTable,
    ::testing::Values(BoundsCase{"DeviceManifest", binaryDeviceManifest, std::nullopt},
                      BoundsCase{"DeviceInfo", [] { return xmlPlist(typicalInfo()); }, std::nullopt},
                      BoundsCase{"BinaryAtTheDepthBound", [] { return nestedBinaryPlist(256); }, std::nullopt},
                      BoundsCase{"BinaryOneLevelTooDeep", [] { return nestedBinaryPlist(257); }, "nested too deeply"},
                      BoundsCase{"Binary100000Levels", [] { return nestedBinaryPlist(100'000); }, "nested too deeply"},
                      BoundsCase{"XmlAtTheDepthBound", [] { return nestedXmlPlist(256); }, std::nullopt},
                      BoundsCase{"Xml100000Levels", [] { return nestedXmlPlist(100'000); }, "nested too deeply"},
                      BoundsCase{"XmlTagsInAComment", xmlWithTagsInAComment, std::nullopt},
                      BoundsCase{"XmlManyEmptyArrays", xmlOfManyEmptyArrays, std::nullopt},
                      BoundsCase{"SharedObjectBomb", sharedObjectBomb, "too many objects"},
                      BoundsCase{"ArrayHoldingItself", [] { return binaryPlist({array({0})}); }, "refers to itself"},
                      BoundsCase{"TwoArraysHoldingEachOther",
                                 [] {
                                     return binaryPlist({array({1}), array({0})});
                                 },
                                 "refers to itself"},
                      BoundsCase{"ReferencePastTheObjects", [] { return binaryPlist({array({7})}); }, "damaged"},
                      BoundsCase{"CountBeyondTheFile", countBeyondTheFile, "damaged"},
                      BoundsCase{"TrailerOnly", [] { return std::string("bplist00") + std::string(32, '\xff'); },
                                 "damaged"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PropertyListBounds, CountsEveryNodeOfAnXmlList) {
    EXPECT_EQ(propertyListOutOfBounds(xmlOfManyEmptyArrays(), {.maxDepth = 256, .maxNodes = 100}), "too many objects");
}

class HostilePropertyLists : public ::testing::Test {
protected:
    void SetUp() override { root = dir.makeDir("Backup"); }

    TempDir dir;
    std::string root;
    MemoryLogSink log;
    ScopedLogSink scoped{log};
    FixedHost host;
    PRIOSDeviceController controller{host};
};

// The audit's crash: 100,000 nested arrays (under a megabyte) as Manifest.plist or Status.plist.
TEST_F(HostilePropertyLists, DeepListsNeitherCrashNorStallTheListing) {
    const auto deepManifest = dir.makeDir("Backup/deep-manifest");
    fixtures::writeFile(deepManifest + "/Manifest.plist", nestedBinaryPlist(100'000));
    fixtures::writeFile(deepManifest + "/Status.plist", nestedBinaryPlist(100'000));
    const auto deepStatus = dir.makeDir("Backup/deep-status");
    writeInfoPlist(deepStatus, typicalInfo("Listed"));
    fixtures::writeFile(deepStatus + "/Status.plist", nestedXmlPlist(100'000));

    const auto started = std::chrono::steady_clock::now();
    controller.addBackupsInRoot(root);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));

    ASSERT_EQ(controller.arrangedObjects().size(), 1u);
    EXPECT_EQ(controller.arrangedObjects()[0]->strDeviceName(), "Listed");
    EXPECT_TRUE(log.contains("Property list is refused (nested too deeply): " + deepManifest + "/Manifest.plist"));
}

TEST_F(HostilePropertyLists, LinksAndSpecialFilesAreReportedNotFollowedIntoTrouble) {
    const auto folder = dir.makeDir("Backup/links");
    fixtures::writeFile(folder + "/x", "x");
    ASSERT_EQ(::symlink("Info.plist", (folder + "/Info.plist").c_str()), 0); // a loop
    ASSERT_EQ(::symlink("nowhere", (folder + "/Manifest.plist").c_str()), 0);
    EXPECT_FALSE(PropertyList::readDictionary(folder + "/Info.plist"));
    EXPECT_FALSE(PropertyList::readDictionary(folder + "/Manifest.plist"));
    EXPECT_TRUE(log.contains("Property list cannot be opened (Too many levels of symbolic links)"));
    EXPECT_TRUE(log.contains("Property list is a link to nothing: " + folder + "/Manifest.plist"));

    // A FIFO must not block the listing: it is opened without waiting for a writer.
    const auto fifo = dir.makeDir("Backup/fifo");
    fixtures::writeFile(fifo + "/x", "x");
    ASSERT_EQ(::mkfifo((fifo + "/Info.plist").c_str(), 0600), 0);
    controller.addBackupsInRoot(root);
    EXPECT_TRUE(controller.arrangedObjects().empty());
    EXPECT_TRUE(log.contains("Property list is not a regular file: " + fifo + "/Info.plist"));
}

// libplist's own string getter aborts the process on a string that holds a NUL byte; the name is
// what comes before the NUL.
TEST_F(HostilePropertyLists, NameHoldingANulByteIsReadUpToIt) {
    const auto folder = dir.makeDir("Backup/nul");
    fixtures::writeFile(folder + "/x", "x");
    fixtures::writeFile(folder + "/Info.plist", xmlPlist({{"Device Name", std::string("Anna\0Phone", 10)}}));
    fixtures::writeFile(folder + "/Manifest.plist",
                        binaryPlist({{BinaryObject::Dictionary, {1, 2}, {}},
                                     {BinaryObject::String, {}, "Lockdown"},
                                     {BinaryObject::Dictionary, {3, 4}, {}},
                                     {BinaryObject::String, {}, "DeviceName"},
                                     {BinaryObject::String, {}, std::string("Ben\0iPad", 8)}}));
    const auto manifest = PropertyList::readDictionary(folder + "/Manifest.plist");
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->dictionary("Lockdown")->text("DeviceName"), "Ben");
    controller.addBackupsInRoot(root);
    ASSERT_EQ(controller.arrangedObjects().size(), 1u);
    EXPECT_EQ(controller.arrangedObjects()[0]->strDeviceName(), "Anna");
}
