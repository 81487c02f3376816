#include "TestReading.h"

#include "platform/AiffFile.h"
#include "platform/Workspace.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QMetaObject>
#include <QPointer>

namespace quarrow::app {

namespace {

struct MemorySink : SpeechSink {
    std::vector<std::int16_t>& samplesOut;
    explicit MemorySink(std::vector<std::int16_t>& out) : samplesOut(out) {}
    bool samples(const std::int16_t* data, std::size_t count) override {
        samplesOut.insert(samplesOut.end(), data, data + count);
        return true;
    }
    bool word(int, int) override { return true; }
};

} // namespace

TestReading::TestReading(SpeechEngine& engine, Workspace& workspace, QObject* parent)
    : QObject(parent), engine_(engine), workspace_(workspace) {}

TestReading::~TestReading() {
    if (thread_.joinable()) {
        thread_.join();
    }
    folder_.remove();
}

bool TestReading::read(const std::string& sentence, const SpeechSettings& settings) {
    if (busy_.exchange(true)) {
        return false;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (sink_ != nullptr) {
        sink_->stop();
    }
    QPointer<TestReading> self(this);
    thread_ = std::thread([this, self, sentence, settings] {
        auto samples = std::make_shared<std::vector<std::int16_t>>();
        MemorySink sink(*samples);
        const bool ok = engine_.speak(sentence, settings, sink) == SpeechResult::Done;
        const int rate = engine_.sampleRate();
        QMetaObject::invokeMethod(
            this,
            [self, samples, rate, ok] {
                if (self) {
                    self->spoken(ok ? samples : std::make_shared<std::vector<std::int16_t>>(), rate);
                }
            },
            Qt::QueuedConnection);
    });
    return true;
}

void TestReading::spoken(const std::shared_ptr<std::vector<std::int16_t>>& samples, int rate) {
    busy_ = false;
    if (samples->empty() || rate <= 0) {
        emit finished(false, {});
        return;
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (useAudioOutput_ && !device.isNull() && device.isFormatSupported(format)) {
        delete sink_;
        delete buffer_;
        buffer_ = new QBuffer(this);
        buffer_->setData(QByteArray(reinterpret_cast<const char*>(samples->data()),
                                    static_cast<qsizetype>(samples->size() * sizeof(std::int16_t))));
        buffer_->open(QIODevice::ReadOnly);
        sink_ = new QAudioSink(device, format, this);
        connect(sink_, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            if (state == QAudio::IdleState) {
                sink_->stop();
            }
        });
        sink_->start(buffer_);
        if (sink_->error() == QAudio::NoError) {
            emit finished(true, {});
            return;
        }
    }
    QString path;
    playFile(*samples, rate, path);
    emit finished(false, path);
}

bool TestReading::playFile(const std::vector<std::int16_t>& samples, int rate, QString& path) {
    const auto folder = folder_.path();
    if (!folder) {
        return false;
    }
    AiffWriter writer;
    if (!writer.open(*folder, rate) || !writer.write(samples.data(), samples.size())) {
        return false;
    }
    const auto file = writer.finish("Test Reading");
    if (!file) {
        return false;
    }
    path = QString::fromStdString(*file);
    return workspace_.openFile(*file);
}

} // namespace quarrow::app
