#pragma once

#include "discovery/BackupUnlock.h"
#include "discovery/PRIOSDeviceController.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <thread>

class QLabel;
class QPushButton;
class QTableView;

namespace quarrow {
class RecoverySession;
}

namespace quarrow::app {

class BackupTableModel;
class PRResultViewController;
class QuarrowAppDelegate;
class UnlockingSheet;
struct AppOptions;

// The recovery job's page in the main window: the backup list, and the result view once a scan
// starts. It drives the shell's recovery session; the result view observes the same session.
class RecoveryPage : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize kBackupListSize{849, 560};
    static constexpr QSize kResultSize{850, 620};

    RecoveryPage(RecoverySession& session, QuarrowAppDelegate& shell, const AppOptions& options,
                 QWidget* parent = nullptr);
    ~RecoveryPage() override;

    RecoverySession& session() { return session_; }
    PRIOSDeviceController& deviceController() { return deviceController_; }
    QTableView* diskTableView() const { return diskTableView_; }
    QPushButton* button() const { return button_; }
    PRResultViewController* resultViewController() const { return resultViewController_; }
    QWidget* mainView() const { return mainView_; }
    QWidget* sampleOffer() const { return sampleOffer_; }
    // The size the page needs now: the backup list's, or the result view's.
    QSize contentSize() const { return contentSize_; }

    // The backup list.
    QString backupRoot() const;
    // Where the backup root comes from, as the preferences show it ("default", "chosen", ...).
    QString backupRootSource() const;
    void showIphoneDiskView();
    void showIphoneDisk();
    void tableViewSelectionDidChange();
    void chooseBackupFolder();
    void useDefaultBackupFolder();
    void useSampleBackups();
    // The details of the selected backup, as rich text for the drawer.
    QString selectedBackupDetails() const;

    // The scan.
    void actScanIOSBackupFile();
    // Steps of a scan start before the worker: keeps the record, readies the session, resizes the
    // page and swaps the backup list for the result view.
    void prepareResultView(const PRIOSDeviceNodePtr& node);
    // `unlocked`: the keys of an encrypted backup, unlocked before the scan.
    void ScanIOSBackFile(const std::string& path, std::shared_ptr<const UnlockedBackup> unlocked = nullptr);
    // An encrypted backup is unlocked before its scan, on a worker: the password is asked through
    // Platform's password request (the password sheet), "Unlocking…" shows while the keys are
    // derived, and a wrong password is asked again. Then the scan starts; cancelled, nothing happens.
    bool isUnlocking() const { return unlocking_; }
    UnlockingSheet* unlockingSheet() const { return unlockingSheet_; }
    void showResultView();
    bool isScanRunning() const;
    PRIOSDeviceNodePtr currentNode() const { return currentNode_; }
    bool currentNodeIsiOS6Version() const { return currentNodeIsiOS6Version_; }

    // Switching the page between its two screens.
    void hideMainView();
    void showMainView();
    void showBackupListWindow(); // 849 x 560
    void showResultWindow();     // 850 x 620

    // A finish step that arrives while the application closes shows nothing, and an unlocking under
    // way asks for no password and starts no scan.
    void setClosing();

signals:
    void contentSizeChanged(QSize size);
    // The backup list's selection changed (the drawer shows its details).
    void selectionChanged();
    // The backup folder was chosen anew or listed again.
    void backupRootChanged();
    // A scan has finished: its results are shown.
    void scanFinished();

private:
    void buildMainView();
    void updateRootLine();
    void updateEmptyState(bool refreshed);
    void setContentSize(QSize size);

    RecoverySession& session_;
    QuarrowAppDelegate& shell_;
    std::optional<std::string> commandLineRoot_;
    QString sampleRoot_;
    std::optional<std::string> sessionRoot_;
    PRIOSDeviceController deviceController_;
    QSize contentSize_ = kBackupListSize;
    QWidget* mainView_ = nullptr;
    QTableView* diskTableView_ = nullptr;
    BackupTableModel* backupModel_ = nullptr;
    QPushButton* button_ = nullptr;
    QLabel* rootLine_ = nullptr;
    QLabel* emptyState_ = nullptr;
    QWidget* sampleOffer_ = nullptr;
    PRResultViewController* resultViewController_ = nullptr;

    PRIOSDeviceNodePtr currentNode_;
    bool currentNodeIsiOS6Version_ = false;

    void unlockThenScan(const PRIOSDeviceNodePtr& node);
    void unlockFinished(const PRIOSDeviceNodePtr& node, const UnlockResult& result);
    UnlockingSheet* unlockingSheet_ = nullptr;
    bool unlocking_ = false;
    bool closing_ = false;
    std::thread unlockThread_;
};

} // namespace quarrow::app
