#include "PreferencesWindow.h"

#include "AppStyle.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quarrow::app {

PreferencesWindow::PreferencesWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("prefernceWindow");
    setWindowTitle("Preferences");
    setFixedSize(520, 380);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 18);

    auto* group = new QGroupBox("Backup folder", this);
    group->setFont(uiFont("Lucida Grande", 12, true));
    auto* g = new QVBoxLayout(group);
    folder_ = new QLabel(group);
    folder_->setObjectName("backupFolderValue");
    folder_->setFont(uiFont("Lucida Grande", 12));
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folder_->setWordWrap(true);
    source_ = new QLabel(group);
    source_->setFont(uiFont("Lucida Grande", 11));
    QPalette p = source_->palette();
    p.setColor(QPalette::WindowText, kMutedColor);
    source_->setPalette(p);
    auto* hint = new QLabel("The backup list looks for device backups in this folder. Backups copied from "
                            "another computer can live anywhere.",
                            group);
    hint->setFont(uiFont("Lucida Grande", 11));
    hint->setWordWrap(true);
    g->addWidget(folder_);
    g->addWidget(source_);
    g->addWidget(hint);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    useDefault_ = new QPushButton("Use Default", group);
    choose_ = new QPushButton("Choose\u2026", group);
    for (QPushButton* b : {useDefault_, choose_}) {
        b->setFont(uiFont("Lucida Grande", 11));
        buttons->addWidget(b);
    }
    g->addLayout(buttons);
    layout->addWidget(group);

    auto* scan = new QGroupBox("Scan", this);
    scan->setFont(uiFont("Lucida Grande", 12, true));
    auto* s = new QVBoxLayout(scan);
    everyCategory_ = new QCheckBox("Scan every category", scan);
    everyCategory_->setObjectName("scanEveryCategory");
    everyCategory_->setFont(uiFont("Lucida Grande", 12));
    auto* scanHint = new QLabel("Besides the notes, a scan also reads the contacts, messages, call history, photos "
                                "and videos. Off, it reads the notes alone, which is quicker.",
                                scan);
    scanHint->setFont(uiFont("Lucida Grande", 11));
    scanHint->setWordWrap(true);
    scanHint->setPalette(p);
    s->addWidget(everyCategory_);
    s->addWidget(scanHint);
    layout->addWidget(scan);
    connect(everyCategory_, &QCheckBox::toggled, this, &PreferencesWindow::scanEveryCategoryChanged);

    converterArea_ = new QVBoxLayout;
    layout->addLayout(converterArea_);
    layout->addStretch(1);

    connect(choose_, &QPushButton::clicked, this, &PreferencesWindow::chooseBackupFolder);
    connect(useDefault_, &QPushButton::clicked, this, &PreferencesWindow::useDefaultBackupFolder);
}

void PreferencesWindow::setScanEveryCategory(bool on) {
    const QSignalBlocker quiet(everyCategory_);
    everyCategory_->setChecked(on);
}

void PreferencesWindow::setBackupFolder(const QString& path, const QString& source) {
    folder_->setText(path);
    source_->setText(source);
}

} // namespace quarrow::app
