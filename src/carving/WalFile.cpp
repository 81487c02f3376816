#include "WalFile.h"

#include "DbFileReader.h"

#include <array>

namespace quarrow::carving {

namespace {

constexpr std::uint32_t kWalMagic = 0x377f0682;
constexpr std::size_t kWalHeaderSize = 32;
constexpr std::size_t kFrameHeaderSize = 24;

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

// The log's checksum: over 32-bit words in pairs, continued from (s0, s1).
void checksum(const std::uint8_t* data, std::size_t n, bool bigEndian, std::uint32_t& s0, std::uint32_t& s1) {
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        const std::uint32_t a = bigEndian ? be32(data + i) : le32(data + i);
        const std::uint32_t b = bigEndian ? be32(data + i + 4) : le32(data + i + 4);
        s0 += a + s1;
        s1 += b + s0;
    }
}

} // namespace

WalFile WalFile::read(const DbFileReader& wal, std::uint32_t pageSize) {
    WalFile log;
    std::array<std::uint8_t, kWalHeaderSize> header{};
    if (wal.size() < kWalHeaderSize || wal.readAt(0, header.size(), header.data()) != header.size()) {
        return log;
    }
    const std::uint32_t magic = be32(header.data());
    const bool knownMagic = (magic & ~1u) == kWalMagic;
    const std::uint32_t ownSize = be32(header.data() + 8);
    const bool ownSizeValid = ownSize >= kMinPageSize && ownSize <= kMaxPageSize && (ownSize & (ownSize - 1)) == 0;
    log.pageSize_ = pageSize != 0 ? pageSize : (ownSizeValid ? ownSize : 0);
    if (log.pageSize_ == 0) {
        return log;
    }
    const bool bigEndian = (magic & 1) != 0;
    std::uint32_t s0 = 0, s1 = 0;
    checksum(header.data(), 24, bigEndian, s0, s1);
    // Only a log that describes this database can give the current state; any other is carved.
    bool valid =
        knownMagic && ownSize == log.pageSize_ && s0 == be32(header.data() + 24) && s1 == be32(header.data() + 28);
    const std::uint32_t salt1 = be32(header.data() + 16);
    const std::uint32_t salt2 = be32(header.data() + 20);

    const std::uint64_t frameSize = kFrameHeaderSize + log.pageSize_;
    const std::uint64_t count = (wal.size() - kWalHeaderSize) / frameSize;
    log.frames_.reserve(static_cast<std::size_t>(count));
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(frameSize));
    std::size_t lastCommit = 0; // frames [0, lastCommit) are committed
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = kWalHeaderSize + i * frameSize;
        Frame f;
        f.imageOffset = at + kFrameHeaderSize;
        if (valid) {
            // Checking a frame needs its whole image; the others need only their header.
            if (wal.readAt(static_cast<std::int64_t>(at), frame.size(), frame.data()) != frame.size()) {
                valid = false;
            }
        } else {
            wal.readAt(static_cast<std::int64_t>(at), kFrameHeaderSize, frame.data());
        }
        f.page = be32(frame.data());
        f.commitSize = be32(frame.data() + 4);
        if (valid) {
            checksum(frame.data(), 8, bigEndian, s0, s1);
            checksum(frame.data() + kFrameHeaderSize, log.pageSize_, bigEndian, s0, s1);
            valid = f.page != 0 && be32(frame.data() + 8) == salt1 && be32(frame.data() + 12) == salt2 &&
                    s0 == be32(frame.data() + 16) && s1 == be32(frame.data() + 20);
            if (valid && f.commitSize != 0) {
                lastCommit = static_cast<std::size_t>(i) + 1;
                log.committedSize_ = f.commitSize;
            }
        }
        log.frames_.push_back(f);
    }
    for (std::size_t i = 0; i < lastCommit; ++i) {
        log.frames_[i].committed = true;
        log.current_[log.frames_[i].page] = static_cast<std::uint32_t>(i);
    }
    return log;
}

std::optional<std::uint32_t> WalFile::currentFrame(std::uint32_t page) const {
    const auto it = current_.find(page);
    if (it == current_.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool WalFile::isCurrent(std::size_t i) const {
    if (i >= frames_.size() || !frames_[i].committed) {
        return false;
    }
    const auto it = current_.find(frames_[i].page);
    return it != current_.end() && it->second == i;
}

} // namespace quarrow::carving
