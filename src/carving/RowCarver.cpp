#include "RowCarver.h"

#include "DbFileReader.h"
#include "JournalFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
#include <functional>
#include <map>
#include <unordered_map>

namespace quarrow::carving {

std::string_view recoveredFromText(RecoveredFrom from) {
    switch (from) {
    case RecoveredFrom::Freeblock:
        return "freeblock";
    case RecoveredFrom::Unallocated:
        return "unallocated";
    case RecoveredFrom::InteriorPage:
        return "interior page";
    case RecoveredFrom::FreePage:
        return "free page";
    case RecoveredFrom::WalFrame:
        return "wal frame";
    case RecoveredFrom::Journal:
        return "journal";
    }
    return "";
}

namespace {

// What a page of the current state is used for. Pages left Unused after the walks are reached by
// no b-tree and no free list.
enum class PageUse : std::uint8_t { Unused, Btree, FreeTrunk, FreeLeaf, Overflow, PointerMap };

// How a page image is carved.
enum class ImageKind : std::uint8_t {
    Live,  // the current image of a live b-tree page: only its free space
    Stale, // every byte: cells in its pointer array and everything around them
    Trunk, // a free-list trunk page: the bytes after its list
};

// Candidate kinds, most trusted first.
enum class Kind : std::uint8_t {
    Cell,         // a cell of the image's cell pointer array
    IntactRowid,  // a record header with the payload size and rowid in front of it
    Intact,       // a record header whose cell prefix is gone
    LostHeader,   // a freeblock header overwrote the payload size, rowid and header size
    LostFirstType // ... and the type of column 0 as well: the rowid alias's NULL, or one the freeblock's
                  // size tells
};

constexpr std::uint32_t kNoOwner = UINT32_MAX;
constexpr std::size_t kStreamBytes = std::size_t{1} << 20;

// Row indices by a 64-bit hash, several per hash allowed: open addressing with linear probing, so
// that tens of thousands of rows cost a slot each and no allocation of their own.
class HashedRows {
public:
    // Calls f with the index of every row added under the hash until f answers true; answers
    // whether one did.
    template <class F> bool any(std::uint64_t hash, F&& f) const {
        if (slots_.empty()) {
            return false;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = mix(hash) & mask; slots_[i].index != 0; i = (i + 1) & mask) {
            if (slots_[i].hash == hash && f(slots_[i].index - 1)) {
                return true;
            }
        }
        return false;
    }

    void add(std::uint64_t hash, std::size_t index) {
        if ((size_ + 1) * 2 > slots_.size()) {
            std::vector<Slot> old(slots_.empty() ? 256 : slots_.size() * 2);
            old.swap(slots_);
            for (const Slot& slot : old) {
                if (slot.index != 0) {
                    place(slot);
                }
            }
        }
        place({hash, index + 1});
        ++size_;
    }

private:
    struct Slot {
        std::uint64_t hash;
        std::size_t index; // plus one; 0 is an empty slot
    };
    // Hashes of equal content differ only where the request is mixed in: spread every bit.
    static std::size_t mix(std::uint64_t h) {
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdull;
        return static_cast<std::size_t>(h ^ (h >> 33));
    }
    void place(const Slot& slot) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = mix(slot.hash) & mask;
        while (slots_[i].index != 0) {
            i = (i + 1) & mask;
        }
        slots_[i] = slot;
    }

    std::vector<Slot> slots_; // a power of two in size, or empty
    std::size_t size_ = 0;
};

// A cheap mark of a record's content for finding its live twin: its payload size and its first
// body bytes. Records that share it are compared byte for byte.
std::uint64_t fingerprint(std::uint64_t payloadSize, Bytes bodyLocal) {
    std::uint64_t head[2] = {0, 0};
    std::memcpy(head, bodyLocal.data(), std::min<std::size_t>(bodyLocal.size(), sizeof head));
    std::uint64_t h = payloadSize * 0x9e3779b97f4a7c15ull ^ bodyLocal.size();
    h = (h ^ head[0]) * 0xbf58476d1ce4e5b9ull;
    h = (h ^ (h >> 29) ^ head[1]) * 0x94d049bb133111ebull;
    return h ^ (h >> 32);
}

std::uint64_t contentHash(std::uint64_t payloadSize, Bytes bodyLocal) {
    const std::string_view bytes(reinterpret_cast<const char*>(bodyLocal.data()), bodyLocal.size());
    return std::hash<std::string_view>{}(bytes) ^ (payloadSize * 0x9e3779b97f4a7c15ull + 0x632be59bd9b4e019ull);
}

// The header size a record has when its serial types take typeBytes bytes: the size counts its
// own varint.
std::uint32_t headerSizeFor(std::uint32_t typeBytes) {
    return typeBytes + 1 < 128 ? typeBytes + 1 : typeBytes + 2;
}

// Reads the main file's pages in ascending order through one buffer of about 1 MiB.
class PageStream {
public:
    PageStream(const DatabaseFile& db, std::uint32_t pages) : db_(db), pages_(pages) {
        perChunk_ = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(kStreamBytes / db.pageSize()));
        buffer_.resize(std::size_t{perChunk_} * db.pageSize());
    }
    // The main file's image of page p (1-based, never below the previous call's).
    Bytes page(std::uint32_t p) {
        const std::uint32_t size = db_.pageSize();
        if (p < first_ || p >= first_ + held_) {
            first_ = p;
            held_ = std::min(perChunk_, pages_ - p + 1);
            const std::uint64_t at = std::uint64_t{p - 1} * size;
            const std::size_t n = std::size_t{held_} * size;
            const std::uint64_t inFile = at < db_.files().db->size() ? db_.files().db->size() - at : 0;
            if (db_.files().db->readAt(static_cast<std::int64_t>(at), n, buffer_.data()) <
                std::min<std::uint64_t>(n, inFile)) {
                db_.noteShortRead();
            }
        }
        return Bytes(buffer_).subspan(std::size_t{p - first_} * size, size);
    }

private:
    const DatabaseFile& db_;
    std::uint32_t pages_;
    std::uint32_t perChunk_ = 1;
    std::uint32_t first_ = 0;
    std::uint32_t held_ = 0;
    std::vector<std::uint8_t> buffer_;
};

struct Candidate {
    std::uint32_t shape = 0; // index into Engine::shapes_
    Kind kind = Kind::Intact;
    std::uint32_t start = 0;     // first byte of the cell (or of what is left of it)
    std::uint32_t typesAt = 0;   // first serial type read from the image
    std::uint32_t bodyStart = 0; // first content byte
    std::uint32_t localEnd = 0;  // end of the part of the record on the page
    std::uint32_t end = 0;       // end of the cell: localEnd, plus 4 with an overflow page number
    std::uint32_t headerSize = 0;
    std::uint64_t bodySize = 0;
    bool hasRowid = false;
    std::int64_t rowid = 0;
    std::uint64_t firstType = 0; // for LostFirstType: the type of column 0, which the image no longer holds
    bool cut = false;
    int strength = 0;           // how well the reading explains its bytes; 0: not a record
    std::uint32_t rangeEnd = 0; // end of the free space it was found in

    std::uint64_t payloadSize() const { return headerSize + bodySize; }
    std::uint32_t firstColumn() const { return kind == Kind::LostFirstType ? 1 : 0; }
};

// What serial types a column takes, in the form the free-space search checks fastest.
enum class ColumnClass : std::uint8_t { Alias, Number, Text, Any };

// A table as the free-space search tries it.
struct Shape {
    const TableShape* table = nullptr;
    std::size_t request = SIZE_MAX; // SIZE_MAX: tried only so that its rows are not taken for others
    std::vector<ColumnClass> columns;
};

// The moment a page image shows: the database now, or an older state: the main file's image of a
// page the log has replaced since, a log frame, a journal's image from before a transaction.
struct Moment {
    enum class Of : std::uint8_t { Now, MainFile, LogFrame, Journal } of = Of::Now;
    std::uint32_t frame = 0; // for LogFrame: the frame's index
};

// A row whose content continues on overflow pages, resolved when every such row is known.
struct PendingOverflow {
    Moment moment; // the chain is followed through the images of this moment
    CarvedRow row;
    std::uint64_t seq = 0;
    std::uint64_t hash = 0;
    std::uint64_t payloadSize = 0;
    std::uint32_t headerSize = 0;
    std::vector<std::uint64_t> types;
    std::uint32_t firstColumn = 0;
    std::vector<std::uint8_t> bodyLocal;
    std::uint32_t firstOverflow = 0;
    std::vector<std::uint32_t> chain;
    std::vector<std::pair<const DbFileReader*, std::uint64_t>> images; // of the chain's pages
    bool chainOk = false;
};

