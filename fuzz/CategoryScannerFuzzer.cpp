// Fuzz target for the scanners of contacts, messages and call history over any database bytes. The
// first byte chooses the database the rest becomes (address book, messages, call history); the
// scanners then read it the way a scan does, through the scan's SQLite source, with the contacts
// read first so that names are looked up. Whatever the bytes, a scanner must end without crashing,
// hanging or reading out of bounds, and post only records.

#include "QuietLog.h"
#include "discovery/BackupFiles.h"
#include "platform/NotificationCenter.h"
#include "scan/CallHistoryScanner.h"
#include "scan/ContactScanner.h"
#include "scan/MessageScanner.h"
#include "scan/ScanContext.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// One backup folder per process, its database files replaced by every input, removed at exit.
class BackupFolder {
public:
    BackupFolder()
        : path_((std::filesystem::temp_directory_path() / ("quarrow-fuzz-categories-" + std::to_string(::getpid())))
                    .string()) {
        std::filesystem::create_directories(path_);
    }
    ~BackupFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

const std::string& backupFolder() {
    static const BackupFolder folder;
    return folder.path();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quarrow;
    quietFuzzLog();
    if (size < 1) {
        return 0;
    }
    const DeviceFile files[] = {DeviceFiles::kAddressBook, DeviceFiles::kMessages, DeviceFiles::kCallHistory};
    const DeviceFile& chosen = files[data[0] % 3];
    const std::string& folder = backupFolder();
    for (const DeviceFile& file : files) {
        std::filesystem::remove(folder + "/" + BackupFiles::fileID(file));
    }
    {
        std::ofstream out(folder + "/" + BackupFiles::fileID(chosen), std::ios::binary);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    NotificationCenter nc;
    std::size_t posted = 0;
    nc.addObserver({}, [&posted](const Notification& n) { posted += n.record() ? 1 : 0; });
    ScanContext context(nc, folder);
    scanContactThread(context, folder);
    scanMessageThread(context, folder);
    scanCallHistoryThread(context, folder);
    return 0;
}
