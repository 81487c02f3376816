#include "SpeakCommand.h"

#include "Json.h"
#include "audiobook/AudioOutputNames.h"
#include "audiobook/BookImport.h"
#include "audiobook/ConversionQueue.h"
#include "audiobook/SpeechSliders.h"
#include "audiobook/SpeechVoices.h"
#include "platform/Platform.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace quarrow::cli {

namespace {

constexpr int kFailed = 1;
constexpr int kUsageError = 2;
constexpr int kInterrupted = 130;

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int) {
    g_interrupted = 1;
}

} // namespace

InterruptWatch::InterruptWatch() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    g_interrupted = 0;
    ::sigaction(SIGINT, &action, &oldInt_);
    ::sigaction(SIGTERM, &action, &oldTerm_);
}

InterruptWatch::~InterruptWatch() {
    ::sigaction(SIGINT, &oldInt_, nullptr);
    ::sigaction(SIGTERM, &oldTerm_, nullptr);
}

bool InterruptWatch::interrupted() const {
    return g_interrupted != 0;
}

namespace {

int usageError(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "quarrow-cli: %s: %s (see 'quarrow-cli help %s')\n", command.c_str(), message.c_str(),
                 command.c_str());
    return kUsageError;
}

int usageError(const std::string& message) {
    return usageError("speak", message);
}

std::optional<int> numberIn(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

const char* outcomeName(ConversionOutcome outcome) {
    switch (outcome) {
    case ConversionOutcome::Done:
        return "done";
    case ConversionOutcome::NoText:
        return "no-text";
    case ConversionOutcome::Unreadable:
        return "unreadable";
    case ConversionOutcome::UnsupportedType:
        return "unsupported";
    case ConversionOutcome::SpeechFailed:
        return "speech-failed";
    case ConversionOutcome::WriteFailed:
        return "write-failed";
    case ConversionOutcome::Cancelled:
        return "cancelled";
    }
    return "";
}

int listVoices(bool json) {
    SpeechEngine& engine = espeakEngine();
    const auto installed = engine.voices();
    if (json) {
        std::printf("[");
    }
    bool first = true;
    for (const SpeechLanguage& language : speechLanguages()) {
        const EngineVoice voice = engineVoiceFor(language.locale, kSystemVoice, installed);
        if (json) {
            std::string voices;
            for (const std::string& title : chooseLanguage(language.label, installed).voices) {
                voices += (voices.empty() ? "" : ", ") + jsonString(title);
            }
            std::printf("%s\n  {\"language\": %s, \"locale\": %s, \"engineVoice\": %s, "
                        "\"problem\": %s, \"voices\": [%s]}",
                        first ? "" : ",", jsonString(language.label).c_str(), jsonString(language.locale).c_str(),
                        voice.voice.empty() ? "null" : jsonString(voice.voice).c_str(),
                        voice.problem.empty() ? "null" : jsonString(voice.problem).c_str(), voices.c_str());
        } else {
            std::printf("%-38s %-6s %s\n", language.label.c_str(), language.locale.c_str(),
                        voice.voice.empty() ? ("(" + voice.problem + ")").c_str() : voice.voice.c_str());
        }
        first = false;
    }
    if (json) {
        std::printf("\n]\n");
    }
    return engine.available() ? 0 : kFailed;
}

} // namespace

int takeSpeechOption(const std::string& command, const std::vector<std::string>& args, std::size_t& i,
                     SpeechChoice& choice) {
    const std::string& arg = args[i];
    if (arg == "--voice" || arg == "--language" || arg == "--rate" || arg == "--volume") {
        if (i + 1 >= args.size()) {
            return -usageError(command, arg + " needs a value");
        }
        const std::string& v = args[++i];
        if (arg == "--voice") {
            choice.voiceName = v;
        } else if (arg == "--language") {
            choice.languageLabel = v;
            choice.languageGiven = true;
        } else if (arg == "--rate") {
            const auto n = numberIn(v, kEngineRateMinimum, kEngineRateMaximum);
            if (!n) {
                return -usageError(command, "--rate takes words a minute from 80 to 450");
            }
            choice.rate = *n;
        } else {
            const auto n = numberIn(v, 0, 200);
            if (!n) {
                return -usageError(command, "--volume takes 0 to 200 (100 is normal)");
            }
            choice.volume = *n;
        }
        return 1;
    }
    if (arg == "--per-page" || arg == "--per-chapter" || arg == "--whole") {
        const ConversionMode chosen = arg == "--whole" ? ConversionMode::Whole : ConversionMode::PerPart;
        if (choice.mode && *choice.mode != chosen) {
            return -usageError(command, "choose one of --per-page, --per-chapter and --whole");
        }
        choice.mode = chosen;
        return 1;
    }
    return 0;
}

