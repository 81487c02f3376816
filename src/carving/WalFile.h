#pragma once

// The write-ahead log beside a database ("<name>-wal"), as the carving engine reads it.
//
// Header, 32 bytes (big-endian):
//
//   offset  size  meaning
//   0       4     magic 0x377f0682 or 0x377f0683 (its lowest bit: checksums over big-endian words)
//   4       4     format version 3007000
//   8       4     page size
//   12      4     checkpoint sequence
//   16      8     salt-1, salt-2: change at every restart of the log
//   24      8     checksum of the first 24 bytes
//
// Then frames: a 24-byte header (page number; the database size in pages after a commit, 0 on
// every other frame; salt-1; salt-2; a checksum over the first 8 bytes of this header and the page,
// continued from the previous frame's) and one page image. A frame is valid when its salts equal
// the header's and its checksum holds, and every frame before it is valid; the database's current
// state is the file with every valid frame up to the last valid commit applied, the latest frame
// of a page winning. Frames after that point (the tail of an older log that a restart wrote over
// in part, or a transaction that never committed) stay in the file and are carved all the same.

#include "SqliteFormat.h"

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace quarrow {
class DbFileReader;
}

namespace quarrow::carving {

class WalFile {
public:
    struct Frame {
        std::uint32_t page = 0;
        std::uint32_t commitSize = 0;
        std::uint64_t imageOffset = 0; // file offset of the page image
        bool committed = false;        // part of the current state (maybe superseded by a later frame)
    };

    // Reads the frame headers of the log, checking every checksum; pageSize is the database's
    // (0 when the database gives none: the log's own is taken then). A log whose page size differs
    // from the database's gives no current state, but its frames are still listed for carving.
    static WalFile read(const DbFileReader& wal, std::uint32_t pageSize);

    std::uint32_t pageSize() const { return pageSize_; }
    const std::vector<Frame>& frames() const { return frames_; }
    // The database size in pages after the last valid commit; 0 when nothing is committed.
    std::uint32_t committedPageCount() const { return committedSize_; }
    // The frame holding the current image of a page, if the log holds one.
    std::optional<std::uint32_t> currentFrame(std::uint32_t page) const;
    // Whether frame i is the current image of its page.
    bool isCurrent(std::size_t i) const;

private:
    std::uint32_t pageSize_ = 0;
    std::vector<Frame> frames_;
    std::uint32_t committedSize_ = 0;
    std::unordered_map<std::uint32_t, std::uint32_t> current_;
};

} // namespace quarrow::carving
