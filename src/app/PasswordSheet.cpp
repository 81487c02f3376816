#include "PasswordSheet.h"

#include "AppStyle.h"
#include "QtPlatform.h"

#include "platform/Platform.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <cstring>

namespace quarrow::app {

PasswordSheet::PasswordSheet(const PasswordPrompt& prompt, QWidget* parent) : QDialog(parent) {
    setObjectName("passwordSheet");
    setWindowTitle("Encrypted Backup");
    setWindowModality(Qt::WindowModal);
    setFixedWidth(440);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 18, 22, 18);
    layout->setSpacing(10);
    const QString name =
        QString::fromStdString(prompt.backupName.empty() ? std::string("this device") : prompt.backupName);
    auto* title = textLabel(this, "passwordTitle", "This backup is encrypted", uiFont("Lucida Grande", 13, true));
    layout->addWidget(title);
    auto* info = textLabel(this, "passwordInfo",
                           "Enter the password that protects the backup of \u201c" + name +
                               "\u201d. Quarrow reads it only to unlock this scan and keeps it nowhere.",
                           uiFont("Lucida Grande", 11));
    info->setWordWrap(true);
    layout->addWidget(info);
    field_ = new QLineEdit(this);
    field_->setObjectName("passwordField");
    field_->setEchoMode(QLineEdit::Password);
    field_->setPlaceholderText("Backup password");
    layout->addWidget(field_);
    wrong_ = textLabel(this, "wrongPasswordLabel", "The password is wrong for this backup. Try again.",
                       uiFont("Lucida Grande", 11, true));
    wrong_->setStyleSheet("color: #b3261e;");
    wrong_->setVisible(prompt.afterWrongPassword);
    layout->addWidget(wrong_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton(" Cancel ", this);
    cancel->setObjectName("passwordCancel");
    unlock_ = new QPushButton(" Unlock ", this);
    unlock_->setObjectName("passwordUnlock");
    unlock_->setDefault(true);
    unlock_->setEnabled(false);
    buttons->addWidget(cancel);
    buttons->addWidget(unlock_);
    layout->addLayout(buttons);
    connect(field_, &QLineEdit::textChanged, this,
            [this](const QString& text) { unlock_->setEnabled(!text.isEmpty()); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(unlock_, &QPushButton::clicked, this, &QDialog::accept);
    adjustSize();
}

std::optional<Secret> PasswordSheet::ask() {
    positionAsSheet(this, parentWidget() ? parentWidget()->window() : nullptr);
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    open();
    field_->setFocus();
    loop.exec();
    std::optional<Secret> password;
    QByteArray bytes = field_->text().toUtf8();
    if (result() == QDialog::Accepted && !bytes.isEmpty()) {
        password = Secret(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    // Qt keeps the text in QStrings of its own; what this code holds is cleared.
    std::memset(bytes.data(), 0, static_cast<std::size_t>(bytes.size()));
    field_->clear();
    return password;
}

std::optional<Secret> QtPasswordRequest::requestPassword(const PasswordPrompt& prompt) {
    std::optional<Secret> answer;
    const auto askOnGui = [&] {
        PasswordSheet sheet(prompt, window_);
        answer = sheet.ask();
    };
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        askOnGui();
    } else {
        Platform::current().mainThread().runAndWait(askOnGui);
    }
    return answer;
}

UnlockingSheet::UnlockingSheet(QWidget* parent) : QDialog(parent) {
    setObjectName("unlockingSheet");
    setWindowTitle("Unlocking");
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setFixedSize(420, 100);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 18, 22, 18);
    layout->addWidget(textLabel(this, "unlockingLabel", "Unlocking\u2026", uiFont("Lucida Grande", 12)));
    busy_ = new QProgressBar(this);
    busy_->setObjectName("unlockingBusy");
    busy_->setRange(0, 0); // busy: no end is known
    busy_->setTextVisible(false);
    layout->addWidget(busy_);
}

void UnlockingSheet::showUnlocking() {
    positionAsSheet(this, parentWidget() ? parentWidget()->window() : nullptr);
    open();
}

} // namespace quarrow::app
