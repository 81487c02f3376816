#include "AudiobookPage.h"

#include "AppStyle.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarrow::app {

AudiobookPage::AudiobookPage(QWidget* parent) : QWidget(parent) {
    setObjectName("audiobookPage");
    setFixedSize(kSize);

    // The header band, as on the backup list.
    auto* header = new QLabel(this);
    header->setGeometry(0, 0, kSize.width(), 96);
    header->setPixmap(imageNamed("header", header->size(), devicePixelRatioF()));
    header->setScaledContents(true);
    auto* title = textLabel(this, "audiobookTitlelab", "Audiobooks", uiFont("Lucida Grande", 26, true));
    title->setGeometry(24, 18, 500, 34);
    auto* subtitle =
        textLabel(this, "audiobookSubtitlelab", "Turn ebooks into spoken audio files", uiFont("Lucida Grande", 13));
    subtitle->setGeometry(25, 54, 560, 22);
    for (QLabel* l : {title, subtitle}) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, Qt::white);
        l->setPalette(p);
    }

    auto* card = new QFrame(this);
    card->setObjectName("comingCard");
    card->setStyleSheet("QFrame#comingCard { background: white; border: 1px solid #d3dbe5; border-radius: 8px; }");
    card->setGeometry(124, 150, 600, 270);
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(32, 28, 32, 26);
    layout->setSpacing(12);
    auto* heading = textLabel(card, "comingHeadinglab", "Coming in a later version", uiFont("Lucida Grande", 18, true));
    layout->addWidget(heading);
    auto* text = textLabel(card, "comingTextlab",
                           "This part of Quarrow will import ebooks (ePub, PDF, HTML, plain text and RTF) and read "
                           "them aloud into audio files, a chapter or a page at a time, with the voice, rate and "
                           "volume you choose.\n\n"
                           "It is being built and does nothing yet. Recovering notes from your device backups "
                           "works today.",
                           uiFont("Lucida Grande", 13));
    text->setWordWrap(true);
    QPalette muted = text->palette();
    muted.setColor(QPalette::WindowText, kInkColor);
    text->setPalette(muted);
    layout->addWidget(text, 1);
    backButton_ = new QPushButton("Back to Recovery", card);
    backButton_->setObjectName("backToRecoveryBtn");
    backButton_->setFont(uiFont("Lucida Grande", 12, true));
    backButton_->setMinimumWidth(170);
    layout->addWidget(backButton_, 0, Qt::AlignLeft);
    connect(backButton_, &QPushButton::clicked, this, &AudiobookPage::backToRecoveryRequested);
}

} // namespace quarrow::app
