#include "PRFeedBackView.h"

#include "AppStyle.h"

#include <QFocusEvent>

namespace quarrow::app {

namespace {
bool isPlaceholder(const QString& text) {
    return text == QLatin1String(kFeedbackPlaceholder) || text == QLatin1String(kFeedbackPrompt);
}
} // namespace

PRFeedBackView::PRFeedBackView(QWidget* parent) : QPlainTextEdit(parent) {
    setFont(systemFont(13));
    showPlaceholder();
}

void PRFeedBackView::showPlaceholder() {
    QPalette p = palette();
    p.setColor(QPalette::Text, Qt::gray);
    setPalette(p);
    setPlainText(QString::fromLatin1(kFeedbackPlaceholder));
}

QString PRFeedBackView::typedText() const {
    const QString text = toPlainText();
    return isPlaceholder(text) ? QString() : text;
}

void PRFeedBackView::clearIfPlaceholder() {
    if (!isPlaceholder(toPlainText())) {
        return;
    }
    clear();
    setFont(systemFont(13));
    QPalette p = palette();
    p.setColor(QPalette::Text, Qt::black);
    setPalette(p);
}

void PRFeedBackView::mousePressEvent(QMouseEvent* event) {
    clearIfPlaceholder();
    QPlainTextEdit::mousePressEvent(event);
}

// Tabbing into the view behaves like clicking into it, so typed text never lands behind the
// placeholder; the focus a window gives on opening leaves the placeholder in view.
void PRFeedBackView::focusInEvent(QFocusEvent* event) {
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) {
        clearIfPlaceholder();
    }
    QPlainTextEdit::focusInEvent(event);
}

} // namespace quarrow::app
