#pragma once

#include "PRAudioNode.h"
#include "PRBookNode.h"
#include "platform/MainThreadListener.h"
#include "platform/SpeechEngine.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarrow {

class MainThread;
class UserDefaults;

// One file per PDF page or ePub chapter, or one file for the whole book. HTML, TXT and RTF books
// always give one file.
enum class ConversionMode { PerPart, Whole };

// The two stored choices: "PDFAudioWholePage" ("YES": one file for a whole PDF) and
// "EpubAudioPerPage" ("YES": one file per ePub chapter).
inline const char* const kPdfWholePageKey = "PDFAudioWholePage";
inline const char* const kEpubPerPageKey = "EpubAudioPerPage";
// At start: a missing or "NO" PDF choice becomes "NO", anything else "YES"; an ePub choice other
// than "NO" becomes "YES". Both are written back.
void settleConversionPreferences(UserDefaults& defaults);
ConversionMode preferredMode(const UserDefaults& defaults, const std::string& fileType);

struct ConversionRequest {
    PRBookNodePtr book;
    SpeechSettings speech;
    ConversionMode mode = ConversionMode::PerPart;
    std::string outputFolder; // the "AudioBook" folder; an ePub's files go into a folder of its own there
};

enum class ConversionOutcome {
    Done,            // every file with text was written
    NoText,          // nothing to speak (the content alert)
    Unreadable,      // the book file could not be read
    UnsupportedType, // not pdf, epub, html, txt or rtf
    SpeechFailed,    // the engine refused the voice or the text
    WriteFailed,     // a folder or file could not be written
    Cancelled,
};

struct ConversionReport {
    std::uint64_t id = 0;
    PRBookNodePtr book;
    ConversionOutcome outcome = ConversionOutcome::Done;
    std::vector<PRAudioNodePtr> files; // complete files, in the order made (also when cancelled)
    std::string detail;                // for the log and the command line: what failed
};

// The alert text for an outcome other than Done and Cancelled.
std::string conversionAlertText(const ConversionReport& report);
inline const char* const kContentAlertText =
    "Sorry, we are only providing this service for public domain content, you can download public domain "
    "content from the iBook Store or other place.";
inline const char* const kSpeechErrorAlertText =
    "Some special characters and symbols in the book can't be recognized, please contact our support team "
    "for further assistance and information.";
inline const char* const kSelectBookAlertText = "Please select one item that needs to be converted.";

struct ConversionProgress {
    std::uint64_t id = 0;
    std::string bookName;
    std::string fileName; // the name the file is meant to get ("Title.epub -03.aiff")
    int part = 0;         // 1-based, of `parts`
    int parts = 0;
    int percent = 0;         // of this file
    std::size_t waiting = 0; // books queued behind this one
};

// The one conversion queue of the process (the speech engine keeps its state in globals): books
// are spoken one after another on one worker thread. Everything the listener hears runs on the
// main thread, handed over without waiting, so the worker never waits for the main thread.
class ConversionQueue {
public:
    struct Listener {
        std::function<void(const ConversionProgress&)> progress;
        std::function<void(const PRAudioNodePtr&)> fileDone; // a complete file, already named
        std::function<void(const ConversionReport&)> bookDone;
        std::function<void()> idle; // the queue has emptied (or was cancelled)
    };

    ConversionQueue(SpeechEngine& engine, MainThread& mainThread);
    // Cancels what is queued and running and waits for the worker; nothing reaches the listener
    // afterwards.
    ~ConversionQueue();
    ConversionQueue(const ConversionQueue&) = delete;
    ConversionQueue& operator=(const ConversionQueue&) = delete;

    // The process's queue: the real engine, the platform's main thread.
    static ConversionQueue& shared();

    // One listener at a time (the page or the command showing the queue); answers a token with
    // which only that listener can be taken off again.
    std::uint64_t setListener(Listener listener);
    void clearListener(std::uint64_t token);

    // Queues a book; answers its id. Any thread.
    std::uint64_t enqueue(ConversionRequest request);
    // Stops the book being spoken (its unfinished file is removed) and drops the queued ones; each
    // is reported as Cancelled. Any thread.
    void cancel();
    // The busy flag: a book is being spoken or waits.
    bool isBusy() const;
    std::size_t waiting() const;
    // Blocks until the queue is empty and the worker idle. Not on the main thread when the
    // listener's hand-offs need it to be served.
    void waitUntilIdle();

    // Bytes of text handed to the engine at a time (default 4000).
    void setPieceSize(std::size_t bytes) { pieceSize_ = bytes; }

private:
    struct Job {
        std::uint64_t id;
        std::uint64_t generation;
        ConversionRequest request;
    };
    struct Part;

    void workerLoop();
    ConversionReport run(const Job& job);
    bool speakPart(const Job& job, const Part& part, int number, int parts, const std::string& text,
                   ConversionReport& report);
    bool stillWanted(const Job& job) const { return job.generation == generation_.load(); }
    void post(std::function<void(const Listener&)> call);

    SpeechEngine& engine_;
    MainThreadListener<Listener> listener_;
    std::size_t pieceSize_ = 4000;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool running_ = false;
    bool stopping_ = false;
    std::uint64_t nextId_ = 1;
    std::atomic<std::uint64_t> generation_{0};
    std::thread worker_;
};

} // namespace quarrow
