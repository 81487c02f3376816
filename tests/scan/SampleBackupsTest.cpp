// Checks the sample backup root that the build generates from samples/backups: every backup is
// listed with the fields its property lists give, the note scanner reads the live notes of each,
// the deleted and overwritten rows are still in the database files' free space, the files have the
// forms devices write, and listing and scanning leave every file as it was.

#include "DeviceDb.h"
#include "discovery/PRIOSDeviceController.h"
#include "platform/Host.h"
#include "platform/Log.h"
#include "results/ResultCollection.h"
#include "scan/NoteScanner.h"
#include "scan/ScanContext.h"
#include "support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace quarrow;
namespace fs = std::filesystem;

namespace {

const std::string kRoot = QUARROW_SAMPLE_ROOT;
const std::string kRecipe = std::string(QUARROW_SOURCE_DIR) + "/samples/backups";

enum class Describer { XmlInfo, BinaryInfo, ManifestOnly };

struct SampleBackup {
    const char* id;
    const char* deviceName;
    const char* serial;
    std::optional<std::string> deviceType; // label of the product-type table
    const char* image;
    const char* iosVersion;
    const char* itunesVersion; // "iTunes Version", or the device's "BuildVersion" without Info.plist
    const char* backupTime;    // UTC, as listed
    Describer describer;
    bool hasManifest;      // the oldest backup has Info.plist and Status.plist only
    const char* notesFile; // the database the scanner reads
    std::vector<std::string> liveTitles;
    const char* firstNoteDate;           // in UTC
    const char* updatedText;             // only in the latest version of a body
    std::vector<std::string> freeSpace;  // texts of deleted or overwritten rows, unreachable with SQL
    std::vector<std::string> otherFiles; // database files besides the one read
};

const char* const kNotes = BackupFileNames::kNotes;
const char* const kLegacy = BackupFileNames::kNotesLegacy;

const std::vector<SampleBackup>& samples() {
    static const std::vector<SampleBackup> all = {
        {"3f9c2a7d5e81b04c6a1d92e7f0b3c58a4d6e2f17",
         "Anna's iPhone",
         "DNPHK4QJDTC0",
         "Iphone 4S",
         "iphone",
         "5.1.1",
         "10.6.3",
         "2012-08-10 19:24",
         Describer::XmlInfo,
         true,
         kNotes,
         {"Groceries", "Packing list for Lisbon", "Mum's birthday – 3 August", "Gift ideas", "Meeting notes 9 Aug"},
         "03-14-2012 08:12",
         "<div>Lucas: Lego Technic crane</div>",
         {"Password: Alpenrose!2012", "<div>Side door 0815</div>", "<div>Charger</div><div>Sunglasses</div>"},
         {}},
        {"8b07e4d1c2a95f3e60d7b18c4a2f9e05d3c71b6a",
         "Marc’s iPad",
         "DMPK82XYF18V",
         "NewIpad",
         "ipad",
         "6.1.3",
         "10B329",
         "2013-06-02 09:15",
         Describer::ManifestOnly,
         true,
         kNotes,
         {"Recette des crêpes 🥞", "東京旅行の予定", "中文学习笔记", "À faire ce week-end 📝"},
         "02-11-2013 10:20",
         "<div>再见 zàijiàn — au revoir</div>",
         {"Clé chez Mme Bérénice", "带上那本书《三体》", "<div>你好 nǐ hǎo</div>"},
         {}},
        {"c1d5a0e9f7b3248e6a0c9d2b5f8e1a3c7d4b6e90",
         "Jürgen’s iPhone",
         "88912K7ZY7H",
         "Iphone3G",
         "iphone",
         "3.1.3",
         "9.0.3",
         "2010-02-20 20:05",
         Describer::XmlInfo,
         false,
         kLegacy,
         {"Einkaufsliste", "Geburtstage", "Werkstatt-Termin"},
         "11-03-2009 14:22",
         "Onkel Günther 2. Oktober",
         {"Schlüssel beim Wirt"},
         {}},
        {"5a2e8c4f1b7d09e3c6a5f2d8b1e4c7a0f3d9b2e6",
         "Sofia's iPhone",
         "F2LK9QZADTWF",
         "Iphone 5",
         "iphone",
         "6.1.4",
         "11.0.4",
         "2013-07-21 21:03",
         Describer::XmlInfo,
         true,
         kNotes,
         {"Tortilla española", "Horario de los niños", "Viaje a Londres ✈️", "Presupuesto julio"},
         "03-02-2013 11:00",
         "Oyster card 🚇",
         {"ES91 2100 0418 4502 0005 1332"},
         {kLegacy}},
        {"e7b1d4a8c3f6920d5e1b7a4c8f2d6e093b5a1c7d",
         "Lena’s iPad mini",
         "F4KJ7XYZF193",
         std::nullopt,
         "iphone",
         "6.1.3",
         "11.0.2",
         "2013-04-09 07:48",
         Describer::BinaryInfo,
         true,
         kNotes,
         {"Running log 2013 🏃", "Thesis", "Books to read 📚"},
         "04-08-2013 20:11",
         "<div>2013-04-08 – ",
         {},
         {}},
    };
    return all;
}

std::string folderOf(const SampleBackup& b) {
    return kRoot + "/" + b.id;
}

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

// Every file under the root with its bytes and modification time.
struct FileState {
    std::string bytes;
    std::time_t modified = 0;
    bool operator==(const FileState&) const = default;
};

std::map<std::string, FileState> snapshot() {
    std::map<std::string, FileState> files;
    for (const auto& entry : fs::recursive_directory_iterator(kRoot)) {
        struct stat st {};
        ::stat(entry.path().c_str(), &st);
        FileState state{entry.is_regular_file() ? fixtures::readFile(entry.path().string()) : "", st.st_mtime};
        files.emplace(entry.path().string(), std::move(state));
    }
    return files;
}

std::vector<PRNoteNodePtr> scanNotes(const std::string& folder, long long* progress = nullptr) {
    NotificationCenter nc;
    ResultCollection collection(nc);
    {
        ScanContext context(nc);
        scanNoteThread(context, folder);
    }
    if (progress) {
        *progress = collection.progressValue();
    }
    return collection.noteArray();
}

class SampleBackupTest : public ::testing::TestWithParam<SampleBackup> {
protected:
    MemoryLogSink log;
    ScopedLogSink scoped{log};
};

} // namespace

