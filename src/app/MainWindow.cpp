#include "MainWindow.h"

#include <QCloseEvent>

namespace quarrow::app {

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("window");
}

void MainWindow::setFixedContentSize(const QSize& size) {
    setMinimumSize(size);
    setMaximumSize(size);
    resize(size);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (windowShouldClose && !windowShouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace quarrow::app
