#pragma once

#include <QDialog>

class QPushButton;

namespace quarrow::app {

// The welcome window with the usage tips and a link to the resource page.
class WelcomeWindow : public QDialog {
    Q_OBJECT
public:
    explicit WelcomeWindow(QWidget* parent = nullptr);
    QPushButton* learnmoreBtn() const { return learnmoreBtn_; }
    QPushButton* startBtn() const { return startBtn_; }

private:
    QPushButton* learnmoreBtn_;
    QPushButton* startBtn_;
};

} // namespace quarrow::app
