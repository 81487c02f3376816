#pragma once

#include "PRAudioNode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarrow {

// The audio list: every finished file of the converter, and the files its conversions are
// writing. A file still being written, or being read by a conversion, can be neither deleted nor
// converted until that work ends.
struct AudioListEntry {
    PRAudioNodePtr file;     // audioPath and aduioName always set
    std::uint64_t bytes = 0; // on disk when listed
    double seconds = 0.0;
    bool writing = false; // a conversion's output, not finished yet
    int readers = 0;      // conversions (running or waiting) that read this file
    int percent = 0;      // how far its writing is

    bool busy() const { return writing || readers > 0; }
    std::string path() const { return file->audioPath().value_or(""); }
};

class AudioFileList {
public:
    const std::vector<AudioListEntry>& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }
    std::optional<std::size_t> indexOf(const std::string& path) const;

    // Lists a complete file (its size read from disk); a file already listed is not listed twice.
    // Answers its row.
    std::size_t add(const PRAudioNodePtr& file);
    // Lists the file a conversion will write, under the name it is meant to get, marked as being
    // written (with the cover it will carry); the conversion's inputs are marked as read. Answers the
    // placeholder's row.
    std::size_t beginWriting(const std::string& intendedPath, const std::vector<std::string>& inputs,
                             BookCoverPtr cover = nullptr);
    void setPercent(std::size_t row, int percent);
    // The conversion ended: with a file (the placeholder becomes it, with its real name, size and
    // length), or without (the placeholder goes). Its inputs are free again.
    void endWriting(const std::string& intendedPath, const std::vector<std::string>& inputs,
                    const std::optional<std::string>& madePath, double seconds);
    // A task that only reads files (a copy) marks and frees them the same way.
    void beginReading(const std::vector<std::string>& inputs);
    void endReading(const std::vector<std::string>& inputs);

    bool canDelete(std::size_t row) const { return row < entries_.size() && !entries_[row].busy(); }
    bool canConvert(std::size_t row) const { return canDelete(row); }

    // Deletes the row's file from disk and takes it off the list. A file already gone is taken off
    // too. Answers the reason when the file stays (busy, or the disk refused).
    std::optional<std::string> deleteFile(std::size_t row);
    // Takes a row off the list without touching the file.
    void remove(std::size_t row);

private:
    std::vector<AudioListEntry> entries_;
};

// "12.3 MB", "980 KB", "512 bytes" (units of 1000, as desktops show them).
std::string audioSizeText(std::uint64_t bytes);
// "0:42", "12:03", "1:02:03".
std::string audioDurationText(double seconds);

} // namespace quarrow
