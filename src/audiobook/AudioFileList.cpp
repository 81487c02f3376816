#include "AudioFileList.h"

#include "BookFiles.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow {

namespace {

std::uint64_t sizeOnDisk(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

} // namespace

std::optional<std::size_t> AudioFileList::indexOf(const std::string& path) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].path() == path) {
            return i;
        }
    }
    return std::nullopt;
}

std::size_t AudioFileList::add(const PRAudioNodePtr& file) {
    const std::string path = file->audioPath().value_or("");
    if (const auto row = indexOf(path)) {
        return *row;
    }
    if (!file->aduioName()) {
        file->setAduioName(std::string(lastPathComponent(path)));
    }
    AudioListEntry entry;
    entry.file = file;
    entry.bytes = sizeOnDisk(path);
    entry.seconds = file->seconds();
    entries_.push_back(std::move(entry));
    return entries_.size() - 1;
}

std::size_t AudioFileList::beginWriting(const std::string& intendedPath, const std::vector<std::string>& inputs,
                                        BookCoverPtr cover) {
    auto node = std::make_shared<PRAudioNode>();
    node->setAudioImage(std::move(cover));
    node->setAudioPath(intendedPath);
    node->setAduioName(std::string(lastPathComponent(intendedPath)));
    AudioListEntry entry;
    entry.file = node;
    entry.writing = true;
    entries_.push_back(std::move(entry));
    beginReading(inputs);
    return entries_.size() - 1;
}

void AudioFileList::setPercent(std::size_t row, int percent) {
    if (row < entries_.size()) {
        entries_[row].percent = percent;
    }
}

void AudioFileList::endWriting(const std::string& intendedPath, const std::vector<std::string>& inputs,
                               const std::optional<std::string>& madePath, double seconds) {
    endReading(inputs);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        AudioListEntry& entry = entries_[i];
        if (!entry.writing || entry.path() != intendedPath) {
            continue;
        }
        if (!madePath) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
        auto node = std::make_shared<PRAudioNode>();
        node->setAudioPath(*madePath);
        node->setAduioName(std::string(lastPathComponent(*madePath)));
        node->setSeconds(seconds);
        node->setAudioImage(entry.file->audioImage());
        entry.file = node;
        entry.writing = false;
        entry.percent = 0;
        entry.bytes = sizeOnDisk(*madePath);
        entry.seconds = seconds;
        return;
    }
}

void AudioFileList::beginReading(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        if (const auto row = indexOf(input)) {
            ++entries_[*row].readers;
        }
    }
}

void AudioFileList::endReading(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        for (AudioListEntry& entry : entries_) {
            if (!entry.writing && entry.path() == input && entry.readers > 0) {
                --entry.readers;
                break;
            }
        }
    }
}

std::optional<std::string> AudioFileList::deleteFile(std::size_t row) {
    if (row >= entries_.size()) {
        return std::string("There is no such file in the list.");
    }
    if (entries_[row].busy()) {
        return "\"" + entries_[row].file->aduioName().value_or("") +
               "\" is being written or converted; it can be deleted when that is done.";
    }
    const std::string path = entries_[row].path();
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return "\"" + entries_[row].file->aduioName().value_or("") +
               "\" could not be deleted: " + std::strerror(errno) + ".";
    }
    remove(row);
    return std::nullopt;
}

void AudioFileList::remove(std::size_t row) {
    if (row < entries_.size()) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(row));
    }
}

std::string audioSizeText(std::uint64_t bytes) {
    char text[32];
    if (bytes < 1000) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1000ull * 1000) {
        std::snprintf(text, sizeof text, "%.0f KB", static_cast<double>(bytes) / 1e3);
    } else if (bytes < 1000ull * 1000 * 1000) {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    } else {
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / 1e9);
    }
    return text;
}

std::string audioDurationText(double seconds) {
    const long long total = seconds > 0 ? std::llround(seconds) : 0;
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    return text;
}

} // namespace quarrow
