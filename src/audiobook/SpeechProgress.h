#pragma once

#include <cstddef>

namespace quarrow {

// Progress through one spoken text from the engine's word events. Positions count characters from
// 1; a word ends at position + length - 1. Events of length 0 (markers, which can point backwards)
// are skipped, progress never goes back, and it never passes the text's length.
class SpeechProgress {
public:
    explicit SpeechProgress(std::size_t totalCharacters = 0) : total_(totalCharacters) {}

    // Answers true when the percentage changed.
    bool word(long long position, long long length);
    // A text spoken in pieces: later events count from the start of the piece at `offset`.
    void setOffset(std::size_t offset) { offset_ = offset; }
    void finish() { done_ = total_; }

    std::size_t total() const { return total_; }
    std::size_t done() const { return done_; }
    // 0 to 100; 0 for an empty text.
    int percent() const;

private:
    std::size_t total_;
    std::size_t offset_ = 0;
    std::size_t done_ = 0;
};

} // namespace quarrow
