#include "AudioConverterPanel.h"

#include "AppStyle.h"
#include "SpeechSettingsPanel.h"
#include "TestReading.h"
#include "audiobook/AudioOutputNames.h"
#include "audiobook/SpeechVoices.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "platform/UserFolders.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarrow::app {

AudioConverterPanel::AudioConverterPanel(ConversionQueue& queue, SpeechEngine& engine, UserDefaults& defaults,
                                         QWidget* parent)
    : QWidget(parent), queue_(queue),
      outputFolder_(audioBookFolder(documentsFolder(Platform::current().host().homeFolder()))) {
    setObjectName("audioConverterPanel");
    setFixedWidth(kWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    settings_ = new SpeechSettingsPanel(engine, defaults, this);
    layout->addWidget(settings_, 1);
    testReading_ = new TestReading(engine, Platform::current().workspace(), this);

    statusBox_ = new QFrame(this);
    statusBox_->setObjectName("conversionStatusBox");
    auto* statusLayout = new QVBoxLayout(statusBox_);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->setSpacing(4);
    status_ = textLabel(statusBox_, "conversionStatuslab", "", uiFont("Lucida Grande", 11));
    status_->setWordWrap(true);
    statusLayout->addWidget(status_);
    auto* barRow = new QHBoxLayout;
    progress_ = new QProgressBar(statusBox_);
    progress_->setObjectName("convertProgressor");
    progress_->setRange(0, 100);
    progress_->setTextVisible(true);
    cancel_ = new QPushButton("Cancel", statusBox_);
    cancel_->setObjectName("cancelConversionBtn");
    barRow->addWidget(progress_, 1);
    barRow->addWidget(cancel_);
    statusLayout->addLayout(barRow);
    statusBox_->hide();
    layout->addWidget(statusBox_);

    convert_ = new QPushButton("Convert to Audio", this);
    convert_->setObjectName("convertToAudioBtn");
    convert_->setFont(uiFont("Lucida Grande", 12, true));
    layout->addWidget(convert_);

    // The converter's buttons report their presses through the notification centre; the page that
    // owns the converter runs the action (AudiobookPage::AudiobuttonMouseDownHandle).
    connect(convert_, &QPushButton::clicked, this,
            [] { NotificationCenter::defaultCenter().post(kAudioButtonMouseDown, std::string(kConvertButton)); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelConversion(); });
    connect(settings_, &SpeechSettingsPanel::testReadingRequested, this,
            [] { NotificationCenter::defaultCenter().post(kAudioButtonMouseDown, std::string(kTestReadingButton)); });
    connect(testReading_, &TestReading::finished, this, [this] { settings_->testReadingBtn()->setEnabled(true); });

    // The queue calls back on the main thread; the panel stops listening when it goes.
    listenerToken_ = queue_.setListener({[this](const ConversionProgress& p) { showProgress(p); },
                                         [this](const PRAudioNodePtr& f) { fileDone(f); },
                                         [this](const ConversionReport& r) { bookDone(r); }, [this] { idle(); }});
}

AudioConverterPanel::~AudioConverterPanel() {
    queue_.clearListener(listenerToken_);
}

bool AudioConverterPanel::bStartConvert() const {
    return queue_.isBusy();
}

void AudioConverterPanel::alert(const std::string& text) {
    Platform::current().alerts().runModal({text, "", {" Ok "}});
}

void AudioConverterPanel::CovertToAudioFile() {
    const auto books = selection_ ? selection_() : std::vector<PRBookNodePtr>{};
    if (books.empty()) {
        alert(kSelectBookAlertText);
        return;
    }
    convertBooks(books);
}

void AudioConverterPanel::convertBooks(const std::vector<PRBookNodePtr>& books) {
    const SpeechSettings speech = settings_->speechSettings();
    if (speech.voice.empty()) {
        alert(settings_->voiceProblem());
        return;
    }
    UserDefaults& defaults = Platform::current().defaults();
    for (const PRBookNodePtr& book : books) {
        const std::string type = book ? book->fileType().value_or("") : "";
        if (type != "pdf" && type != "epub" && type != "html" && type != "txt" && type != "rtf") {
            alert("The formation of the book is " + type +
                  " and it can't be converted. Support formats: pdf, epub, html, txt, rtf.");
            break;
        }
        queue_.enqueue({book, speech, preferredMode(defaults, type), outputFolder_});
    }
    if (queue_.isBusy()) {
        status_->setText("Starting…");
        progress_->setValue(0);
        statusBox_->show();
    }
}

void AudioConverterPanel::cancelConversion() {
    queue_.cancel();
    status_->setText("Cancelling…");
}

void AudioConverterPanel::testReading() {
    const auto sentence = testSentence(settings_->languageLabel().toStdString());
    const SpeechSettings speech = settings_->speechSettings();
    if (!sentence || speech.voice.empty()) {
        return; // a language without a sentence speaks nothing
    }
    if (testReading_->read(*sentence, speech)) {
        settings_->testReadingBtn()->setEnabled(false);
    }
}

void AudioConverterPanel::showProgress(const ConversionProgress& p) {
    statusBox_->show();
    QString text = QString::fromStdString(p.fileName);
    if (p.parts > 1) {
        text += QString(" (%1 of %2)").arg(p.part).arg(p.parts);
    }
    if (p.waiting > 0) {
        text += QString(", %1 more book%2 waiting").arg(p.waiting).arg(p.waiting == 1 ? "" : "s");
    }
    status_->setText(text);
    progress_->setValue(p.percent);
}

void AudioConverterPanel::fileDone(const PRAudioNodePtr& file) {
    audioArray_.push_back(file);
    emit audioFileAdded(file);
}

void AudioConverterPanel::bookDone(const ConversionReport& report) {
    if (report.outcome == ConversionOutcome::Done) {
        if (!report.files.empty()) {
            Platform::current().workspace().revealFile(report.files.back()->audioPath().value_or(""));
        }
        return;
    }
    if (report.outcome != ConversionOutcome::Cancelled) {
        alert(conversionAlertText(report));
    }
}

void AudioConverterPanel::idle() {
    progress_->setValue(0);
    statusBox_->hide();
    // Once ever, after the first files: where their conversions are.
    UserDefaults& defaults = Platform::current().defaults();
    if (!audioArray_.empty() && defaults.stringForKey(kFirstConversionTipKey).value_or("") != "YES") {
        defaults.setString(kFirstConversionTipKey, "YES");
        Platform::current().alerts().runModal({"Convert Aiff to Mp3 and M4b.",
                                               "Right Click on the output aiff file(s) to convert them to mp3 audio or "
                                               "m4b audiobook file format.",
                                               {" Ok "}});
    }
    emit conversionIdle();
}

} // namespace quarrow::app
