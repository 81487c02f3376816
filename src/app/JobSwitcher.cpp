#include "JobSwitcher.h"

#include "AppStyle.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

namespace quarrow::app {

JobSwitcher::JobSwitcher(QWidget* parent) : QWidget(parent) {
    setObjectName("jobSwitcher");
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(
        QStringLiteral("QWidget#jobSwitcher { background: #e9eef4; border-bottom: 1px solid #c5cfda; }"
                       "QPushButton { border: 1px solid #b8c4d2; background: #f7f9fc; color: %1; padding: 3px 16px; }"
                       "QPushButton:checked { background: %2; border-color: %2; color: white; }"
                       "QPushButton:hover:!checked { background: white; }"
                       "QPushButton#recoveryJobBtn { border-top-left-radius: 5px; border-bottom-left-radius: 5px; }"
                       "QPushButton#audiobookJobBtn { border-top-right-radius: 5px; border-bottom-right-radius: 5px;"
                       " border-left: none; }")
            .arg(kInkColor.name(), kLinkColor.name()));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 5, 14, 5);
    layout->setSpacing(0);
    group_ = new QButtonGroup(this);
    group_->setExclusive(true);
    const std::pair<Job, std::pair<const char*, const char*>> jobs[] = {
        {Job::Recovery, {"recoveryJobBtn", "Recovery"}}, {Job::Audiobooks, {"audiobookJobBtn", "Audiobooks"}}};
    for (const auto& [job, names] : jobs) {
        auto* button = new QPushButton(names.second, this);
        button->setObjectName(names.first);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::TabFocus);
        button->setFont(uiFont("Lucida Grande", 12, true));
        button->setCursor(Qt::PointingHandCursor);
        group_->addButton(button, static_cast<int>(job));
        layout->addWidget(button);
    }
    layout->addStretch(1);
    group_->button(static_cast<int>(Job::Recovery))->setChecked(true);
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) {
        current_ = static_cast<Job>(id);
        emit jobChosen(current_);
    });
}

void JobSwitcher::setCurrentJob(Job job) {
    current_ = job;
    group_->button(static_cast<int>(job))->setChecked(true);
}

QAbstractButton* JobSwitcher::buttonFor(Job job) const {
    return group_->button(static_cast<int>(job));
}

} // namespace quarrow::app
