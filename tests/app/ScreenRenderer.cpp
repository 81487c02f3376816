// Renders every screen of the application to PNG files for review: quarrow_screens OUTDIR.
// Runs on Qt's offscreen platform; nothing is shown and nothing is opened.

#include "AppTestSupport.h"

#include "AboutWindow.h"
#include "AppStyle.h"
#include "FeedbackWindow.h"
#include "MainWindow.h"
#include "PRFeedBackView.h"
#include "PRResultViewController.h"
#include "PreferencesWindow.h"
#include "QuarrowAppDelegate.h"
#include "WelcomeWindow.h"

#include "platform/NotificationCenter.h"
#include "scan/ScanNotifications.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

using namespace quarrow;

namespace {

QString outDir;

void settle(int ms = 50) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void save(QWidget* w, const char* name) {
    settle();
    const QString path = outDir + "/" + name + ".png";
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    app::installAppStyle(application);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quarrow_screens OUTDIR\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    apptest::PlatformScope platform;
    QTemporaryDir userRoot;
    QTemporaryDir emptyRoot;
    apptest::makeBackup(userRoot.path(), "0c3e5a7b9d1f2e4c6a8b0d2f4e6a8c0e2b4d6f80", "Anna's iPhone", "iPhone4,1",
                        "6.1.3", apptest::sampleNotes());
    apptest::makeBackup(userRoot.path(), "7d9f1b3c5e7a9c1e3b5d7f9a1c3e5b7d9f1a3c5e", "Office iPad", "iPad2,1", "5.1.1",
                        {{"Meeting", "Meeting\nAgenda for Monday", false}});

    const QString samples = QString::fromUtf8(QUARROW_SAMPLE_ROOT);
    {
        // Home with no backups in the chosen folder: the sample backups are offered.
        app::AppOptions options;
        options.commandLineRoot = emptyRoot.path().toStdString();
        options.sampleRoot = samples;
        app::QuarrowAppDelegate delegate(options);
        delegate.window()->show();
        delegate.showIphoneDiskView();
        save(delegate.window(), "home-none");
        // Home listing the sample backups.
        delegate.useSampleBackups();
        save(delegate.window(), "home-samples");
    }
    {
        app::AppOptions options;
        options.commandLineRoot = userRoot.path().toStdString();
        options.sampleRoot = samples;
        app::QuarrowAppDelegate delegate(options);
        delegate.window()->show();
        delegate.showIphoneDiskView();
        save(delegate.window(), "home-backups");
        delegate.openLeftDrawer();
        save(delegate.resultDrawer(), "drawer");
        delegate.closeLeftDrawer();

        // The progress pane part-way through a scan, fed through the notification contract.
        delegate.prepareResultView(delegate.deviceController().arrangedObjects().front());
        auto& nc = NotificationCenter::defaultCenter();
        for (int i = 0; i < 12; ++i) {
            auto n = std::make_shared<PRNoteNode>();
            n->setNoteContent("note " + std::to_string(i));
            nc.post(ScanNotification::kNote, std::static_pointer_cast<PRObject>(n));
        }
        nc.post(ScanNotification::kProgress, 70LL);
        save(delegate.window(), "progress");
        delegate.resultViewController()->releaseUIMemory();
        delegate.showBackupListWindow();
        delegate.showMainView();

        // A real scan of the first backup, ending on the Notes pane with a note's details.
        const auto& rows = delegate.deviceController().arrangedObjects();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i]->strDeviceName() == std::optional<std::string>("Anna's iPhone")) {
                delegate.diskTableView()->selectRow(static_cast<int>(i));
            }
        }
        delegate.actScanIOSBackupFile();
        QElapsedTimer t;
        t.start();
        while (delegate.isScanRunning() && t.elapsed() < 20000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        auto* table = delegate.resultViewController()->tableFor(Category::Note);
        if (table->model()->rowCount() > 2) {
            table->selectRow(1);
            delegate.resultViewController()->tableViewSetObjectValue(true);
        }
        save(delegate.window(), "notes");

        delegate.resultViewController()->clickFeedBack();
        save(delegate.resultViewController()->feedbackWindow(), "feedback");
        delegate.resultViewController()->ClickDontSendFeedBack();

        delegate.ClickAbout();
        save(delegate.aboutWindow(), "about");
        delegate.ClickPerference();
        save(delegate.prefernceWindow(), "preferences");
        delegate.ClickWelcome();
        save(delegate.leadWindow(), "welcome");
    }
    return 0;
}
