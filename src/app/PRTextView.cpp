#include "PRTextView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace quarrow::app {

PRTextView::PRTextView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setContextMenuPolicy(Qt::NoContextMenu);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setCursor(Qt::ArrowCursor);
}

void PRTextView::mousePressEvent(QMouseEvent* event) {
    event->accept();
}
void PRTextView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
void PRTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}
void PRTextView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}
void PRTextView::keyPressEvent(QKeyEvent* event) {
    event->accept();
}
void PRTextView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

} // namespace quarrow::app
