#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quarrow {

// One voice the engine can speak with.
struct SpeechVoice {
    std::string name;        // what the engine is asked for ("en-us", "cmn-latn-pinyin")
    std::string displayName; // what a person is shown ("English (America)")
    std::string identifier;  // its data file ("gmw/en-US")
    // The language tags it speaks, each with its priority (smaller is a closer fit).
    std::vector<std::pair<int, std::string>> languages;
    int gender = 0; // 0 unknown, 1 male, 2 female
};

// How to speak: the engine's voice name (optionally "+variant"), words a minute and loudness
// (100 = the engine's normal level).
struct SpeechSettings {
    std::string voice = "en-us";
    int rate = 175;
    int volume = 100;
    bool operator==(const SpeechSettings&) const = default;
};

// Receives what the engine makes, on the thread that called speak(). Answering false from either
// call stops the speaking as soon as the engine can.
class SpeechSink {
public:
    virtual ~SpeechSink() = default;
    virtual bool samples(const std::int16_t* data, std::size_t count) = 0;
    // A word begins: `position` counts characters of the spoken text from 1, `length` is the
    // word's length in characters (0 for some markers, whose position may go backwards).
    virtual bool word(int position, int length) = 0;
};

enum class SpeechResult { Done, Stopped, Failed };

// A speech synthesizer that speaks a text into samples (16-bit mono at sampleRate()). speak()
// blocks until the text is spoken or stopped; one text at a time per process, as the real engine
// keeps its state in globals: callers on several threads are served one after another.
class SpeechEngine {
public:
    virtual ~SpeechEngine() = default;
    // Whether the engine could start at all (its data found).
    virtual bool available() = 0;
    virtual int sampleRate() = 0;
    virtual std::vector<SpeechVoice> voices() = 0;
    // Whether the engine accepts this voice name ("en-gb+f3"), asked of the engine itself.
    virtual bool acceptsVoice(const std::string& voice) = 0;
    virtual SpeechResult speak(const std::string& text, const SpeechSettings& settings, SpeechSink& sink) = 0;
};

// The real engine, libespeak-ng in synchronous mode. One per process.
SpeechEngine& espeakEngine();

// A scripted engine for tests of the pipeline: every word of the text (runs of non-blanks) gets a
// word event and `samplesPerWord` samples; `script`, when set, replaces the word events with the
// given (position, length) pairs. Counts what it was asked.
class StubSpeechEngine : public SpeechEngine {
public:
    struct Event {
        int position;
        int length;
    };
    int rate = 22050;
    std::size_t samplesPerWord = 100;
    std::optional<std::vector<Event>> script;
    std::vector<SpeechVoice> voiceList = {{"en-gb", "English (Great Britain)", "gmw/en", {{2, "en-gb"}, {2, "en"}}, 1},
                                          {"en-us", "English (America)", "gmw/en-US", {{2, "en-us"}, {3, "en"}}, 1},
                                          {"de", "German", "gmw/de", {{5, "de"}}, 1}};
    bool fail = false;

    bool available() override { return true; }
    int sampleRate() override { return rate; }
    std::vector<SpeechVoice> voices() override { return voiceList; }
    bool acceptsVoice(const std::string& voice) override;
    SpeechResult speak(const std::string& text, const SpeechSettings& settings, SpeechSink& sink) override;

    std::vector<std::string> spokenTexts() const;
    std::vector<SpeechSettings> settingsUsed() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> spoken_;
    std::vector<SpeechSettings> settings_;
};

// Number of characters (Unicode code points) in UTF-8 text; the engine's positions count these.
std::size_t characterCount(const std::string& utf8);

} // namespace quarrow
