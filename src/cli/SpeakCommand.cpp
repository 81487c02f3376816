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

int usageError(const std::string& message) {
    std::fprintf(stderr, "quarrow-cli: speak: %s (see 'quarrow-cli help speak')\n", message.c_str());
    return kUsageError;
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

int runSpeakCommand(const std::vector<std::string>& args) {
    std::optional<std::string> file;
    std::optional<std::string> to;
    std::optional<std::string> voiceName;
    std::string languageLabel = kDefaultLanguage;
    bool languageGiven = false;
    int rate = 175;
    int volume = 100;
    std::optional<ConversionMode> mode;
    bool json = false;
    bool listing = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == "--to" || arg == "--voice" || arg == "--language" || arg == "--rate" || arg == "--volume") {
            const auto v = value();
            if (!v) {
                return usageError(arg + " needs a value");
            }
            if (arg == "--to") {
                to = argumentPath(*v);
            } else if (arg == "--voice") {
                voiceName = *v;
            } else if (arg == "--language") {
                languageLabel = *v;
                languageGiven = true;
            } else if (arg == "--rate") {
                const auto n = numberIn(*v, kEngineRateMinimum, kEngineRateMaximum);
                if (!n) {
                    return usageError("--rate takes words a minute from 80 to 450");
                }
                rate = *n;
            } else {
                const auto n = numberIn(*v, 0, 200);
                if (!n) {
                    return usageError("--volume takes 0 to 200 (100 is normal)");
                }
                volume = *n;
            }
        } else if (arg == "--per-page" || arg == "--per-chapter" || arg == "--whole") {
            const ConversionMode chosen = arg == "--whole" ? ConversionMode::Whole : ConversionMode::PerPart;
            if (mode && *mode != chosen) {
                return usageError("choose one of --per-page, --per-chapter and --whole");
            }
            mode = chosen;
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

    // The voice: a voice of the language table ("Daniel", "System Voice") or one
    // of the engine's own ("en-gb", "de+f2").
    SpeechEngine& engine = espeakEngine();
    const SpeechLanguage* language = speechLanguageNamed(languageLabel);
    if (language == nullptr) {
        return usageError("unknown language \"" + languageLabel + "\"; 'quarrow-cli speak --voices' lists them");
    }
    SpeechSettings speech{"", rate, volume};
    const std::string title = voiceName.value_or(kSystemVoice);
    const auto installed = engine.voices();
    auto offered = chooseLanguage(language->label, installed).voices;
    if (!languageGiven && std::find(offered.begin(), offered.end(), title) == offered.end() &&
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
    if (languageGiven || std::find(offered.begin(), offered.end(), title) != offered.end()) {
        const EngineVoice voice = engineVoiceFor(language->locale, title, installed);
        if (voice.voice.empty()) {
            std::fprintf(stderr, "quarrow-cli: speak: %s\n", voice.problem.c_str());
            return kFailed;
        }
        speech.voice = voice.voice;
    } else if (engine.acceptsVoice(title)) {
        speech.voice = title;
    } else {
        return usageError("unknown voice \"" + title + "\"; 'quarrow-cli speak --voices' lists them");
    }
    if (!engine.available()) {
        std::fprintf(stderr, "quarrow-cli: speak: the speech engine could not "
                             "start (is espeak-ng-data installed?)\n");
        return kFailed;
    }

    ImportOutcome imported = importBookFile(*file, ImportOptions{});
    if (!imported.book) {
        std::fprintf(stderr, "quarrow-cli: speak: %s: %s\n", file->c_str(), imported.error.c_str());
        return kFailed;
    }
    if (!imported.warning.empty()) {
        std::fprintf(stderr, "quarrow-cli: speak: %s: %s\n", file->c_str(), imported.warning.c_str());
    }
    const PRBookNodePtr book = imported.book;
    UserDefaults& defaults = Platform::current().defaults();
    settleConversionPreferences(defaults);
    const std::string folder = to ? *to : audioBookFolder(documentsFolder(Platform::current().host().homeFolder()));

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

    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction oldInt {};
    struct sigaction oldTerm {};
    ::sigaction(SIGINT, &action, &oldInt);
    ::sigaction(SIGTERM, &action, &oldTerm);
    g_interrupted = 0;
    queue.enqueue({book, speech, mode.value_or(preferredMode(defaults, book->fileType().value_or(""))), folder});
    bool cancelled = false;
    // Progress arrives many times a second while a file is spoken, so an
    // interrupt is seen quickly.
    loop.runUntil([&] {
        if (g_interrupted && !cancelled) {
            cancelled = true;
            queue.cancel();
        }
        return report.has_value();
    });
    queue.waitUntilIdle();
    queue.clearListener(listener);
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    Platform::current().setMainThread(&previousMain);

    if (json) {
        std::string files;
        for (const auto& f : report->files) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.3f", f->seconds());
            files += std::string(files.empty() ? "" : ", ") + "{\"path\": " + jsonPath(f->audioPath()) +
                     ", \"name\": " + jsonString(f->aduioName()) + ", \"part\": " + std::to_string(f->partNumber()) +
                     ", \"title\": " + jsonString(f->partTitle()) + ", \"seconds\": " + seconds + "}";
        }
        std::printf("{\"book\": %s, \"voice\": %s, \"rate\": %d, \"volume\": %d, "
                    "\"outcome\": \"%s\", \"files\": [%s]}\n",
                    jsonPath(*file).c_str(), jsonString(speech.voice).c_str(), rate, volume,
                    outcomeName(report->outcome), files.c_str());
    }
    if (report->outcome == ConversionOutcome::Cancelled) {
        std::fprintf(stderr, "%squarrow-cli: speak: interrupted; the unfinished file was removed\n", tty ? "\n" : "");
        return kInterrupted;
    }
    if (report->outcome != ConversionOutcome::Done) {
        std::string why = conversionAlertText(*report);
        if (!report->detail.empty() && why != report->detail) {
            why += " (" + report->detail + ")";
        }
        std::fprintf(stderr, "quarrow-cli: speak: %s: %s\n", file->c_str(), why.c_str());
        return kFailed;
    }
    return 0;
}

} // namespace quarrow::cli
