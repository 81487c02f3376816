#include "ReferenceCarver.h"

#include "carving/RecordChecks.h"
#include "carving/RecordDecoding.h"
#include "scan/ValueHelpers.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace quarrow::test::ref {

namespace {

struct Note {
    std::int32_t uid = -1;
    std::string title;
    std::string date;
};

struct Body {
    std::int32_t uid = -1;
    std::string text;
};

struct Record {
    bool isNote = true;
    Note note;
    Body body;
};

using Reader = std::uint8_t* (*)(DbFileReader&, std::int32_t, std::int32_t*, std::int64_t, std::int64_t,
                                 std::span<std::uint8_t>);

class Walker {
public:
    explicit Walker(DbFileReader& file) : file_(file) {}

    std::vector<Record> walk() {
        char hex[8];
        const std::int32_t stored = DemaNumberFormHexChar(getHexString(file_, 16, 2, hex), 4);
        if (stored == 0) {
            return {};
        }
        pageSize_ = stored == 1 ? 65536 : stored;
        const std::uint64_t pageCount = file_.size() / static_cast<std::uint64_t>(pageSize_);
        const std::int32_t version = checkSQliteVersion(file_, 18);
        for (std::uint64_t i = 0; i < pageCount; ++i) {
            const std::int64_t s = static_cast<std::int64_t>(i) * pageSize_;
            const std::int64_t e = s + pageSize_;
            if (getPageType(file_, s) != 1) {
                continue;
            }
            char text[2 * 14 + 1];
            const std::int64_t c = DemaNumberFormHexChar(getHexString(file_, s + 8, 2, text), 4);
            if (bcheckSubStringIsValid(getHexString(file_, s + c + 4, 14, text), 6, 14) == 1) {
                for (std::int64_t o = s; o < e; ++o) {
                    version == 1 ? noteWal(o) : noteLegacy(o);
                }
            }
            if (bcheckSubStringIsValid(getHexString(file_, s + c + 4, 6, text), 6, 6) == 1 ||
                wideOwnerBodies(s + c + 4)) {
                for (std::int64_t o = s; o < e; ++o) {
                    body(o);
                }
            }
        }
        return std::move(records_);
    }

private:
    std::uint8_t byteAt(std::int64_t at) {
        std::uint8_t b[1] = {0};
        readData(file_, b, at, 1);
        return b[0];
    }

    bool bytesAre(std::int64_t at, const std::string& want) {
        std::vector<std::uint8_t> b(want.size(), 0);
        readData(file_, b, at, static_cast<std::int64_t>(want.size()));
        return std::equal(b.begin(), b.end(), want.begin(),
                          [](std::uint8_t x, char y) { return x == static_cast<std::uint8_t>(y); });
    }

    bool wideOwnerBodies(std::int64_t at) {
        std::uint8_t b[6] = {};
        readData(file_, b, at, 6);
        for (int j = 0; j + 2 < 6; ++j) {
            if (b[j] == 1 && b[j + 1] == 1 && b[j + 2] >= 2 && b[j + 2] <= 4) {
                return true;
            }
        }
        return false;
    }

