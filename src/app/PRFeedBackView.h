#pragma once

#include <QPlainTextEdit>

namespace quarrow::app {

inline constexpr const char* kFeedbackPlaceholder = "Provide any suggestions or problems to us.";
inline constexpr const char* kFeedbackPrompt = "write something.";

// The text view of the feedback window. It starts with a grey placeholder; a click into the
// placeholder (or the prompt) empties it so the user types into a clean view, while a click into
// text the user typed leaves it as typed.
class PRFeedBackView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit PRFeedBackView(QWidget* parent = nullptr);

    void showPlaceholder();
    // The typed text, or empty while the placeholder or the prompt is shown.
    QString typedText() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void clearIfPlaceholder();
};

} // namespace quarrow::app
