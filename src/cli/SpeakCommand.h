#pragma once

#include "audiobook/ConversionQueue.h"
#include "audiobook/SpeechVoices.h"

#include <csignal>
#include <optional>
#include <string>
#include <vector>

namespace quarrow::cli {

// `quarrow-cli speak FILE [--to DIR] [--voice NAME] [--language LABEL] [--rate
// WPM] [--volume N]
// [--per-page | --per-chapter | --whole] [--json]`, and `quarrow-cli speak
// --voices [--json]`, given the arguments after the word "speak". Answers 0
// when every file was written, 1 when the book gives no audio (the reason on
// standard error), 2 for bad usage, 130 when interrupted.
int runSpeakCommand(const std::vector<std::string>& args);

// What the commands that speak a book share (speak, audiobook).

// The speech options as given.
struct SpeechChoice {
    std::optional<std::string> voiceName;
    std::string languageLabel = kDefaultLanguage;
    bool languageGiven = false;
    int rate = 175;
    int volume = 100;
    std::optional<ConversionMode> mode;
};
// Takes the speech option at args[i] (--voice, --language, --rate, --volume, --per-page,
// --per-chapter, --whole), moving i past its value. Answers 1 when taken, 0 when args[i] is no
// speech option, and minus the exit status after printing a usage error.
int takeSpeechOption(const std::string& command, const std::vector<std::string>& args, std::size_t& i,
                     SpeechChoice& choice);

// SIGINT and SIGTERM noted instead of ending the process, for as long as it lives.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
    bool interrupted() const;

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

struct SpokenBook {
    int status = 1;     // the command's exit status so far: 0, 1, 2 or 130
    bool spoke = false; // the book reached the speech queue (report is its outcome)
    ConversionReport report;
    SpeechSettings speech;
};
// Resolves the voice, imports the book and speaks it into `folder`, with the progress on standard
// error; problems are printed as "quarrow-cli: COMMAND: ...".
SpokenBook speakBookFile(const std::string& command, const std::string& file, const SpeechChoice& choice,
                         const std::string& folder, const InterruptWatch& interrupt);
// "done", "no-text", ... as --json names the outcome.
const char* conversionOutcomeName(ConversionOutcome outcome);

} // namespace quarrow::cli