    // Every read into a fresh zeroed buffer of one page, and a terminator after it.
    void read(Reader reader, std::int32_t k, std::int32_t& dataoff, std::int64_t offset, std::int64_t length) {
        field_.assign(static_cast<std::size_t>(pageSize_) + 1, 0);
        reader(file_, k, &dataoff, offset, length, {field_.data(), static_cast<std::size_t>(pageSize_)});
    }
    long long number() const { return std::strtoll(reinterpret_cast<const char*>(field_.data()), nullptr, 10); }
    std::int32_t uid() const {
        return static_cast<std::int32_t>(std::clamp<long long>(number(), std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
    }
    void date(Note& note) const {
        if (auto text = dateText(number(), 1)) {
            note.date = *text;
        }
    }
    void text(std::string& out) const {
        if (field_[0] != 0) {
            out = GetStringFormChar(reinterpret_cast<const char*>(field_.data()));
        }
    }

    void noteWal(std::int64_t o) {
        if (!bytesAre(o, std::string("\x01\x01\x01\x01\x01\x01\x05", 7))) {
            return;
        }
        const std::int32_t r = bIsAlterbleDBFile(file_, o + 18, AlterVersion{1});
        std::int64_t length = r == 0 ? 19 : r == 1 ? 20 : r == 2 ? 21 : 0;
        const std::int64_t offset = o - 1;
        const int summaryWide = byteAt(o + 16) >= 0x80 ? 1 : 0;
        const std::int32_t titleSlot = 18 + summaryWide;
        const int titleWide = byteAt(offset + titleSlot) >= 0x80 ? 1 : 0;
        const bool wellFormed = byteAt(o + 18 + summaryWide + titleWide) == 0x03;
        if (wellFormed) {
            length = 19 + summaryWide + titleWide;
        }
        Note note;
        std::int32_t dataoff = 0;
        for (std::int32_t k = 1; k <= 16; ++k) {
            read(AnalyseDBDataFile, k, dataoff, offset, length);
            if (k == 10) {
                note.uid = uid();
            } else if (k == 13) {
                date(note);
            }
        }
        if (wellFormed) {
            read(summaryWide ? AnalyseAlterbleDB : AnalyseDBDataFile, 17, dataoff, offset, length);
            read(titleWide ? AnalyseAlterbleDB : AnalyseDBDataFile, titleSlot, dataoff, offset, length);
            text(note.title);
        } else {
            read(AnalyseDBDataFile, 17, dataoff, offset, length);
            if (r == 0) {
                read(AnalyseDBDataFile, 18, dataoff, offset, length);
                text(note.title);
            } else {
                read(AnalyseAlterbleDB, 18, dataoff, offset, length);
                if (r == 1) {
                    field_.assign(static_cast<std::size_t>(pageSize_) + 1, 0);
                    AnalyseAlterbleDBFile(file_, 19, &dataoff, o - 4, 4, 20,
                                          {field_.data(), static_cast<std::size_t>(pageSize_)});
                    text(note.title);
                } else if (r == 2) {
                    read(AnalyseAlterbleDB, 19, dataoff, offset, 21);
                    text(note.title);
                }
            }
        }
        records_.push_back({true, std::move(note), {}});
    }

    void noteLegacy(std::int64_t o) {
        if (!bytesAre(o, std::string("\x01\x01\x01\x01\x01\x01\x05", 7)) &&
            !bytesAre(o, std::string("\x01\x01\x01\x01\x02\x01\x05", 7))) {
            return;
        }
        const std::int32_t P = CheckTitlePostion(file_, o + 13);
        const std::int32_t T =
            P == 15 ? checkTitleAlterable(file_, o + 14, 15) : checkTitleAlterable(file_, o + 18, 19);
        const bool titleWide = T == 1;
        const std::int64_t base = titleWide ? 20 : 19;
        const std::int32_t S = CheckAlterSummary(file_, titleWide ? o + 19 : o + 18, 0);
        const bool summaryWide = S != 0;
        const std::int64_t length = S > 0 ? base + 1 : base;
        const std::int64_t offset = o - 1;
        const Reader titleReader = titleWide ? AnalyseAlterbleDB : AnalyseDBDataFile;
        const Reader summaryReader = summaryWide ? AnalyseAlterbleDB : AnalyseDBDataFile;
        Note note;
        std::int32_t dataoff = 0;
        if (P == 15) {
            for (std::int32_t k = 1; k <= 18; ++k) {
                if (k == 11) {
                    read(AnalyseDBDataFile, k, dataoff, offset, length);
                    note.uid = uid();
                } else if (k == 12) {
                    read(AnalyseDBDataFile, k, dataoff, offset, length);
                    date(note);
                } else if (k == 14) {
                    read(titleReader, k, dataoff, offset, length);
                    text(note.title);
                } else if (k == 15) {
                    if (T == 0) {
                        read(AnalyseDBDataFile, k, dataoff, offset, length);
                    }
                } else {
                    read(k == 18 ? summaryReader : AnalyseDBDataFile, k, dataoff, offset, length);
                }
            }
        } else {
            for (std::int32_t k = 1; k <= 19; ++k) {
                if (k == 10) {
                    read(AnalyseDBDataFile, k, dataoff, offset, length);
                    note.uid = uid();
                } else if (k == 12) {
                    read(AnalyseDBDataFile, k, dataoff, offset, length);
                    date(note);
                } else if (k == 17) {
                    read(summaryReader, k, dataoff, offset, length);
                } else if (k == 18 || k == 19) {
                    if ((k == 19) == summaryWide) {
                        read(titleReader, k, dataoff, offset, length);
                        text(note.title);
                    }
                } else {
                    read(AnalyseDBDataFile, k, dataoff, offset, length);
                }
            }
        }
        records_.push_back({true, std::move(note), {}});
    }

    void body(std::int64_t o) {
        std::uint8_t b[3] = {};
        readData(file_, b, o, 3);
        if (b[0] != 1 || b[1] != 1 || b[2] < 1 || b[2] > 4 || CheckNoteBodyMark(file_, o) != 1) {
            return;
        }
        std::int32_t dataoff = 0;
        const std::int32_t r = bIsAlterbleDBFile(file_, o + 4, AlterType{6});
        const std::int64_t length = static_cast<std::int64_t>(r) + 7;
        const std::int64_t offset = o - 1;
        Body found;
        read(AnalyseDBDataFile, 1, dataoff, offset, length);
        read(AnalyseDBDataFile, 2, dataoff, offset, length);
        read(AnalyseDBDataFile, 3, dataoff, offset, length);
        found.uid = uid();
        read(r == 1 ? AnalyseAlterbleDB : AnalyseDBDataFile, 4, dataoff, offset, length);
        text(found.text);
        records_.push_back({false, {}, std::move(found)});
    }

    DbFileReader& file_;
    std::int64_t pageSize_ = 0;
    std::vector<std::uint8_t> field_;
    std::vector<Record> records_;
};

} // namespace

std::vector<std::string> carvedRecords(DbFileReader& file) {
    std::vector<std::string> lines;
    for (const Record& r : Walker(file).walk()) {
        lines.push_back(r.isNote ? "note " + std::to_string(r.note.uid) + "|" + r.note.title + "|" + r.note.date
                                 : "body " + std::to_string(r.body.uid) + "|" + r.body.text);
    }
    return lines;
}

std::vector<std::string> postedNotes(DbFileReader& file) {
    std::vector<Note> notes;
    std::vector<Body> bodies;
    for (Record& r : Walker(file).walk()) {
        if (r.isNote) {
            notes.push_back(std::move(r.note));
        } else {
            bodies.push_back(std::move(r.body));
        }
    }
    std::vector<std::string> lines;
    std::int32_t previous = 0;
    for (Note& note : notes) {
        if (note.uid == previous) {
            note.uid = static_cast<std::int32_t>(static_cast<std::uint32_t>(note.uid) + 1u);
        }
        std::string content;
        for (const Body& body : bodies) {
            if (body.uid == note.uid) {
                content = body.text;
            }
        }
        lines.push_back(std::to_string(note.uid) + "|" + note.title + "|" + note.date + "|" + content);
        previous = note.uid;
    }
    return lines;
}

} // namespace quarrow::test::ref
