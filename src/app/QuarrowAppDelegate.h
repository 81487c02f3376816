#pragma once

#include "AboutWindow.h"
#include "JobSwitcher.h"
#include "PreferencesWindow.h"
#include "WelcomeWindow.h"

#include "results/RecoverySession.h"
#include "scan/ScannerRegistry.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>
#include <string>

class QLabel;

namespace quarrow::app {

class AudiobookPage;
class MainWindow;
class RecoveryPage;

struct AppOptions {
    // --root on the command line; wins over every other source of the backup root.
    std::optional<std::string> commandLineRoot;
    // The bundled sample backups, offered when the backup folder holds none. Empty: none.
    QString sampleRoot;
    // Which scanners a scan runs (--edition on the command line). Unset: the preference "Scan every
    // category" chooses, the notes edition while it is off.
    std::optional<Edition> edition;
    // Where the Audiobooks page keeps its imported books between runs; nothing: the user's data
    // folder ($XDG_DATA_HOME/quarrow/imported-books).
    std::optional<std::string> bookListPath;
};

// The preference "Scan every category" in the user's defaults: "YES" runs the full edition.
inline constexpr const char* kScanEveryCategoryKey = "ScanEveryCategory";

// The application's shell: the main window with the job switcher over the two jobs' pages, the
// recovery session the recovery page drives, the small windows (welcome, about, preferences), the
// links, the drawer, and the question before exit. The jobs' own work lives in their pages.
class QuarrowAppDelegate : public QObject {
    Q_OBJECT
public:
    explicit QuarrowAppDelegate(const AppOptions& options = {});
    ~QuarrowAppDelegate() override;

    MainWindow* window() const { return window_; }
    JobSwitcher* jobSwitcher() const { return jobSwitcher_; }
    RecoverySession& recoverySession() { return session_; }
    RecoveryPage* recovery() const { return recovery_; }
    AudiobookPage* audiobooks() const { return audiobooks_; }
    AboutWindow* aboutWindow() const { return aboutWindow_; }
    PreferencesWindow* prefernceWindow() const { return prefernceWindow_; }
    WelcomeWindow* leadWindow() const { return leadWindow_; }
    QWidget* resultDrawer() const { return resultDrawer_; }

    // Styling done and first-start check (opens the guide page once).
    void awakeFromNib();
    // Centres the main window.
    void applicationDidFinishLaunching();

    // The jobs: the page shown, and the window fitted to it.
    void showJob(Job job);
    Job currentJob() const { return jobSwitcher_->currentJob(); }

    // Exit.
    bool windowShouldClose();
    void ActClickClose();

    // Small windows and links.
    void ClickPerference();
    void ClickAbout();
    void ClickStart();
    void ClickWelcome();
    void ClickHomePage();
    void ClickHelp();
    void ClickLearnMore();
    void clickRecoveryHelp();
    void openLink(const char* page);

    // The drawer beside the main window, with the details of the selected backup. It always opens
    // on the window's left side (on the right only when the screen has no room on the left).
    void setupLeftDrawer();
    void openLeftDrawer();
    void closeLeftDrawer();
    void toggleLeftDrawer();
    void clickDrawerClosed() { openLeftDrawer(); }

    void setBFeedBack(bool value) { bFeedBack_ = value; }
    bool bFeedBack() const { return bFeedBack_; }

private:
    void fitWindowToJob();
    void fillDrawer();
    void updatePreferences();
    void setScanEveryCategory(bool on);
    QPoint drawerPosition() const;

    RecoverySession session_;
    MainWindow* window_ = nullptr;
    JobSwitcher* jobSwitcher_ = nullptr;
    RecoveryPage* recovery_ = nullptr;
    AudiobookPage* audiobooks_ = nullptr;
    QPointer<AboutWindow> aboutWindow_;
    QPointer<PreferencesWindow> prefernceWindow_;
    QPointer<WelcomeWindow> leadWindow_;
    QWidget* resultDrawer_ = nullptr;
    QLabel* drawerView_ = nullptr;
    bool bFeedBack_ = false;
};

} // namespace quarrow::app
