#include "AppPaths.h"
#include "AppStyle.h"
#include "MainWindow.h"
#include "PasswordSheet.h"
#include "QtPlatform.h"
#include "QuarrowAppDelegate.h"

#include "platform/Host.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "platform/WorkFolder.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

struct Arguments {
    std::optional<std::string> root;
    std::optional<quarrow::Edition> edition;
    bool help = false;
    bool bad = false;
};

Arguments parse(int argc, char** argv) {
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--root" && i + 1 < argc) {
            a.root = argv[++i];
        } else if (arg.rfind("--root=", 0) == 0) {
            a.root = arg.substr(7);
        } else if (arg == "--edition" && i + 1 < argc && std::strcmp(argv[i + 1], "notes") == 0) {
            a.edition = quarrow::Edition::Notes;
            ++i;
        } else if (arg == "--edition" && i + 1 < argc && std::strcmp(argv[i + 1], "full") == 0) {
            a.edition = quarrow::Edition::Full;
            ++i;
        } else if (arg == "--help" || arg == "-h") {
            a.help = true;
        } else if (arg == "--root" || arg == "--edition") {
            a.bad = true;
        }
        // Anything else is left to Qt (-platform, -style, ...).
    }
    return a;
}

} // namespace

int main(int argc, char** argv) {
    using namespace quarrow;
    const Arguments args = parse(argc, argv);
    if (args.help || args.bad) {
        std::fprintf(args.bad ? stderr : stdout,
                     "Usage: quarrow [--root FOLDER] [--edition notes|full]\n"
                     "  --root FOLDER  list the device backups in FOLDER (before QUARROW_BACKUP_ROOT and the\n"
                     "                 folder chosen in the application)\n"
                     "  --edition full scan with every scanner this build has, not only the notes ones (the\n"
                     "                 preference \"Scan every category\" chooses when no edition is given)\n"
                     "Without a display, quarrow runs the command-line scan (quarrow-cli) instead.\n");
        return args.bad ? 2 : 0;
    }
    // Work folders of earlier runs that were killed outright go first.
    WorkFolder::sweepStale();
    if (!app::displayAvailable()) {
        return app::runCommandLineInstead(args.root);
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName("Quarrow");
    QApplication::setApplicationVersion(QUARROW_VERSION);
    app::installAppStyle(application);

    LinuxHost host;
    FileUserDefaults defaults(FileUserDefaults::defaultPath(host.homeFolder()));
    app::QtMainThread mainThread;
    app::QtAlertPresenter alerts;
    app::QtPasswordRequest passwords;
    app::QtWorkspace workspace;
    Platform& platform = Platform::current();
    platform.setHost(&host);
    platform.setDefaults(&defaults);
    platform.setMainThread(&mainThread);
    platform.setAlerts(&alerts);
    platform.setPasswords(&passwords);
    platform.setWorkspace(&workspace);

    int rc = 0;
    {
        app::AppOptions options;
        options.commandLineRoot = args.root;
        options.edition = args.edition;
        if (const auto samples = app::sampleBackupRoot()) {
            options.sampleRoot = QString::fromStdString(*samples);
        }
        app::QuarrowAppDelegate delegate(options);
        alerts.setWindow(delegate.window());
        passwords.setWindow(delegate.window());
        delegate.awakeFromNib();
        delegate.window()->show();
        delegate.applicationDidFinishLaunching();
        rc = QApplication::exec();
    }
    platform.setPasswords(nullptr);
    platform.setWorkspace(nullptr);
    platform.setAlerts(nullptr);
    platform.setMainThread(nullptr);
    platform.setDefaults(nullptr);
    platform.setHost(nullptr);
    return rc;
}
