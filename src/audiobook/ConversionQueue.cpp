#include "ConversionQueue.h"

#include "AudioOutputNames.h"
#include "BookText.h"
#include "SpeechProgress.h"
#include "SpeechText.h"
#include "platform/AiffFile.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

namespace quarrow {

void settleConversionPreferences(UserDefaults& defaults) {
    const auto pdf = defaults.stringForKey(kPdfWholePageKey);
    defaults.setString(kPdfWholePageKey, !pdf || *pdf == "NO" ? "NO" : "YES");
    const auto epub = defaults.stringForKey(kEpubPerPageKey);
    defaults.setString(kEpubPerPageKey, epub == "NO" ? "NO" : "YES");
}

ConversionMode preferredMode(const UserDefaults& defaults, const std::string& fileType) {
    if (fileType == "pdf") {
        const auto value = defaults.stringForKey(kPdfWholePageKey);
        return value && *value != "NO" ? ConversionMode::Whole : ConversionMode::PerPart;
    }
    if (fileType == "epub") {
        return defaults.stringForKey(kEpubPerPageKey) == "NO" ? ConversionMode::Whole : ConversionMode::PerPart;
    }
    return ConversionMode::Whole;
}

std::string conversionAlertText(const ConversionReport& report) {
    switch (report.outcome) {
    case ConversionOutcome::NoText:
    case ConversionOutcome::Unreadable:
        return kContentAlertText;
    case ConversionOutcome::UnsupportedType:
        return "The formation of the book is " + (report.book ? report.book->fileType().value_or("") : "") +
               " and it can't be converted. Support formats: pdf, epub, html, txt, rtf.";
    case ConversionOutcome::SpeechFailed:
        return report.detail.empty() ? kSpeechErrorAlertText : report.detail;
    case ConversionOutcome::WriteFailed:
        return "The audio file could not be written: " + report.detail;
    case ConversionOutcome::Done:
    case ConversionOutcome::Cancelled:
        break;
    }
    return {};
}

namespace {

// The platform's main thread as it is when a hand-off is made: the front ends install theirs at
// start, after the shared queue may already exist.
class PlatformMainThread : public MainThread {
public:
    void runAndWait(std::function<void()> task) override {
        Platform::current().mainThread().runAndWait(std::move(task));
    }
    void post(std::function<void()> task) override { Platform::current().mainThread().post(std::move(task)); }
};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Writes what the engine speaks into the file and follows the word events.
class FileSink : public SpeechSink {
public:
    FileSink(AiffWriter& writer, SpeechProgress& progress, std::function<bool()> wanted,
             std::function<void(int)> percent)
        : writer_(writer), progress_(progress), wanted_(std::move(wanted)), percent_(std::move(percent)) {}

    bool samples(const std::int16_t* data, std::size_t count) override {
        return wanted_() && writer_.write(data, count);
    }
    bool word(int position, int length) override {
        if (!wanted_()) {
            return false;
        }
        if (progress_.word(position, length)) {
            percent_(progress_.percent());
        }
        return true;
    }

private:
    AiffWriter& writer_;
    SpeechProgress& progress_;
    std::function<bool()> wanted_;
    std::function<void(int)> percent_;
};

} // namespace

// One file to write: where, under which name, and how to get its text (read only when its turn
// comes, so a book's text is held once).
struct ConversionQueue::Part {
    std::string folder;
    std::string stem;
    std::string title;
    std::function<std::optional<std::string>()> text;
};

ConversionQueue::ConversionQueue(SpeechEngine& engine, MainThread& mainThread)
    : engine_(engine), listener_(mainThread) {}

ConversionQueue::~ConversionQueue() {
    listener_.close();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        ++generation_;
        jobs_.clear();
    }
    changed_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

ConversionQueue& ConversionQueue::shared() {
    static PlatformMainThread mainThread;
    static ConversionQueue queue(espeakEngine(), mainThread);
    return queue;
}

std::uint64_t ConversionQueue::setListener(Listener listener) {
    return listener_.set(std::move(listener));
}

void ConversionQueue::clearListener(std::uint64_t token) {
    listener_.clear(token);
}

void ConversionQueue::post(std::function<void(const Listener&)> call) {
    listener_.post(std::move(call));
}

std::uint64_t ConversionQueue::enqueue(ConversionRequest request) {
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        id = nextId_++;
        jobs_.push_back(Job{id, generation_.load(), std::move(request)});
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { workerLoop(); });
        }
    }
    changed_.notify_all();
    return id;
}

