#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct sf_private_tag;

namespace quarrow {

// What an audio file holds, read back with libsndfile.
struct AudioFileInfo {
    int sampleRate = 0;
    int channels = 0;
    std::int64_t frames = 0;
    int format = 0; // libsndfile's major format | subtype
    bool isAiff16 = false;
    double seconds() const { return sampleRate > 0 ? static_cast<double>(frames) / sampleRate : 0.0; }
};
std::optional<AudioFileInfo> readAudioFileInfo(const std::string& path);

// Writes one AIFF file, 16-bit mono, through libsndfile. The samples go to a hidden temporary file
// in the target folder; finish() gives it its name only when it is complete (a clean close and at
// least one sample), never replacing a file; anything else removes it. So a file that carries a
// name is always whole.
class AiffWriter {
public:
    AiffWriter() = default;
    ~AiffWriter(); // discards an unfinished file
    AiffWriter(const AiffWriter&) = delete;
    AiffWriter& operator=(const AiffWriter&) = delete;

    // Creates the temporary file in `folder` (which must exist). False, logged, when it cannot.
    bool open(const std::string& folder, int sampleRate);
    bool isOpen() const { return file_ != nullptr; }
    // False once a write has failed (the disk is full, ...); later writes are ignored.
    bool write(const std::int16_t* samples, std::size_t count);
    std::int64_t frames() const { return frames_; }
    bool failed() const { return failed_; }

    // Closes the file and renames it to the first free name of "<stem>.aiff", "<stem> (2).aiff",
    // ... in the folder. Answers the path, or nothing when the file is not complete or cannot be
    // named (then it is removed).
    std::optional<std::string> finish(const std::string& stem);
    // Closes and removes the file.
    void discard();

    const std::string& temporaryPath() const { return temporary_; }

private:
    bool closeFile();

    sf_private_tag* file_ = nullptr;
    std::string folder_;
    std::string temporary_;
    std::int64_t frames_ = 0;
    bool failed_ = false;
};

} // namespace quarrow
