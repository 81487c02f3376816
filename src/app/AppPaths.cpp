#include "AppPaths.h"

#include "discovery/PRIOSDeviceController.h"
#include "platform/Host.h"
#include "platform/UserDefaults.h"
#include "results/BackupRootChoice.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace quarrow::app {

namespace fs = std::filesystem;

std::string executableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::optional<std::string> sampleBackupRoot() {
    const std::string here = executableFolder();
    const std::string candidates[] = {QUARROW_SAMPLE_ROOT, here + "/samples/Backup",
                                      here + "/../share/quarrow/samples/Backup"};
    for (const std::string& c : candidates) {
        std::error_code ec;
        if (fs::is_directory(c, ec)) {
            return fs::weakly_canonical(c, ec).string();
        }
    }
    return std::nullopt;
}

std::string commandLinePath() {
    const std::string candidates[] = {executableFolder() + "/quarrow-cli", QUARROW_CLI_BUILD_PATH};
    for (const std::string& c : candidates) {
        if (::access(c.c_str(), X_OK) == 0) {
            return c;
        }
    }
    return "quarrow-cli";
}

bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return true;
        }
    }
    return false;
}

int runCommandLineInstead(const std::optional<std::string>& commandLineRoot) {
    LinuxHost host;
    FileUserDefaults defaults(FileUserDefaults::defaultPath(host.homeFolder()));
    std::optional<std::string> backup;
    for (const std::optional<std::string>& root :
         {std::optional<std::string>(effectiveBackupRoot(host, defaults, commandLineRoot)), sampleBackupRoot()}) {
        if (!root) {
            continue;
        }
        PRIOSDeviceController controller(host);
        controller.addBackupsInRoot(*root);
        if (!controller.arrangedObjects().empty()) {
            backup = controller.arrangedObjects().front()->backUpFilePath();
            break;
        }
    }
    const std::string cli = commandLinePath();
    std::vector<std::string> args = {cli};
    if (backup) {
        std::fprintf(stderr,
                     "quarrow: no display available (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset); "
                     "running the command-line scan of %s instead.\n",
                     backup->c_str());
        args.insert(args.end(), {"scan", *backup});
    } else {
        std::fprintf(stderr, "quarrow: no display available (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset) "
                             "and no backup to scan; listing the backups instead.\n");
        args.push_back("backups");
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    std::fprintf(stderr, "quarrow: could not run %s: %s\n", cli.c_str(), std::strerror(errno));
    return 127;
}

} // namespace quarrow::app
