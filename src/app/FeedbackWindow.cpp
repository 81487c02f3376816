#include "FeedbackWindow.h"

#include "AppStyle.h"
#include "PRFeedBackView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarrow::app {

FeedbackWindow::FeedbackWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("feedbackWindow");
    setWindowTitle("Feedback");
    setFixedSize(460, 380);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 18, 22, 16);
    layout->setSpacing(8);

    auto* thanks = new QLabel("Thank you for helping us improve Quarrow!", this);
    thanks->setFont(uiFont("Lucida Grande", 16));
    thanks->setWordWrap(true);
    layout->addWidget(thanks);

    auto* prompt = new QLabel("Your suggestion or problem:", this);
    prompt->setFont(uiFont("Lucida Grande", 12));
    layout->addWidget(prompt);

    feedbackView_ = new PRFeedBackView(this);
    feedbackView_->setObjectName("feedbackView");
    layout->addWidget(feedbackView_, 1);

    auto* emailCaption = new QLabel("Your e-mail address (optional, for a reply):", this);
    emailCaption->setFont(uiFont("Lucida Grande", 12));
    layout->addWidget(emailCaption);
    feedbackEmailVaule_ = new QLineEdit(this);
    feedbackEmailVaule_->setObjectName("feedbackEmailVaule");
    layout->addWidget(feedbackEmailVaule_);

    status_ = new QLabel(this);
    status_->setObjectName("feedbackStatus");
    status_->setWordWrap(true);
    status_->setFont(uiFont("Lucida Grande", 11));
    status_->setText("Send opens your mail program with this text; you send it from there.");
    QPalette p = status_->palette();
    p.setColor(QPalette::WindowText, kMutedColor);
    status_->setPalette(p);
    layout->addWidget(status_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    dontSend_ = new QPushButton("Don't Send", this);
    dontSend_->setObjectName("dontSendFeedBackBtn");
    send_ = new QPushButton("Send\u2026", this);
    send_->setObjectName("sendFeedBackBtn");
    send_->setDefault(true);
    buttons->addWidget(dontSend_);
    buttons->addWidget(send_);
    layout->addLayout(buttons);

    connect(send_, &QPushButton::clicked, this, &FeedbackWindow::sendRequested);
    connect(dontSend_, &QPushButton::clicked, this, &FeedbackWindow::dontSendRequested);
}

void FeedbackWindow::setStatus(const QString& text) {
    status_->setText(text);
}

} // namespace quarrow::app