class Engine {
public:
    Engine(const DatabaseFile& db, const std::vector<TableRequest>& requests)
        : db_(db), requests_(requests), usable_(db.usableSize()), pages_(db.pageCount()),
          allPages_(std::max(db.pageCount(), db.filePageCount())) {
        for (const TableShape& t : db.tables()) {
            Shape s;
            s.table = &t;
            for (std::size_t c = 0; c < t.columns.size(); ++c) {
                const Affinity a = t.columns[c].affinity;
                s.columns.push_back(static_cast<int>(c) == t.rowidAlias ? ColumnClass::Alias
                                    : a == Affinity::Text               ? ColumnClass::Text
                                    : a == Affinity::Blob               ? ColumnClass::Any
                                                                        : ColumnClass::Number);
            }
            for (std::size_t r = 0; r < requests.size(); ++r) {
                if (sameName(requests[r].table, t.name)) {
                    s.request = r;
                }
            }
            shapes_.push_back(s);
        }
        buildPrefilters();
        requestTables_.resize(requests.size(), nullptr);
        for (const Shape& sh : shapes_) {
            if (sh.request != SIZE_MAX) {
                requestTables_[sh.request] = sh.table;
            }
        }
        live_.resize(requests.size());
    }

    CarveResult run() {
        bool anyRequested = false;
        for (const Shape& s : shapes_) {
            anyRequested = anyRequested || s.request != SIZE_MAX;
        }
        if (!anyRequested) {
            return {};
        }
        readStructure();
        walkTrees();
        walkFreeList();
        markOverflowChains();
        markPointerMaps();
        collectLiveRows();
        carveMainFile();
        carveLog();
        carveJournal();
        resolveOverflow();
        std::stable_sort(emitted_.begin(), emitted_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        CarveResult result;
        result.copiesOfLiveRows = copies_;
        result.rows.reserve(emitted_.size());
        for (auto& [seq, row] : emitted_) {
            result.rows.push_back(std::move(row));
        }
        return result;
    }

private:
    // ---- The structure of the current state ----

    struct Interior {
        std::uint32_t page;
        std::uint32_t first; // into children_
        std::uint32_t count;
    };
    struct LiveCell {
        std::uint64_t fingerprint;
        std::int64_t rowid;
        std::uint32_t page;
        std::uint32_t offset; // of the cell on its page

        bool operator<(const LiveCell& o) const {
            return std::tie(fingerprint, rowid) < std::tie(o.fingerprint, o.rowid);
        }
    };
    // The live cells of one table in the order of their fingerprint and rowid, and where each value
    // of the fingerprint's top bits starts: about one cell per value, so that finding a carved
    // row's live twin reads a few neighbouring cells instead of searching them all.
    struct LiveTable {
        std::vector<LiveCell> cells;
        std::vector<std::uint32_t> starts; // one per value of the top bits, and the end
        unsigned bits = 0;

        void sort() {
            if (cells.empty()) {
                return;
            }
            bits = std::clamp<unsigned>(static_cast<unsigned>(std::bit_width(cells.size())), 1, 20);
            starts.assign((std::size_t{1} << bits) + 1, 0);
            for (const LiveCell& c : cells) {
                ++starts[top(c.fingerprint) + 1];
            }
            for (std::size_t b = 1; b < starts.size(); ++b) {
                starts[b] += starts[b - 1];
            }
            std::vector<LiveCell> sorted(cells.size());
            std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
            for (const LiveCell& c : cells) {
                sorted[next[top(c.fingerprint)]++] = c;
            }
            for (std::size_t b = 0; b + 1 < starts.size(); ++b) {
                if (starts[b + 1] - starts[b] > 1) {
                    std::sort(sorted.begin() + starts[b], sorted.begin() + starts[b + 1]);
                }
            }
            cells = std::move(sorted);
        }
        std::size_t top(std::uint64_t fingerprint) const {
            return static_cast<std::size_t>(fingerprint >> (64 - bits));
        }
        // The cells whose fingerprint has the top bits of this one.
        std::pair<std::vector<LiveCell>::const_iterator, std::vector<LiveCell>::const_iterator>
        withTopBitsOf(std::uint64_t fingerprint) const {
            if (cells.empty()) {
                return {cells.end(), cells.end()};
            }
            const std::size_t b = top(fingerprint);
            return {cells.begin() + starts[b], cells.begin() + starts[b + 1]};
        }
    };
    struct OverflowStart {
        std::uint32_t page;
        std::uint32_t first;
        std::uint64_t pages;
    };

    // One pass over the current image of every page: its type, its first four bytes (the next
    // page of an overflow or trunk page), the children of interior pages, the keys and content
    // hashes of table cells and the overflow chains that cells start.
    void readStructure() {
        type_.assign(std::size_t{allPages_} + 1, 0);
        first4_.assign(std::size_t{allPages_} + 1, 0);
        firstRange_.assign(std::size_t{allPages_} + 2, 0);
        gapEnd_.assign(std::size_t{allPages_} + 1, 0);
        hasRanges_.assign(std::size_t{allPages_} + 1, false);
        PageStream stream(db_, allPages_);
        std::vector<std::uint8_t> walImage;
        for (std::uint32_t p = 1; p <= allPages_; ++p) {
            Bytes image;
            if (db_.wal() && p <= pages_ && db_.wal()->currentFrame(p)) {
                db_.readPage(p, walImage);
                image = walImage;
            } else {
                image = stream.page(p);
            }
            first4_[p] = be32(image.data());
            if (p > pages_) {
                continue;
            }
            const auto h = parseBtreePageHeader(image, DatabaseFile::headerOffsetOf(p), usable_);
            if (!h) {
                continue;
            }
            type_[p] = h->type;
            const std::uint32_t firstChild = static_cast<std::uint32_t>(children_.size());
            cellSpans_.clear();
            for (std::uint32_t i = 0; i < h->cellCount; ++i) {
                const std::uint32_t at = be16(image.data() + h->pointerArrayStart() + std::size_t{2} * i);
                const auto cell = parseCell(image, at, h->type, usable_);
                cellSpans_.emplace_back(at, cell ? cell->end : std::min<std::uint32_t>(at + 4, usable_));
                if (!cell) {
                    continue;
                }
                if (!h->leaf()) {
                    children_.push_back(cell->leftChild);
                }
                if (cell->hasPayload && cell->firstOverflow != 0) {
                    overflowStarts_.push_back(
                        {p, cell->firstOverflow,
                         overflowPageCount(cell->payloadSize, usable_, h->type == PageType::kTableLeaf)});
                }
                if (h->type == PageType::kTableLeaf) {
                    const Bytes local = image.subspan(cell->payloadStart, cell->localSize);
                    const Varint hs = readVarint(local, 0);
                    const std::size_t header = hs.length != 0 ? std::min<std::uint64_t>(hs.value, local.size()) : 0;
                    liveCells_.push_back(
                        {fingerprint(cell->payloadSize, local.subspan(header)), cell->rowid, p, cell->start});
                }
            }
            if (!h->leaf()) {
                children_.push_back(h->rightChild);
                interiors_.push_back({p, firstChild, static_cast<std::uint32_t>(children_.size()) - firstChild});
            }
            // The page's free space, should it turn out live: everything after the pointer array
            // that no cell covers; the part before the content area is the unallocated gap.
            firstRange_[p] = static_cast<std::uint32_t>(freeRanges_.size());
            gapEnd_[p] = std::min(h->contentStart, usable_);
            // Cells are written from the end of the page down, so the array is often in
            // descending order already.
            std::reverse(cellSpans_.begin(), cellSpans_.end());
            if (!std::is_sorted(cellSpans_.begin(), cellSpans_.end())) {
                std::sort(cellSpans_.begin(), cellSpans_.end());
            }
            std::uint32_t from = h->pointerArrayEnd();
            for (const auto& [start, end] : cellSpans_) {
                if (start > from) {
                    freeRanges_.emplace_back(from, start);
                }
                from = std::max(from, end);
            }
            if (from < usable_) {
                freeRanges_.emplace_back(from, usable_);
            }
            hasRanges_[p] = true;
        }
        // Pages without ranges of their own point where the next page's start.
        firstRange_[allPages_ + 1] = static_cast<std::uint32_t>(freeRanges_.size());
        for (std::uint32_t p = allPages_; p >= 1; --p) {
            if (!hasRanges_[p]) {
                firstRange_[p] = firstRange_[p + 1];
            }
        }
        hasRanges_ = {};
    }

    void walkTrees() {
        use_.assign(std::size_t{allPages_} + 1, PageUse::Unused);
        owner_.assign(std::size_t{allPages_} + 1, kNoOwner);
        for (const std::uint32_t root : db_.roots()) {
            std::uint32_t owner = kNoOwner;
            for (std::size_t i = 0; i < shapes_.size(); ++i) {
                if (shapes_[i].table->rootPage == root) {
                    owner = static_cast<std::uint32_t>(i);
                }
            }
            std::vector<std::uint32_t> stack{root};
            while (!stack.empty()) {
                const std::uint32_t p = stack.back();
                stack.pop_back();
                if (p == 0 || p > pages_ || use_[p] != PageUse::Unused || type_[p] == 0) {
                    continue;
                }
                use_[p] = PageUse::Btree;
                owner_[p] = owner;
                const auto it = std::lower_bound(interiors_.begin(), interiors_.end(), p,
                                                 [](const Interior& i, std::uint32_t page) { return i.page < page; });
                if (it != interiors_.end() && it->page == p) {
                    stack.insert(stack.end(), children_.begin() + it->first, children_.begin() + it->first + it->count);
                }
            }
        }
    }

    void walkFreeList() {
        std::vector<std::uint8_t> image;
        std::uint32_t trunk = db_.header().firstTrunk;
        const std::uint32_t mostLeaves = usable_ / 4 - 2;
        while (trunk != 0 && trunk <= pages_ && use_[trunk] == PageUse::Unused) {
            use_[trunk] = PageUse::FreeTrunk;
            db_.readPage(trunk, image);
            const std::uint32_t count = std::min(be32(image.data() + 4), mostLeaves);
            trunkLeaves_[trunk] = count;
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::uint32_t leaf = be32(image.data() + 8 + std::size_t{4} * i);
                if (leaf != 0 && leaf <= pages_ && use_[leaf] == PageUse::Unused) {
                    use_[leaf] = PageUse::FreeLeaf;
                }
            }
            trunk = be32(image.data());
        }
    }

