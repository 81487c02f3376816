#include "AiffFile.h"

#include "FileMoves.h"
#include "Log.h"

#include <sndfile.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

std::optional<AudioFileInfo> readAudioFileInfo(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return std::nullopt;
    }
    sf_close(file);
    AudioFileInfo result;
    result.sampleRate = info.samplerate;
    result.channels = info.channels;
    result.frames = info.frames;
    result.format = info.format;
    result.isAiff16 =
        (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_AIFF && (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    return result;
}

AiffWriter::~AiffWriter() {
    discard();
}

bool AiffWriter::open(const std::string& folder, int sampleRate) {
    discard();
    failed_ = false;
    frames_ = 0;
    folder_ = folder;
    // Hidden, and with a name nobody can know in advance, so no link can be planted under it.
    std::string pattern = folder + "/.quarrow-XXXXXX.aiff.part";
    const int fd = ::mkostemps(pattern.data(), static_cast<int>(std::strlen(".aiff.part")), O_CLOEXEC);
    if (fd < 0) {
        systemLog(std::string("Cannot create an audio file: ") + std::strerror(errno));
        return false;
    }
    ::fchmod(fd, 0644); // an audio file for the user's player, not a private one
    temporary_ = pattern;
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (file_ == nullptr) {
        systemLog(std::string("Cannot write an audio file: ") + sf_strerror(nullptr));
        ::close(fd);
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    return true;
}

bool AiffWriter::write(const std::int16_t* samples, std::size_t count) {
    if (file_ == nullptr || failed_) {
        return false;
    }
    const auto written = sf_write_short(file_, samples, static_cast<sf_count_t>(count));
    frames_ += written;
    if (written != static_cast<sf_count_t>(count)) {
        systemLog(std::string("Writing an audio file failed: ") + sf_strerror(file_));
        failed_ = true;
    }
    return !failed_;
}

bool AiffWriter::closeFile() {
    if (file_ == nullptr) {
        return false;
    }
    const int status = sf_close(file_);
    file_ = nullptr;
    if (status != 0) {
        systemLog(std::string("Closing an audio file failed: ") + sf_error_number(status));
        return false;
    }
    return true;
}

std::optional<std::string> AiffWriter::finish(const std::string& stem) {
    const bool closed = closeFile();
    if (!closed || failed_ || frames_ == 0 || temporary_.empty()) {
        discard();
        return std::nullopt;
    }
    int error = 0;
    std::string path = renameToFreeName(temporary_, folder_, stem, ".aiff", error);
    if (path.empty()) {
        systemLog(std::string("Cannot name an audio file: ") + std::strerror(error));
        discard();
        return std::nullopt;
    }
    temporary_.clear();
    return path;
}

void AiffWriter::discard() {
    closeFile();
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

} // namespace quarrow
