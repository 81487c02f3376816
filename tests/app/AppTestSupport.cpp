#include "AppTestSupport.h"

#include "DeviceDb.h"
#include "discovery/PRIOSDeviceController.h"
#include "platform/Platform.h"

#include <QDir>

namespace quarrow::apptest {

bool RecordingWorkspace::openURL(const std::string& url) {
    std::lock_guard lock(mutex_);
    opened_.push_back(url);
    return succeed;
}

bool RecordingWorkspace::openFile(const std::string& path) {
    return openURL("file:" + path);
}

bool RecordingWorkspace::revealFile(const std::string& path) {
    return openURL("reveal:" + path);
}

std::vector<std::string> RecordingWorkspace::opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

PlatformScope::PlatformScope() {
    defaults.setString("FirstStartData", "YES");
    Platform& p = Platform::current();
    p.setHost(&host);
    p.setDefaults(&defaults);
    p.setAlerts(&alerts);
    p.setMainThread(&mainThread);
    p.setWorkspace(&workspace);
}

PlatformScope::~PlatformScope() {
    Platform& p = Platform::current();
    p.setHost(nullptr);
    p.setDefaults(nullptr);
    p.setAlerts(nullptr);
    p.setMainThread(nullptr);
    p.setWorkspace(nullptr);
}

namespace {

std::string plist(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (const auto& [key, value] : entries) {
        xml += "\t<key>" + key + "</key>\n\t<string>" + value + "</string>\n";
    }
    return xml + "</dict>\n</plist>\n";
}

} // namespace

std::string makeBackup(const QString& root, const std::string& name, const std::string& deviceName,
                       const std::string& productType, const std::string& version, const std::vector<NoteRow>& notes) {
    const std::string folder = root.toStdString() + "/" + name;
    QDir().mkpath(QString::fromStdString(folder));
    fixtures::writeFile(folder + "/Info.plist", plist({{"Device Name", deviceName},
                                                       {"Serial Number", "SN" + name.substr(0, 8)},
                                                       {"Product Type", productType},
                                                       {"Product Version", version},
                                                       {"iTunes Version", "10.6.3"}}));
    fixtures::writeFile(folder + "/Manifest.plist", plist({{"Version", "9.1"}}));
    fixtures::NotesDbBuilder db(folder + "/" + BackupFileNames::kNotes);
    std::int64_t pk = 1;
    std::vector<std::int64_t> toDelete;
    for (const NoteRow& n : notes) {
        fixtures::NoteSpec spec;
        spec.pk = pk;
        spec.title = n.title;
        spec.content = n.body;
        spec.modificationDate = 380000000.0 + static_cast<double>(pk) * 86400.0;
        spec.creationDate = spec.modificationDate - 3600.0;
        db.addNote(spec);
        if (n.deleteAfter) {
            toDelete.push_back(pk);
        }
        ++pk;
    }
    for (auto k : toDelete) {
        db.deleteNote(k);
    }
    db.close();
    return folder;
}

std::vector<NoteRow> sampleNotes() {
    return {
        {"Shopping list", "Shopping list\nMilk\nBread\nTomatoes\nCoffee beans", false},
        {"Flight to Lisbon", "Flight to Lisbon\nTP 1351, gate B12, boarding 07:40\nSeat 14C", false},
        {"Book ideas", "Book ideas\nA lighthouse keeper who collects lost letters.\nChapter one opens in winter.",
         false},
        {"Door code", "Door code\nBack entrance 4821, storage room 0734", true},
        {"Birthday gifts", "Birthday gifts\nMum: garden gloves\nTom: the blue scarf", true},
    };
}

} // namespace quarrow::apptest
