#include "DelNoteCarver.h"

#include "DbFileReader.h"
#include "RecordChecks.h"
#include "RecordDecoding.h"
#include "platform/Log.h"
#include "records/ValueHelpers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarrow {

namespace {

// Byte patterns of the Core Data notes tables (ZNOTE, ZNOTEBODY) in a schema-format-1 file, where the
// integers 0 and 1 take a one-byte serial type:
//
// ZNOTE record header, from the header length on:
//   14 00 01 01 01 01 01 01 05 01 01 01 01 07 07 00 55 00 21 1d
//   length, Z_PK (NULL: it is the rowid), Z_ENT ... ZEXTERNALFLAGS (six one-byte integers),
//   ZEXTERNALSERVERINTID (6 bytes), ZINTEGERID, ZISBOOKKEEPINGENTRY, ZBODY, ZSTORE, ZCREATIONDATE,
//   ZMODIFICATIONDATE, ZAUTHOR, ZGUID, ZSERVERID, ZSUMMARY, ZTITLE; the content starts with Z_ENT's
//   value 0x03. A candidate o is the offset of Z_ENT's serial type, which survives the delete (the
//   free-block header overwrites only the cell's first four bytes), and the record anchor is o - 1,
//   so slot k is the byte at o - 1 + k: ZBODY (the note's key) is slot 10, ZMODIFICATIONDATE 13,
//   ZSUMMARY 17 and ZTITLE 18.
// ZNOTEBODY record header: 08 00 01 01 01 <ZCONTENT> 00 00 (Z_ENT, Z_OPT, ZOWNER, ZCONTENT, two
//   NULLs); slot 3 is ZOWNER, the key of the note, and slot 4 the body text.
constexpr std::array<std::uint8_t, 7> kNoteMark = {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x05};
// The legacy layout also accepts this variant, whose fifth slot is a two-byte integer.
constexpr std::array<std::uint8_t, 7> kLegacyNoteMark = {0x01, 0x01, 0x01, 0x01, 0x02, 0x01, 0x05};
constexpr std::uint8_t kZEntOfNote = 0x03;
// ZOWNER is an integer of one to four bytes (serial types 1 to 4) once a store has held 128 notes.
constexpr std::uint8_t kWidestOwner = 0x04;

// What a one-byte slot adds to dataoff, by its serial-type byte (0 where the reader reads nothing).
constexpr std::array<std::uint8_t, 256> kOneByteSlotSize = [] {
    std::array<std::uint8_t, 256> sizes{};
    for (std::int32_t t = 0; t < 256; ++t) {
        sizes[static_cast<std::size_t>(t)] =
            hasNoOneByteField(t) ? 0 : static_cast<std::uint8_t>(getFieldDataLengthBy(t));
    }
    return sizes;
}();

class NotePageWalker {
public:
    NotePageWalker(DbFileReader& file, const NoteCarveCallbacks& found, std::size_t pageSize)
        : file_(file), found_(found), field_(pageSize + 1, 0) {}

    void walk(std::int32_t version, std::uint64_t pageCount, std::int64_t pageSize) {
        for (std::uint64_t i = 0; i < pageCount; ++i) {
            const std::int64_t s = static_cast<std::int64_t>(i) * pageSize;
            const std::int64_t e = s + pageSize;
            if (getPageType(file_, s) != 1) {
                continue;
            }
            // The first cell pointer, big-endian (what its hex text read as a number gives).
            const std::int64_t c = std::int64_t{file_.byteAt(s + 8)} << 8 | file_.byteAt(s + 9);
            if (holdsNoteMark(file_, s + c + 4, 14)) {
                forEachCandidate(s, e, [&](std::int64_t o) { version == 1 ? noteWal(o) : noteLegacy(o); });
            }
            if (holdsNoteMark(file_, s + c + 4, 6) || holdsWideOwnerBodies(s + c + 4)) {
                forEachCandidate(s, e, [&](std::int64_t o) { body(o); });
            }
        }
    }

private:
    // Calls f for every offset of [s, e) whose byte is 0x01, the first byte of every pattern the
    // scans look for; the other offsets cannot pass and are skipped without reading them one by one.
    // The view of the page is taken again only when f has moved the reader's window.
    template <class F> void forEachCandidate(std::int64_t s, std::int64_t e, F f) {
        std::int64_t o = s;
        while (o < e) {
            const auto bytes = file_.view(o, static_cast<std::size_t>(e - o));
            if (bytes.empty()) {
                return;
            }
            const std::size_t done = eachByteOne(bytes, [&](std::size_t i) {
                const std::uint64_t moves = file_.windowMoves();
                f(o + static_cast<std::int64_t>(i));
                return file_.windowMoves() == moves;
            });
            o += static_cast<std::int64_t>(done);
        }
    }

