#pragma once

#include "AboutWindow.h"
#include "PreferencesWindow.h"
#include "WelcomeWindow.h"

#include "discovery/PRIOSDeviceController.h"
#include "scan/ScanRun.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <string>

class QLabel;
class QPushButton;
class QTableView;

namespace quarrow::app {

class BackupTableModel;
class MainWindow;
class PRResultViewController;

struct AppOptions {
    // --root on the command line; wins over every other source of the backup root.
    std::optional<std::string> commandLineRoot;
    // The bundled sample backups, offered when the backup folder holds none. Empty: none.
    QString sampleRoot;
};

// The application's one controller: it owns the main window with the backup list, starts scans,
// switches between the backup list and the result view, and owns the small windows.
class QuarrowAppDelegate : public QObject {
    Q_OBJECT
public:
    explicit QuarrowAppDelegate(AppOptions options = {});
    ~QuarrowAppDelegate() override;

    static QuarrowAppDelegate* GetAppControllor();

    MainWindow* window() const { return window_; }
    PRIOSDeviceController& deviceController() { return deviceController_; }
    QTableView* diskTableView() const { return diskTableView_; }
    QPushButton* button() const { return button_; }
    PRResultViewController* resultViewController() const { return resultViewController_; }
    AboutWindow* aboutWindow() const { return aboutWindow_; }
    PreferencesWindow* prefernceWindow() const { return prefernceWindow_; }
    WelcomeWindow* leadWindow() const { return leadWindow_; }
    QWidget* resultDrawer() const { return resultDrawer_; }
    QWidget* sampleOffer() const { return sampleOffer_; }

    // Styling done and first-start check (opens the guide page once).
    void awakeFromNib();
    // Centres the main window.
    void applicationDidFinishLaunching();

    // The backup list.
    QString backupRoot() const;
    void showIphoneDiskView();
    void showIphoneDisk();
    void tableViewSelectionDidChange();
    void chooseBackupFolder();
    void useDefaultBackupFolder();
    void useSampleBackups();

    // The scan.
    void actScanIOSBackupFile();
    // Steps of a scan start before the worker: keeps the record, resizes the window, swaps the
    // backup list for the result view and resets it.
    void prepareResultView(const PRIOSDeviceNodePtr& node);
    void ScanIOSBackFile(const std::string& path);
    void showResultView();
    bool isScanRunning() const { return scanRun_ != nullptr; }
    PRIOSDeviceNodePtr currentNode() const { return currentNode_; }
    bool currentNodeIsiOS6Version() const { return currentNodeIsiOS6Version_; }

    // Switching the main window.
    void hideMainView();
    void showMainView();
    void showBackupListWindow(); // 849 x 560, fixed
    void showResultWindow();     // 850 x 620, fixed

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

    // The drawer beside the main window, with the details of the selected backup.
    void setupLeftDrawer();
    void openLeftDrawer();
    void closeLeftDrawer();
    void toggleLeftDrawer();
    void clickDrawerClosed() { openLeftDrawer(); }

    void setBFeedBack(bool value) { bFeedBack_ = value; }
    bool bFeedBack() const { return bFeedBack_; }

private:
    void buildMainView();
    void updateRootLine();
    void updateEmptyState(bool refreshed);
    void fillDrawer();

    AppOptions options_;
    std::optional<std::string> sessionRoot_;
    PRIOSDeviceController deviceController_;
    MainWindow* window_ = nullptr;
    QWidget* mainView_ = nullptr;
    QTableView* diskTableView_ = nullptr;
    BackupTableModel* backupModel_ = nullptr;
    QPushButton* button_ = nullptr;
    QLabel* rootLine_ = nullptr;
    QLabel* emptyState_ = nullptr;
    QWidget* sampleOffer_ = nullptr;
    PRResultViewController* resultViewController_ = nullptr;
    QPointer<AboutWindow> aboutWindow_;
    QPointer<PreferencesWindow> prefernceWindow_;
    QPointer<WelcomeWindow> leadWindow_;
    QWidget* resultDrawer_ = nullptr;
    QLabel* drawerView_ = nullptr;

    PRIOSDeviceNodePtr currentNode_;
    bool currentNodeIsiOS6Version_ = false;
    bool bFeedBack_ = false;
    std::unique_ptr<ScanRun> scanRun_;
};

} // namespace quarrow::app