    void markOverflowChains() {
        for (const OverflowStart& o : overflowStarts_) {
            if (use_[o.page] != PageUse::Btree) {
                continue; // a cell of a page no b-tree reaches starts no live chain
            }
            std::uint32_t p = o.first;
            for (std::uint64_t i = 0; i < o.pages && p != 0 && p <= pages_ && use_[p] == PageUse::Unused; ++i) {
                use_[p] = PageUse::Overflow;
                p = first4_[p];
            }
        }
        overflowStarts_ = {};
    }

    // Auto-vacuum databases keep pointer-map pages: page 2 and one after every usable / 5 pages.
    void markPointerMaps() {
        if (db_.header().autoVacuumRoot == 0) {
            return;
        }
        const std::uint32_t step = usable_ / 5 + 1;
        for (std::uint64_t p = 2; p <= pages_; p += step) {
            if (use_[p] == PageUse::Unused) {
                use_[p] = PageUse::PointerMap;
            }
        }
    }

    void collectLiveRows() {
        for (const LiveCell& c : liveCells_) {
            if (use_[c.page] != PageUse::Btree || owner_[c.page] == kNoOwner) {
                continue;
            }
            const std::size_t r = shapes_[owner_[c.page]].request;
            if (r != SIZE_MAX) {
                live_[r].cells.push_back(c);
            }
        }
        liveCells_ = {};
        for (LiveTable& table : live_) {
            table.sort();
        }
    }

    // Whether a carved record equals a live row of its table: the same content (its payload size
    // and the body bytes on its page) and, when the carved bytes still tell it, the same rowid.
    bool isLiveCopy(std::size_t request, const std::optional<std::int64_t>& rowid, std::uint64_t payloadSize,
                    Bytes bodyLocal) {
        const std::uint64_t mark = fingerprint(payloadSize, bodyLocal);
        const auto [first, last] = live_[request].withTopBitsOf(mark);
        auto it = std::lower_bound(first, last, LiveCell{mark, rowid.value_or(INT64_MIN), 0, 0});
        for (; it != last && it->fingerprint == mark; ++it) {
            if (rowid && it->rowid != *rowid) {
                break;
            }
            if (livePage_ != it->page) {
                db_.readPage(it->page, livePageImage_);
                livePage_ = it->page;
            }
            const auto cell = parseCell(livePageImage_, it->offset, PageType::kTableLeaf, usable_);
            if (!cell || cell->payloadSize != payloadSize) {
                continue;
            }
            const Bytes local = Bytes(livePageImage_).subspan(cell->payloadStart, cell->localSize);
            const Varint header = readVarint(local, 0);
            if (header.length != 0 && header.value <= local.size() &&
                std::equal(local.begin() + static_cast<std::ptrdiff_t>(header.value), local.end(), bodyLocal.begin(),
                           bodyLocal.end())) {
                return true;
            }
        }
        return false;
    }

    // ---- The places to carve ----

    void carveMainFile() {
        PageStream stream(db_, db_.filePageCount());
        for (std::uint32_t p = 1; p <= db_.filePageCount(); ++p) {
            const Bytes image = stream.page(p);
            const std::uint64_t offset = std::uint64_t{p - 1} * db_.pageSize();
            if (p > pages_ || (db_.wal() && db_.wal()->currentFrame(p))) {
                moment_ = {Moment::Of::MainFile, 0};
                carveImage(image, p, ImageKind::Stale, RecoveredFrom::FreePage, offset);
                continue;
            }
            moment_ = {};
            carveCurrent(image, p, offset, RecoveredFrom::FreePage);
        }
    }

    void carveLog() {
        const WalFile* wal = db_.wal();
        if (!wal) {
            return;
        }
        std::vector<std::uint8_t> image(db_.pageSize());
        for (std::size_t i = 0; i < wal->frames().size(); ++i) {
            const WalFile::Frame& f = wal->frames()[i];
            db_.files().wal->readAt(static_cast<std::int64_t>(f.imageOffset), image.size(), image.data());
            if (wal->isCurrent(i) && f.page <= pages_) {
                moment_ = {};
                carveCurrent(image, f.page, f.imageOffset, RecoveredFrom::WalFrame);
            } else {
                moment_ = {Moment::Of::LogFrame, static_cast<std::uint32_t>(i)};
                carveImage(image, f.page, ImageKind::Stale, RecoveredFrom::WalFrame, f.imageOffset);
            }
        }
    }

    void carveJournal() {
        const DbFileReader* journal = db_.files().journal;
        if (!journal) {
            return;
        }
        std::vector<std::uint8_t> image(db_.pageSize());
        const std::vector<JournalPage> pages = readJournalPages(*journal, db_.pageSize(), pages_);
        for (const JournalPage& j : pages) {
            journalImages_.emplace(j.page, j.imageOffset); // the first image of a page is its oldest
        }
        moment_ = {Moment::Of::Journal, 0};
        for (const JournalPage& j : pages) {
            journal->readAt(static_cast<std::int64_t>(j.imageOffset), image.size(), image.data());
            carveImage(image, j.page, ImageKind::Stale, RecoveredFrom::Journal, j.imageOffset);
        }
    }

    // The current image of page p: carved by what the page is used for now. `stale` names it
    // when every byte of it is free.
    void carveCurrent(Bytes image, std::uint32_t p, std::uint64_t offset, RecoveredFrom stale) {
        switch (use_[p]) {
        case PageUse::Btree:
            carveImage(image, p, ImageKind::Live, stale, offset);
            break;
        case PageUse::FreeTrunk:
            carveImage(image, p, ImageKind::Trunk, stale, offset);
            break;
        case PageUse::FreeLeaf:
        case PageUse::Unused:
            carveImage(image, p, ImageKind::Stale, stale, offset);
            break;
        case PageUse::Overflow:
        case PageUse::PointerMap:
            break;
        }
    }

    // ---- One page image ----

