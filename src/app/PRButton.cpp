#include "PRButton.h"

#include "platform/NotificationCenter.h"

namespace quarrow::app {

PRButton::PRButton(const QString& objectName, QWidget* parent) : QToolButton(parent) {
    setObjectName(objectName);
}

void PRButton::enterEvent(QEnterEvent* event) {
    QToolButton::enterEvent(event);
    NotificationCenter::defaultCenter().post(kButtonMouseEntered, objectName().toStdString());
}

void PRButton::leaveEvent(QEvent* event) {
    QToolButton::leaveEvent(event);
    NotificationCenter::defaultCenter().post(kButtonMouseExited, objectName().toStdString());
}

} // namespace quarrow::app
