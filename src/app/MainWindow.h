#pragma once

#include <QWidget>

#include <functional>

namespace quarrow::app {

// The main window. Closing asks its owner first; a "no" keeps the window open.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    std::function<bool()> windowShouldClose;

    // Fixed size: minimum = maximum, so the window cannot be resized.
    void setFixedContentSize(const QSize& size);

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace quarrow::app
