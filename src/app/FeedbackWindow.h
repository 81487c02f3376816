#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quarrow::app {

class PRFeedBackView;

// The feedback window of the result view. "Send" hands the text to the user's mail client; it
// never claims to have sent anything itself.
class FeedbackWindow : public QDialog {
    Q_OBJECT
public:
    explicit FeedbackWindow(QWidget* parent = nullptr);

    PRFeedBackView* feedbackView() const { return feedbackView_; }
    QLineEdit* feedbackEmailVaule() const { return feedbackEmailVaule_; }
    QPushButton* sendButton() const { return send_; }
    QPushButton* dontSendButton() const { return dontSend_; }
    // Shows a line under the text (why the text was not handed on, for example).
    void setStatus(const QString& text);

signals:
    void sendRequested();
    void dontSendRequested();

private:
    PRFeedBackView* feedbackView_;
    QLineEdit* feedbackEmailVaule_;
    QLabel* status_;
    QPushButton* send_;
    QPushButton* dontSend_;
};

} // namespace quarrow::app
