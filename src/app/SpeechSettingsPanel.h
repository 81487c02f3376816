#pragma once

#include "platform/SpeechEngine.h"

#include <QWidget>

#include <string>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

namespace quarrow {
class UserDefaults;
}

namespace quarrow::app {

// The converter's speech settings: language, gender and voice popups, rate and volume sliders, the
// per-page and per-chapter choices, and the test reading button. What it shows is what the next
// conversion and test reading use; the engine is only asked which voices it has.
class SpeechSettingsPanel : public QWidget {
    Q_OBJECT
public:
    SpeechSettingsPanel(SpeechEngine& engine, UserDefaults& defaults, QWidget* parent = nullptr);

    // The engine settings for the current choice; empty voice when the language cannot be spoken
    // (voiceProblem() then says why).
    SpeechSettings speechSettings() const;
    std::string voiceProblem() const;
    QString languageLabel() const;

    QComboBox* audioLanguageBtn() const { return language_; }
    QComboBox* audioMaleBtn() const { return gender_; }
    QComboBox* audioPersonNameBtn() const { return voice_; }
    QSlider* audioSpeedBtn() const { return rate_; }
    QSlider* audioVolmeBtn() const { return volume_; }
    QPushButton* testReadingBtn() const { return test_; }
    QRadioButton* pdfRow(int row) const;
    QRadioButton* epubRow(int row) const;

    void ChangeLanguage();
    void Changemale();
    void ChangeName();

signals:
    void testReadingRequested();
    void settingsChanged();

private:
    void fillVoices(const std::vector<std::string>& titles, const std::string& selected);
    void ChangePDFSettings();
    void ChangeEpubSettings();

    SpeechEngine& engine_;
    UserDefaults& defaults_;
    std::vector<SpeechVoice> installed_;
    QComboBox* language_ = nullptr;
    QComboBox* gender_ = nullptr;
    QComboBox* voice_ = nullptr;
    QSlider* rate_ = nullptr;
    QSlider* volume_ = nullptr;
    QLabel* rateValue_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* test_ = nullptr;
    QButtonGroup* pdfMatrix_ = nullptr;
    QButtonGroup* epubMatrix_ = nullptr;
};

} // namespace quarrow::app
