#pragma once

#include "audiobook/ConversionQueue.h"
#include "audiobook/PRAudioNode.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quarrow {
class UserDefaults;
class Workspace;
class AlertPresenter;
} // namespace quarrow

namespace quarrow::app {

// A press of one of the converter's buttons: posted with the button's name as the object.
inline const char* const kAudioButtonMouseDown = "AudiobuttonMouseDown";
inline const char* const kImportBookButton = "importBookBtn";
inline const char* const kTestReadingButton = "testReadingBtn";
inline const char* const kConvertButton = "convertBtn";

// "YES" once the tip about converting the spoken files has been shown.
inline const char* const kFirstConversionTipKey = "FirstStartData1";

class SpeechSettingsPanel;
class TestReading;

// The converter's side of the Audiobooks page: the speech settings, the Convert button, and while
// books are spoken the progress of the current file with a Cancel button. Books go to the process's
// conversion queue and are spoken one after another on its worker; the page stays responsive, and
// progress comes back through the main thread. Every finished file is kept in audioArray() and
// announced with audioFileAdded() (the audio list listens there).
class AudioConverterPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 270;

    AudioConverterPanel(ConversionQueue& queue, SpeechEngine& engine, UserDefaults& defaults,
                        QWidget* parent = nullptr);
    ~AudioConverterPanel() override;

    // Where the books to convert come from: the grid's selected books.
    void setBookSelection(std::function<std::vector<PRBookNodePtr>()> selection) { selection_ = std::move(selection); }
    // The folder the "AudioBook" output goes under; the user's Documents folder by default.
    void setOutputFolder(std::string folder) { outputFolder_ = std::move(folder); }
    const std::string& outputFolder() const { return outputFolder_; }

    // The Convert button: the selected books, queued with the current settings.
    void CovertToAudioFile();
    // Queues the books in order. A book of a kind that cannot be spoken stops the list there (with
    // the type alert); a language the engine cannot speak queues nothing.
    void convertBooks(const std::vector<PRBookNodePtr>& books);
    void cancelConversion();
    void testReading();

    bool bStartConvert() const;
    const std::vector<PRAudioNodePtr>& audioArray() const { return audioArray_; }

    SpeechSettingsPanel* settings() const { return settings_; }
    TestReading* testReader() const { return testReading_; }
    QProgressBar* convertProgressor() const { return progress_; }
    QPushButton* convertButton() const { return convert_; }
    QPushButton* cancelButton() const { return cancel_; }
    QLabel* statusLabel() const { return status_; }

signals:
    void audioFileAdded(const quarrow::PRAudioNodePtr& file);
    void conversionIdle();

private:
    void showProgress(const ConversionProgress& progress);
    void fileDone(const PRAudioNodePtr& file);
    void bookDone(const ConversionReport& report);
    void idle();
    void alert(const std::string& text);

    ConversionQueue& queue_;
    std::uint64_t listenerToken_ = 0;
    std::function<std::vector<PRBookNodePtr>()> selection_;
    std::string outputFolder_;
    std::vector<PRAudioNodePtr> audioArray_;
    SpeechSettingsPanel* settings_ = nullptr;
    TestReading* testReading_ = nullptr;
    QWidget* statusBox_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* convert_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace quarrow::app
