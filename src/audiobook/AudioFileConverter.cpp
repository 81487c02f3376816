#include "AudioFileConverter.h"

#include "AudioOutputNames.h"
#include "BookFiles.h"

#include "platform/FileMoves.h"
#include "platform/Log.h"
#include "platform/Process.h"
#include "platform/UniqueFd.h"
#include "platform/WorkFolder.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

namespace fs = std::filesystem;

namespace {

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : path.substr(0, slash));
}

// The value of a flat line: a number as it stands, a text between quotes with its escapes undone.
std::string flatValue(std::string_view value) {
    if (value.empty() || value.front() != '"') {
        return std::string(value);
    }
    std::string text;
    for (std::size_t i = 1; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            text += value[++i];
        } else if (c == '"') {
            break;
        } else {
            text += c;
        }
    }
    return text;
}

std::optional<double> numberIn(std::string_view text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    // ffprobe says "N/A" for what it does not know; "nan" or "inf" would pass every comparison.
    if (ec != std::errc() || end == text.data() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

enum class CoverKind { None, Jpeg, Png, Raw };

CoverKind coverKind(const BookCover& cover) {
    if (cover.form == BookCover::Form::Argb32) {
        const bool fits = cover.width > 0 && cover.height > 0 && cover.stride >= cover.width * 4 &&
                          cover.bytes.size() >= static_cast<std::size_t>(cover.stride) * cover.height;
        return fits ? CoverKind::Raw : CoverKind::None;
    }
    const std::string_view b(cover.bytes);
    if (startsWith(b, "\xFF\xD8\xFF")) {
        return CoverKind::Jpeg;
    }
    if (startsWith(b, "\x89PNG\r\n\x1A\n")) {
        return CoverKind::Png;
    }
    // Other pictures (GIF, SVG, ...) are left out rather than risk the whole conversion on them.
    return CoverKind::None;
}

// Writes a file of the work folder; false when it cannot.
bool writeWorkFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

// The cover's pixels in rows without padding, as ffmpeg's raw "bgra" frames take them (the
// renderer's 32-bit ARGB in little-endian memory order is B, G, R, A).
std::string packedPixels(const BookCover& cover) {
    std::string packed;
    const auto row = static_cast<std::size_t>(cover.width) * 4;
    packed.reserve(row * static_cast<std::size_t>(cover.height));
    for (int y = 0; y < cover.height; ++y) {
        packed.append(cover.bytes, static_cast<std::size_t>(y) * static_cast<std::size_t>(cover.stride), row);
    }
    return packed;
}

// Removes the unfinished output unless it was given its name.
class TemporaryOutput {
public:
    explicit TemporaryOutput(std::string path) : path_(std::move(path)) {}
    ~TemporaryOutput() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;
    const std::string& path() const { return path_; }
    void release() { path_.clear(); }

private:
    std::string path_;
};

AudioConversionResult failed(std::string error) {
    AudioConversionResult result;
    result.outcome = AudioConversionOutcome::Failed;
    result.error = std::move(error);
    return result;
}

} // namespace

const char* audioFormatExtension(AudioFormat format) {
    return format == AudioFormat::M4B ? ".m4b" : ".mp3";
}

const char* audioFormatName(AudioFormat format) {
    return format == AudioFormat::M4B ? "M4B" : "MP3";
}

std::string ffmpegFileUrl(const std::string& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return "file:" + (ec ? path : absolute.string());
}

std::string oneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return line;
}

std::string ffmetadataValue(std::string_view text) {
    std::string value;
    value.reserve(text.size());
    for (const char c : text) {
        if (c == '=' || c == ';' || c == '#' || c == '\\') {
            value += '\\';
            value += c;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            value += ' ';
        } else {
            value += c;
        }
    }
    return value;
}