TEST(SampleBackups, TheRootHoldsTheFiveBackupsAndStaysSmall) {
    std::vector<std::string> names;
    std::uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kRoot)) {
        if (entry.is_regular_file()) {
            total += entry.file_size();
        } else if (entry.path().parent_path() == fs::path(kRoot)) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected;
    for (const auto& b : samples()) {
        expected.push_back(b.id);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_LT(total, 5u * 1024 * 1024);
}

TEST(SampleBackups, DiscoveryListsEveryBackupWithItsFields) {
    MemoryLogSink log;
    ScopedLogSink scoped{log};
    FixedHost host;
    PRIOSDeviceController controller(host);
    controller.addBackupsInRoot(kRoot);
    ASSERT_EQ(controller.arrangedObjects().size(), samples().size());

    for (const SampleBackup& b : samples()) {
        SCOPED_TRACE(b.id);
        PRIOSDeviceNodePtr row;
        for (const auto& r : controller.arrangedObjects()) {
            if (r->backUpFilePath() == folderOf(b)) {
                row = r;
            }
        }
        ASSERT_TRUE(row);
        EXPECT_EQ(row->strDeviceName(), b.deviceName);
        EXPECT_EQ(row->strDeviceSerial(), b.serial);
        EXPECT_EQ(row->strDeviceType(), b.deviceType);
        EXPECT_EQ(row->deviceImage(), b.image);
        EXPECT_EQ(row->strIOSVersion(), b.iosVersion);
        EXPECT_EQ(row->itunesVersion(), b.itunesVersion);
        EXPECT_EQ(row->strDeviceBackUpTime(), b.backupTime);
        switch (b.describer) {
        case Describer::XmlInfo:
            // The XML Info.plist is the recipe's file, copied byte for byte.
            EXPECT_EQ(row->strDeviceSize(), std::to_string(fs::file_size(kRecipe + "/" + b.id + "/Info.plist")));
            break;
        case Describer::BinaryInfo:
            EXPECT_EQ(row->strDeviceSize(), std::to_string(fs::file_size(folderOf(b) + "/Info.plist")));
            break;
        case Describer::ManifestOnly:
            EXPECT_EQ(row->strDeviceSize(), "");
            break;
        }
    }
}

TEST_P(SampleBackupTest, FilesHaveTheFormsDevicesWrite) {
    const SampleBackup& b = GetParam();
    const std::string folder = folderOf(b);
    const auto startsWith = [](const std::string& bytes, const std::string& magic) {
        return bytes.compare(0, magic.size(), magic) == 0;
    };
    EXPECT_TRUE(startsWith(fixtures::readFile(folder + "/Status.plist"), "bplist00"));
    EXPECT_EQ(fs::exists(folder + "/Manifest.plist"), b.hasManifest);
    if (fs::exists(folder + "/Manifest.plist")) {
        EXPECT_TRUE(startsWith(fixtures::readFile(folder + "/Manifest.plist"), "bplist00"));
    }
    switch (b.describer) {
    case Describer::XmlInfo:
        EXPECT_TRUE(startsWith(fixtures::readFile(folder + "/Info.plist"), "<?xml"));
        break;
    case Describer::BinaryInfo:
        EXPECT_TRUE(startsWith(fixtures::readFile(folder + "/Info.plist"), "bplist00"));
        break;
    case Describer::ManifestOnly:
        EXPECT_FALSE(fs::exists(folder + "/Info.plist"));
        break;
    }

    std::vector<std::string> databases = b.otherFiles;
    databases.push_back(b.notesFile);
    for (const std::string& name : {std::string(kNotes), std::string(kLegacy)}) {
        EXPECT_EQ(fs::exists(folder + "/" + name),
                  std::find(databases.begin(), databases.end(), name) != databases.end())
            << name;
    }
    for (const std::string& name : databases) {
        SCOPED_TRACE(name);
        const std::string bytes = fixtures::readFile(folder + "/" + name);
        ASSERT_GE(bytes.size(), 100u);
        EXPECT_TRUE(startsWith(bytes, std::string("SQLite format 3", 16)));
        EXPECT_EQ(static_cast<unsigned char>(bytes[16]) << 8 | static_cast<unsigned char>(bytes[17]), 4096);
        EXPECT_EQ(bytes[18], 1) << "rollback journal, as a device leaves it";
        EXPECT_EQ(bytes.substr(44, 4), std::string("\0\0\0\1", 4)) << "schema format 1";
        EXPECT_EQ(bytes.size() % 4096, 0u);
    }
}

TEST_P(SampleBackupTest, NoteScannerReadsTheLiveNotes) {
    const SampleBackup& b = GetParam();
    quarrow::test::ScopedTimeZone utc("UTC");
    long long progress = 0;
    const auto notes = scanNotes(folderOf(b), &progress);
    EXPECT_EQ(progress, 70);

    std::vector<std::string> titles;
    std::string allBodies;
    for (const auto& note : notes) {
        const std::string title = note->noteTitle().value_or("<absent>");
        const std::string body = note->noteContent().value_or("");
        titles.push_back(title);
        allBodies += body;
        EXPECT_EQ(body.compare(0, title.size(), title), 0) << "a body begins with its title: " << body;
        EXPECT_TRUE(contains(body, "<div>") || contains(body, "<br>")) << body;
        EXPECT_EQ(note->noteDate()->size(), 16u) << title;
        EXPECT_FALSE(note->bDeleted());
    }
    EXPECT_EQ(titles, b.liveTitles);
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.front()->noteDate(), b.firstNoteDate);
    EXPECT_TRUE(contains(allBodies, b.updatedText)) << "the latest version of an edited note is read";
    for (const std::string& gone : b.freeSpace) {
        EXPECT_FALSE(contains(allBodies, gone)) << gone;
    }
}

