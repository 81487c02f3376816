// Converting the converter's AIFF files to M4B audio books and MP3 with ffmpeg: what the files
// really are is read back with ffprobe; failures of every kind leave nothing behind and say so.

#include "audiobook/AudioFileConverter.h"
#include "audiobook/MediaLibrary.h"
#include "platform/AiffFile.h"
#include "platform/Process.h"

#include "support/ScopedCacheHome.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

using namespace quarrow;
using namespace quarrow::test;
namespace fs = std::filesystem;

namespace {

constexpr int kRate = 22050;

// A tone of `seconds` as the speech pipeline would write it.
std::string makeAiff(const std::string& folder, const std::string& stem, double seconds, double hz = 440) {
    AiffWriter writer;
    EXPECT_TRUE(writer.open(folder, kRate));
    std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * hz * static_cast<double>(i) / kRate));
    }
    writer.write(samples.data(), samples.size());
    return writer.finish(stem).value_or("");
}

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::string head(const std::string& path, std::size_t n) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(n, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(n));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// A small cover as the PDF renderer draws one: 32-bit pixels, rows padded.
BookCoverPtr drawnCover() {
    auto cover = std::make_shared<BookCover>();
    cover->form = BookCover::Form::Argb32;
    cover->width = 6;
    cover->height = 4;
    cover->stride = 32;
    cover->bytes.assign(static_cast<std::size_t>(cover->stride * cover->height), '\x7f');
    return cover;
}

class RealConversion : public ::testing::Test {
protected:
    TempDir dir;
    ScopedCacheHome cache{dir.makeDir("cache")};
    std::string folder = dir.makeDir("AudioBook");
    AudioFileConverter converter{systemProcessRunner()};

    AudioProbe probeOf(const std::string& path) {
        std::string error;
        const auto probe = converter.probe(path, error);
        EXPECT_TRUE(probe) << error;
        return probe.value_or(AudioProbe{});
    }
};

TEST_F(RealConversion, OneFileBecomesAnM4bAudioBookOfTheSameLength) {
    const std::string aiff = makeAiff(folder, "Title.epub -01", 0.8);
    AudioConversionJob job{{{aiff, "Chapter One", 0.8}},
                           AudioFormat::M4B,
                           folder,
                           "Title.epub -01",
                           "A Title",
                           "Some Author",
                           drawnCover()};
    double lastProgress = -1;
    const AudioConversionResult result = converter.convert(job, [&](double p) { lastProgress = p; });
    ASSERT_EQ(result.outcome, AudioConversionOutcome::Done) << result.error;
    EXPECT_EQ(result.path, folder + "/Title.epub -01.m4b");
    EXPECT_DOUBLE_EQ(lastProgress, 1.0);
    const AudioProbe probe = probeOf(result.path);
    EXPECT_EQ(probe.majorBrand, "M4B ");
    EXPECT_EQ(probe.audioCodec, "aac");
    EXPECT_NEAR(probe.duration, 0.8, 0.1);
    EXPECT_EQ(probe.title, "A Title");
    EXPECT_EQ(probe.artist, "Some Author");
    EXPECT_TRUE(probe.hasCover);
    EXPECT_TRUE(probe.chapterTitles.empty());
    EXPECT_EQ(head(result.path, 12).substr(4), "ftypM4B ");
    // The input stays; no temporary file is left.
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"Title.epub -01.aiff", "Title.epub -01.m4b"}));
}

TEST_F(RealConversion, Mp3IsRealMpegAudioAndNeverReplacesAFile) {
    const std::string aiff = makeAiff(folder, "Tale", 0.6);
    std::ofstream(folder + "/Tale.mp3") << "the user's own file";
    AudioConversionJob job{{{aiff, "Tale", 0}}, AudioFormat::MP3, folder, "Tale", std::nullopt, std::nullopt, {}};
    const AudioConversionResult result = converter.convert(job);
    ASSERT_EQ(result.outcome, AudioConversionOutcome::Done) << result.error;
    EXPECT_EQ(result.path, folder + "/Tale (2).mp3");
    const AudioProbe probe = probeOf(result.path);
    EXPECT_EQ(probe.formatName, "mp3");
    EXPECT_EQ(probe.audioCodec, "mp3");
    EXPECT_NEAR(probe.duration, 0.6, 0.1);
    EXPECT_EQ(head(result.path, 3), "ID3");
    EXPECT_EQ(head(folder + "/Tale.mp3", 100), "the user's own file");
}

