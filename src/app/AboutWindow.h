#pragma once

#include <QDialog>

class QPushButton;

namespace quarrow::app {

// The about window: product name, version, what it does, its licence, and links to the home and
// support pages.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);
    QPushButton* supportBtn() const { return supportBtn_; }
    QPushButton* homeBtn() const { return homeBtn_; }

private:
    QPushButton* supportBtn_;
    QPushButton* homeBtn_;
};

} // namespace quarrow::app
