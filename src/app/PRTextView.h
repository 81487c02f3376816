#pragma once

#include <QPlainTextEdit>

namespace quarrow::app {

// Shows a long text that can be scrolled but neither selected, edited nor given a context menu:
// clicks and key presses are ignored.
class PRTextView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit PRTextView(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace quarrow::app