void ConversionQueue::cancel() {
    std::deque<Job> dropped;
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        dropped.swap(jobs_);
    }
    changed_.notify_all();
    for (const Job& job : dropped) {
        ConversionReport report;
        report.id = job.id;
        report.book = job.request.book;
        report.outcome = ConversionOutcome::Cancelled;
        post([report](const Listener& l) {
            if (l.bookDone) {
                l.bookDone(report);
            }
        });
    }
    if (!dropped.empty() && !isBusy()) {
        post([](const Listener& l) {
            if (l.idle) {
                l.idle();
            }
        });
    }
}

bool ConversionQueue::isBusy() const {
    std::lock_guard lock(mutex_);
    return running_ || !jobs_.empty();
}

std::size_t ConversionQueue::waiting() const {
    std::lock_guard lock(mutex_);
    return jobs_.size();
}

void ConversionQueue::waitUntilIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !running_ && jobs_.empty(); });
}

void ConversionQueue::workerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) {
            return;
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();

        ConversionReport report = run(job);
        post([report](const Listener& l) {
            if (l.bookDone) {
                l.bookDone(report);
            }
        });

        lock.lock();
        // The busy flag clears here, whichever way the book ended.
        running_ = false;
        const bool idle = jobs_.empty();
        changed_.notify_all();
        if (idle) {
            post([](const Listener& l) {
                if (l.idle) {
                    l.idle();
                }
            });
        }
    }
}

ConversionReport ConversionQueue::run(const Job& job) {
    ConversionReport report;
    report.id = job.id;
    report.book = job.request.book;
    const PRBookNodePtr book = job.request.book;
    if (!book) {
        report.outcome = ConversionOutcome::Unreadable;
        return report;
    }
    const std::string type = lowerCase(book->fileType().value_or(""));
    const std::string root = job.request.outputFolder;
    const std::string name = safeFileStem(nameWithoutExtension(bookFileName(*book)));
    const bool whole = job.request.mode == ConversionMode::Whole;

    std::vector<Part> parts;
    if (type == "pdf") {
        auto pages =
            std::make_shared<std::optional<std::vector<std::string>>>(pdfPageTexts(book->filePath().value_or("")));
        if (!*pages) {
            report.outcome = ConversionOutcome::Unreadable;
            return report;
        }
        if (whole) {
            parts.push_back({root, name, name, [pages] { return std::optional<std::string>(joinTexts(**pages)); }});
        } else {
            for (std::size_t i = 0; i < (*pages)->size(); ++i) {
                parts.push_back({root, pdfPageStem(name, static_cast<int>(i)), "Page " + std::to_string(i + 1),
                                 [pages, i] { return std::optional<std::string>(std::move((**pages)[i])); }});
            }
        }
    } else if (type == "html" || type == "txt" || type == "rtf") {
        parts.push_back({root, name, name, [book] { return textOfBook(*book); }});
    } else if (type == "epub") {
        const auto chapters = book->iBookArray();
        if (chapters.empty()) {
            report.outcome = ConversionOutcome::NoText;
            return report;
        }
        if (whole) {
            const std::string father = chapters.back()->fatherBookName().value_or(bookFileName(*book));
            const std::string stem = safeFileStem(epubFolderName(father));
            parts.push_back({root + "/" + stem, stem, name, [book] { return textOfBook(*book); }});
        } else {
            int n = 0;
            for (const PRBookNodePtr& chapter : chapters) {
                ++n;
                const std::string father = chapter->fatherBookName().value_or(bookFileName(*book));
                parts.push_back({root + "/" + safeFileStem(epubFolderName(father)),
                                 safeFileStem(epubChapterStem(father, n)),
                                 chapter->chapterTitle().value_or("Chapter " + std::to_string(n)),
                                 [chapter] { return textOfBook(*chapter); }});
            }
        }
    } else {
        report.outcome = ConversionOutcome::UnsupportedType;
        return report;
    }

    bool anyText = false;
    bool anyRead = false;
    const int count = static_cast<int>(parts.size());
    for (int i = 0; i < count; ++i) {
        if (!stillWanted(job)) {
            report.outcome = ConversionOutcome::Cancelled;
            return report;
        }
        const std::optional<std::string> text = parts[i].text();
        anyRead = anyRead || text.has_value();
        // A page or chapter without text is passed over; a book without any is reported below.
        if (!text || !hasSpeakableText(*text)) {
            continue;
        }
        anyText = true;
        if (!speakPart(job, parts[i], i + 1, count, *text, report)) {
            return report;
        }
    }
    if (!anyText) {
        report.outcome = anyRead || type == "epub" ? ConversionOutcome::NoText : ConversionOutcome::Unreadable;
    }
    return report;
}

