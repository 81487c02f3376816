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

std::vector<std::string> RecordingWorkspace::opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

namespace {

void install(Host* host, UserDefaults* defaults, AlertPresenter* alerts, MainThread* mainThread, Workspace* workspace) {
    Platform& p = Platform::current();
    p.setHost(host);
    p.setDefaults(defaults);
    p.setAlerts(alerts);
    p.setMainThread(mainThread);
    p.setWorkspace(workspace);
}

} // namespace

PlatformScope::PlatformScope() {
    defaults.setString("FirstStartData", "YES");
    install(&host, &defaults, &alerts, &mainThread, &workspace);
}

PlatformScope::~PlatformScope() {
    install(nullptr, nullptr, nullptr, nullptr, nullptr);
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
    for (std::size_t i = 0; i < notes.size(); ++i) {
        fixtures::NoteSpec spec;
        spec.pk = static_cast<std::int64_t>(i + 1);
        spec.title = notes[i].title;
        spec.content = notes[i].body;
        spec.modificationDate = 380000000.0 + static_cast<double>(spec.pk) * 86400.0;
        spec.creationDate = spec.modificationDate - 3600.0;
        db.addNote(spec);
    }
    // Deleted only once all are written, so no later insert reuses the freed space.
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (notes[i].deleteAfter) {
            db.deleteNote(static_cast<std::int64_t>(i + 1));
        }
    }
    db.close();
    return folder;
}

std::vector<NoteRow> sampleNotes() {
    return {
        {"Shopping list", "Shopping list\nMilk\nBread\nTomatoes\nCoffee beans"},
        {"Flight to Lisbon", "Flight to Lisbon\nTP 1351, gate B12, boarding 07:40\nSeat 14C"},
        {"Book ideas", "Book ideas\nA lighthouse keeper who collects lost letters.\nChapter one opens in winter."},
        {"Door code", "Door code\nBack entrance 4821, storage room 0734", true},
        {"Birthday gifts", "Birthday gifts\nMum: garden gloves\nTom: the blue scarf", true},
    };
}

} // namespace quarrow::apptest
