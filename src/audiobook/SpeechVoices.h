#pragma once

#include "platform/SpeechEngine.h"

#include <optional>
#include <string>
#include <vector>

namespace quarrow {

// The language popup's entries: label, locale code and the voice names offered after
// "System Voice". Labels and names are the converter's own, misspellings included.
struct SpeechLanguage {
    std::string label;
    std::string locale;
    std::vector<std::string> voices;
};
const std::vector<SpeechLanguage>& speechLanguages();
const SpeechLanguage* speechLanguageNamed(const std::string& label);

inline const char* const kSystemVoice = "System Voice";
inline const char* const kDefaultLanguage = "English (United States)";

// The voice popup at start-up, and after choosing a gender ("All", "Male", "Female", "Neuter";
// nothing for any other title). Each without "System Voice", which always comes first.
const std::vector<std::string>& startupVoiceList();
std::optional<std::vector<std::string>> genderVoiceList(const std::string& gender);

// Choosing a language: "System Voice", its voices, then every installed engine voice made for
// exactly its locale (by its shown name) that is not listed yet; the voice selected; the genders
// offered.
struct LanguageChoice {
    std::vector<std::string> voices;
    std::string selectedVoice;
    std::vector<std::string> genders;
};
LanguageChoice chooseLanguage(const std::string& label, const std::vector<SpeechVoice>& installed);

// The sentence the test button speaks, or nothing for a label without one.
std::optional<std::string> testSentence(const std::string& label);

// "en_US", "en-us.UTF-8", "EN_us@euro" all give "en-us".
std::string normaliseLocale(const std::string& tag);

// What the engine is asked for, for a language and a voice title: the language's engine voice
// (the nearest regional one) with a variant for the title, or why the language cannot be spoken.
struct EngineVoice {
    std::string voice;   // "en-gb+f2"; empty when the language cannot be spoken
    std::string problem; // the alert's text when it cannot
};
EngineVoice engineVoiceFor(const std::string& locale, const std::string& voiceTitle,
                           const std::vector<SpeechVoice>& installed);
// The engine's own voice for a locale, without variant; empty when none fits.
std::string engineLanguageVoice(const std::string& locale, const std::vector<SpeechVoice>& installed);
// The variant for a voice title ("f2", "m3", "whisper"), empty for "System Voice" or a title that
// names an installed voice itself.
std::string variantForVoiceTitle(const std::string& voiceTitle);

} // namespace quarrow