    // Calls hit(i) for every i whose byte is 0x01, in order, while hit answers true; answers how
    // many bytes were done with (all of them, or up to and including the hit that answered false).
    // memchr finds the next 0x01; the hits that follow it within 16 bytes (record headers are dense
    // with 0x01) are taken from one comparison mask.
    template <class Hit> static std::size_t eachByteOne(std::span<const std::uint8_t> bytes, Hit hit) {
        const std::uint8_t* const data = bytes.data();
        const std::size_t n = bytes.size();
        std::size_t i = 0;
        while (i < n) {
            const void* found = std::memchr(data + i, 0x01, n - i);
            if (!found) {
                return n;
            }
            i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
#if defined(__SSE2__)
            if (n - i >= 16) {
                const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
                auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(1))));
                while (mask != 0) {
                    const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
                    if (!hit(at)) {
                        return at + 1;
                    }
                    mask &= mask - 1;
                }
                i += 16;
                continue;
            }
#endif
            if (!hit(i)) {
                return i + 1;
            }
            ++i;
        }
        return n;
    }

    // Bodies of notes whose key is 128 or more carry a wider ZOWNER (01 01 02 instead of 01 01 01):
    // a body page whose first cell shows that mark is scanned as well.
    bool holdsWideOwnerBodies(std::int64_t at) {
        std::uint8_t b[6];
        file_.read(at, sizeof b, b);
        for (std::size_t j = 0; j + 2 < sizeof b; ++j) {
            if (b[j] == 0x01 && b[j + 1] == 0x01 && b[j + 2] >= 0x02 && b[j + 2] <= kWidestOwner) {
                return true;
            }
        }
        return false;
    }

    // The field a kept value is read into: one page long, zeroed before every read. Only the bytes
    // the previous read may have written are zeroed again; the byte after the page stays 0, so the
    // field always ends in a terminator.
    std::span<std::uint8_t> freshField() {
        std::memset(field_.data(), 0, dirty_);
        dirty_ = 0;
        return {field_.data(), field_.size() - 1};
    }
    void noteWritten(std::int32_t before, std::int32_t after) {
        const std::size_t content = after > before ? static_cast<std::size_t>(after - before) : 0;
        dirty_ = std::min(field_.size() - 1, std::max(content, kIntegerFieldSize));
    }

    bool fieldHasText() const {
        return field_[0] != 0;
    }
    std::string fieldText() const {
        return GetStringFormChar(std::string_view(reinterpret_cast<const char*>(field_.data()), field_.size()));
    }

    using Reader = std::uint8_t* (*)(DbFileReader&, std::int32_t, std::int32_t*, std::int64_t, std::int64_t,
                                     std::span<std::uint8_t>);

    // Reads a kept value into the field.
    void readValue(Reader reader, std::int32_t k, std::int32_t& dataoff, std::int64_t offset, std::int64_t length) {
        const std::int32_t before = dataoff;
        reader(file_, k, &dataoff, offset, length, freshField());
        noteWritten(before, dataoff);
    }
    // A value that is not wanted only moves dataoff on, exactly as reading it would.
    void readDropped(Reader reader, std::int32_t k, std::int32_t& dataoff, std::int64_t offset, std::int64_t) {
        if (reader == AnalyseAlterbleDB) {
            skipField(file_, true, k, &dataoff, offset);
            return;
        }
        const std::int64_t slot = offset + k;
        dataoff += kOneByteSlotSize[slot <= 0 ? 0 : file_.byteAt(slot)];
    }
    // The number the standard text-to-long conversion reads from the field that the one-byte
    // reader writes: for an integer or float slot that is the value itself, taken without the text
    // round trip (the text is never cut when the field holds 20 characters, the longest such text);
    // every other slot goes through the field.
    long long readNumber(std::int32_t k, std::int32_t& dataoff, std::int64_t offset, std::int64_t length) {
        const std::int64_t slot = offset + k;
        const std::int32_t t = slot <= 0 ? 0 : file_.byteAt(slot);
        if (t >= 1 && t <= SerialType::kFloat64 && field_.size() > 20) {
            const std::int32_t size = getFieldDataLengthBy(t);
            const std::int64_t at = offset + length + dataoff;
            std::uint8_t bytes[8] = {};
            if (at > 0) {
                if (const std::uint8_t* held = file_.peek(at, static_cast<std::size_t>(size))) {
                    std::memcpy(bytes, held, static_cast<std::size_t>(size));
                } else {
                    file_.read(at, static_cast<std::size_t>(size), bytes);
                }
            }
            dataoff += size;
            return integerFieldValue(t, bytes);
        }
        readValue(AnalyseDBDataFile, k, dataoff, offset, length);
        return std::strtoll(reinterpret_cast<const char*>(field_.data()), nullptr, 10);
    }
    static std::int32_t asUid(long long value) {
        // The standard text-to-int reading of the field, kept inside 32 bits.
        return static_cast<std::int32_t>(std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
    }
    void readUid(PRNoteNode& note, std::int32_t k, std::int32_t& dataoff, std::int64_t offset, std::int64_t length) {
        note.setUid(asUid(readNumber(k, dataoff, offset, length)));
    }
    void readDate(PRNoteNode& note, std::int32_t k, std::int32_t& dataoff, std::int64_t offset, std::int64_t length) {
        if (auto text = dateText(readNumber(k, dataoff, offset, length), 1)) {
            note.setNoteDate(std::move(*text));
        }
    }

    // Reads a text value (a title or a body) as the reader would into a zeroed field of one page,
    // and hands the field's text to set when the field does not start with 0. A raw content that
    // the window holds whole is taken in place; integer slots and contents at the window's edge or
    // past the end of the file go through the field.
    template <class Set>
    void readText(Reader reader, std::int32_t k, std::int32_t& dataoff, std::int64_t offset, std::int64_t length,
                  Set set) {
        const bool twoByte = reader == AnalyseAlterbleDB;
        const std::int64_t slot = offset + k;
        const auto slotByte = [this](std::int64_t at) -> std::uint8_t { return at <= 0 ? 0 : file_.byteAt(at); };
        std::int32_t t = 0;
        if (twoByte) {
            t = getAlterInteger(slotByte(slot), slotByte(slot + 1));
            if (t > SerialType::kLargestTwoByte) {
                return; // nothing read: an empty field
            }
        } else {
            t = slotByte(slot);
            if (hasNoOneByteField(t)) {
                return;
            }
        }
        if (twoByte || t > SerialType::kLastFixed) {
            const std::int32_t size = getFieldDataLengthBy(t);
            const std::size_t n = std::min(static_cast<std::size_t>(size), field_.size() - 1);
            const std::int64_t at = offset + length + dataoff;
            if (n == 0) {
                dataoff += size;
                return;
            }
            if (at > 0) {
                if (const std::uint8_t* bytes = file_.peek(at, n)) {
                    dataoff += size;
                    // The field would hold these n bytes and zeros after them.
                    if (bytes[0] != 0) {
                        set(GetStringFormChar(std::string_view(reinterpret_cast<const char*>(bytes), n)));
                    }
                    return;
                }
            }
        }
        readValue(reader, k, dataoff, offset, length);
        if (fieldHasText()) {
            set(fieldText());
        }
    }
    void readTitle(PRNoteNode& note, Reader reader, std::int32_t k, std::int32_t& dataoff, std::int64_t offset,
                   std::int64_t length) {
        readText(reader, k, dataoff, offset, length, [&note](std::string text) { note.setNoteTitle(std::move(text)); });
    }

    bool marked(std::int64_t o, const std::array<std::uint8_t, 7>& mark) {
        if (const std::uint8_t* b = file_.peek(o, mark.size())) {
            return std::equal(mark.begin(), mark.end(), b);
        }
        std::uint8_t b[7];
        file_.read(o, sizeof b, b);
        return std::equal(mark.begin(), mark.end(), b);
    }

    // Write-ahead layout: the content starts 19, 20 or 21 bytes after the anchor as the summary and
    // title slots are one or two bytes wide.
    void noteWal(std::int64_t o) {
        if (!marked(o, kNoteMark)) {
            return;
        }
        // Only the distances 0, 1 and 2 matter; the search need not look further.
        const std::int32_t r = bIsAlterbleDBFile(file_, o + 18, AlterVersion{1}, 3);
        std::int64_t length = r == 0 ? 19 : r == 1 ? 20 : r == 2 ? 21 : 0;
        const std::int64_t offset = o - 1;
        // A serial-type byte of 0x80 or more starts a two-byte slot: the summary (slot 17) and the
        // title after it are read with the width they have. When the content really starts right
        // after them (Z_ENT's 0x03), that is where it is read from, even if a two-byte slot's own
        // second byte happens to be 0x03.
        const int summaryWide = file_.byteAt(o + 16) >= 0x80 ? 1 : 0;
        const std::int32_t titleSlot = 18 + summaryWide;
        const int titleWide = file_.byteAt(offset + titleSlot) >= 0x80 ? 1 : 0;
        const bool wellFormed = file_.byteAt(o + 18 + summaryWide + titleWide) == kZEntOfNote;
        if (wellFormed) {
            length = 19 + summaryWide + titleWide;
        }
        auto note = std::make_shared<PRNoteNode>();
        std::int32_t dataoff = 0;
        for (std::int32_t k = 1; k <= 16; ++k) {
            if (k == 10) {
                readUid(*note, k, dataoff, offset, length);
            } else if (k == 13) {
                readDate(*note, k, dataoff, offset, length);
            } else {
                readDropped(AnalyseDBDataFile, k, dataoff, offset, length);
            }
        }
        if (wellFormed) {
            readDropped(summaryWide ? AnalyseAlterbleDB : AnalyseDBDataFile, 17, dataoff, offset, length);
            readTitle(*note, titleWide ? AnalyseAlterbleDB : AnalyseDBDataFile, titleSlot, dataoff, offset, length);
        } else {
            // No record shape to go by: the slots are read as the distance r suggests.
            readDropped(AnalyseDBDataFile, 17, dataoff, offset, length);
            if (r == 0) {
                readTitle(*note, AnalyseDBDataFile, 18, dataoff, offset, length);
            } else {
                readDropped(AnalyseAlterbleDB, 18, dataoff, offset, length);
                if (r == 1) {
                    // The shifted reader at o - 4 with its head of 4 reads as the plain one at o - 4 + 4.
                    readTitle(*note, AnalyseAlterbleDB, 19, dataoff, o, 20);
                } else if (r == 2) {
                    readTitle(*note, AnalyseAlterbleDB, 19, dataoff, offset, 21);
                }
            }
        }
        found_.note(std::move(note));
    }

    // Legacy layout: the title's slot and width and the summary's width are told from the bytes.
    void noteLegacy(std::int64_t o) {
        if (!marked(o, kNoteMark) && !marked(o, kLegacyNoteMark)) {
            return;
        }
        const std::int32_t P = CheckTitlePostion(file_, o + 13);
        // checkTitleAlterable with postion 15 is a distance; only 0 and 1 matter.
        const std::int32_t T =
            P == 15 ? checkTitleAlterable(file_, o + 14, 15, 2) : checkTitleAlterable(file_, o + 18, 19);
        const bool titleWide = T == 1;
        const std::int64_t base = titleWide ? 20 : 19;
        const std::int32_t S = CheckAlterSummary(file_, titleWide ? o + 19 : o + 18, 0, 1);
        const bool summaryWide = S != 0;
        const std::int64_t length = S > 0 ? base + 1 : base;
        const std::int64_t offset = o - 1;
        const Reader titleReader = titleWide ? AnalyseAlterbleDB : AnalyseDBDataFile;
        const Reader summaryReader = summaryWide ? AnalyseAlterbleDB : AnalyseDBDataFile;
        auto note = std::make_shared<PRNoteNode>();
        std::int32_t dataoff = 0;
        if (P == 15) {
            for (std::int32_t k = 1; k <= 18; ++k) {
                if (k == 11) {
                    readUid(*note, k, dataoff, offset, length);
                } else if (k == 12) {
                    readDate(*note, k, dataoff, offset, length);
                } else if (k == 14) {
                    readTitle(*note, titleReader, k, dataoff, offset, length);
                } else if (k == 15) {
                    if (T == 0) {
                        readDropped(AnalyseDBDataFile, k, dataoff, offset, length);
                    }
                } else if (k == 18) {
                    readDropped(summaryReader, k, dataoff, offset, length);
                } else {
                    readDropped(AnalyseDBDataFile, k, dataoff, offset, length);
                }
            }
        } else {
            for (std::int32_t k = 1; k <= 19; ++k) {
                if (k == 10) {
                    readUid(*note, k, dataoff, offset, length);
                } else if (k == 12) {
                    readDate(*note, k, dataoff, offset, length);
                } else if (k == 17) {
                    readDropped(summaryReader, k, dataoff, offset, length);
                } else if (k == 18) {
                    if (!summaryWide) {
                        readTitle(*note, titleReader, k, dataoff, offset, length);
                    }
                } else if (k == 19) {
                    if (summaryWide) {
                        readTitle(*note, titleReader, k, dataoff, offset, length);
                    }
                } else {
                    readDropped(AnalyseDBDataFile, k, dataoff, offset, length);
                }
            }
        }
        found_.note(std::move(note));
    }

    void body(std::int64_t o) {
        std::int32_t r = 0;
        // Z_ENT, Z_OPT and ZOWNER as one-byte serial types (ZOWNER may be a wider integer), then
        // the body's text slot, one byte or two, and a 0x00 after it.
        if (const std::uint8_t* b = file_.peek(o, 6)) {
            // The mark (CheckNoteBodyMark) and the distance from o + 4 to the next 0x00 (0 or 1
            // once the mark holds) on the bytes in place.
            if (b[0] != 0x01 || b[1] != 0x01 || b[2] < 0x01 || b[2] > kWidestOwner || b[3] < 0x10 ||
                (b[4] != 0x00 && b[5] != 0x00)) {
                return;
            }
            r = b[4] == 0x00 ? 0 : 1;
        } else {
            std::uint8_t copy[3];
            file_.read(o, sizeof copy, copy);
            if (copy[0] != 0x01 || copy[1] != 0x01 || copy[2] < 0x01 || copy[2] > kWidestOwner ||
                CheckNoteBodyMark(file_, o) != 1) {
                return;
            }
            // After the mark the distance is 0 or 1; nothing further can matter.
            r = bIsAlterbleDBFile(file_, o + 4, AlterType{6}, 2);
        }
        std::int32_t dataoff = 0;
        auto value = std::make_shared<PRNoteValueNode>();
        const std::int64_t length = static_cast<std::int64_t>(r) + 7;
        const std::int64_t offset = o - 1;
        readDropped(AnalyseDBDataFile, 1, dataoff, offset, length);
        readDropped(AnalyseDBDataFile, 2, dataoff, offset, length);
        value->setUid(asUid(readNumber(3, dataoff, offset, length)));
        if (found_.bodyAndText) {
            OptText text;
            readText(r == 1 ? AnalyseAlterbleDB : AnalyseDBDataFile, 4, dataoff, offset, length,
                     [&text](std::string t) { text = std::move(t); });
            found_.bodyAndText(std::move(value), std::move(text));
            return;
        }
        readText(r == 1 ? AnalyseAlterbleDB : AnalyseDBDataFile, 4, dataoff, offset, length,
                 [&value](std::string text) { value->setNoteValue(std::move(text)); });
        found_.body(std::move(value));
    }

    DbFileReader& file_;
    const NoteCarveCallbacks& found_;
    std::vector<std::uint8_t> field_; // one page long and a terminator
    std::size_t dirty_ = 0;
};

} // namespace

