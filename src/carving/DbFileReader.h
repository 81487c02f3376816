#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quarrow {

// The bytes of one database file as the carvers see them: a plain array of bytes that goes on as
// zeros past the end of the file (and before its start). Every carver primitive reads through this
// one class; it never fails and never reads outside what it holds.
//
// Two sources:
// - memory that the caller owns and keeps alive (tests and fuzzers hand in bytes directly);
// - a file, read through a sliding window of fixed size (mapped, or filled with pread), so memory
//   stays the same whatever the size of the file. The size is taken once, when the file is opened.
//
// All offsets are signed 64-bit file offsets; an offset below 0 simply reads as zero. Not thread-
// safe: one reader belongs to one carver run.
class DbFileReader {
public:
    // Bytes held by the window of a file-backed reader.
    static constexpr std::size_t kWindowSize = std::size_t{1} << 20;
    // How far a refilled window reaches back before the requested offset, so that short backward
    // steps (marker searches, record anchors before a candidate) do not refill again.
    static constexpr std::size_t kWindowLookBack = std::size_t{64} << 10;
    // Bytes from the requested offset on that a refilled window is sure to hold (the window starts
    // on a 4096-byte boundary at most kWindowLookBack + 4095 bytes before the offset).
    static constexpr std::size_t kViewSpan = kWindowSize - kWindowLookBack - 4096;

    // A reader over memory owned by the caller.
    explicit DbFileReader(std::span<const std::uint8_t> bytes);
    ~DbFileReader();
    DbFileReader(const DbFileReader&) = delete;
    DbFileReader& operator=(const DbFileReader&) = delete;

    // A reader over the file at path, or nullptr when it is no regular file or cannot be opened for
    // reading (opened without blocking, so a FIFO answers at once). The window is a mapping of the
    // file (no copy) unless mapWindow is false or mapping fails; then it is a buffer filled with
    // pread. A mapped file must not shrink while it is read, so a user's file is read with
    // mapWindow false.
    static std::unique_ptr<DbFileReader> openFile(const std::string& path, bool mapWindow = true);

    std::uint64_t size() const { return size_; }

    // The byte at offset; 0 outside the file.
    std::uint8_t byteAt(std::int64_t offset) {
        if (offset >= base_ && static_cast<std::uint64_t>(offset - base_) < held_) {
            return data_[offset - base_];
        }
        return slowByteAt(offset);
    }

    // The n bytes from offset on, in place, when all of them lie inside the file and are held now;
    // nullptr otherwise. Never moves the window. Valid while windowMoves() stays the same.
    const std::uint8_t* peek(std::int64_t offset, std::size_t n) const {
        if (offset < base_) {
            return nullptr;
        }
        const std::uint64_t at = static_cast<std::uint64_t>(offset - base_);
        return at <= held_ && held_ - at >= n ? data_ + at : nullptr;
    }

    // Counts the moves of the window: a caller that keeps a view or a peeked pointer across other
    // reads checks that this has not changed before it uses the bytes again.
    std::uint64_t windowMoves() const { return moves_; }

    // Copies n bytes starting at offset into out; bytes outside the file are zeros.
    void read(std::int64_t offset, std::size_t n, std::uint8_t* out);

    // Copies n bytes from offset into out straight from the file (pread; never through the window,
    // so random page reads cost one read each); bytes outside the file are zeros. Answers how many
    // of the bytes asked for were read from the file: fewer than lie inside the size taken at
    // opening means the file shrank or failed under the reader.
    std::size_t readAt(std::int64_t offset, std::size_t n, std::uint8_t* out) const;

    // The bytes from offset on, as many of the n asked for as lie inside the file and fit the
    // window (at least min(n, kViewSpan) unless the file ends first); empty when
    // offset is outside the file. Valid until the next call on this reader.
    std::span<const std::uint8_t> view(std::int64_t offset, std::size_t n);

private:
    DbFileReader(int fd, std::uint64_t size);
    std::uint8_t slowByteAt(std::int64_t offset);
    // Moves the window of a file-backed reader so that it starts at or before offset.
    void fillWindow(std::int64_t offset);
    // Answers how many bytes came from the file; the rest of out is zeroed.
    std::size_t preadInto(std::uint64_t offset, std::size_t n, std::uint8_t* out) const;

    const std::uint8_t* data_ = nullptr; // the bytes held: all of memory, or the window
    std::int64_t base_ = 0;              // file offset of data_[0]
    std::uint64_t held_ = 0;             // how many bytes data_ holds
    std::uint64_t size_ = 0;             // file size
    int fd_ = -1;
    bool useMap_ = true; // map the window; pread into window_ when mapping fails
    void* map_ = nullptr;
    std::size_t mapLength_ = 0;
    std::vector<std::uint8_t> window_;
    std::uint64_t moves_ = 0;
};

} // namespace quarrow