TEST_F(RealConversion, ABooksFilesBecomeOneM4bWithAChapterEach) {
    auto book = std::make_shared<PRBookNode>();
    book->setBookName("Tale.epub");
    book->setTitle("A Tale; of = Two # Towns");
    book->setAuthor("Ann Author");
    const char* titles[] = {"Opening", "The \"Middle\"", "End\nof it"};
    std::vector<PRAudioNodePtr> files;
    for (int i = 3; i >= 1; --i) { // handed over out of order on purpose
        auto f = std::make_shared<PRAudioNode>();
        f->setAudioPath(makeAiff(folder, "Tale.epub -0" + std::to_string(i), 0.3 + 0.1 * i, 300.0 * i));
        f->setBook(book);
        f->setPartNumber(i);
        f->setPartTitle(std::string(titles[i - 1]));
        f->setSeconds(0.3 + 0.1 * i);
        files.push_back(f);
    }
    const auto job = bookConversionJob(files, AudioFormat::M4B, folder);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->stem, "Tale");
    const AudioConversionResult result = converter.convert(*job);
    ASSERT_EQ(result.outcome, AudioConversionOutcome::Done) << result.error;
    EXPECT_EQ(result.path, folder + "/Tale.m4b");
    const AudioProbe probe = probeOf(result.path);
    EXPECT_EQ(probe.chapterTitles, (std::vector<std::string>{"Opening", "The \"Middle\"", "End of it"}));
    EXPECT_NEAR(probe.duration, 1.5, 0.1);
    EXPECT_EQ(probe.majorBrand, "M4B ");
    EXPECT_EQ(probe.title, "A Tale; of = Two # Towns");
}

TEST_F(RealConversion, AHostileFileNameConvertsAndRunsNothing) {
    const std::string stem = "It's \"odd\" $(touch x) `touch y`;touch z";
    const std::string aiff = makeAiff(folder, stem, 0.4);
    ASSERT_FALSE(aiff.empty());
    for (const AudioFormat format : {AudioFormat::M4B, AudioFormat::MP3}) {
        auto node = std::make_shared<PRAudioNode>();
        node->setAudioPath(aiff);
        const auto job = fileConversionJob(*node, format);
        ASSERT_TRUE(job);
        const AudioConversionResult result = converter.convert(*job);
        ASSERT_EQ(result.outcome, AudioConversionOutcome::Done) << result.error;
        EXPECT_EQ(result.path, folder + "/" + stem + audioFormatExtension(format));
    }
    for (const char* ran : {"x", "y", "z"}) {
        EXPECT_FALSE(fs::exists(ran));
        EXPECT_FALSE(fs::exists(folder + "/" + ran));
    }
}

TEST_F(RealConversion, ACutShortInputIsAFailureAndLeavesNothing) {
    const std::string aiff = makeAiff(folder, "Cut", 1.0);
    fs::resize_file(aiff, fs::file_size(aiff) / 3);
    // The length as the pipeline wrote it, and the length the damaged header still claims.
    for (const double known : {1.0, 0.0}) {
        AudioConversionJob job{{{aiff, "Cut", known}}, AudioFormat::M4B, folder, "Cut", std::nullopt, std::nullopt, {}};
        const AudioConversionResult result = converter.convert(job);
        EXPECT_EQ(result.outcome, AudioConversionOutcome::Failed);
        EXPECT_NE(result.error.find("instead of 1.0 s"), std::string::npos) << result.error;
        EXPECT_EQ(namesIn(folder), std::set<std::string>{"Cut.aiff"});
    }
}

// A scripted ffmpeg and ffprobe: how ffmpeg ends, what it leaves, what ffprobe says.
struct Script {
    const char* name;
    bool ffmpegStarts = true;
    int ffmpegExit = 0;
    bool ffmpegCancelled = false;
    std::string probeOutput;
    int probeExit = 0;
    AudioConversionOutcome outcome = AudioConversionOutcome::Failed;
    const char* errorPart = "";
};