AudioProbe parseProbeOutput(std::string_view text) {
    AudioProbe probe;
    std::vector<std::pair<int, std::string>> chapters; // index, title
    std::int64_t chapterCount = 0;                     // wide enough for the largest index a line may name, plus one
    std::string firstAudioStream;                      // "streams.stream.N." of the first audio stream
    std::vector<std::pair<std::string, std::string>> lines;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        const std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        lines.emplace_back(std::string(line.substr(0, eq)), flatValue(line.substr(eq + 1)));
    }
    for (const auto& [key, value] : lines) {
        if (key.ends_with(".codec_type") && value == "audio" && firstAudioStream.empty()) {
            firstAudioStream = key.substr(0, key.size() - std::strlen("codec_type"));
        }
    }
    for (const auto& [key, value] : lines) {
        if (key == "format.duration") {
            probe.duration = numberIn(value).value_or(-1.0);
        } else if (key == "format.format_name") {
            probe.formatName = value;
        } else if (key == "format.tags.major_brand") {
            probe.majorBrand = value;
        } else if (key == "format.tags.title") {
            probe.title = value;
        } else if (key == "format.tags.artist") {
            probe.artist = value;
        } else if (!firstAudioStream.empty() && key == firstAudioStream + "codec_name") {
            probe.audioCodec = value;
        } else if (startsWith(key, "streams.stream.") && key.ends_with(".disposition.attached_pic") && value == "1") {
            probe.hasCover = true;
        } else if (startsWith(key, "chapters.chapter.")) {
            const std::string_view rest = std::string_view(key).substr(std::strlen("chapters.chapter."));
            int index = -1;
            const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), index);
            if (ec != std::errc() || index < 0) {
                continue;
            }
            chapterCount = std::max<std::int64_t>(chapterCount, std::int64_t{index} + 1);
            if (std::string_view(end, static_cast<std::size_t>(rest.data() + rest.size() - end)) == ".tags.title") {
                chapters.emplace_back(index, value);
            }
        }
    }
    // Bounded by the lines read, so a hostile index cannot ask for a huge list.
    chapterCount = std::min<std::int64_t>(chapterCount, static_cast<std::int64_t>(lines.size()));
    probe.chapterTitles.assign(static_cast<std::size_t>(chapterCount), std::string());
    for (const auto& [index, title] : chapters) {
        if (index < chapterCount) {
            probe.chapterTitles[static_cast<std::size_t>(index)] = title;
        }
    }
    return probe;
}

std::optional<AudioConversionJob> fileConversionJob(const PRAudioNode& file, AudioFormat format) {
    const std::string path = file.audioPath().value_or("");
    if (path.empty()) {
        return std::nullopt;
    }
    AudioConversionJob job;
    job.format = format;
    const std::string name(lastPathComponent(path));
    job.parts.push_back({path, file.partTitle().value_or(nameWithoutExtension(name)), file.seconds()});
    job.folder = folderOf(path);
    job.stem = nameWithoutExtension(name);
    if (const PRBookNodePtr book = file.book()) {
        job.title = book->title() ? book->title() : std::optional(nameWithoutExtension(bookFileName(*book)));
        job.author = book->author();
    }
    job.cover = file.audioImage();
    return job;
}

std::optional<AudioConversionJob> bookConversionJob(const std::vector<PRAudioNodePtr>& files, AudioFormat format,
                                                    const std::string& folder) {
    std::vector<PRAudioNodePtr> ordered;
    for (const PRAudioNodePtr& f : files) {
        if (f && f->audioPath()) {
            ordered.push_back(f);
        }
    }
    if (ordered.empty()) {
        return std::nullopt;
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const PRAudioNodePtr& a, const PRAudioNodePtr& b) {
        return a->partNumber() < b->partNumber();
    });
    AudioConversionJob job;
    job.format = format;
    job.folder = folder;
    int n = 0;
    for (const PRAudioNodePtr& f : ordered) {
        ++n;
        std::string title = f->partTitle().value_or("");
        if (title.empty()) {
            title = "Part " + std::to_string(f->partNumber() > 0 ? f->partNumber() : n);
        }
        job.parts.push_back({*f->audioPath(), std::move(title), f->seconds()});
    }
    const PRAudioNodePtr& first = ordered.front();
    if (const PRBookNodePtr book = first->book()) {
        const std::string name = nameWithoutExtension(bookFileName(*book));
        job.stem = safeFileStem(name);
        job.title = book->title() ? book->title() : std::optional(name);
        job.author = book->author();
        job.cover = book->imageIcon() ? book->imageIcon() : first->audioImage();
    } else {
        job.stem = nameWithoutExtension(std::string(lastPathComponent(*first->audioPath())));
        job.cover = first->audioImage();
    }
    return job;
}

AudioFileConverter::AudioFileConverter(ProcessRunner& runner) : runner_(runner) {}

