#include "SpeechEngine.h"

#include <algorithm>

namespace quarrow {

std::size_t characterCount(const std::string& utf8) {
    // Every byte that does not continue a sequence starts a character.
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool StubSpeechEngine::acceptsVoice(const std::string& voice) {
    const std::string base = voice.substr(0, voice.find('+'));
    return std::any_of(voiceList.begin(), voiceList.end(), [&](const SpeechVoice& v) { return v.name == base; });
}

SpeechResult StubSpeechEngine::speak(const std::string& text, const SpeechSettings& settings, SpeechSink& sink) {
    {
        std::lock_guard lock(mutex_);
        spoken_.push_back(text);
        settings_.push_back(settings);
    }
    if (fail || !acceptsVoice(settings.voice)) {
        return SpeechResult::Failed;
    }
    std::vector<Event> events;
    if (script) {
        events = *script;
    } else {
        int position = 0; // in characters, counted from 1 as the real engine does
        int start = 0;
        int length = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if ((byte & 0xC0) == 0x80) {
                continue;
            }
            ++position;
            const bool blank = byte == ' ' || byte == '\n' || byte == '\t' || byte == '\r';
            if (!blank && length == 0) {
                start = position;
            }
            if (!blank) {
                ++length;
            } else if (length > 0) {
                events.push_back({start, length});
                length = 0;
            }
        }
        if (length > 0) {
            events.push_back({start, length});
        }
    }
    const std::vector<std::int16_t> block(samplesPerWord, 1000);
    for (const Event& event : events) {
        if (!sink.word(event.position, event.length)) {
            return SpeechResult::Stopped;
        }
        if (!block.empty() && !sink.samples(block.data(), block.size())) {
            return SpeechResult::Stopped;
        }
    }
    return SpeechResult::Done;
}

std::vector<std::string> StubSpeechEngine::spokenTexts() const {
    std::lock_guard lock(mutex_);
    return spoken_;
}

std::vector<SpeechSettings> StubSpeechEngine::settingsUsed() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

} // namespace quarrow
