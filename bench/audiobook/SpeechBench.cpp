// Times the whole speaking pipeline on a 5,000-word text book (import, text reading, synthesis on
// the conversion queue's worker, AIFF writing, progress handed to a main-thread loop, the file
// named at the end) against `espeak-ng -w out.wav` on the same text, voice and rate, alternating
// the two in one run. The goal is a ratio of at most 1.1. Also reports the real-time factor:
// seconds of work per second of speech.
//
//   quarrow_bench_speech [words, default 5000] [repetitions, default 3]

#include "audiobook/BookImport.h"
#include "audiobook/ConversionQueue.h"
#include "platform/AiffFile.h"
#include "platform/MainThread.h"
#include "platform/SpeechEngine.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace quarrow;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Plain English prose from a fixed seed: sentences of 6 to 18 words, paragraphs of 3 to 7 sentences.
std::string makeText(int words) {
    static const char* const kWords[] = {
        "the",     "river",  "ran",     "past",     "a",      "quiet", "village",    "where",     "old",
        "stories", "were",   "told",    "at",       "night",  "and",   "children",   "listened",  "with",
        "wide",    "eyes",   "while",   "lanterns", "burned", "low",   "in",         "morning",   "fishermen",
        "mended",  "their",  "nets",    "by",       "water",  "that",  "never",      "seemed",    "to",
        "stop",    "moving", "towards", "sea",      "beyond", "hills", "travellers", "sometimes", "came",
        "asking",  "for",    "bread",   "shelter",  "news",   "of",    "distant",    "cities",    "markets",
        "bridges", "winter", "summer",  "harvest",  "was",    "good",  "this",       "year",      "everyone",
        "said",    "so",     "baker",   "smiled",   "often"};
    constexpr std::size_t kCount = sizeof kWords / sizeof kWords[0];
    std::uint64_t state = 0x5eed;
    const auto next = [&state](std::size_t n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::size_t>(state >> 33) % n;
    };
    std::string text;
    int written = 0;
    int sentencesLeft = 3 + static_cast<int>(next(5));
    while (written < words) {
        const int length = std::min(6 + static_cast<int>(next(13)), words - written);
        for (int i = 0; i < length; ++i) {
            std::string word = kWords[next(kCount)];
            if (i == 0) {
                word[0] = static_cast<char>(word[0] - 'a' + 'A');
            }
            text += word;
            text += i + 1 < length ? (next(9) == 0 ? ", " : " ") : ". ";
        }
        written += length;
        if (--sentencesLeft == 0) {
            text += "\n\n";
            sentencesLeft = 3 + static_cast<int>(next(5));
        }
    }
    return text;
}

double runEspeak(const std::string& textFile, const std::string& wavFile) {
    const std::vector<std::string> args = {"espeak-ng", "-v", "en-us", "-s", "175",   "-a",
                                           "100",       "-w", wavFile, "-f", textFile};
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "espeak-ng", nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "espeak-ng could not be started\n");
        std::exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "espeak-ng failed\n");
        std::exit(1);
    }
    return seconds;
}

struct PipelineRun {
    double seconds = 0;
    double audioSeconds = 0;
    int progressSteps = 0;
};

PipelineRun runPipeline(const std::string& textFile, const std::string& outFolder) {
    PipelineRun run;
    const auto start = Clock::now();
    MainThreadLoop loop;
    ConversionQueue queue(espeakEngine(), loop);
    bool done = false;
    queue.setListener({[&run](const ConversionProgress&) { ++run.progressSteps; },
                       [&run](const PRAudioNodePtr& f) { run.audioSeconds = f->seconds(); },
                       [&done](const ConversionReport& r) {
                           done = true;
                           if (r.outcome != ConversionOutcome::Done) {
                               std::fprintf(stderr, "conversion failed: %s\n", conversionAlertText(r).c_str());
                               std::exit(1);
                           }
                       },
                       {}});
    const ImportOutcome book = importBookFile(textFile, ImportOptions{});
    queue.enqueue({book.book, SpeechSettings{"en-us", 175, 100}, ConversionMode::Whole, outFolder});
    loop.runUntil([&done] { return done; });
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return run;
}

} // namespace

int main(int argc, char** argv) {
    const int words = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    if (!espeakEngine().available()) {
        std::fprintf(stderr, "espeak-ng data missing\n");
        return 1;
    }
    const fs::path dir = fs::temp_directory_path() / ("quarrow-speech-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string textFile = (dir / "Book.txt").string();
    std::ofstream(textFile) << makeText(words);

    std::vector<double> pipeline;
    std::vector<double> baseline;
    PipelineRun last;
    double wavSeconds = 0;
    for (int r = 0; r < repetitions; ++r) {
        const std::string wav = (dir / "out.wav").string();
        baseline.push_back(runEspeak(textFile, wav));
        if (const auto info = readAudioFileInfo(wav)) {
            wavSeconds = info->seconds();
        }
        fs::remove(wav);
        const fs::path out = dir / "out";
        fs::remove_all(out);
        last = runPipeline(textFile, out.string());
        pipeline.push_back(last.seconds);
        std::printf("run %d: espeak-ng -w %.2f s, pipeline %.2f s\n", r + 1, baseline.back(), pipeline.back());
    }
    std::sort(pipeline.begin(), pipeline.end());
    std::sort(baseline.begin(), baseline.end());
    const double p = pipeline[pipeline.size() / 2];
    const double b = baseline[baseline.size() / 2];
    std::printf("%d words: %.1f s of speech (espeak-ng's own file: %.1f s), %d progress steps\n", words,
                last.audioSeconds, wavSeconds, last.progressSteps);
    std::printf("median: pipeline %.2f s, espeak-ng -w %.2f s, ratio %.3f (goal <= 1.1)\n", p, b, p / b);
    std::printf("real-time factor: pipeline %.4f (%.0fx faster than real time), espeak-ng %.4f\n",
                p / last.audioSeconds, last.audioSeconds / p, b / wavSeconds);
    fs::remove_all(dir);
    return 0;
}