class FakeTools : public ProcessRunner {
public:
    explicit FakeTools(const Script& script) : script_(script) {}
    std::vector<std::vector<std::string>> calls;

    ProcessResult run(const ProcessRequest& request) override {
        calls.push_back(request.arguments);
        ProcessResult result;
        if (request.arguments.at(0) == "ffmpeg") {
            result.started = script_.ffmpegStarts;
            result.exitCode = script_.ffmpegExit;
            result.cancelled = script_.ffmpegCancelled;
            result.errorOutput = "file:/somewhere: Invalid data found when processing input\n";
            if (result.started) {
                const std::string& out = request.arguments.back();
                std::ofstream(out.substr(std::strlen("file:"))) << "half a file";
                request.outputLine("out_time_us=500000");
            }
        } else {
            result.started = true;
            result.exitCode = script_.probeExit;
            std::string_view text = script_.probeOutput;
            while (!text.empty()) {
                const auto nl = text.find('\n');
                request.outputLine(text.substr(0, nl));
                text = nl == std::string_view::npos ? "" : text.substr(nl + 1);
            }
        }
        return result;
    }

private:
    const Script& script_;
};

const std::string kGoodM4b = "format.format_name=\"mov,mp4,m4a,3gp,3g2,mj2\"\nformat.duration=\"1.000000\"\n"
                             "streams.stream.0.codec_name=\"aac\"\nstreams.stream.0.codec_type=\"audio\"\n"
                             "format.tags.major_brand=\"M4B \"\n";

class ScriptedConversion : public ::testing::TestWithParam<Script> {};