std::optional<AudioProbe> AudioFileConverter::probe(const std::string& path, std::string& error) {
    // Its length, format and tags, and its streams with their covers.
    const std::string entries = "format=duration,format_name:format_tags=major_brand,title,artist:"
                                "stream=codec_type,codec_name:stream_disposition=attached_pic";
    std::string output;
    ProcessRequest request;
    request.arguments = {"ffprobe",        "-v",  "error", "-show_entries",    entries,
                         "-show_chapters", "-of", "flat",  ffmpegFileUrl(path)};
    request.outputLine = [&output](std::string_view line) {
        output.append(line);
        output += '\n';
    };
    const ProcessResult result = runner_.run(request);
    if (!result.succeeded()) {
        error = "ffprobe " + result.failureText();
        return std::nullopt;
    }
    AudioProbe probe = parseProbeOutput(output);
    if (probe.duration < 0) {
        error = "ffprobe gave no length";
        return std::nullopt;
    }
    return probe;
}

AudioConversionResult AudioFileConverter::convert(const AudioConversionJob& job,
                                                  const std::function<void(double)>& progress,
                                                  const std::function<bool()>& cancelled) {
    if (job.parts.empty()) {
        return failed("nothing to convert");
    }
    // How long the result must play: the parts' lengths as they were written, else as their
    // headers say (ffprobe reads a cut-short file's header as written, not the samples left).
    double expected = 0.0;
    std::vector<double> lengths;
    for (const AudioPart& part : job.parts) {
        double seconds = part.seconds;
        if (seconds <= 0.0) {
            std::string error;
            const auto probed = probe(part.path, error);
            if (!probed || probed->duration <= 0.0) {
                return failed("\"" + std::string(lastPathComponent(part.path)) + "\" cannot be read as audio");
            }
            seconds = probed->duration;
        }
        lengths.push_back(seconds);
        expected += seconds;
    }
    std::error_code ec;
    fs::create_directories(job.folder, ec);

    WorkFolder work("audio");
    const auto workPath = work.path();
    if (!workPath) {
        return failed("the private work folder cannot be made");
    }
    const bool chapters = job.parts.size() > 1;
    std::vector<std::string> args = {"ffmpeg",   "-nostdin",  "-hide_banner", "-loglevel", "error",
                                     "-nostats", "-progress", "pipe:1",       "-y"};
    if (chapters) {
        // The concat list names links with plain names, so that no file name has to survive the
        // list's own quoting (a name may hold quotes and line breaks).
        std::string list = "ffconcat version 1.0\n";
        for (std::size_t i = 0; i < job.parts.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "part%05zu.audio", i + 1);
            fs::create_symlink(fs::absolute(job.parts[i].path, ec), *workPath + "/" + name, ec);
            if (ec) {
                return failed("the parts cannot be linked in the work folder: " + ec.message());
            }
            list += std::string("file ") + name + "\n";
        }
        if (!writeWorkFile(*workPath + "/parts.ffconcat", list)) {
            return failed("the work folder cannot be written");
        }
        args.insert(args.end(), {"-f", "concat", "-i", ffmpegFileUrl(*workPath + "/parts.ffconcat")});
    } else {
        args.insert(args.end(), {"-i", ffmpegFileUrl(job.parts.front().path)});
    }
    int input = 1;
    int coverInput = -1;
    const CoverKind cover = job.cover ? coverKind(*job.cover) : CoverKind::None;
    if (cover == CoverKind::Raw) {
        const std::string file = *workPath + "/cover.raw";
        if (writeWorkFile(file, packedPixels(*job.cover))) {
            args.insert(args.end(), {"-f", "rawvideo", "-pix_fmt", "bgra", "-video_size",
                                     std::to_string(job.cover->width) + "x" + std::to_string(job.cover->height), "-i",
                                     ffmpegFileUrl(file)});
            coverInput = input++;
        }
    } else if (cover != CoverKind::None) {
        const std::string file = *workPath + (cover == CoverKind::Jpeg ? "/cover.jpg" : "/cover.png");
        if (writeWorkFile(file, job.cover->bytes)) {
            args.insert(args.end(), {"-i", ffmpegFileUrl(file)});
            coverInput = input++;
        }
    }
    // The chapters come from a metadata file; an extra input costs ffmpeg about a tenth more work,
    // so a single file gets its tags as arguments only.
    int chapterInput = -1;
    if (chapters) {
        std::string metadata = ";FFMETADATA1\n";
        double start = 0.0;
        for (std::size_t i = 0; i < job.parts.size(); ++i) {
            const double end = start + lengths[i];
            metadata += "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + std::to_string(std::llround(start * 1000)) +
                        "\nEND=" + std::to_string(std::llround(end * 1000)) +
                        "\ntitle=" + ffmetadataValue(job.parts[i].title) + "\n";
            start = end;
        }
        if (!writeWorkFile(*workPath + "/chapters.txt", metadata)) {
            return failed("the work folder cannot be written");
        }
        chapterInput = input++;
        args.insert(args.end(), {"-f", "ffmetadata", "-i", ffmpegFileUrl(*workPath + "/chapters.txt")});
    }
    args.insert(args.end(), {"-map", "0:a"});
    if (coverInput >= 0) {
        args.insert(args.end(), {"-map", std::to_string(coverInput) + ":v", "-c:v",
                                 cover == CoverKind::Raw ? "png" : "copy", "-disposition:v:0", "attached_pic"});
    }
    args.insert(args.end(),
                {"-map_metadata:g", "-1", "-map_chapters", chapterInput >= 0 ? std::to_string(chapterInput) : "-1"});
    const auto tag = [&args](const char* key, const std::string& value) {
        args.insert(args.end(), {"-metadata", std::string(key) + "=" + oneLine(value)});
    };
    if (job.title) {
        tag("title", *job.title);
        tag("album", *job.title);
    }
    if (job.author) {
        tag("artist", *job.author);
        tag("album_artist", *job.author);
    }
    if (job.format == AudioFormat::M4B) {
        tag("genre", "Audiobook");
    }
    if (job.format == AudioFormat::M4B) {
        // The brand needs its trailing blank: without it players take the file for plain music.
        args.insert(args.end(), {"-c:a", "aac", "-aac_coder", "fast", "-f", "ipod", "-brand", "M4B "});
    } else {
        args.insert(args.end(), {"-c:a", "libmp3lame", "-f", "mp3", "-id3v2_version", "3"});
    }

    // The output is written under a hidden name of its own and named only once it is checked.
    std::string temporary = job.folder + "/.converting-XXXXXX";
    {
        const UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
        if (!fd) {
            return failed("\"" + job.folder + "\" cannot be written: " + std::strerror(errno));
        }
        ::fchmod(fd.get(), 0644);
    }
    TemporaryOutput output(temporary);
    args.push_back(ffmpegFileUrl(temporary));

    ProcessRequest request;
    request.arguments = std::move(args);
    request.cancelled = cancelled;
    request.outputLine = [&](std::string_view line) {
        constexpr std::string_view key = "out_time_us=";
        if (progress && expected > 0 && startsWith(line, key)) {
            if (const auto us = numberIn(line.substr(key.size()))) {
                progress(std::clamp(*us / 1e6 / expected, 0.0, 1.0));
            }
        }
    };
    const ProcessResult ran = runner_.run(request);
    if (ran.cancelled) {
        AudioConversionResult result;
        result.outcome = AudioConversionOutcome::Cancelled;
        return result;
    }
    if (!ran.succeeded()) {
        // The log gets the status only: ffmpeg's own words name the files.
        systemLog(ran.started ? "ffmpeg failed with status " + std::to_string(ran.exitCode) + ", signal " +
                                    std::to_string(ran.termSignal)
                              : "ffmpeg could not be started");
        return failed("ffmpeg " + ran.failureText());
    }

    // ffmpeg ends well on a short or damaged input too: read the file back before trusting it.
    std::string probeError;
    const auto probed = probe(temporary, probeError);
    if (!probed) {
        return failed("the new file cannot be read back (" + probeError + ")");
    }
    if (std::fabs(probed->duration - expected) > kDurationTolerance) {
        return failed("the new file plays " + secondsText(probed->duration) + " instead of " + secondsText(expected) +
                      " (is an input file damaged or cut short?)");
    }
    if (job.format == AudioFormat::M4B && (probed->majorBrand != "M4B " || probed->audioCodec != "aac")) {
        return failed("the new file is not an AAC audio book");
    }
    if (job.format == AudioFormat::MP3 && (probed->formatName != "mp3" || probed->audioCodec != "mp3")) {
        return failed("the new file is not MP3 audio");
    }
    if (chapters && probed->chapterTitles.size() != job.parts.size()) {
        return failed("the new file has " + std::to_string(probed->chapterTitles.size()) + " chapters instead of " +
                      std::to_string(job.parts.size()));
    }
    int error = 0;
    std::string named = renameToFreeName(temporary, job.folder, job.stem, audioFormatExtension(job.format), error);
    if (named.empty()) {
        return failed("the new file cannot be named: " + std::string(std::strerror(error)));
    }
    output.release();
    if (progress) {
        progress(1.0);
    }
    AudioConversionResult result;
    result.outcome = AudioConversionOutcome::Done;
    result.path = std::move(named);
    result.seconds = probed->duration;
    return result;
}

} // namespace quarrow
