// The speech engine on libespeak-ng. The library keeps one voice, one set of parameters and one
// callback in globals, so every use goes through one mutex, and synthesis runs in synchronous mode
// on the caller's thread: espeak_Synth returns when the whole text has been handed to the callback.

#include "Log.h"
#include "SpeechEngine.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstring>

namespace quarrow {
namespace {

struct SynthState {
    SpeechSink* sink = nullptr;
    bool stopped = false;
};

// The text being spoken; set under the engine's mutex for the length of one espeak_Synth call.
SynthState* g_current = nullptr;

int synthCallback(short* wav, int count, espeak_EVENT* events) {
    SynthState* state = g_current;
    if (state == nullptr) {
        return 0;
    }
    if (state->stopped) {
        return 1;
    }
    for (const espeak_EVENT* e = events; e != nullptr && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type == espeakEVENT_WORD && !state->sink->word(e->text_position, e->length)) {
            state->stopped = true;
            return 1;
        }
    }
    if (wav != nullptr && count > 0 && !state->sink->samples(wav, static_cast<std::size_t>(count))) {
        state->stopped = true;
        return 1;
    }
    return 0;
}

// A voice's languages: pairs of a priority byte and a text, ended by a zero priority.
std::vector<std::pair<int, std::string>> voiceLanguages(const char* list) {
    std::vector<std::pair<int, std::string>> languages;
    if (list == nullptr) {
        return languages;
    }
    while (*list != 0) {
        const int priority = static_cast<unsigned char>(*list++);
        const std::size_t length = std::strlen(list);
        languages.emplace_back(priority, std::string(list, length));
        list += length + 1;
    }
    return languages;
}

class EspeakEngine : public SpeechEngine {
public:
    bool available() override {
        std::lock_guard lock(mutex_);
        return startLocked();
    }

    int sampleRate() override {
        std::lock_guard lock(mutex_);
        return startLocked() ? rate_ : 0;
    }

    std::vector<SpeechVoice> voices() override {
        std::lock_guard lock(mutex_);
        std::vector<SpeechVoice> result;
        if (!startLocked()) {
            return result;
        }
        const espeak_VOICE** list = espeak_ListVoices(nullptr);
        for (; list != nullptr && *list != nullptr; ++list) {
            const espeak_VOICE& v = **list;
            SpeechVoice voice;
            voice.languages = voiceLanguages(v.languages);
            // The name the engine is asked for is its first language tag; the shown name is not
            // unique ("English_(Great_Britain)").
            voice.displayName = v.name ? v.name : "";
            std::replace(voice.displayName.begin(), voice.displayName.end(), '_', ' ');
            voice.name = voice.languages.empty() ? voice.displayName : voice.languages.front().second;
            voice.identifier = v.identifier ? v.identifier : "";
            voice.gender = v.gender;
            result.push_back(std::move(voice));
        }
        return result;
    }

    bool acceptsVoice(const std::string& voice) override {
        std::lock_guard lock(mutex_);
        if (!startLocked()) {
            return false;
        }
        applied_.reset(); // whatever it answers, the engine's voice has changed
        return selectVoiceLocked(voice);
    }

    SpeechResult speak(const std::string& text, const SpeechSettings& settings, SpeechSink& sink) override {
        std::lock_guard lock(mutex_);
        if (!startLocked()) {
            return SpeechResult::Failed;
        }
        if (applied_ != settings) {
            applied_.reset();
            if (!selectVoiceLocked(settings.voice)) {
                systemLog("Speech voice not available: " + settings.voice);
                return SpeechResult::Failed;
            }
            espeak_SetParameter(espeakRATE, settings.rate, 0);
            espeak_SetParameter(espeakVOLUME, settings.volume, 0);
            applied_ = settings;
        }
        SynthState state{&sink, false};
        g_current = &state;
        const espeak_ERROR error = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                                                espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, nullptr);
        g_current = nullptr;
        if (state.stopped) {
            return SpeechResult::Stopped;
        }
        if (error != EE_OK) {
            systemLog("Speech synthesis failed: " + std::to_string(static_cast<int>(error)));
            return SpeechResult::Failed;
        }
        return SpeechResult::Done;
    }

private:
    // By its name or file ("en-us", "gmw/en"), else by the language tag it is listed under
    // ("en-gb" is the file "gmw/en"); a "+variant" stays attached either way.
    bool selectVoiceLocked(const std::string& voice) {
        if (espeak_SetVoiceByName(voice.c_str()) == EE_OK) {
            return true;
        }
        const auto plus = voice.find('+');
        const std::string base = voice.substr(0, plus);
        const std::string variant = plus == std::string::npos ? std::string() : voice.substr(plus);
        const espeak_VOICE** list = espeak_ListVoices(nullptr);
        for (; list != nullptr && *list != nullptr; ++list) {
            const auto languages = voiceLanguages((*list)->languages);
            if (!languages.empty() && languages.front().second == base && (*list)->identifier != nullptr) {
                return espeak_SetVoiceByName((std::string((*list)->identifier) + variant).c_str()) == EE_OK;
            }
        }
        return false;
    }

    bool startLocked() {
        if (!tried_) {
            tried_ = true;
            // 200 ms per callback: few calls, and a stop is heard within a fifth of a second.
            rate_ = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, espeakINITIALIZE_DONT_EXIT);
            if (rate_ <= 0) {
                systemLog("Speech engine could not start (espeak-ng data missing?)");
                rate_ = 0;
            } else {
                espeak_SetSynthCallback(synthCallback);
            }
        }
        return rate_ > 0;
    }

    std::mutex mutex_;
    bool tried_ = false;
    int rate_ = 0;
    std::optional<SpeechSettings> applied_;
};

} // namespace

SpeechEngine& espeakEngine() {
    static EspeakEngine engine;
    return engine;
}

} // namespace quarrow
