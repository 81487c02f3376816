#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QProgressBar;
class QTimer;

namespace quarrow {
class ExportRun;
class RecoverySession;
} // namespace quarrow

namespace quarrow::app {

// The export's progress sheet: a modal sheet over the window while the session's export writes on
// its worker, its bar moved by a one-second timer. It closes itself when the export's finish step
// runs, shows the failures if there were any, and lets the session release the run afterwards.
class ExportSheet : public QDialog {
    Q_OBJECT
public:
    ExportSheet(RecoverySession& session, QWidget* parent);

    // Starts an export of the ticked records into the folder and opens the sheet. Answers false
    // when an export is already running.
    bool start(const std::string& exportFolder);
    bool isExporting() const;

signals:
    // The export has finished and the sheet is closed.
    void exportFinished();

private:
    void IphonerecoveryTimer_hander();
    void saveProgressorHanderToMainThreadHandle(ExportRun& run);

    RecoverySession& session_;
    QProgressBar* saveProgressor_ = nullptr;
    QLabel* savepercentlab_ = nullptr;
    QTimer* recoverTimer_ = nullptr;
};

} // namespace quarrow::app