void carveNoteRecords(DbFileReader& file, const NoteCarveCallbacks& found, const std::string& where) {
    char hex[8];
    const std::int32_t stored = DemaNumberFormHexChar(getHexString(file, 16, 2, hex), 4);
    if (stored == 0) {
        systemLog("Notes database " + where + ": page size 0 at file offset 16, nothing carved");
        return;
    }
    // The format writes 65536 as 1, since it does not fit 16 bits.
    const std::int64_t pageSize = stored == 1 ? 65536 : stored;
    const std::uint64_t pageCount = file.size() / static_cast<std::uint64_t>(pageSize);
    const std::int32_t version = checkSQliteVersion(file, 18);
    NotePageWalker walker(file, found, static_cast<std::size_t>(pageSize));
    walker.walk(version, pageCount, pageSize);
}

namespace {

// uid -> index of the last body that has it: open addressing in one allocation, as pairing looks up
// every note and a scan rebuilds hundreds of thousands of them.
class LastBodyIndex {
public:
    explicit LastBodyIndex(std::size_t bodies) {
        const std::size_t size = std::bit_ceil(std::max<std::size_t>(16, 2 * bodies));
        shift_ = 64 - std::countr_zero(size);
        slots_.assign(size, Slot{});
    }
    void set(std::int32_t uid, std::size_t index) {
        Slot& slot = slotOf(uid);
        slot.uid = uid;
        slot.indexPlusOne = index + 1;
    }
    // The index, or nothing when no body has the uid.
    std::optional<std::size_t> find(std::int32_t uid) {
        const Slot& slot = slotOf(uid);
        return slot.indexPlusOne == 0 ? std::nullopt : std::optional<std::size_t>(slot.indexPlusOne - 1);
    }

private:
    struct Slot {
        std::int32_t uid = 0;
        std::size_t indexPlusOne = 0; // 0: empty
    };
    // The slot that holds uid, or the empty one where it would go.
    Slot& slotOf(std::int32_t uid) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = static_cast<std::size_t>(
            (std::uint64_t{static_cast<std::uint32_t>(uid)} * 0x9e3779b97f4a7c15ull) >> shift_);
        while (slots_[at].indexPlusOne != 0 && slots_[at].uid != uid) {
            at = (at + 1) & mask;
        }
        return slots_[at];
    }
    std::vector<Slot> slots_;
    int shift_ = 0;
};

