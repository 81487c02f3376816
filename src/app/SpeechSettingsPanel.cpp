#include "SpeechSettingsPanel.h"

#include "AppStyle.h"
#include "audiobook/ConversionQueue.h"
#include "audiobook/SpeechSliders.h"
#include "audiobook/SpeechVoices.h"
#include "platform/UserDefaults.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace quarrow::app {

namespace {

QLabel* heading(QWidget* parent, const char* name, const QString& text) {
    auto* label = textLabel(parent, name, text, uiFont("Lucida Grande", 12, true));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, kInkColor);
    label->setPalette(p);
    return label;
}

} // namespace

SpeechSettingsPanel::SpeechSettingsPanel(SpeechEngine& engine, UserDefaults& defaults, QWidget* parent)
    : QWidget(parent), engine_(engine), defaults_(defaults), installed_(engine.voices()) {
    setObjectName("speechSettingsPanel");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    layout->addWidget(heading(this, "voiceHeadinglab", "Voice"));
    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setHorizontalSpacing(8);
    form->setVerticalSpacing(5);
    language_ = new QComboBox(this);
    language_->setObjectName("audioLanguageBtn");
    for (const SpeechLanguage& l : speechLanguages()) {
        language_->addItem(QString::fromStdString(l.label));
    }
    gender_ = new QComboBox(this);
    gender_->setObjectName("audioMaleBtn");
    gender_->addItems({"All", "Male", "Female", "Neuter"});
    voice_ = new QComboBox(this);
    voice_->setObjectName("audioPersonNameBtn");
    voice_->addItem(kSystemVoice);
    for (const std::string& title : startupVoiceList()) {
        voice_->addItem(QString::fromStdString(title));
    }
    // Narrow popups, so the labels keep their room; the open list shows the whole names.
    for (QComboBox* box : {language_, gender_, voice_}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(10);
    }
    form->addRow("Language", language_);
    form->addRow("Gender", gender_);
    form->addRow("Voice", voice_);

    rate_ = new QSlider(Qt::Horizontal, this);
    rate_->setObjectName("audioSpeedBtn");
    rate_->setRange(0, kRateSliderMaximum);
    rate_->setValue(kRateSliderMaximum / 2);
    rateValue_ = new QLabel(this);
    rateValue_->setObjectName("rateValuelab");
    rateValue_->setMinimumWidth(64);
    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(rate_, 1);
    rateRow->addWidget(rateValue_);
    form->addRow("Rate", rateRow);
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setObjectName("audioVolmeBtn");
    volume_->setRange(0, kVolumeSliderMaximum);
    volume_->setValue(kVolumeSliderMaximum);
    form->addRow("Volume", volume_);
    layout->addLayout(form);

    problem_ = textLabel(this, "voiceProblemlab", "", uiFont("Lucida Grande", 11));
    problem_->setWordWrap(true);
    QPalette warn = problem_->palette();
    warn.setColor(QPalette::WindowText, kAccentColor);
    problem_->setPalette(warn);
    problem_->hide();
    layout->addWidget(problem_);

    test_ = new QPushButton("Test Reading", this);
    test_->setObjectName("testReadingBtn");
    layout->addWidget(test_, 0, Qt::AlignLeft);

    layout->addSpacing(6);
    layout->addWidget(heading(this, "filesHeadinglab", "Audio files"));
    const auto radios = [this, layout](const char* name, const QString& first, const QString& second) {
        auto* group = new QButtonGroup(this);
        group->setObjectName(name);
        auto* a = new QRadioButton(first, this);
        auto* b = new QRadioButton(second, this);
        a->setObjectName(QString(name) + "Row0");
        b->setObjectName(QString(name) + "Row1");
        group->addButton(a, 0);
        group->addButton(b, 1);
        layout->addWidget(a);
        layout->addWidget(b);
        return group;
    };
    pdfMatrix_ = radios("pdfMatrix", "PDF: one file per page", "PDF: one file for the whole book");
    epubMatrix_ = radios("epubMatrix", "ePub: one file per chapter", "ePub: one file for the whole book");
    layout->addStretch(1);

    // The stored choices, settled as at every start.
    settleConversionPreferences(defaults_);
    pdfMatrix_->button(defaults_.stringForKey(kPdfWholePageKey) == "YES" ? 1 : 0)->setChecked(true);
    epubMatrix_->button(defaults_.stringForKey(kEpubPerPageKey) == "NO" ? 1 : 0)->setChecked(true);

    language_->setCurrentText(kDefaultLanguage);
    ChangeLanguage();

    connect(language_, &QComboBox::currentIndexChanged, this, [this] { ChangeLanguage(); });
    connect(gender_, &QComboBox::activated, this, [this] { Changemale(); });
    connect(voice_, &QComboBox::currentIndexChanged, this, [this] { ChangeName(); });
    connect(rate_, &QSlider::valueChanged, this, [this] {
        rateValue_->setText(QString("%1 wpm").arg(engineRate(rateForSlider(rate_->value(), rate_->maximum()))));
        emit settingsChanged();
    });
    connect(volume_, &QSlider::valueChanged, this, &SpeechSettingsPanel::settingsChanged);
    connect(test_, &QPushButton::clicked, this, &SpeechSettingsPanel::testReadingRequested);
    connect(pdfMatrix_, &QButtonGroup::idClicked, this, [this] { ChangePDFSettings(); });
    connect(epubMatrix_, &QButtonGroup::idClicked, this, [this] { ChangeEpubSettings(); });
    rateValue_->setText(QString("%1 wpm").arg(engineRate(rateForSlider(rate_->value(), rate_->maximum()))));
}

