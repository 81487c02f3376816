#include "ExportSheet.h"

#include "AppStyle.h"
#include "QtPlatform.h"

#include "platform/Alerts.h"
#include "platform/Platform.h"
#include "results/RecoverySession.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace quarrow::app {

ExportSheet::ExportSheet(RecoverySession& session, QWidget* parent) : QDialog(parent), session_(session) {
    setObjectName("saveWindow");
    setWindowTitle("Recovering");
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setFixedSize(420, 120);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 18, 22, 18);
    layout->addWidget(textLabel(this, "saveInfolab", "Saving the ticked records\u2026", uiFont("Lucida Grande", 12)));
    auto* row = new QHBoxLayout;
    saveProgressor_ = new QProgressBar(this);
    saveProgressor_->setObjectName("saveProgressor");
    saveProgressor_->setRange(0, 100);
    saveProgressor_->setTextVisible(false);
    savepercentlab_ = textLabel(this, "savepercentlab", "0%", uiFont("Lucida Grande", 12, true));
    savepercentlab_->setFixedWidth(48);
    row->addWidget(saveProgressor_, 1);
    row->addWidget(savepercentlab_);
    layout->addLayout(row);
    recoverTimer_ = new QTimer(this);
    recoverTimer_->setInterval(1000);
    connect(recoverTimer_, &QTimer::timeout, this, &ExportSheet::IphonerecoveryTimer_hander);
}

bool ExportSheet::isExporting() const {
    return session_.isExporting();
}

bool ExportSheet::start(const std::string& exportFolder) {
    ExportRun* run = session_.newExport(exportFolder);
    if (!run) {
        return false;
    }
    session_.collection().counters().recovredFilesNum = 0;
    saveProgressor_->setValue(0);
    savepercentlab_->setText("0%");
    run->onFinish = [this](ExportRun& finished) { saveProgressorHanderToMainThreadHandle(finished); };
    positionAsSheet(this, parentWidget() ? parentWidget()->window() : nullptr);
    open();
    recoverTimer_->start();
    run->start();
    return true;
}

void ExportSheet::IphonerecoveryTimer_hander() {
    if (ExportRun* run = session_.exportRun()) {
        const int percent = run->progressPercent();
        saveProgressor_->setValue(percent);
        savepercentlab_->setText(QString::number(percent) + "%");
    }
}

void ExportSheet::saveProgressorHanderToMainThreadHandle(ExportRun& run) {
    recoverTimer_->stop();
    close();
    saveProgressor_->setValue(0);
    savepercentlab_->setText("0%");
    const auto failures = run.failures();
    // The run waits for this step on its worker; it is released once the worker has returned.
    QTimer::singleShot(0, this, [this] {
        session_.releaseExport();
        emit exportFinished();
    });
    if (!failures.empty()) {
        Platform::current().alerts().runModal(exportFailureAlert(failures));
    }
}

} // namespace quarrow::app