// What carveDelNotes keeps beside the working lists while it walks: every record's uid as rebuilt
// (so that pairing need not visit the records to learn them) and every body's text (absent where
// a body keeps the text it was created with).
struct HeldBeside {
    std::vector<std::int32_t> noteUids;
    std::vector<std::int32_t> bodyUids;
    std::vector<OptText> texts;
};

// Pairing and posting. With held, a text goes to its last note without a copy, and the texts no note
// took go back into their bodies at the end, so that the bodies end as postCarvedNotes leaves them.
void pairNotes(const std::vector<PRNoteNodePtr>& noteArray, const std::vector<PRNoteValueNodePtr>& noteValueArray,
               HeldBeside* held, const RebuiltNoteSink& rebuilt) {
    if (!noteArray.empty()) {
        // Equal to walking every body for every note: the last body with the note's uid wins.
        LastBodyIndex lastBody(noteValueArray.size());
        for (std::size_t i = 0; i < noteValueArray.size(); ++i) {
            lastBody.set(held ? held->bodyUids[i] : noteValueArray[i]->uid(), i);
        }
        // The uids as they will be posted, and how many notes take each winning body: a body's text
        // is let go once its last note has it, so that a scan holds each text once and not twice
        // (bodies are most of a notes file).
        std::vector<std::int32_t> uids(noteArray.size());
        std::vector<std::uint32_t> takers(noteValueArray.size(), 0);
        std::int32_t previous = 0;
        for (std::size_t i = 0; i < noteArray.size(); ++i) {
            std::int32_t uid = held ? held->noteUids[i] : noteArray[i]->uid();
            if (uid == previous) {
                // Wraps at the largest value instead of overflowing.
                uid = static_cast<std::int32_t>(static_cast<std::uint32_t>(uid) + 1u);
            }
            uids[i] = uid;
            if (const auto b = lastBody.find(uid)) {
                ++takers[*b];
            }
            previous = uid;
        }
        for (std::size_t i = 0; i < noteArray.size(); ++i) {
            const auto& note = noteArray[i];
            if (uids[i] != (held ? held->noteUids[i] : note->uid())) {
                note->setUid(uids[i]);
            }
            if (const auto found = lastBody.find(uids[i])) {
                const std::size_t b = *found;
                const bool last = --takers[b] == 0;
                if (held) {
                    OptText& text = held->texts[b];
                    if (!text) {
                        note->setNoteContent(noteValueArray[b]->noteValue());
                    } else if (last) {
                        note->setNoteContent(std::exchange(text, std::nullopt));
                    } else {
                        note->setNoteContent(*text);
                    }
                } else {
                    PRNoteValueNode& body = *noteValueArray[b];
                    note->setNoteContent(body.noteValue());
                    if (last) {
                        // Absent first: assigning an empty text would keep the old text's storage.
                        body.setNoteValue(std::nullopt);
                        body.setNoteValue(std::string());
                    }
                }
            }
            if (rebuilt) {
                rebuilt(note);
            }
        }
    }
    if (held) {
        for (std::size_t i = 0; i < held->texts.size(); ++i) {
            if (held->texts[i]) {
                noteValueArray[i]->setNoteValue(std::move(held->texts[i]));
            }
        }
    }
}

} // namespace

