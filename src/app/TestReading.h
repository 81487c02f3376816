#pragma once

#include "platform/SpeechEngine.h"
#include "platform/WorkFolder.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

class QAudioSink;
class QBuffer;

namespace quarrow {
class Workspace;
}

namespace quarrow::app {

// The test button's reading: the sentence is spoken into memory on a thread of its own (the engine
// serves it between two pieces of a running conversion, whose busy flag and progress it never
// touches) and played through Qt Multimedia. Without an audio output it is written to a short
// AIFF file in a private folder and opened with the desktop's player.
class TestReading : public QObject {
    Q_OBJECT
public:
    TestReading(SpeechEngine& engine, Workspace& workspace, QObject* parent = nullptr);
    ~TestReading() override;

    // Starts a reading unless one is being spoken; answers whether it started.
    bool read(const std::string& sentence, const SpeechSettings& settings);
    bool isBusy() const { return busy_; }
    // Forces the desktop-player path even when an audio output exists (tests, and hosts whose
    // audio output refuses the format).
    void setUseAudioOutput(bool use) { useAudioOutput_ = use; }

signals:
    // The reading was spoken: `played` when through the audio output, else handed to the player
    // (or, when even that failed, `path` is empty).
    void finished(bool played, const QString& path);

private:
    void spoken(const std::shared_ptr<std::vector<std::int16_t>>& samples, int rate);
    bool playFile(const std::vector<std::int16_t>& samples, int rate, QString& path);

    SpeechEngine& engine_;
    Workspace& workspace_;
    WorkFolder folder_{"testreading"};
    std::thread thread_;
    std::atomic<bool> busy_{false};
    bool useAudioOutput_ = true;
    QAudioSink* sink_ = nullptr;
    QBuffer* buffer_ = nullptr;
};

} // namespace quarrow::app