SpokenBook speakBookFile(const std::string& command, const std::string& file, const SpeechChoice& choice,
                         const std::string& folder, const InterruptWatch& interrupt) {
    SpokenBook spoken;
    spoken.status = kFailed;
    // The voice: a voice of the language table ("Daniel", "System Voice") or one
    // of the engine's own ("en-gb", "de+f2").
    SpeechEngine& engine = espeakEngine();
    const SpeechLanguage* language = speechLanguageNamed(choice.languageLabel);
    if (language == nullptr) {
        spoken.status = usageError(command, "unknown language \"" + choice.languageLabel +
                                                "\"; 'quarrow-cli speak --voices' lists them");
        return spoken;
    }
    SpeechSettings& speech = spoken.speech;
    speech = SpeechSettings{"", choice.rate, choice.volume};
    const std::string title = choice.voiceName.value_or(kSystemVoice);
    const auto installed = engine.voices();
    auto offered = chooseLanguage(language->label, installed).voices;
    if (!choice.languageGiven && std::find(offered.begin(), offered.end(), title) == offered.end() &&
        !engine.acceptsVoice(title)) {
        // A voice of another language ("Daniel"): that language, the first that offers it.
        for (const SpeechLanguage& other : speechLanguages()) {
            if (std::find(other.voices.begin(), other.voices.end(), title) != other.voices.end()) {
                language = &other;
                offered = chooseLanguage(language->label, installed).voices;
                break;
            }
        }
    }
    if (choice.languageGiven || std::find(offered.begin(), offered.end(), title) != offered.end()) {
        const EngineVoice voice = engineVoiceFor(language->locale, title, installed);
        if (voice.voice.empty()) {
            std::fprintf(stderr, "quarrow-cli: %s: %s\n", command.c_str(), voice.problem.c_str());
            return spoken;
        }
        speech.voice = voice.voice;
    } else if (engine.acceptsVoice(title)) {
        speech.voice = title;
    } else {
        spoken.status = usageError(command, "unknown voice \"" + title + "\"; 'quarrow-cli speak --voices' lists them");
        return spoken;
    }
    if (!engine.available()) {
        std::fprintf(stderr,
                     "quarrow-cli: %s: the speech engine could not "
                     "start (is espeak-ng-data installed?)\n",
                     command.c_str());
        return spoken;
    }

    ImportOutcome imported = importBookFile(file, ImportOptions{});
    if (!imported.book) {
        std::fprintf(stderr, "quarrow-cli: %s: %s: %s\n", command.c_str(), file.c_str(), imported.error.c_str());
        return spoken;
    }
    if (!imported.warning.empty()) {
        std::fprintf(stderr, "quarrow-cli: %s: %s: %s\n", command.c_str(), file.c_str(), imported.warning.c_str());
    }
    const PRBookNodePtr book = imported.book;
    UserDefaults& defaults = Platform::current().defaults();
    settleConversionPreferences(defaults);

    MainThreadLoop loop;
    MainThread& previousMain = Platform::current().mainThread();
    Platform::current().setMainThread(&loop);
    ConversionQueue& queue = ConversionQueue::shared();
    const bool tty = ::isatty(STDERR_FILENO) == 1;
    std::optional<ConversionReport> report;
    const std::uint64_t listener = queue.setListener(
        {[tty](const ConversionProgress& p) {
             if (tty) {
                 std::fprintf(stderr, "\r[%d/%d] %s %3d%%", p.part, p.parts, p.fileName.c_str(), p.percent);
             } else if (p.percent == 0) {
                 std::fprintf(stderr, "Speaking %s (%d of %d)\n", p.fileName.c_str(), p.part, p.parts);
             }
         },
         [tty](const PRAudioNodePtr& f) {
             std::fprintf(stderr, "%sWrote %s (%.1f s)\n", tty ? "\r\033[K" : "", f->audioPath().value_or("").c_str(),
                          f->seconds());
         },
         [&report](const ConversionReport& r) { report = r; },
         {}});

    queue.enqueue({book, speech, choice.mode.value_or(preferredMode(defaults, book->fileType().value_or(""))), folder});
    bool cancelled = false;
    // Progress arrives many times a second while a file is spoken, so an
    // interrupt is seen quickly.
    loop.runUntil([&] {
        if (interrupt.interrupted() && !cancelled) {
            cancelled = true;
            queue.cancel();
        }
        return report.has_value();
    });
    queue.waitUntilIdle();
    queue.clearListener(listener);
    Platform::current().setMainThread(&previousMain);
    spoken.report = std::move(*report);
    spoken.spoke = true;

    if (spoken.report.outcome == ConversionOutcome::Cancelled) {
        std::fprintf(stderr, "%squarrow-cli: %s: interrupted; the unfinished file was removed\n", tty ? "\n" : "",
                     command.c_str());
        spoken.status = kInterrupted;
    } else if (spoken.report.outcome != ConversionOutcome::Done) {
        std::string why = conversionAlertText(spoken.report);
        if (!spoken.report.detail.empty() && why != spoken.report.detail) {
            why += " (" + spoken.report.detail + ")";
        }
        std::fprintf(stderr, "quarrow-cli: %s: %s: %s\n", command.c_str(), file.c_str(), why.c_str());
        spoken.status = kFailed;
    } else {
        spoken.status = 0;
    }
    return spoken;
}