    void carveImage(Bytes image, std::uint32_t page, ImageKind kind, RecoveredFrom label, std::uint64_t offset) {
        image = image.first(std::min<std::size_t>(image.size(), usable_));
        candidates_.clear();
        ranges_.clear();
        const std::uint32_t headerOffset = DatabaseFile::headerOffsetOf(page);
        const auto h = kind == ImageKind::Trunk ? std::nullopt : parseBtreePageHeader(image, headerOffset, usable_);
        std::uint32_t gapEnd = 0; // free space before this lies in the unallocated gap
        if (kind == ImageKind::Live) {
            if (!h || page > allPages_) {
                return;
            }
            ranges_.assign(freeRanges_.begin() + firstRange_[page], freeRanges_.begin() + firstRange_[page + 1]);
            gapEnd = gapEnd_[page];
            if (label != RecoveredFrom::WalFrame) {
                label = h->leaf() ? RecoveredFrom::Freeblock : RecoveredFrom::InteriorPage;
            }
        } else if (kind == ImageKind::Trunk) {
            const auto it = trunkLeaves_.find(page);
            const std::uint32_t listed = it == trunkLeaves_.end() ? 0 : it->second;
            ranges_.emplace_back(std::min<std::uint32_t>(8 + 4 * listed, static_cast<std::uint32_t>(image.size())),
                                 static_cast<std::uint32_t>(image.size()));
        } else {
            if (h && h->type == PageType::kTableLeaf) {
                for (std::uint32_t i = 0; i < h->cellCount; ++i) {
                    const std::uint32_t at = be16(image.data() + h->pointerArrayStart() + std::size_t{2} * i);
                    if (at >= h->pointerArrayEnd()) {
                        addCellCandidate(image, at, owner_.size() > page ? owner_[page] : kNoOwner);
                    }
                }
            }
            // Every byte: a pointer array read wrongly must not hide what lies under it.
            ranges_.emplace_back(std::min<std::uint32_t>(headerOffset, static_cast<std::uint32_t>(image.size())),
                                 static_cast<std::uint32_t>(image.size()));
        }
        guesses_.clear();
        for (const auto& [s, e] : ranges_) {
            scanRange(image, s, e);
        }
        resolveGuesses(image);
        if (candidates_.empty()) {
            return;
        }
        resolveOverlaps(image, page < owner_.size() ? owner_[page] : kNoOwner);
        for (const Candidate& c : candidates_) {
            if (c.cut) {
                continue;
            }
            RecoveredFrom from = label;
            if (kind == ImageKind::Live && label == RecoveredFrom::Freeblock && c.start < gapEnd) {
                from = RecoveredFrom::Unallocated;
            }
            finish(image, c, from, page, offset);
        }
    }

    void addCellCandidate(Bytes image, std::uint32_t at, std::uint32_t owner) {
        const auto cell = parseCell(image, at, PageType::kTableLeaf, usable_);
        if (!cell || cell->localSize == 0) {
            return;
        }
        const Bytes local = image.subspan(cell->payloadStart, cell->localSize);
        // The page's own table first: its rows are what a table leaf page holds.
        std::vector<std::uint32_t> order;
        if (owner != kNoOwner) {
            order.push_back(owner);
        }
        for (std::uint32_t s = 0; s < shapes_.size(); ++s) {
            if (s != owner) {
                order.push_back(s);
            }
        }
        for (const std::uint32_t s : order) {
            const auto header = readRecordHeader(local, *shapes_[s].table, false);
            if (!header || header->payloadSize() != cell->payloadSize) {
                continue;
            }
            Candidate c;
            c.shape = s;
            c.kind = Kind::Cell;
            c.start = at;
            c.typesAt = cell->payloadStart + varintLength(header->headerSize);
            c.bodyStart = cell->payloadStart + header->headerSize;
            c.localEnd = cell->payloadStart + cell->localSize;
            c.end = cell->end;
            c.headerSize = header->headerSize;
            c.bodySize = header->bodySize;
            c.hasRowid = true;
            c.rowid = cell->rowid;
            if (c.bodyStart <= c.localEnd && c.bodySize != 0) {
                candidates_.push_back(c);
            }
            return;
        }
    }

    // ---- The free-space search ----

    // Bit masks over the shapes, one set of words per byte value: which shapes a record header may
    // start with (its header size), which may have it as their first serial type, and which may
    // have it as the first serial type left when a freeblock header overwrote the record's start.
    using Mask = std::vector<std::uint64_t>;
    void setBit(Mask& m, std::uint32_t b, std::uint32_t s) { m[b * words_ + s / 64] |= std::uint64_t{1} << (s % 64); }

    void buildPrefilters() {
        words_ = (shapes_.size() + 63) / 64;
        headerMask_.assign(256 * words_, 0);
        firstTypeMask_.assign(256 * words_, 0);
        lostHeaderMask_.assign(256 * words_, 0);
        lostFirstTypeMask_.assign(256 * words_, 0);
        secondTypeMask_.assign(256 * words_, 0);
        thirdTypeMask_.assign(256 * words_, 0);
        for (std::uint32_t s = 0; s < shapes_.size(); ++s) {
            const TableShape& t = *shapes_[s].table;
            const std::size_t n = t.columns.size();
            if (n == 0) {
                continue;
            }
            // A header holds one type per column: one byte for a number, at most five for a text
            // or blob (its length would need more than SQLite allows), plus its own size.
            std::uint64_t typeBytes = 0;
            for (const ColumnClass c : shapes_[s].columns) {
                typeBytes += c == ColumnClass::Text || c == ColumnClass::Any ? 5 : 1;
            }
            const std::uint64_t minHeader = 1 + n;
            const std::uint64_t maxHeader = headerSizeFor(static_cast<std::uint32_t>(typeBytes));
            for (std::uint32_t b = 0; b < 256; ++b) {
                if (b < 0x80 ? b >= minHeader && b <= maxHeader : maxHeader >= 128) {
                    setBit(headerMask_, b, s);
                }
                if (firstTypeByteFits(b, t, 0)) {
                    setBit(firstTypeMask_, b, s);
                    setBit(lostHeaderMask_, b, s);
                }
                // The byte after a one-byte type: the next column's type, or the end of the header.
                if (n < 2 || firstTypeByteFits(b, t, 1)) {
                    setBit(secondTypeMask_, b, s);
                }
                if (n >= 2 && firstTypeByteFits(b, t, 1)) {
                    setBit(lostFirstTypeMask_, b, s);
                }
                if (n < 3 || firstTypeByteFits(b, t, 2)) {
                    setBit(thirdTypeMask_, b, s);
                }
            }
        }
        startsHeader_.assign(65536, 0);
        startsLostTypes_.assign(65536, 0);
        textIsInert_ = true;
        for (std::uint32_t b = 0; b < 256; ++b) {
            for (std::uint32_t b1 = 0; b1 < 256; ++b1) {
                for (std::size_t w = 0; w < words_; ++w) {
                    const std::size_t i = b * words_ + w, j = b1 * words_ + w;
                    const bool one = b < 0x80;
                    startsHeader_[b << 8 | b1] |= (headerMask_[i] & (one ? firstTypeMask_[j] : ~0ull)) != 0;
                    startsLostTypes_[b << 8 | b1] |= (lostHeaderMask_[i] & (one ? secondTypeMask_[j] : ~0ull)) != 0 ||
                                                     (lostFirstTypeMask_[i] & (one ? thirdTypeMask_[j] : ~0ull)) != 0;
                }
                if (b >= 0x20 && b1 >= 0x20 && startsHeader_[b << 8 | b1]) {
                    textIsInert_ = false;
                }
            }
        }
    }

    static bool firstTypeByteFits(std::uint32_t b, const TableShape& t, std::size_t column) {
        const bool alias = static_cast<int>(column) == t.rowidAlias;
        if (b < 0x80) {
            return typeFits(b, t.columns[column].affinity, alias);
        }
        // A type of two bytes or more: a text or blob of 57 bytes or more.
        return !alias && (t.columns[column].affinity == Affinity::Text || t.columns[column].affinity == Affinity::Blob);
    }

    // Calls f for every shape whose bit is set in a and in b and c (when given).
    template <class F>
    void forEachBit(const std::uint64_t* a, const std::uint64_t* b, const std::uint64_t* c, F f) const {
        for (std::size_t w = 0; w < words_; ++w) {
            std::uint64_t bits = a[w] & (b ? b[w] : ~std::uint64_t{0}) & (c ? c[w] : ~std::uint64_t{0});
            while (bits != 0) {
                f(static_cast<std::uint32_t>(w * 64 + static_cast<std::size_t>(std::countr_zero(bits))));
                bits &= bits - 1;
            }
        }
    }
    template <class F> void forEachBit(const std::uint64_t* a, const std::uint64_t* b, F f) const {
        forEachBit(a, b, nullptr, f);
    }

