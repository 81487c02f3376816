#include "AudiobookCommand.h"

#include "Json.h"
#include "SpeakCommand.h"

#include "audiobook/AudioFileConverter.h"
#include "platform/Process.h"
#include "platform/WorkFolder.h"

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace quarrow::cli {

namespace {

constexpr int kFailed = 1;
constexpr int kUsageError = 2;
constexpr int kInterrupted = 130;

int usageError(const std::string& message) {
    std::fprintf(stderr, "quarrow-cli: audiobook: %s (see 'quarrow-cli help audiobook')\n", message.c_str());
    return kUsageError;
}

} // namespace

int runAudiobookCommand(const std::vector<std::string>& args) {
    std::optional<std::string> file;
    std::optional<std::string> to;
    std::optional<AudioFormat> format;
    SpeechChoice choice;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const int taken = takeSpeechOption("audiobook", args, i, choice);
        if (taken < 0) {
            return -taken;
        }
        if (taken > 0) {
            continue;
        }
        if (arg == "--to") {
            if (i + 1 >= args.size()) {
                return usageError("--to needs a value");
            }
            to = argumentPath(args[++i]);
        } else if (arg == "--m4b" || arg == "--mp3") {
            const AudioFormat chosen = arg == "--m4b" ? AudioFormat::M4B : AudioFormat::MP3;
            if (format && *format != chosen) {
                return usageError("choose one of --m4b and --mp3");
            }
            format = chosen;
        } else if (arg == "--json") {
            json = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (file) {
            return usageError("one book at a time");
        } else {
            file = argumentPath(arg);
        }
    }
    if (!file) {
        return usageError("which book? give its file");
    }
    if (!to) {
        return usageError("where to? give --to DIR");
    }
    const AudioFormat chosen = format.value_or(AudioFormat::M4B);

    // The spoken files are only a step on the way: they stay private and go when the command ends.
    WorkFolder work("speech");
    const auto workPath = work.path();
    if (!workPath) {
        std::fprintf(stderr, "quarrow-cli: audiobook: the private work folder cannot be made\n");
        return kFailed;
    }
    const InterruptWatch interrupt;
    const SpokenBook spoken = speakBookFile("audiobook", *file, choice, *workPath, interrupt);

    AudioConversionResult result;
    if (spoken.status == 0) {
        const auto job = bookConversionJob(spoken.report.files, chosen, *to);
        if (!job) {
            result.error = "the book gave no audio";
        } else {
            const bool tty = ::isatty(STDERR_FILENO) == 1;
            std::fprintf(stderr, "Making the %s audiobook of %zu part%s\n", audioFormatName(chosen), job->parts.size(),
                         job->parts.size() == 1 ? "" : "s");
            AudioFileConverter converter(systemProcessRunner());
            int shown = -1;
            result = converter.convert(
                *job,
                [&](double share) {
                    const int percent = static_cast<int>(share * 100);
                    if (tty && percent != shown) {
                        shown = percent;
                        std::fprintf(stderr, "\r%s %3d%%", audioFormatName(chosen), percent);
                    }
                },
                [&] { return interrupt.interrupted(); });
            if (tty) {
                std::fprintf(stderr, "\r\033[K");
            }
        }
    }
    int status = spoken.status;
    if (status == 0) {
        if (result.outcome == AudioConversionOutcome::Done) {
            std::fprintf(stderr, "Wrote %s (%.1f s)\n", result.path.c_str(), result.seconds);
        } else if (result.outcome == AudioConversionOutcome::Cancelled || interrupt.interrupted()) {
            std::fprintf(stderr, "quarrow-cli: audiobook: interrupted; the unfinished file was removed\n");
            status = kInterrupted;
        } else {
            std::fprintf(stderr, "quarrow-cli: audiobook: %s: %s\n", file->c_str(), result.error.c_str());
            status = kFailed;
        }
    }
    if (json && spoken.spoke) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", result.seconds);
        const bool done = status == 0;
        std::string chapters;
        if (done && spoken.report.files.size() > 1) {
            for (const auto& f : spoken.report.files) {
                chapters += std::string(chapters.empty() ? "" : ", ") + jsonString(f->partTitle());
            }
        }
        std::printf("{\"book\": %s, \"format\": \"%s\", \"voice\": %s, \"outcome\": \"%s\", \"path\": %s, "
                    "\"seconds\": %s, \"chapters\": [%s], \"error\": %s}\n",
                    jsonPath(*file).c_str(), audioFormatName(chosen), jsonString(spoken.speech.voice).c_str(),
                    status == kInterrupted ? "cancelled"
                                           : (spoken.status != 0 ? conversionOutcomeName(spoken.report.outcome)
                                                                 : (done ? "done" : "convert-failed")),
                    done ? jsonPath(result.path).c_str() : "null", done ? seconds : "null", chapters.c_str(),
                    done || result.error.empty() ? "null" : jsonString(result.error).c_str());
    }
    return status;
}

} // namespace quarrow::cli
