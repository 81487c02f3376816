#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quarrow {

// The bytes of one file as the carving engine reads them: memory that the caller owns (tests and
// fuzzers hand in bytes), or a file read in place with pread. A file is never mapped: one that
// shrinks under a mapping kills the reader with SIGBUS, while under pread its missing bytes read as
// zeros, and the short read is reported to the caller. The size is taken once, at opening.
class DbFileReader {
public:
    // A reader over memory owned by the caller, which keeps it alive.
    explicit DbFileReader(std::span<const std::uint8_t> bytes);
    ~DbFileReader();
    DbFileReader(const DbFileReader&) = delete;
    DbFileReader& operator=(const DbFileReader&) = delete;

    // A reader over the file at path, read-only, or nullptr when it is no regular file or cannot be
    // opened. It is opened without blocking, so that a FIFO answers at once.
    static std::unique_ptr<DbFileReader> openFile(const std::string& path);

    std::uint64_t size() const { return size_; }

    // Copies n bytes from offset into out; bytes outside the file (before its start or past the
    // size taken at opening) are zeros. Answers how many of the bytes asked for came from the file:
    // fewer than lie inside that size means the file shrank or failed under the reader.
    std::size_t readAt(std::int64_t offset, std::size_t n, std::uint8_t* out) const;

private:
    DbFileReader(int fd, std::uint64_t size);

    const std::uint8_t* data_ = nullptr; // all of the bytes, for a memory reader
    std::uint64_t size_ = 0;
    int fd_ = -1;
};

} // namespace quarrow