    // Tries every shape that may start at p.
    void examine(Bytes image, std::uint32_t rs, std::uint32_t re, std::uint32_t p) {
        const std::uint8_t* data = image.data();
        const std::uint8_t b = data[p];
        const std::uint8_t b1 = p + 1 < re ? data[p + 1] : 0;
        if (startsHeader_[b << 8 | b1]) {
            // An intact header: its size, then the first two columns' types (a size or a first
            // type of two bytes or more skips a test).
            if (b >= 0x80) {
                forEachBit(&headerMask_[b * words_], nullptr, [&](std::uint32_t s) { tryIntact(image, rs, re, p, s); });
            } else {
                const std::uint8_t b2 = p + 2 < re ? data[p + 2] : 0;
                forEachBit(&headerMask_[b * words_], &firstTypeMask_[b1 * words_],
                           b1 < 0x80 ? &secondTypeMask_[b2 * words_] : nullptr,
                           [&](std::uint32_t s) { tryIntact(image, rs, re, p, s); });
            }
        }
        if (startsLostTypes_[b << 8 | b1] && p >= rs + 4 && plausibleFreeblock(image, p - 4)) {
            const bool oneByte = b < 0x80;
            forEachBit(&lostHeaderMask_[b * words_], oneByte ? &secondTypeMask_[b1 * words_] : nullptr,
                       [&](std::uint32_t s) { tryLost(image, re, p, s, Kind::LostHeader); });
            forEachBit(&lostFirstTypeMask_[b * words_], oneByte ? &thirdTypeMask_[b1 * words_] : nullptr,
                       [&](std::uint32_t s) { tryLost(image, re, p, s, Kind::LostFirstType); });
        }
    }

    void scanRange(Bytes image, std::uint32_t rs, std::uint32_t re) {
        std::uint32_t p = rs;
#if defined(__SSE2__)
        // Free space is mostly old text and zeros, and sixteen positions are sorted out at a time.
        // An intact header starts at a non-zero byte; when the schema lets no pair of text bytes
        // (0x20 and up) start one, that byte or the next is below 0x20. Types read past a lost
        // prefix follow a freeblock size that is not zero and, on pages of at most 8 KiB, whose
        // high byte is at most 0x20.
        const bool smallPages = usable_ <= 0x2000;
        if (textIsInert_ || smallPages) {
            const std::uint8_t* data = image.data();
            for (; p < re && p < rs + 2; ++p) {
                examine(image, rs, re, p);
            }
            const __m128i zero = _mm_setzero_si128();
            const __m128i all = _mm_set1_epi8(-1);
            const __m128i top = _mm_set1_epi8(0x1f);
            const __m128i sizeTop = _mm_set1_epi8(0x20);
            for (; p + 17 <= re; p += 16) {
                const auto load = [data, p](int shift) {
                    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p + shift));
                };
                const __m128i x = load(0), next = load(1), back1 = load(-1), back2 = load(-2);
                const auto atMost = [](__m128i v, __m128i limit) { return _mm_cmpeq_epi8(_mm_min_epu8(v, limit), v); };
                const __m128i nonZero = _mm_xor_si128(_mm_cmpeq_epi8(x, zero), all);
                const __m128i intact =
                    textIsInert_ ? _mm_and_si128(nonZero, _mm_or_si128(atMost(x, top), atMost(next, top))) : nonZero;
                const __m128i sizeSet =
                    _mm_xor_si128(_mm_and_si128(_mm_cmpeq_epi8(back1, zero), _mm_cmpeq_epi8(back2, zero)), all);
                const __m128i lost = smallPages ? _mm_and_si128(sizeSet, atMost(back2, sizeTop)) : sizeSet;
                for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(intact, lost))); mask != 0;
                     mask &= mask - 1) {
                    examine(image, rs, re, p + static_cast<std::uint32_t>(std::countr_zero(mask)));
                }
            }
        }
