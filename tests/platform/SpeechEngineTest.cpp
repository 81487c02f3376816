// The speech engine: the stub that pipeline tests rely on, and the real libespeak-ng on a few words
// (each real test speaks well under a second of audio).

#include "platform/SpeechEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using namespace quarrow;

namespace {

struct Recorder : SpeechSink {
    std::vector<std::pair<int, int>> words;
    std::size_t sampleCount = 0;
    std::size_t stopAfterSamples = 0; // 0: never
    bool samples(const std::int16_t*, std::size_t count) override {
        sampleCount += count;
        return stopAfterSamples == 0 || sampleCount < stopAfterSamples;
    }
    bool word(int position, int length) override {
        words.emplace_back(position, length);
        return true;
    }
};

TEST(CharacterCount, CountsCodePointsNotBytes) {
    EXPECT_EQ(characterCount(""), 0u);
    EXPECT_EQ(characterCount("abc"), 3u);
    EXPECT_EQ(characterCount("Hörbuch"), 7u);
    EXPECT_EQ(characterCount("这是"), 2u);
}

TEST(StubSpeechEngine, WordEventsCountCharactersFromOne) {
    StubSpeechEngine stub;
    Recorder sink;
    EXPECT_EQ(stub.speak("Zwölf  Boxkämpfer\njagen", {}, sink), SpeechResult::Done);
    EXPECT_EQ(sink.words, (std::vector<std::pair<int, int>>{{1, 5}, {8, 10}, {19, 5}}));
    EXPECT_EQ(sink.sampleCount, 3 * stub.samplesPerWord);
}

TEST(StubSpeechEngine, RefusesUnknownVoices) {
    StubSpeechEngine stub;
    Recorder sink;
    EXPECT_TRUE(stub.acceptsVoice("en-gb+f3"));
    EXPECT_EQ(stub.speak("a", SpeechSettings{"xx", 175, 100}, sink), SpeechResult::Failed);
}

class EspeakTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!espeakEngine().available()) {
            GTEST_SKIP() << "espeak-ng data not installed";
        }
    }
};

TEST_F(EspeakTest, SpeaksAFewWordsAt22050HzWithForwardPositions) {
    SpeechEngine& engine = espeakEngine();
    EXPECT_EQ(engine.sampleRate(), 22050);
    Recorder sink;
    const std::string text = "One small test of speaking.";
    ASSERT_EQ(engine.speak(text, SpeechSettings{"en-us", 175, 100}, sink), SpeechResult::Done);
    const double seconds = static_cast<double>(sink.sampleCount) / 22050.0;
    EXPECT_GT(seconds, 0.2 * 5);
    EXPECT_LT(seconds, 0.6 * 5);
    int last = 0;
    std::size_t wordEvents = 0;
    for (const auto& [position, length] : sink.words) {
        if (length == 0) {
            continue;
        }
        ++wordEvents;
        EXPECT_GE(position, last);
        EXPECT_LE(position + length - 1, static_cast<int>(characterCount(text)));
        last = position;
    }
    EXPECT_EQ(wordEvents, 5u);
}

TEST_F(EspeakTest, FasterRateSpeaksShorter) {
    Recorder slow;
    Recorder fast;
    ASSERT_EQ(espeakEngine().speak("Rate test words.", SpeechSettings{"en-us", 120, 100}, slow), SpeechResult::Done);
    ASSERT_EQ(espeakEngine().speak("Rate test words.", SpeechSettings{"en-us", 350, 100}, fast), SpeechResult::Done);
    EXPECT_LT(fast.sampleCount * 2, slow.sampleCount);
}

TEST_F(EspeakTest, StopsWhenTheSinkSaysSo) {
    Recorder sink;
    sink.stopAfterSamples = 1;
    EXPECT_EQ(espeakEngine().speak("This sentence is never heard to its end.", SpeechSettings{}, sink),
              SpeechResult::Stopped);
    EXPECT_LT(sink.sampleCount, 22050u);
    Recorder after; // and the engine is ready again
    EXPECT_EQ(espeakEngine().speak("Again.", SpeechSettings{}, after), SpeechResult::Done);
    EXPECT_GT(after.sampleCount, 0u);
}

TEST_F(EspeakTest, VoicesAndVariantsAreCheckedWithTheEngine) {
    SpeechEngine& engine = espeakEngine();
    for (const char* voice : {"en-gb+f3", "en-us+m3", "fr-fr+f2", "de+Demonic", "en-gb-scotland", "nb"}) {
        EXPECT_TRUE(engine.acceptsVoice(voice)) << voice;
    }
    EXPECT_TRUE(engine.acceptsVoice("cmn-latn-pinyin"));
    EXPECT_FALSE(engine.acceptsVoice("no-such-voice-xx"));
    const auto voices = engine.voices();
    for (const char* name : {"en-us", "yue", "es-419", "cmn-latn-pinyin"}) {
        EXPECT_TRUE(std::any_of(voices.begin(), voices.end(), [&](const SpeechVoice& v) { return v.name == name; }))
            << name;
    }
    Recorder sink; // a refused voice fails the text instead of speaking with the wrong one
    EXPECT_EQ(engine.speak("x", SpeechSettings{"no-such-voice-xx", 175, 100}, sink), SpeechResult::Failed);
}

TEST_F(EspeakTest, CallersOnSeveralThreadsTakeTurns) {
    std::vector<Recorder> sinks(3);
    std::vector<std::thread> threads;
    for (auto& sink : sinks) {
        threads.emplace_back([&sink] { espeakEngine().speak("Turn.", SpeechSettings{}, sink); });
    }
    for (auto& t : threads) {
        t.join();
    }
    // Each spoke the whole word (the engine's output differs by a few samples from call to call).
    for (const auto& sink : sinks) {
        EXPECT_NEAR(static_cast<double>(sink.sampleCount), static_cast<double>(sinks[0].sampleCount),
                    sinks[0].sampleCount * 0.01);
        EXPECT_GT(sink.sampleCount, 5000u);
    }
}

} // namespace
