#pragma once

#include <QWidget>

class QPushButton;

namespace quarrow::app {

// The Audiobooks job's page in the main window. The job (importing ebooks and reading them aloud
// into audio files) is not built yet: until it is, the page says so plainly and offers the way back
// to the recovery job. The shell owns the page and shows it when the job switcher asks for it.
class AudiobookPage : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize kSize{849, 560};

    explicit AudiobookPage(QWidget* parent = nullptr);

    QSize contentSize() const { return kSize; }
    QPushButton* backButton() const { return backButton_; }

signals:
    void backToRecoveryRequested();

private:
    QPushButton* backButton_ = nullptr;
};

} // namespace quarrow::app