TEST_P(ScriptedConversion, EndsAsTheToolsDid) {
    const Script& script = GetParam();
    TempDir dir;
    ScopedCacheHome cache(dir.makeDir("cache"));
    const std::string folder = dir.makeDir("out");
    const std::string aiff = makeAiff(folder, "Book", 1.0);
    FakeTools tools(script);
    AudioFileConverter converter(tools);
    double progress = -1;
    AudioConversionJob job{{{aiff, "Book", 1.0}}, AudioFormat::M4B, folder, "Book", std::nullopt, std::nullopt, {}};
    const AudioConversionResult result = converter.convert(job, [&](double p) { progress = p; });
    EXPECT_EQ(result.outcome, script.outcome);
    EXPECT_NE(result.error.find(script.errorPart), std::string::npos) << result.error;
    if (result.outcome == AudioConversionOutcome::Done) {
        EXPECT_EQ(namesIn(folder), (std::set<std::string>{"Book.aiff", "Book.m4b"}));
    } else {
        EXPECT_EQ(namesIn(folder), std::set<std::string>{"Book.aiff"});
    }
    // ffmpeg is started directly with the brand's trailing blank and its files as file: addresses.
    ASSERT_FALSE(tools.calls.empty());
    const auto& ffmpeg = tools.calls.front();
    EXPECT_EQ(ffmpeg.front(), "ffmpeg");
    const auto brand = std::find(ffmpeg.begin(), ffmpeg.end(), "-brand");
    ASSERT_NE(brand, ffmpeg.end());
    EXPECT_EQ(*(brand + 1), "M4B ");
    EXPECT_NE(std::find(ffmpeg.begin(), ffmpeg.end(), "file:" + aiff), ffmpeg.end());
    if (script.ffmpegStarts) {
        EXPECT_GE(progress, 0.5);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tools, ScriptedConversion,
    ::testing::Values(
        Script{"Checked", true, 0, false, kGoodM4b, 0, AudioConversionOutcome::Done, ""},
        Script{"FfmpegFails", true, 1, false, kGoodM4b, 0, AudioConversionOutcome::Failed,
               "status 1: file:/somewhere: Invalid data"},
        Script{"FfmpegMissing", false, -1, false, kGoodM4b, 0, AudioConversionOutcome::Failed, "could not be started"},
        Script{"Cancelled", true, -1, true, kGoodM4b, 0, AudioConversionOutcome::Cancelled, ""},
        Script{"OutputTooShort", true, 0, false,
               "format.duration=\"0.400000\"\nstreams.stream.0.codec_name=\"aac\"\n"
               "streams.stream.0.codec_type=\"audio\"\nformat.tags.major_brand=\"M4B \"\n",
               0, AudioConversionOutcome::Failed, "plays 0.4 s instead of 1.0 s"},
        Script{"BrandWithoutItsBlank", true, 0, false,
               "format.duration=\"1.0\"\nstreams.stream.0.codec_name=\"aac\"\n"
               "streams.stream.0.codec_type=\"audio\"\nformat.tags.major_brand=\"M4A \"\n",
               0, AudioConversionOutcome::Failed, "not an AAC audio book"},
        Script{"ProbeFails", true, 0, false, "", 1, AudioConversionOutcome::Failed, "cannot be read back"},
        Script{"ProbeSaysNothing", true, 0, false, "garbage without equals\n", 0, AudioConversionOutcome::Failed,
               "cannot be read back"}),
    [](const auto& info) { return info.param.name; });

TEST(ProbeOutput, QuotedTextsAndHostileChapterNumbers) {
    const AudioProbe probe = parseProbeOutput("chapters.chapter.1.tags.title=\"Two \\\"2\\\" \\$x\\\\\"\n"
                                              "chapters.chapter.0.tags.title=\"One\"\n"
                                              "chapters.chapter.999999999.id=7\n"
                                              "chapters.chapter.2147483647.id=8\n" // the largest index, plus one
                                              "chapters.chapter.99999999999.id=9\n"
                                              "streams.stream.0.codec_name=\"mjpeg\"\n"
                                              "streams.stream.0.codec_type=\"video\"\n"
                                              "streams.stream.0.disposition.attached_pic=1\n"
                                              "streams.stream.1.codec_name=\"mp3\"\n"
                                              "streams.stream.1.codec_type=\"audio\"\n"
                                              "format.duration=\"12.5\"\n");
    EXPECT_DOUBLE_EQ(probe.duration, 12.5);
    EXPECT_EQ(probe.audioCodec, "mp3");
    EXPECT_TRUE(probe.hasCover);
    ASSERT_LE(probe.chapterTitles.size(), 11u);
    ASSERT_GE(probe.chapterTitles.size(), 2u);
    EXPECT_EQ(probe.chapterTitles[0], "One");
    EXPECT_EQ(probe.chapterTitles[1], "Two \"2\" $x\\");
    // A length ffprobe does not know, or one that no comparison could fail, is no length.
    for (const char* duration : {"\"N/A\"", "\"nan\"", "\"inf\"", "\"-nan\""}) {
        EXPECT_LT(parseProbeOutput(std::string("format.duration=") + duration + "\n").duration, 0) << duration;
    }
}

TEST(MediaLibrary, CopiesOnceAndReportsWhatItCannotDo) {
    TempDir dir;
    const std::string source = dir.makeDir("src");
    std::ofstream(source + "/Tale.m4b") << "audio";
    const std::string library = dir.file("Music/Audiobooks");

    const MediaCopyResult first = copyToMediaLibrary(source + "/Tale.m4b", library);
    ASSERT_TRUE(first.copied) << first.error;
    EXPECT_EQ(head(first.path, 10), "audio");

    std::ofstream(source + "/Tale.m4b") << "changed";
    const MediaCopyResult second = copyToMediaLibrary(source + "/Tale.m4b", library);
    EXPECT_FALSE(second.copied);
    EXPECT_NE(second.error.find("already in"), std::string::npos);
    EXPECT_EQ(head(library + "/Tale.m4b", 10), "audio");

    const MediaCopyResult missing = copyToMediaLibrary(source + "/Gone.m4b", library);
    EXPECT_FALSE(missing.copied);
    EXPECT_FALSE(missing.error.empty());
    std::ofstream(dir.file("Music/blocked")) << "a file where a folder should be";
    const MediaCopyResult blocked = copyToMediaLibrary(source + "/Tale.m4b", dir.file("Music/blocked/Audiobooks"));
    EXPECT_FALSE(blocked.copied);
    EXPECT_NE(blocked.error.find("cannot be made"), std::string::npos);
    EXPECT_EQ(namesIn(library), std::set<std::string>{"Tale.m4b"});
}

} // namespace
