#include "ProgressPane.h"

#include "AppStyle.h"
#include "CategoryPane.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>

namespace quarrow::app {

namespace {

constexpr int kWidth = 850;

// The bare captions of the count labels, each ending in two blanks.
const char* const kCountCaptions[] = {"Photo&Video:  ", "Contacts:  ", "Messages:  ", "Notes:  ", "Call History:  "};

QString textOf(const OptText& t) {
    return t ? QString::fromStdString(*t) : QString();
}

} // namespace

ProgressPane::ProgressPane(QWidget* parent) : QWidget(parent) {
    setObjectName("scanproView");
    backgroundImage(this, "progressGorund", QRect(0, 0, kWidth, CategoryPane::kHeight));

    const QString card = "QFrame#%1 { background: white; border: 1px solid #d3dbe5; border-radius: 8px; }";
    auto* info = new QFrame(this);
    info->setObjectName("backupInfoCard");
    info->setStyleSheet(card.arg("backupInfoCard"));
    info->setGeometry(30, 24, 420, 230);
    auto* heading = textLabel(info, "BackUpInfolab", "Backup Information", uiFont("Lucida Grande", 14, true));
    heading->setGeometry(20, 14, 380, 24);
    const char* captions[] = {"Device Name:", "Serial Number:", "Device Type:", "iOS Version:", "Backup Date:"};
    const char* names[] = {"backupNameInfolab", "backupSerialInfolab", "deviceTypeInfolab", "iOSTypeInfolab",
                           "backupDateInfolab"};
    for (int i = 0; i < 5; ++i) {
        auto* caption = textLabel(info, "", captions[i], uiFont("Lucida Grande", 12));
        caption->setGeometry(20, 56 + i * 32, 130, 22);
        QPalette p = caption->palette();
        p.setColor(QPalette::WindowText, kMutedColor);
        caption->setPalette(p);
        backupDetailLabels_[static_cast<std::size_t>(i)] = textLabel(info, names[i], {}, uiFont("Lucida Grande", 12));
        backupDetailLabels_[static_cast<std::size_t>(i)]->setGeometry(150, 56 + i * 32, 255, 22);
    }

    auto* counts = new QFrame(this);
    counts->setObjectName("countCard");
    counts->setStyleSheet(card.arg("countCard"));
    counts->setGeometry(470, 24, 350, 230);
    auto* backuplab = textLabel(counts, "backuplab", "Existing Files", uiFont("Lucida Grande", 14, true));
    backuplab->setGeometry(20, 14, 150, 24);
    auto* deletedlab = textLabel(counts, "deletedlab", "Deleted Files", uiFont("Lucida Grande", 14, true));
    deletedlab->setGeometry(190, 14, 150, 24);
    QPalette red = deletedlab->palette();
    red.setColor(QPalette::WindowText, kAccentColor);
    deletedlab->setPalette(red);
    const char* countNames[] = {"photovideoNumlab", "contactNumlab", "messageNumlab", "noteNumlab", "callNumlab"};
    const char* delNames[] = {"delPhotovideoNumlab", "delContactNumlab", "delMessageNumlab", "delNoteNumlab",
                              "delCallNumlab"};
    for (int i = 0; i < 5; ++i) {
        const auto k = static_cast<std::size_t>(i);
        countLabels_[k] = textLabel(counts, countNames[i], kCountCaptions[i], systemFont(12, true));
        countLabels_[k]->setGeometry(20, 56 + i * 32, 165, 22);
        delCountLabels_[k] = textLabel(counts, delNames[i], kCountCaptions[i], systemFont(12, true));
        delCountLabels_[k]->setGeometry(190, 56 + i * 32, 155, 22);
    }

    scanInfolab_ = textLabel(this, "scanInfolab", {}, uiFont("Lucida Grande", 12));
    scanInfolab_->setGeometry(30, 290, 700, 22);
    scanProgressor_ = new QProgressBar(this);
    scanProgressor_->setObjectName("scanProgressor");
    scanProgressor_->setRange(0, 100);
    scanProgressor_->setTextVisible(false);
    scanProgressor_->setGeometry(30, 322, 720, 18);
    progressTextField_ = textLabel(this, "progressTextField", "1%", uiFont("Lucida Grande", 12, true));
    progressTextField_->setGeometry(764, 318, 60, 24);
}

void ProgressPane::reset(const PRIOSDeviceNodePtr& node, bool notesOnly) {
    scanInfolab_->setText(
        QString("Scanning the backup%1. This can take a few minutes; please wait.").arg(notesOnly ? " for notes" : ""));
    scanProgressor_->setValue(1);
    progressTextField_->setText("1%");
    scanProgressor_->show();
    progressTextField_->show();
    scanInfolab_->show();
    const OptText values[] = {node ? node->strDeviceName() : OptText(), node ? node->strDeviceSerial() : OptText(),
                              node ? node->strDeviceType() : OptText(), node ? node->strIOSVersion() : OptText(),
                              node ? node->strDeviceBackUpTime() : OptText()};
    for (std::size_t i = 0; i < 5; ++i) {
        backupDetailLabels_[i]->setText(textOf(values[i]));
        countLabels_[i]->setText(kCountCaptions[i]);
        delCountLabels_[i]->setText(kCountCaptions[i]);
    }
}

void ProgressPane::applyProgress(long long percent, const QString& text, const CountLabels& labels) {
    scanProgressor_->setValue(static_cast<int>(percent));
    progressTextField_->setText(text);
    const std::string* existing[] = {&labels.photovideoNumlab, &labels.contactNumlab, &labels.messageNumlab,
                                     &labels.noteNumlab, &labels.callNumlab};
    const std::string* deleted[] = {&labels.delPhotovideoNumlab, &labels.delContactNumlab, &labels.delMessageNumlab,
                                    &labels.delNoteNumlab, &labels.delCallNumlab};
    for (std::size_t i = 0; i < 5; ++i) {
        countLabels_[i]->setText(QString::fromStdString(*existing[i]));
        delCountLabels_[i]->setText(QString::fromStdString(*deleted[i]));
    }
}

void ProgressPane::finish() {
    scanProgressor_->setValue(0);
    progressTextField_->setText("0%");
    scanProgressor_->hide();
    progressTextField_->hide();
    scanInfolab_->hide();
}

} // namespace quarrow::app