bool ConversionQueue::speakPart(const Job& job, const Part& part, int number, int parts, const std::string& text,
                                ConversionReport& report) {
    std::error_code ec;
    std::filesystem::create_directories(part.folder, ec);
    if (ec) {
        report.outcome = ConversionOutcome::WriteFailed;
        report.detail = part.folder + ": " + ec.message();
        systemLog("Cannot make the audio folder: " + ec.message());
        return false;
    }
    const int rate = engine_.sampleRate();
    if (rate <= 0) {
        report.outcome = ConversionOutcome::SpeechFailed;
        report.detail = "The speech engine could not start (is espeak-ng-data installed?).";
        return false;
    }
    AiffWriter writer;
    if (!writer.open(part.folder, rate)) {
        report.outcome = ConversionOutcome::WriteFailed;
        report.detail = part.folder + ": cannot create a file there";
        return false;
    }

    ConversionProgress shown;
    shown.id = job.id;
    shown.bookName = bookFileName(*job.request.book);
    shown.fileName = part.stem + ".aiff";
    shown.part = number;
    shown.parts = parts;
    shown.waiting = waiting();
    auto showPercent = [this, shown](int percent) mutable {
        shown.percent = percent;
        post([shown](const Listener& l) {
            if (l.progress) {
                l.progress(shown);
            }
        });
    };
    showPercent(0);

    SpeechProgress progress(characterCount(text));
    FileSink sink(
        writer, progress, [this, &job] { return stillWanted(job); }, showPercent);
    std::size_t offset = 0;
    for (const std::string_view piece : speechPieces(text, pieceSize_)) {
        progress.setOffset(offset);
        const std::string pieceText(piece);
        const SpeechResult result = engine_.speak(pieceText, job.request.speech, sink);
        if (result == SpeechResult::Stopped || !stillWanted(job)) {
            writer.discard();
            report.outcome = writer.failed() ? ConversionOutcome::WriteFailed : ConversionOutcome::Cancelled;
            report.detail = writer.failed() ? "writing the audio file failed (is the disk full?)" : "";
            return false;
        }
        if (result == SpeechResult::Failed) {
            writer.discard();
            report.outcome = ConversionOutcome::SpeechFailed;
            report.detail = "The voice \"" + job.request.speech.voice + "\" could not speak this text.";
            return false;
        }
        offset += characterCount(pieceText);
    }
    const std::optional<std::string> path = writer.finish(part.stem);
    if (!path) {
        report.outcome = ConversionOutcome::WriteFailed;
        report.detail = part.folder + ": the audio file could not be completed";
        return false;
    }
    progress.finish();
    showPercent(100);

    auto node = std::make_shared<PRAudioNode>();
    node->setAudioPath(*path);
    node->setAduioName(path->substr(path->rfind('/') + 1));
    node->setAudioImage(job.request.book->imageIcon());
    node->setBook(job.request.book);
    node->setPartNumber(number);
    node->setPartTitle(part.title);
    node->setSeconds(static_cast<double>(writer.frames()) / rate);
    report.files.push_back(node);
    post([node](const Listener& l) {
        if (l.fileDone) {
            l.fileDone(node);
        }
    });
    return true;
}

} // namespace quarrow
