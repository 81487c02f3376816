#pragma once

// The rollback journal beside a database ("<name>-journal"): the images pages had before a
// transaction changed them, which keep rows the transaction deleted or rewrote.
//
// A journal is one or more segments, each starting at a sector boundary with a header
// (big-endian):
//
//   offset  size  meaning
//   0       8     magic d9 d5 05 f9 20 a1 63 d7
//   8       4     number of page records (0xffffffff: as many as the file holds)
//   12      4     checksum nonce
//   16      4     database size in pages before the transaction
//   20      4     sector size (the header takes one sector; records follow)
//   24      4     page size
//
// and page records: the page number (4 bytes), the page image, a 4-byte checksum. After a commit
// in "persist" mode the header is zeroed but the records stay: then the page size is the
// database's and the sector size is the one under which the records' page numbers make sense.

#include <cstdint>
#include <vector>

namespace quarrow {
class DbFileReader;
}

namespace quarrow::carving {

struct JournalPage {
    std::uint32_t page = 0;
    std::uint64_t imageOffset = 0;
};

// The page images of a journal; pageSize and pageCount are the database's (pageCount bounds the
// page numbers that make sense when the header is gone).
std::vector<JournalPage> readJournalPages(const DbFileReader& journal, std::uint32_t pageSize, std::uint32_t pageCount);

} // namespace quarrow::carving