QRadioButton* SpeechSettingsPanel::pdfRow(int row) const {
    return qobject_cast<QRadioButton*>(pdfMatrix_->button(row));
}

QRadioButton* SpeechSettingsPanel::epubRow(int row) const {
    return qobject_cast<QRadioButton*>(epubMatrix_->button(row));
}

void SpeechSettingsPanel::fillVoices(const std::vector<std::string>& titles, const std::string& selected) {
    const QSignalBlocker block(voice_);
    voice_->clear();
    for (const std::string& title : titles) {
        voice_->addItem(QString::fromStdString(title));
    }
    voice_->setCurrentText(QString::fromStdString(selected));
}

void SpeechSettingsPanel::ChangeLanguage() {
    const LanguageChoice choice = chooseLanguage(language_->currentText().toStdString(), installed_);
    if (!choice.voices.empty()) {
        fillVoices(choice.voices, choice.selectedVoice);
        const QSignalBlocker block(gender_);
        gender_->clear();
        for (const std::string& g : choice.genders) {
            gender_->addItem(QString::fromStdString(g));
        }
    }
    ChangeName();
}

void SpeechSettingsPanel::Changemale() {
    // Only the list changes; the voice is applied when one is picked.
    if (const auto list = genderVoiceList(gender_->currentText().toStdString())) {
        std::vector<std::string> titles{kSystemVoice};
        titles.insert(titles.end(), list->begin(), list->end());
        fillVoices(titles, kSystemVoice);
    }
}

void SpeechSettingsPanel::ChangeName() {
    const std::string problem = voiceProblem();
    problem_->setText(QString::fromStdString(problem));
    problem_->setVisible(!problem.empty());
    test_->setEnabled(problem.empty());
    emit settingsChanged();
}

void SpeechSettingsPanel::ChangePDFSettings() {
    defaults_.setString(kPdfWholePageKey, pdfMatrix_->checkedId() == 0 ? "NO" : "YES");
}

void SpeechSettingsPanel::ChangeEpubSettings() {
    defaults_.setString(kEpubPerPageKey, epubMatrix_->checkedId() == 0 ? "YES" : "NO");
}

QString SpeechSettingsPanel::languageLabel() const {
    return language_->currentText();
}

SpeechSettings SpeechSettingsPanel::speechSettings() const {
    const SpeechLanguage* language = speechLanguageNamed(language_->currentText().toStdString());
    SpeechSettings settings;
    settings.voice = language == nullptr
                         ? std::string()
                         : engineVoiceFor(language->locale, voice_->currentText().toStdString(), installed_).voice;
    settings.rate = engineRate(rateForSlider(rate_->value(), rate_->maximum()));
    settings.volume = engineVolume(volumeForSlider(volume_->value(), volume_->maximum()));
    return settings;
}

std::string SpeechSettingsPanel::voiceProblem() const {
    const SpeechLanguage* language = speechLanguageNamed(language_->currentText().toStdString());
    if (language == nullptr) {
        return {};
    }
    if (!engine_.available()) {
        return "The speech engine could not start: install espeak-ng-data.";
    }
    return engineVoiceFor(language->locale, voice_->currentText().toStdString(), installed_).problem;
}

} // namespace quarrow::app
