// Renders every screen of the application to PNG files for review: quarrow_screens OUTDIR.
// Runs on Qt's offscreen platform; nothing is shown and nothing is opened.

#include "AppTestSupport.h"

#include "AboutWindow.h"
#include "AppStyle.h"
#include "FeedbackWindow.h"
#include "MainWindow.h"
#include "PRResultViewController.h"
#include "PreferencesWindow.h"
#include "QuarrowAppDelegate.h"
#include "RecoveryPage.h"
#include "WelcomeWindow.h"

#include "platform/NotificationCenter.h"
#include "records/ScanNotifications.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTableView>

#include <cstdio>
#include <functional>
#include <memory>

using namespace quarrow;

namespace {

// Lets the event loop run for `ms` (or until `until` holds), so pending layouts and scans land.
void settle(int ms, const std::function<bool()>& until = {}) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms && !(until && until())) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

bool save(QWidget* w, const QString& dir, const char* name) {
    settle(50);
    const QString path = dir + "/" + name + ".png";
    const bool ok = w->grab().save(path);
    std::fprintf(ok ? stdout : stderr, ok ? "%s\n" : "could not write %s\n", qPrintable(path));
    return ok;
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
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    bool ok = true;

    apptest::PlatformScope platform;
    QTemporaryDir emptyRoot;
    const QString samples = QString::fromUtf8(QUARROW_SAMPLE_ROOT);
    auto homeOver = [&](const QString& root) {
        app::AppOptions options;
        options.commandLineRoot = root.toStdString();
        options.sampleRoot = samples;
        auto delegate = std::make_unique<app::QuarrowAppDelegate>(options);
        delegate->window()->show();
        delegate->recovery()->showIphoneDiskView();
        return delegate;
    };
    {
        // No backups in the chosen folder: the sample backups are offered, then listed.
        auto delegate = homeOver(emptyRoot.path());
        ok &= save(delegate->window(), out, "home-none");
        delegate->recovery()->useSampleBackups();
        ok &= save(delegate->window(), out, "home-samples");
    }
    auto delegate = homeOver(samples);
    auto* recovery = delegate->recovery();
    ok &= save(delegate->window(), out, "home-backups");
    delegate->showJob(app::Job::Audiobooks);
    ok &= save(delegate->window(), out, "audiobooks");
    delegate->showJob(app::Job::Recovery);
    delegate->openLeftDrawer();
    ok &= save(delegate->resultDrawer(), out, "drawer");
    delegate->closeLeftDrawer();

    // The progress pane part-way through a scan, fed through the notification contract.
    recovery->prepareResultView(recovery->deviceController().arrangedObjects().front());
    for (int i = 0; i < 12; ++i) {
        auto n = std::make_shared<PRNoteNode>();
        n->setNoteContent("note " + std::to_string(i));
        NotificationCenter::defaultCenter().post(ScanNotification::kNote, std::static_pointer_cast<PRObject>(n));
    }
    NotificationCenter::defaultCenter().post(ScanNotification::kProgress, 70LL);
    ok &= save(delegate->window(), out, "progress");
    auto* rv = recovery->resultViewController();
    delegate->recoverySession().goHome();
    rv->releaseUIMemory();
    rv->hide();
    recovery->showBackupListWindow();
    recovery->showMainView();

    // A real scan of the iPhone backup, ending on the Notes pane with a note's details.
    const auto& rows = recovery->deviceController().arrangedObjects();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i]->strDeviceName() == std::optional<std::string>("Anna's iPhone")) {
            recovery->diskTableView()->selectRow(static_cast<int>(i));
        }
    }
    recovery->actScanIOSBackupFile();
    settle(20000, [&] { return !recovery->isScanRunning(); });
    rv->tableFor(Category::Note)->selectRow(1);
    rv->tableViewSetObjectValue(true);
    ok &= save(delegate->window(), out, "notes");

    rv->clickFeedBack();
    ok &= save(rv->feedbackWindow(), out, "feedback");
    rv->ClickDontSendFeedBack();
    delegate->ClickAbout();
    ok &= save(delegate->aboutWindow(), out, "about");
    delegate->ClickPerference();
    ok &= save(delegate->prefernceWindow(), out, "preferences");
    delegate->ClickWelcome();
    ok &= save(delegate->leadWindow(), out, "welcome");
    return ok ? 0 : 1;
}
