#pragma once

#include "platform/PasswordRequest.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace quarrow::app {

// The sheet that asks for an encrypted backup's password: which backup, a hidden entry field, and
// after a wrong password a line that says so. The typed text is taken out of the field and the field
// emptied as soon as the sheet closes.
class PasswordSheet : public QDialog {
    Q_OBJECT
public:
    PasswordSheet(const PasswordPrompt& prompt, QWidget* parent);

    // Opens the sheet and waits (serving events) until it is answered; the password, or nothing
    // when cancelled.
    std::optional<Secret> ask();

    QLineEdit* passwordField() const { return field_; }
    QLabel* wrongPasswordLabel() const { return wrong_; }
    QPushButton* unlockButton() const { return unlock_; }

private:
    QLineEdit* field_ = nullptr;
    QLabel* wrong_ = nullptr;
    QPushButton* unlock_ = nullptr;
};

// The password request of the desktop: a PasswordSheet over the main window. Safe to call from any
// thread (the scan's unlocking runs on a worker): the sheet is shown on the GUI thread, and the
// caller waits.
class QtPasswordRequest : public PasswordRequest {
public:
    void setWindow(QWidget* window) { window_ = window; }
    std::optional<Secret> requestPassword(const PasswordPrompt& prompt) override;

private:
    QPointer<QWidget> window_;
};

// "Unlocking…" with a busy bar, over the window while the keys of an encrypted backup are derived
// (seconds with a device's iteration counts). It has no buttons; whoever opened it closes it.
class UnlockingSheet : public QDialog {
    Q_OBJECT
public:
    explicit UnlockingSheet(QWidget* parent);
    // Opens the sheet over the parent's window.
    void showUnlocking();

private:
    QProgressBar* busy_ = nullptr;
};

} // namespace quarrow::app