void pairCarvedNotes(const std::vector<PRNoteNodePtr>& noteArray, const std::vector<PRNoteValueNodePtr>& noteValueArray,
                     const RebuiltNoteSink& rebuilt) {
    pairNotes(noteArray, noteValueArray, nullptr, rebuilt);
}

void carveDelNotes(DbFileReader& file, std::vector<PRNoteNodePtr>& noteArray,
                   std::vector<PRNoteValueNodePtr>& noteValueArray, const RebuiltNoteSink& rebuilt,
                   const std::string& where) {
    // Records already in the lists (none in a scan) are paired as they are.
    HeldBeside held;
    for (const auto& note : noteArray) {
        held.noteUids.push_back(note->uid());
    }
    for (const auto& body : noteValueArray) {
        held.bodyUids.push_back(body->uid());
    }
    held.texts.resize(noteValueArray.size());
    NoteCarveCallbacks found;
    found.note = [&noteArray, &held](PRNoteNodePtr note) {
        held.noteUids.push_back(note->uid());
        noteArray.push_back(std::move(note));
    };
    found.bodyAndText = [&noteValueArray, &held](PRNoteValueNodePtr body, OptText text) {
        held.bodyUids.push_back(body->uid());
        held.texts.push_back(std::move(text));
        noteValueArray.push_back(std::move(body));
    };
    carveNoteRecords(file, found, where);
    pairNotes(noteArray, noteValueArray, &held, rebuilt);
}

} // namespace quarrow
