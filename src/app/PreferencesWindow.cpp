#include "PreferencesWindow.h"

#include "AppStyle.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarrow::app {

PreferencesWindow::PreferencesWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("prefernceWindow");
    setWindowTitle("Preferences");
    setFixedSize(520, 260);
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

    converterArea_ = new QVBoxLayout;
    layout->addLayout(converterArea_);
    layout->addStretch(1);

    connect(choose_, &QPushButton::clicked, this, &PreferencesWindow::chooseBackupFolder);
    connect(useDefault_, &QPushButton::clicked, this, &PreferencesWindow::useDefaultBackupFolder);
}

void PreferencesWindow::setBackupFolder(const QString& path, const QString& source) {
    folder_->setText(path);
    source_->setText(source);
}

} // namespace quarrow::app