TEST_P(SampleBackupTest, DeletedAndOverwrittenRowsStayInFreeSpace) {
    const SampleBackup& b = GetParam();
    const std::string bytes = fixtures::readFile(folderOf(b) + "/" + b.notesFile);
    for (const std::string& gone : b.freeSpace) {
        EXPECT_TRUE(contains(bytes, gone)) << gone;
    }
}

INSTANTIATE_TEST_SUITE_P(SampleBackups, SampleBackupTest, ::testing::ValuesIn(samples()),
                         [](const ::testing::TestParamInfo<SampleBackup>& info) {
                             return std::string("Device_") + std::string(info.param.id).substr(0, 8);
                         });

TEST(SampleBackups, ListingAndScanningLeaveEveryFileAsItWas) {
    MemoryLogSink log;
    ScopedLogSink scoped{log};
    const auto before = snapshot();
    ASSERT_FALSE(before.empty());

    FixedHost host;
    PRIOSDeviceController controller(host);
    controller.addBackupsInRoot(kRoot);
    for (const auto& row : controller.arrangedObjects()) {
        EXPECT_FALSE(scanNotes(*row->backUpFilePath()).empty());
    }

    const auto after = snapshot();
    EXPECT_EQ(after.size(), before.size()) << "no journal, log or other file appears";
    for (const auto& [path, state] : before) {
        const auto it = after.find(path);
        ASSERT_NE(it, after.end()) << path;
        EXPECT_TRUE(it->second == state) << path << " changed";
    }
}
