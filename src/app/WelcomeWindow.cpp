#include "WelcomeWindow.h"

#include "AppStyle.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarrow::app {

WelcomeWindow::WelcomeWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("leadWindow");
    setWindowTitle("Welcome");
    setFixedSize(480, 330);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 22, 26, 18);
    layout->setSpacing(10);

    auto* welcome = new QLabel("Welcome to Quarrow", this);
    welcome->setObjectName("weclcomeField");
    welcome->setFont(uiFont("Lucida Grande", 14));
    layout->addWidget(welcome);
    auto* tip = new QLabel("Recovering your notes takes three steps:", this);
    tip->setObjectName("tipField");
    tip->setFont(systemFont(13, true));
    layout->addWidget(tip);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    const char* steps[][3] = {
        {"tiponeField", "Step 1", "Back up the device with iTunes, or copy a backup folder to this computer."},
        {"tipTwoField", "Step 2", "Pick the backup in the list and press Start Scan."},
        {"tipThreeField", "Step 3", "Tick the notes you want to keep and press Recover."}};
    const char* valueNames[] = {"tipOneValueField", "tipTwoValueField", "tipThreeValueField"};
    for (int i = 0; i < 3; ++i) {
        auto* step = new QLabel(steps[i][1], this);
        step->setObjectName(steps[i][0]);
        step->setFont(systemFont(12, true));
        auto* value = new QLabel(steps[i][2], this);
        value->setObjectName(valueNames[i]);
        value->setFont(uiFont("Lucida Grande", 12));
        value->setWordWrap(true);
        grid->addWidget(step, i, 0, Qt::AlignTop);
        grid->addWidget(value, i, 1);
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    layout->addStretch(1);

    learnmoreBtn_ = new QPushButton("Learn More...", this);
    learnmoreBtn_->setObjectName("learnmoreBtn");
    learnmoreBtn_->setFont(uiFont("Lucida Grande", 12));
    styleAsLink(learnmoreBtn_, true);
    learnmoreBtn_->setFixedSize(learnmoreBtn_->sizeHint());
    startBtn_ = new QPushButton("Start", this);
    startBtn_->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addWidget(learnmoreBtn_);
    row->addStretch(1);
    row->addWidget(startBtn_);
    layout->addLayout(row);
    connect(startBtn_, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace quarrow::app