const char* conversionOutcomeName(ConversionOutcome outcome) {
    return outcomeName(outcome);
}

int runSpeakCommand(const std::vector<std::string>& args) {
    std::optional<std::string> file;
    std::optional<std::string> to;
    SpeechChoice choice;
    bool json = false;
    bool listing = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const int taken = takeSpeechOption("speak", args, i, choice);
        if (taken < 0) {
            return -taken;
        }
        if (taken > 0) {
            continue;
        }
        if (arg == "--to") {
            if (i + 1 >= args.size()) {
                return usageError(arg + " needs a value");
            }
            to = argumentPath(args[++i]);
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--voices") {
            listing = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (file) {
            return usageError("one book at a time");
        } else {
            file = argumentPath(arg);
        }
    }
    if (listing) {
        return listVoices(json);
    }
    if (!file) {
        return usageError("which book? give its file");
    }
    const std::string folder = to ? *to : audioBookFolder(documentsFolder(Platform::current().host().homeFolder()));
    const InterruptWatch interrupt;
    const SpokenBook spoken = speakBookFile("speak", *file, choice, folder, interrupt);
    if (json && spoken.spoke) {
        std::string files;
        for (const auto& f : spoken.report.files) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.3f", f->seconds());
            files += std::string(files.empty() ? "" : ", ") + "{\"path\": " + jsonPath(f->audioPath()) +
                     ", \"name\": " + jsonString(f->aduioName()) + ", \"part\": " + std::to_string(f->partNumber()) +
                     ", \"title\": " + jsonString(f->partTitle()) + ", \"seconds\": " + seconds + "}";
        }
        std::printf("{\"book\": %s, \"voice\": %s, \"rate\": %d, \"volume\": %d, "
                    "\"outcome\": \"%s\", \"files\": [%s]}\n",
                    jsonPath(*file).c_str(), jsonString(spoken.speech.voice).c_str(), choice.rate, choice.volume,
                    outcomeName(spoken.report.outcome), files.c_str());
    }
    return spoken.status;
}

} // namespace quarrow::cli
