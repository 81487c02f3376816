#pragma once

#include "PRAudioNode.h"
#include "PRBookNode.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

class ProcessRunner;

// Turning the converter's AIFF files into files people's players take, with ffmpeg:
// - M4B: AAC in an MPEG-4 audio book ("M4B " brand, which players need to treat it as a book);
// - MP3: real MPEG audio layer III.
// A conversion joins one or more files in order; with more than one, each becomes a chapter named
// after its part. Title, author and cover go into the file's tags. Nothing is assumed: the new
// file is read back with ffprobe (length, brand or codec, chapters) before it gets its name, and a
// file that fails is removed.
enum class AudioFormat { M4B, MP3 };
const char* audioFormatExtension(AudioFormat format); // ".m4b", ".mp3"
const char* audioFormatName(AudioFormat format);      // "M4B", "MP3"

struct AudioPart {
    std::string path;
    std::string title;    // the chapter's name
    double seconds = 0.0; // how long it plays; 0: read from the file
};

struct AudioConversionJob {
    std::vector<AudioPart> parts;
    AudioFormat format = AudioFormat::M4B;
    std::string folder; // the output goes to "<folder>/<stem><ext>", or "<stem> (2)<ext>", ...
    std::string stem;
    std::optional<std::string> title;
    std::optional<std::string> author;
    BookCoverPtr cover;
};

enum class AudioConversionOutcome { Done, Cancelled, Failed };

struct AudioConversionResult {
    AudioConversionOutcome outcome = AudioConversionOutcome::Failed;
    std::string path;     // the finished file
    double seconds = 0.0; // its length as ffprobe reads it
    std::string error;    // for Failed: what went wrong, in one line (no private content)
};

// What ffprobe reads back from a file.
struct AudioProbe {
    double duration = -1.0;
    std::string formatName; // "mov,mp4,m4a,3gp,3g2,mj2", "mp3", ...
    std::string majorBrand; // "M4B " for an audio book
    std::string audioCodec; // of the first audio stream: "aac", "mp3", ...
    bool hasCover = false;  // an attached picture
    std::optional<std::string> title;
    std::optional<std::string> artist;
    std::vector<std::string> chapterTitles;
};
// Reads ffprobe's "flat" output ('key=value' lines, texts quoted with \ escapes).
AudioProbe parseProbeOutput(std::string_view text);

// One job's single file (one part per file) or a book's files in part order (chapters), with its
// metadata; answers nothing for an empty list.
std::optional<AudioConversionJob> fileConversionJob(const PRAudioNode& file, AudioFormat format);
std::optional<AudioConversionJob> bookConversionJob(const std::vector<PRAudioNodePtr>& files, AudioFormat format,
                                                    const std::string& folder);

class AudioFileConverter {
public:
    explicit AudioFileConverter(ProcessRunner& runner);

    // Runs ffmpeg, checks its result with ffprobe and names the file. `progress` hears the share
    // done (0 to 1); `cancelled` is asked while ffmpeg runs. Blocks: call it on a worker.
    AudioConversionResult convert(const AudioConversionJob& job, const std::function<void(double)>& progress = {},
                                  const std::function<bool()>& cancelled = {});

    // ffprobe's reading of a file; nothing (with the reason) when it cannot read it.
    std::optional<AudioProbe> probe(const std::string& path, std::string& error);

    // Largest difference allowed between the input's and the output's length, in seconds.
    static constexpr double kDurationTolerance = 0.5;

private:
    ProcessRunner& runner_;
};

// ffmpeg's input and output addresses: "file:" in front of an absolute path, so that no name is
// taken for a protocol ("concat:", "pipe:") or an option.
std::string ffmpegFileUrl(const std::string& path);
// A tag's value on one line: control characters made blanks.
std::string oneLine(std::string_view text);
// One value of an ffmetadata file: '=', ';', '#', '\' escaped, line breaks and other control
// characters made blanks (a chapter title is one line).
std::string ffmetadataValue(std::string_view text);

} // namespace quarrow
