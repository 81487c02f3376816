#pragma once

#include <QToolButton>

namespace quarrow::app {

// A button that reports the mouse entering and leaving it through the default notification
// centre: "PRbuttonMouseEntered" and "PRbuttonMouseExited", with the button's object name as the
// object (a widget is not a record, so it travels as its name).
class PRButton : public QToolButton {
    Q_OBJECT
public:
    explicit PRButton(const QString& objectName, QWidget* parent = nullptr);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

inline constexpr const char* kButtonMouseEntered = "PRbuttonMouseEntered";
inline constexpr const char* kButtonMouseExited = "PRbuttonMouseExited";

} // namespace quarrow::app