#endif
        for (; p < re; ++p) {
            examine(image, rs, re, p);
        }
    }

    // The four bytes at `at` could have been written as a freeblock header: a next block of 0 or
    // after this one, a size of at least 4 that stays on the page.
    bool plausibleFreeblock(Bytes image, std::uint32_t at) const {
        const std::uint32_t next = be16(image.data() + at);
        const std::uint32_t size = be16(image.data() + at + 2);
        return size >= 4 && at + size <= usable_ && (next == 0 || (next > at && next < usable_));
    }

    // Places the record whose body starts at bodyStart, checking that it fits [.., re): its local
    // part and, when it continues on overflow pages, the page number after it.
    bool placeBody(Candidate& c, std::uint32_t recordStart, std::uint32_t re) const {
        if (c.bodySize == 0) {
            return false; // nothing but NULLs and constants: nothing to tell one such row from another
        }
        const std::uint64_t payload = c.payloadSize();
        const std::uint64_t local = localPayloadSize(payload, usable_, true);
        if (local < c.headerSize) {
            return false;
        }
        const std::uint64_t localEnd = std::uint64_t{recordStart} + local;
        const std::uint64_t end = localEnd + (local < payload ? 4 : 0);
        if (end > re) {
            return false;
        }
        c.localEnd = static_cast<std::uint32_t>(localEnd);
        c.end = static_cast<std::uint32_t>(end);
        return true;
    }

    // Reads the serial types of columns [first, ...) of shape s from data[at, end) and checks that
    // each fits its column, as readColumnTypes does but without keeping them: the search tries
    // millions of places. Answers the bytes they took, 0 when they do not fit.
    std::uint32_t scanTypes(const std::uint8_t* data, std::uint32_t at, std::uint32_t end, const Shape& s,
                            std::uint32_t first, std::uint64_t& body, std::uint64_t mostBody = UINT64_MAX) const {
        std::uint32_t pos = at;
        for (std::size_t c = first; c < s.columns.size(); ++c) {
            if (pos >= end) {
                return 0;
            }
            std::uint64_t t = data[pos++];
            if (t >= 0x80) {
                t &= 0x7f;
                for (int i = 1;; ++i) {
                    if (pos >= end || i == 8) {
                        return 0; // serial types never need nine bytes
                    }
                    const std::uint8_t b = data[pos++];
                    t = t << 7 | (b & 0x7f);
                    if (b < 0x80) {
                        break;
                    }
                }
            }
            switch (s.columns[c]) {
            case ColumnClass::Alias:
                if (t != 0) {
                    return 0;
                }
                break;
            case ColumnClass::Number:
                if (t > 9) {
                    return 0;
                }
                break;
            case ColumnClass::Text:
                if (t != 0 && !Serial::isText(t)) {
                    return 0;
                }
                break;
            case ColumnClass::Any:
                if (Serial::isReserved(t)) {
                    return 0;
                }
                break;
            }
            body += Serial::contentSize(t);
            if (body > mostBody) {
                return 0;
            }
        }
        return pos - at;
    }

    void tryIntact(Bytes image, std::uint32_t rs, std::uint32_t re, std::uint32_t p, std::uint32_t s) {
        const Varint h = image[p] < 0x80 ? Varint{image[p], 1} : readVarint(image.first(re), p);
        if (h.length == 0 || h.value <= h.length || h.value > re - p) {
            return;
        }
        std::uint64_t body = 0;
        const std::uint32_t used =
            scanTypes(image.data(), p + h.length, static_cast<std::uint32_t>(p + h.value), shapes_[s], 0, body);
        if (used == 0 || used != h.value - h.length) {
            return;
        }
        Candidate c;
        c.shape = s;
        c.kind = Kind::Intact;
        c.start = p;
        c.typesAt = p + h.length;
        c.headerSize = static_cast<std::uint32_t>(h.value);
        c.bodyStart = p + c.headerSize;
        c.bodySize = body;
        if (!placeBody(c, p, re)) {
            return;
        }
        findRowid(image, rs, c);
        candidates_.push_back(c);
    }

    // The payload size and rowid varints in front of an intact record: the rowid's last byte is
    // the one before the record, its earlier bytes have the high bit set, and the payload size
    // before it must be the record's own.
    void findRowid(Bytes image, std::uint32_t rs, Candidate& c) const {
        const std::uint32_t p = c.start;
        if (p < rs + 2 || image[p - 1] >= 0x80) {
            return;
        }
        std::uint32_t j = p - 1;
        while (j > rs && p - j < 9 && image[j - 1] >= 0x80) {
            --j;
        }
        std::uint8_t encoded[9];
        std::uint64_t v = c.payloadSize();
        const std::uint32_t n = varintLength(v);
        if (n > 8 || j < rs + n) {
            return;
        }
        for (std::uint32_t i = n; i-- > 0;) {
            encoded[i] = static_cast<std::uint8_t>((v & 0x7f) | (i + 1 < n ? 0x80 : 0));
            v >>= 7;
        }
        if (!std::equal(encoded, encoded + n, image.begin() + (j - n))) {
            return;
        }
        const Varint rowid = readVarint(image.first(p), j);
        if (rowid.length != p - j) {
            return;
        }
        c.kind = Kind::IntactRowid;
        c.hasRowid = true;
        c.rowid = static_cast<std::int64_t>(rowid.value);
        c.start = j - n;
    }

    // The one serial type of a one-byte type slot that gives a column of this affinity a content of
    // `size` bytes; nothing when none does or several could (a blob column's text or blob).
    std::optional<std::uint64_t> typeOfSize(Affinity affinity, std::uint64_t size) const {
        switch (affinity) {
        case Affinity::Integer:
        case Affinity::Real:
        case Affinity::Numeric:
            if (size == 0) {
                // NULL, or from schema format 4 on also the constants 0 and 1.
                return db_.header().schemaFormat < 4 ? std::optional<std::uint64_t>(Serial::kNull) : std::nullopt;
            }
            if (size <= 4) {
                return size;
            }
            if (size == 6) {
                return 5;
            }
            if (size == 8 && affinity != Affinity::Numeric) {
                return affinity == Affinity::Real ? Serial::kFloat : 6;
            }
            return std::nullopt;
        case Affinity::Text:
            return size <= 57 ? std::optional<std::uint64_t>(13 + 2 * size) : std::nullopt;
        case Affinity::Blob:
            break;
        }
        return std::nullopt;
    }

    void tryLost(Bytes image, std::uint32_t re, std::uint32_t t, std::uint32_t s, Kind kind) {
        std::uint64_t body = 0;
        const std::uint32_t firstColumn = kind == Kind::LostFirstType ? 1 : 0;
        // The four lost bytes held the payload size, the rowid and the header size (and the alias's
        // type): with one byte each for all but one of them, the payload is small enough to tell
        // (below 128 bytes when all took one, below 16384 when one took two).
        const std::uint64_t mostPayload = kind == Kind::LostFirstType ? 127 : 16383;
        const std::uint32_t used = scanTypes(image.data(), t, re, shapes_[s], firstColumn, body, mostPayload);
        if (used == 0) {
            return;
        }
        // The lost type of column 0 took one byte: the rowid alias's NULL, or a type the cell's size
        // tells, the freeblock having been written over this cell alone (the payload size and rowid
        // took a byte each, so the cell is the payload and two bytes). A block that later grew over
        // the cells after it tells nothing: its cell is tried with each size the column may have.
        std::uint64_t firstType = Serial::kNull;
        if (kind == Kind::LostFirstType && shapes_[s].columns[0] != ColumnClass::Alias) {
            const std::uint64_t cell = be16(image.data() + t - 2);
            const std::uint64_t rest = std::uint64_t{2} + headerSizeFor(used + 1) + body;
            const auto type =
                cell >= rest ? typeOfSize(shapes_[s].table->columns[0].affinity, cell - rest) : std::nullopt;
            if (!type) {
                guesses_.push_back({t, s, used, body, re});
                return;
            }
            firstType = *type;
            body += cell - rest;
        }
        addLost(image, re, t, s, kind, used, body, firstType);
    }

    void addLost(Bytes image, std::uint32_t re, std::uint32_t t, std::uint32_t s, Kind kind, std::uint32_t used,
                 std::uint64_t body, std::uint64_t firstType) {
        const std::uint32_t firstColumn = kind == Kind::LostFirstType ? 1 : 0;
        Candidate c;
        c.shape = s;
        c.kind = kind;
        c.firstType = firstType;
        c.start = t - 4;
        c.typesAt = t;
        c.headerSize = headerSizeFor(used + firstColumn);
        c.bodyStart = t + used;
        c.bodySize = body;
        if (c.headerSize >= 128 || c.payloadSize() > (kind == Kind::LostFirstType ? 127u : 16383u)) {
            return;
        }
        if (!placeBody(c, c.bodyStart - c.headerSize, re)) {
            return;
        }
        // The freeblock header's size covered the whole cell when it was written.
        if (be16(image.data() + c.start + 2) < c.end - c.start) {
            return;
        }
        c.rangeEnd = re;
        candidates_.push_back(c);
    }

    // A cell whose lost column 0 the freeblock's size does not tell: of the sizes the column may
    // have, the one after which the cell ends where another record starts or the block ends, when
    // exactly one does.
    struct Guess {
        std::uint32_t t, shape, used;
        std::uint64_t body;
        std::uint32_t re;
    };
    void resolveGuesses(Bytes image) {
        if (guesses_.empty()) {
            return;
        }
        starts_.clear();
        for (const Candidate& c : candidates_) {
            starts_.push_back(c.start);
        }
        std::sort(starts_.begin(), starts_.end());
        for (const Guess& g : guesses_) {
            const Affinity affinity = shapes_[g.shape].table->columns[0].affinity;
            const std::uint64_t blockEnd = std::uint64_t{g.t} - 4 + be16(image.data() + g.t - 2);
            const std::uint64_t base = std::uint64_t{g.t} - 4 + 2 + headerSizeFor(g.used + 1) + g.body;
            std::optional<std::uint64_t> only;
            int found = 0;
            for (std::uint64_t size = 0; size <= 57 && found < 2; ++size) {
                const auto type = typeOfSize(affinity, size);
                const std::uint64_t end = base + size;
                if (type && (end == blockEnd || std::binary_search(starts_.begin(), starts_.end(), end))) {
                    only = size;
                    ++found;
                }
            }
            if (found == 1) {
                addLost(image, g.re, g.t, g.shape, Kind::LostFirstType, g.used, g.body + *only,
                        *typeOfSize(affinity, *only));
            }
        }
        guesses_.clear();
    }

    // Several readings of the same bytes, resolved in two steps:
    // 1. The same record found several ways (its header intact, or read past a lost prefix) is
    //    kept once, in its most trusted reading.
    // 2. Of readings that overlap, the strongest is kept: a cell of the page's pointer array; then
    //    an intact header with its payload size and rowid in front; a header read past a freeblock
    //    header whose size is exactly the cell's (a 16-bit match); an intact header alone (an
    //    8-bit match, which a table of few columns finds inside other records); a header read past
    //    a freeblock header whose cell ends where another reading starts or the free space ends;
    //    any other. Ties go to the page's own table, then to the reading of more columns (another
    //    table's shape often reads the first columns of a longer record), then to the later start
    //    (written later, over the other). A reading whose texts are not valid is no record at all.
    //    A record's own content, its integers above all, often reads as some record: the weaker
    //    reading loses to it.
    void resolveOverlaps(Bytes image, std::uint32_t owner) {
        std::sort(candidates_.begin(), candidates_.end(), [](const Candidate& a, const Candidate& b) {
            return std::tie(a.bodyStart, a.localEnd, a.shape, a.kind) <
                   std::tie(b.bodyStart, b.localEnd, b.shape, b.kind);
        });
        candidates_.erase(std::unique(candidates_.begin(), candidates_.end(),
                                      [](const Candidate& a, const Candidate& b) {
                                          return a.bodyStart == b.bodyStart && a.localEnd == b.localEnd &&
                                                 a.shape == b.shape;
                                      }),
                          candidates_.end());
        starts_.clear();
        for (const Candidate& c : candidates_) {
            starts_.push_back(c.start);
        }
        std::sort(starts_.begin(), starts_.end());
        for (Candidate& c : candidates_) {
            switch (c.kind) {
            case Kind::Cell:
                c.strength = 6;
                break;
            case Kind::IntactRowid:
                c.strength = 5;
                break;
            case Kind::Intact:
                c.strength = 3;
                break;
            default:
                c.strength = be16(image.data() + c.start + 2) == c.end - c.start                                ? 4
                             : c.end == c.rangeEnd || std::binary_search(starts_.begin(), starts_.end(), c.end) ? 2
                                                                                                                : 1;
            }
        }
        std::sort(candidates_.begin(), candidates_.end(), [owner](const Candidate& a, const Candidate& b) {
            if (a.strength != b.strength) {
                return a.strength > b.strength;
            }
            if ((a.shape == owner) != (b.shape == owner)) {
                return a.shape == owner;
            }
            if (a.bodyStart - a.start != b.bodyStart - b.start) {
                return a.bodyStart - a.start > b.bodyStart - b.start;
            }
            return std::tie(b.start, a.shape, a.kind) < std::tie(a.start, b.shape, b.kind);
        });
        // Texts are checked only for a reading about to be kept, so each byte of the page is checked
        // once for the kept ones; readings that fail may spend four pages' worth in all, so that a
        // hostile page stays near linear.
        kept_.clear();
        std::size_t budget = 4 * image.size();
        for (const Candidate& c : candidates_) {
            // The kept readings are disjoint and sorted: the first that ends after c starts must
            // start at or after c's end.
            const auto after = std::upper_bound(kept_.begin(), kept_.end(), c.start,
                                                [](std::uint32_t at, const Candidate& k) { return at < k.end; });
            if (after != kept_.end() && after->start < c.end) {
                continue;
            }
            std::size_t spent = 0;
            if (budget == 0 || !textsValid(image, c, budget, spent)) {
                budget -= std::min(budget, spent);
                continue;
            }
            kept_.insert(after, c);
        }
        candidates_.swap(kept_);
    }

    // Whether the texts of a candidate's local part are valid; `spent` counts the bytes checked, and
    // no more than `most` are.
    bool textsValid(Bytes image, const Candidate& c, std::size_t most, std::size_t& spent) {
        types_.clear();
        std::uint64_t body = 0;
        if (!readColumnTypes(image, c.typesAt, c.bodyStart, *shapes_[c.shape].table, c.firstColumn(), types_, body)) {
            return false;
        }
        if (c.firstColumn() == 1) {
            types_.insert(types_.begin(), c.firstType);
        }
        std::uint64_t pos = c.bodyStart;
        for (const std::uint64_t t : types_) {
            const std::uint64_t size = Serial::contentSize(t);
            if (Serial::isText(t)) {
                const std::uint64_t n = std::min<std::uint64_t>(size, c.localEnd > pos ? c.localEnd - pos : 0);
                if (spent + n > most) {
                    return false;
                }
                spent += static_cast<std::size_t>(n);
                const std::string_view text(reinterpret_cast<const char*>(image.data() + pos),
                                            static_cast<std::size_t>(n));
                if (!validText(n == size
                                   ? text
                                   : text.substr(0, static_cast<std::size_t>(wholeCharacters(image.data() + pos, n))),
                               db_.encoding())) {
                    return false;
                }
            }
            pos += size;
        }
        return true;
    }

    // ---- Turning a candidate into a row ----

    void finish(Bytes image, const Candidate& c, RecoveredFrom from, std::uint32_t page, std::uint64_t offset) {
        const Shape& shape = shapes_[c.shape];
        if (shape.request == SIZE_MAX) {
            return; // another table's row: it only kept others from being taken for it
        }
        const TableShape& table = *shape.table;
        types_.clear();
        std::uint64_t body = 0;
        if (!readColumnTypes(image, c.typesAt, c.bodyStart, table, c.firstColumn(), types_, body)) {
            return;
        }
        if (c.firstColumn() == 1) {
            types_.insert(types_.begin(), c.firstType);
        }
        const Bytes bodyLocal = image.subspan(c.bodyStart, c.localEnd - c.bodyStart);
        const std::uint64_t hash = contentHash(c.payloadSize(), bodyLocal);
        const std::optional<std::int64_t> rowid = c.hasRowid ? std::optional<std::int64_t>(c.rowid) : std::nullopt;
        if (isLiveCopy(shape.request, rowid, c.payloadSize(), bodyLocal)) {
            ++copies_;
            return;
        }
        CarvedRow row;
        row.request = shape.request;
        row.rowid = rowid;
        row.from = from;
        row.page = page;
        row.fileOffset = offset + c.start;
        if (c.localEnd < c.bodyStart + c.bodySize) {
            PendingOverflow pending;
            pending.moment = moment_;
            pending.row = std::move(row);
            pending.seq = seq_++;
            pending.hash = hash;
            pending.payloadSize = c.payloadSize();
            pending.headerSize = c.headerSize;
            pending.types = types_;
            pending.bodyLocal.assign(bodyLocal.begin(), bodyLocal.end());
            pending.firstOverflow = be32(image.data() + c.localEnd);
            pending_.push_back(std::move(pending));
            return;
        }
        if (!decodeValues(table, types_, bodyLocal, row.values, nullptr, bodyLocal.size())) {
            return;
        }
        if (!accepts(row)) {
            return;
        }
        emit(std::move(row), hash, seq_++);
    }

    bool accepts(const CarvedRow& row) const {
        const auto& accept = requests_[row.request].accept;
        return !accept || accept(row.values);
    }

    // Decodes the values of a body (whole, or cut short when cutColumn is given); false when a
    // text is not valid. Texts within the first `checked` bytes are known to be valid.
    bool decodeValues(const TableShape& table, const std::vector<std::uint64_t>& types, Bytes body,
                      std::vector<Value>& values, std::size_t* cutColumn, std::size_t checked = 0) const {
        values.assign(table.columns.size(), Value{});
        std::size_t pos = 0;
        for (std::size_t i = 0; i < types.size(); ++i) {
            const std::uint64_t size = Serial::contentSize(types[i]);
            if (pos + size > body.size()) {
                if (!cutColumn) {
                    return false;
                }
                *cutColumn = i;
                const std::uint64_t left = body.size() - pos;
                // What the page still holds of the cut column: a text cut at a character boundary.
                if (Serial::isText(types[i]) || Serial::isBlob(types[i])) {
                    const auto* p = body.data() + pos;
                    std::uint64_t keep = left;
                    if (Serial::isText(types[i])) {
                        keep = wholeCharacters(p, keep);
                        if (!validText(std::string_view(reinterpret_cast<const char*>(p), keep), db_.encoding())) {
                            keep = 0;
                        }
                    }
                    values[i] = decodeValue(12 + 2 * keep + (Serial::isText(types[i]) ? 1 : 0), p, db_.encoding());
                }
                return true;
            }
            const std::uint8_t* p = body.data() + pos;
            // Texts that lie within the first `checked` bytes were found valid already.
            if (Serial::isText(types[i]) && pos + size > checked &&
                !validText(std::string_view(reinterpret_cast<const char*>(p), size), db_.encoding())) {
                return false;
            }
            values[i] = decodeValue(types[i], p, db_.encoding());
            applyAffinity(values[i], table.columns[i].affinity);
            pos += size;
        }
        return true;
    }

    // The bytes of a text cut anywhere that end on a whole character.
    std::uint64_t wholeCharacters(const std::uint8_t* p, std::uint64_t n) const {
        if (db_.encoding() != TextEncoding::Utf8) {
            return n & ~std::uint64_t{1};
        }
        // Step back over continuation bytes to the last lead byte; drop its sequence if incomplete.
        std::uint64_t lead = n;
        while (lead > 0 && n - lead < 4 && (p[lead - 1] & 0xC0) == 0x80) {
            --lead;
        }
        if (lead == 0) {
            return 0;
        }
        const std::uint8_t c = p[lead - 1];
        const std::uint64_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return lead - 1 + length <= n ? n : lead - 1;
    }

    void emit(CarvedRow row, std::uint64_t hash, std::uint64_t seq) {
        const TableShape& table = *requestTables_[row.request];
        if (table.rowidAlias >= 0 && row.rowid) {
            Value& alias = row.values[static_cast<std::size_t>(table.rowidAlias)];
            alias.type = Value::Type::Integer;
            alias.integer = *row.rowid;
        }
        // The same row found in several places is reported once, where it was found first.
        const std::uint64_t key = hash ^ (row.request * 0xff51afd7ed558ccdull);
        const bool found = seen_.any(key, [&](std::size_t i) {
            CarvedRow& other = emitted_[i].second;
            if (other.request != row.request || other.cut != row.cut) {
                return false;
            }
            if (other.rowid && row.rowid && *other.rowid != *row.rowid) {
                return false;
            }
            if (!other.rowid && row.rowid) {
                other.rowid = row.rowid;
                if (table.rowidAlias >= 0) {
                    other.values[static_cast<std::size_t>(table.rowidAlias)] =
                        row.values[static_cast<std::size_t>(table.rowidAlias)];
                }
            }
            return true;
        });
        if (found) {
            return;
        }
        seen_.add(key, emitted_.size());
        emitted_.emplace_back(seq, std::move(row));
    }

    // ---- Overflow chains of carved rows ----

    bool freeNow(std::uint32_t p) const {
        if (p == 0 || p > allPages_) {
            return false;
        }
        return p > pages_ || use_[p] == PageUse::FreeLeaf || use_[p] == PageUse::Unused;
    }

    // Where the image of page p at a moment lies: a file and an offset; nothing when no file holds
    // one. Now: the current image. The main file: its own image. A log frame: the latest frame of
    // p up to it, else the main file's. A journal: the journal's image, else the main file's.
    std::optional<std::pair<const DbFileReader*, std::uint64_t>> imageAt(const Moment& m, std::uint32_t p) const {
        const WalFile* wal = db_.wal();
        const std::uint64_t size = db_.pageSize();
        if (m.of == Moment::Of::Now && wal && p <= pages_) {
            if (const auto frame = wal->currentFrame(p)) {
                return std::make_pair(db_.files().wal, wal->frames()[*frame].imageOffset);
            }
        }
        if (m.of == Moment::Of::LogFrame && wal) {
            const auto it = walFrames_.find(p);
            if (it != walFrames_.end()) {
                const auto after = std::upper_bound(it->second.begin(), it->second.end(), m.frame);
                if (after != it->second.begin()) {
                    return std::make_pair(db_.files().wal, wal->frames()[*std::prev(after)].imageOffset);
                }
            }
        }
        if (m.of == Moment::Of::Journal) {
            if (const auto it = journalImages_.find(p); it != journalImages_.end()) {
                return std::make_pair(db_.files().journal, it->second);
            }
        }
        if (p == 0 || p > db_.filePageCount()) {
            return std::nullopt;
        }
        return std::make_pair(db_.files().db, (p - 1) * size);
    }

    void resolveOverflow() {
        if (pending_.empty()) {
            return;
        }
        if (const WalFile* wal = db_.wal()) {
            for (std::uint32_t i = 0; i < wal->frames().size(); ++i) {
                walFrames_[wal->frames()[i].page].push_back(i);
            }
        }
        // Every chain, through pages of its moment (free ones, for a row of the current state);
        // then which page images more than one row claims. An image is known by its file and
        // offset.
        const auto key = [this](const DbFileReader* file, std::uint64_t offset) {
            return offset << 2 | (file == db_.files().wal ? 1u : file == db_.files().journal ? 2u : 0u);
        };
        std::unordered_map<std::uint64_t, std::uint64_t> claims;
        std::unordered_map<std::uint64_t, bool> contested;
        for (PendingOverflow& o : pending_) {
            const std::uint64_t needed = overflowPageCount(o.payloadSize, usable_, true);
            std::uint32_t p = o.firstOverflow;
            o.chainOk = true;
            for (std::uint64_t i = 0; i < needed; ++i) {
                const auto at = imageAt(o.moment, p);
                if (!at || (o.moment.of == Moment::Of::Now && !freeNow(p)) ||
                    std::find(o.chain.begin(), o.chain.end(), p) != o.chain.end()) {
                    o.chainOk = false;
                    break;
                }
                o.chain.push_back(p);
                o.images.push_back(*at);
                std::uint8_t next[4];
                at->first->readAt(static_cast<std::int64_t>(at->second), sizeof next, next);
                const std::uint32_t following = be32(next);
                if ((i + 1 < needed) != (following != 0)) {
                    o.chainOk = false; // the chain ends early, or goes on past the payload
                    break;
                }
                p = following;
            }
            for (const auto& [file, offset] : o.images) {
                const auto [it, added] = claims.emplace(key(file, offset), o.hash);
                if (!added && it->second != o.hash) {
                    contested[key(file, offset)] = true;
                }
            }
        }
        std::vector<std::uint8_t> image;
        for (PendingOverflow& o : pending_) {
            const TableShape& table = *requestTables_[o.row.request];
            bool whole = o.chainOk;
            for (const auto& [file, offset] : o.images) {
                whole = whole && !contested.count(key(file, offset));
            }
            std::vector<std::uint8_t> body = std::move(o.bodyLocal);
            const std::size_t localBytes = body.size();
            const std::uint64_t bodySize = o.payloadSize - o.headerSize;
            CarvedRow row = std::move(o.row);
            if (whole) {
                body.reserve(static_cast<std::size_t>(bodySize));
                for (const auto& [file, offset] : o.images) {
                    image.resize(db_.pageSize());
                    file->readAt(static_cast<std::int64_t>(offset), image.size(), image.data());
                    const std::size_t take =
                        static_cast<std::size_t>(std::min<std::uint64_t>(usable_ - 4, bodySize - body.size()));
                    body.insert(body.end(), image.begin() + 4, image.begin() + 4 + static_cast<std::ptrdiff_t>(take));
                }
                if (decodeValues(table, o.types, body, row.values, nullptr) && accepts(row)) {
                    emit(std::move(row), o.hash, o.seq);
                }
                continue; // a whole body that does not decode is no row of this table
            }
            // Kept as the page holds it, and said to be cut.
            row.cut = true;
            if (decodeValues(table, o.types, Bytes(body).first(localBytes), row.values, &row.cutColumn) &&
                accepts(row)) {
                emit(std::move(row), o.hash, o.seq);
            }
        }
        pending_ = {};
    }

    const DatabaseFile& db_;
    const std::vector<TableRequest>& requests_;
    const std::uint32_t usable_;
    const std::uint32_t pages_;    // pages of the current state
    const std::uint32_t allPages_; // and of the main file beyond it
    std::vector<Shape> shapes_;
    std::vector<const TableShape*> requestTables_;
    std::size_t words_ = 1;
    Mask headerMask_, firstTypeMask_, secondTypeMask_, thirdTypeMask_, lostHeaderMask_, lostFirstTypeMask_;
    // By a byte and the next: whether any shape's header may start there, and whether any shape's
    // types may start there past a lost prefix.
    std::vector<std::uint8_t> startsHeader_;
    std::vector<std::uint8_t> startsLostTypes_;
    bool textIsInert_ = false; // no pair of bytes from 0x20 on starts an intact header of any shape

    std::vector<std::uint8_t> type_;
    std::vector<std::uint32_t> first4_;
    // The free space of every b-tree page of the current state, found in the first pass: page p's
    // ranges are freeRanges_[firstRange_[p], firstRange_[p + 1]); gapEnd_[p] ends its gap.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> freeRanges_;
    std::vector<std::uint32_t> firstRange_;
    std::vector<std::uint32_t> gapEnd_;
    std::vector<bool> hasRanges_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> cellSpans_;
    std::vector<std::uint32_t> children_;
    std::vector<Interior> interiors_;
    std::vector<LiveCell> liveCells_;
    std::vector<OverflowStart> overflowStarts_;
    std::vector<PageUse> use_;
    std::vector<std::uint32_t> owner_;
    std::unordered_map<std::uint32_t, std::uint32_t> trunkLeaves_;
    std::vector<LiveTable> live_; // of each request's table
    std::uint32_t livePage_ = 0;  // the page image held for comparing with live cells
    std::vector<std::uint8_t> livePageImage_;

    std::vector<Candidate> candidates_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges_;
    std::vector<std::uint32_t> starts_;
    std::vector<Guess> guesses_;
    std::vector<Candidate> kept_;
    std::vector<std::uint64_t> types_;
    std::vector<PendingOverflow> pending_;
    Moment moment_;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> walFrames_; // page -> its frames, in order
    std::unordered_map<std::uint32_t, std::uint64_t> journalImages_;          // page -> its journal image
    std::vector<std::pair<std::uint64_t, CarvedRow>> emitted_;
    HashedRows seen_;
    std::uint64_t seq_ = 0;
    std::size_t copies_ = 0;
};

} // namespace

CarveResult carveDeletedRows(const DatabaseFile& database, const std::vector<TableRequest>& requests) {
    return Engine(database, requests).run();
}

} // namespace quarrow::carving
