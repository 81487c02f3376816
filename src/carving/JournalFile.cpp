#include "JournalFile.h"

#include "DbFileReader.h"
#include "SqliteFormat.h"

#include <array>
#include <cstring>

namespace quarrow::carving {

namespace {

constexpr std::array<std::uint8_t, 8> kJournalMagic = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
constexpr std::uint32_t kHeaderBytes = 28;

bool powerOfTwoIn(std::uint32_t v, std::uint32_t low, std::uint32_t high) {
    return v >= low && v <= high && (v & (v - 1)) == 0;
}

struct Segment {
    std::uint64_t start = 0;  // file offset of the header
    std::uint32_t sector = 0; // records start at start + sector
    std::uint32_t pageSize = 0;
    std::uint64_t records = 0; // as many as the header says, or up to the end of the file
};

// The records from `first` on that carry page numbers from 1 to pageCount, up to `most`.
std::uint64_t plausibleRecords(const DbFileReader& j, std::uint64_t first, std::uint32_t pageSize,
                               std::uint32_t pageCount, std::uint64_t most) {
    std::uint64_t n = 0;
    for (; n < most; ++n) {
        const std::uint64_t at = first + n * (pageSize + 8ull);
        if (at + pageSize + 8 > j.size()) {
            break;
        }
        std::uint8_t number[4];
        j.readAt(static_cast<std::int64_t>(at), 4, number);
        const std::uint32_t page = be32(number);
        if (page == 0 || page > pageCount) {
            break;
        }
    }
    return n;
}

} // namespace

std::vector<JournalPage> readJournalPages(const DbFileReader& journal, std::uint32_t pageSize,
                                          std::uint32_t pageCount) {
    std::vector<JournalPage> pages;
    if (pageSize == 0 || journal.size() < kHeaderBytes) {
        return pages;
    }
    std::uint64_t at = 0;
    std::uint32_t sector = 0;
    while (at + kHeaderBytes <= journal.size()) {
        std::array<std::uint8_t, kHeaderBytes> header{};
        journal.readAt(static_cast<std::int64_t>(at), header.size(), header.data());
        Segment s;
        s.start = at;
        if (std::memcmp(header.data(), kJournalMagic.data(), kJournalMagic.size()) == 0) {
            s.sector = be32(header.data() + 20);
            s.pageSize = be32(header.data() + 24);
            if (!powerOfTwoIn(s.sector, 32, 65536) || s.pageSize != pageSize) {
                break;
            }
            const std::uint32_t count = be32(header.data() + 8);
            s.records = count == 0xffffffffu || count == 0 ? UINT64_MAX : count;
        } else if (at == 0) {
            // A zeroed header: take the sector size under which most records name real pages.
            s.pageSize = pageSize;
            std::uint64_t best = 0;
            for (std::uint32_t size = 512; size <= 65536; size *= 2) {
                const std::uint64_t n = plausibleRecords(journal, size, pageSize, pageCount, 16);
                if (n > best) {
                    best = n;
                    s.sector = size;
                }
            }
            if (best == 0) {
                break;
            }
            s.records = UINT64_MAX;
        } else {
            break;
        }
        sector = s.sector;
        std::uint64_t n = 0;
        std::uint64_t next = s.start + s.sector;
        for (; n < s.records; ++n) {
            const std::uint64_t record = s.start + s.sector + n * (pageSize + 8ull);
            if (record + pageSize + 8 > journal.size()) {
                break;
            }
            std::uint8_t head[8];
            journal.readAt(static_cast<std::int64_t>(record), sizeof head, head);
            if (record % s.sector == 0 && std::memcmp(head, kJournalMagic.data(), kJournalMagic.size()) == 0) {
                break; // the next segment
            }
            const std::uint32_t page = be32(head);
            if (page == 0 || (s.records == UINT64_MAX && page > pageCount && pageCount != 0)) {
                break;
            }
            pages.push_back({page, record + 4});
            next = record + pageSize + 8;
        }
        if (n == 0) {
            break;
        }
        // The next segment starts at the sector boundary after the last record.
        const std::uint64_t boundary = (next + sector - 1) / sector * sector;
        if (boundary <= at) {
            break;
        }
        at = boundary;
    }
    return pages;
}

} // namespace quarrow::carving
