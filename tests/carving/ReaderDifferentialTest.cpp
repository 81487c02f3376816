// Every reading primitive, served from memory, a mapped window or a pread window, answers as a
// plain seek-and-read over a stdio stream does: inside the file, across the window's edges, at the
// ends of the file and past them.

#include "DeviceDb.h"
#include "carving/DbFileReader.h"
#include "carving/DelNoteCarver.h"
#include "carving/RecordChecks.h"
#include "carving/RecordDecoding.h"
#include "platform/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// The reference: each call seeks and reads the few bytes it needs.
struct Stdio {
    std::FILE* f = nullptr;
    std::int64_t size = 0;

    std::string raw(std::int64_t at, std::int64_t n) {
        std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
        if (at > 0 && n > 0 && std::fseek(f, static_cast<long>(at), SEEK_SET) == 0) {
            const std::size_t got = std::fread(s.data(), 1, s.size(), f); // zeros past the end
            (void)got;
        }
        return s;
    }
    int byte(std::int64_t at) { return static_cast<unsigned char>(raw(at, 1).at(0)); }
    std::string hex(std::int64_t at, std::int64_t n) {
        std::string text;
        char two[3];
        for (char c : at > 0 ? raw(at, n) : std::string()) {
            std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(c));
            text += two;
        }
        return text;
    }
    std::int32_t forward(std::int64_t at, int marker) {
        for (std::int64_t pos = at;; ++pos) {
            if (pos >= size && marker != 0) {
                return kFarAway;
            }
            if (byte(pos) == marker) {
                return static_cast<std::int32_t>(pos - at);
            }
        }
    }
    std::int32_t backward(std::int64_t at, int marker) {
        for (std::int64_t pos = at; pos >= 1; --pos) {
            if (byte(pos) == marker) {
                return static_cast<std::int32_t>(at - pos);
            }
        }
        return kFarAway;
    }
    // A field reader's effect: whether it read, dataoff after, the buffer after.
    std::tuple<bool, std::int32_t, std::string> field(bool twoByte, std::int32_t k, std::int32_t dataoff,
                                                      std::int64_t at, std::int64_t head, std::int64_t length,
                                                      std::size_t bufferSize) {
        std::string out(bufferSize, '\0');
        const std::int64_t slot = at + head + k;
        const std::int32_t t =
            twoByte ? getAlterInteger(static_cast<std::uint8_t>(byte(slot)), static_cast<std::uint8_t>(byte(slot + 1)))
                    : byte(slot);
        if (twoByte ? t > 4095 : (t <= 13 && !(t >= 1 && t <= 7))) {
            return {false, dataoff, out};
        }
        const std::int32_t n = getFieldDataLengthBy(t);
        std::string content = raw(at + head + length + dataoff, n);
        if (!twoByte && t <= 7) {
            std::uint64_t v = 0;
            for (char c : content) {
                v = v * 256u + static_cast<unsigned char>(c);
            }
            double d;
            std::memcpy(&d, &v, sizeof d);
            const long long cut = t != 7          ? static_cast<std::int32_t>(static_cast<std::uint32_t>(v))
                                  : std::isnan(d) ? 0
                                  : d >= 0x1p63   ? std::numeric_limits<long long>::max()
                                  : d <= -0x1p63  ? std::numeric_limits<long long>::min()
                                                  : static_cast<long long>(d);
            content = std::to_string(cut);
            content.resize(260, '\0');
        }
        out.replace(0, std::min(content.size(), bufferSize), content, 0, std::min(content.size(), bufferSize));
        return {true, dataoff + n, out};
    }
};

std::string biased(std::size_t n, unsigned seed, bool alphabetOnly) {
    // Values the primitives look for (0x00 to 0x05, two-byte slot starts) are common; the small
    // alphabet puts 010101 on byte boundaries and half a byte off them.
    static const char alphabet[] = {0x00, 0x01, 0x10, 0x11, 0x0d, 0x1f, char(0xf0)};
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) {
        const unsigned r = rng();
        c = alphabetOnly ? alphabet[r % 7]
            : r % 4 == 0 ? static_cast<char>((r >> 8) % 6)
            : r % 4 == 1 ? static_cast<char>(0x80 + ((r >> 8) % 0x30))
                         : static_cast<char>(r >> 8);
    }
    return s;
}

std::string notesDb(const TempDir& dir, bool wal) {
    const std::string path = dir.file("notes.sqlite");
    {
        fixtures::NotesDbBuilder db(path);
        for (int pk = 1; pk <= 60; ++pk) {
            fixtures::NoteSpec n;
            n.pk = pk * 5;
            n.title = pk % 3 ? "Title " + std::to_string(pk) : std::string(70, 'w');
            n.content = "<div>" + std::string(static_cast<std::size_t>(pk * 13), 'c') + "</div>";
            n.modificationDate = 352803900.5 + pk;
            db.addNote(n);
        }
        for (int pk = 1; pk <= 60; pk += 4) {
            db.deleteNote(pk * 5);
        }
    }
    if (wal) {
        fixtures::execSql(path, "PRAGMA journal_mode=WAL;");
    }
    return fixtures::readFile(path);
}

struct Input {
    const char* name;
    std::string (*make)(const TempDir&);
};

const Input kInputs[] = {
    {"Empty", [](const TempDir&) { return std::string(); }},
    {"NoZeros", [](const TempDir&) { return std::string(600, 'A'); }},
    {"RandomSmall", [](const TempDir&) { return biased(5000, 1, false); }},
    {"MarkAlphabet", [](const TempDir&) { return biased(5000, 11, true); }},
    {"RandomLargerThanTheWindow", [](const TempDir&) { return biased(3u << 20, 2, false); }},
    {"NotesDbWal", [](const TempDir& d) { return notesDb(d, true); }},
    {"NotesDbLegacy", [](const TempDir& d) { return notesDb(d, false); }},
};

class Differential : public ::testing::TestWithParam<Input> {
protected:
    void SetUp() override {
        bytes = GetParam().make(dir);
        const std::string path = dir.file("input");
        fixtures::writeFile(path, bytes);
        ref.f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(ref.f, nullptr);
        ref.size = static_cast<std::int64_t>(bytes.size());
        readers.push_back(DbFileReader::openFile(path));
        readers.push_back(DbFileReader::openFile(path, false));
        ASSERT_TRUE(readers[0] && readers[1]);
        readers.push_back(std::make_unique<DbFileReader>(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
    }
    void TearDown() override {
        if (ref.f) {
            std::fclose(ref.f);
        }
    }
    // Both ends of the file, around the window's edges, and random offsets.
    std::vector<std::int64_t> offsets(std::size_t randomCount) const {
        std::vector<std::int64_t> out;
        for (std::int64_t edge : {std::int64_t{0}, ref.size, std::int64_t{1} << 20, (std::int64_t{1} << 20) - 65536,
                                  std::int64_t{2} << 20}) {
            for (std::int64_t d = -3; d <= 3; ++d) {
                out.push_back(edge + d);
            }
        }
        std::mt19937_64 rng(7);
        for (std::size_t i = 0; i < randomCount; ++i) {
            out.push_back(static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(ref.size + 40)) - 20);
        }
        return out;
    }

    TempDir dir;
    std::string bytes;
    Stdio ref;
    std::vector<std::unique_ptr<DbFileReader>> readers;
};

} // namespace

TEST_P(Differential, BytesNumbersAndFields) {
    for (auto& reader : readers) {
        std::mt19937 rng(3);
        for (std::int64_t at : offsets(400)) {
            const std::int64_t n = static_cast<std::int64_t>(rng() % 300);
            std::vector<char> hex(2 * static_cast<std::size_t>(n) + 1, 'q');
            const char* got = getHexString(*reader, at, n, hex);
            const std::string want = ref.hex(at, n);
            EXPECT_EQ(got ? std::string(got) : std::string(), want) << at << " " << n;
            std::string raw(static_cast<std::size_t>(n), '\0');
            if (readData(*reader, {reinterpret_cast<std::uint8_t*>(raw.data()), raw.size()}, at, n)) {
                EXPECT_EQ(raw, ref.raw(at, n));
            }
            const int b = ref.byte(at);
            const auto type = at == 0 || b == 0 ? std::string::npos : std::string("\x0d\x05\x02\x0a").find(char(b));
            EXPECT_EQ(getPageType(*reader, at), type == std::string::npos ? -1 : static_cast<int>(type) + 1);
            EXPECT_EQ(checkSQliteVersion(*reader, at), b == 2 ? 1 : 0);

            const std::int32_t k = static_cast<std::int32_t>(rng() % 22);
            const std::int32_t dataoff = static_cast<std::int32_t>(rng() % 50);
            const std::int64_t head = static_cast<std::int64_t>(rng() % 5);
            const std::int64_t length = static_cast<std::int64_t>(rng() % 24);
            const std::size_t size = std::vector<std::size_t>{1, 7, 259, 512, 4096}[rng() % 5]; // cutting too
            for (int which = 0; which < 4; ++which) {
                const bool two = which >= 2;
                const std::int64_t h = which % 2 ? head : 0;
                std::string out(size, '\0');
                std::int32_t off = dataoff;
                std::span<std::uint8_t> buf(reinterpret_cast<std::uint8_t*>(out.data()), size);
                const bool read =
                    (which == 0   ? AnalyseDBDataFile(*reader, k, &off, at, length, buf)
                     : which == 1 ? AnalyseTheDBDataFile(*reader, k, &off, at, h, length, buf)
                     : which == 2 ? AnalyseAlterbleDB(*reader, k, &off, at, length, buf)
                                  : AnalyseAlterbleDBFile(*reader, k, &off, at, h, length, buf)) != nullptr;
                EXPECT_EQ(std::tie(read, off, out), ref.field(two, k, dataoff, at, h, length, size))
                    << "reader " << which << " at " << at << " k " << k;
                std::int32_t skipped = dataoff;
                EXPECT_EQ(skipField(*reader, two, k, &skipped, at + h) == 1, read);
                EXPECT_EQ(skipped, off);
            }
        }
    }
}

TEST_P(Differential, ChecksAndSearches) {
    static const char* const kMarks[] = {"",
                                         "09000a00",
                                         "130023002200",
                                         "2000210022002a002b002c00",
                                         "2300240025002600",
                                         "0c00140019000d0015001a00",
                                         "14001500",
                                         "2000210022002a002b002c00",
                                         ""};
    for (auto& reader : readers) {
        for (std::int64_t at : offsets(200)) {
            const int b = ref.byte(at);
            const std::string two = ref.hex(at, 2);
            for (std::int32_t type = 0; type <= 8; ++type) {
                const std::string marks = kMarks[type];
                bool marked = false;
                for (std::size_t i = 0; two.size() == 4 && i < marks.size(); i += 4) {
                    marked |= marks.compare(i, 4, two) == 0;
                }
                EXPECT_EQ(getDeletedMark(*reader, at, 2, type), marked ? 1 : 0) << at << " " << type;
                EXPECT_EQ(bIsAlterbleDBFile(*reader, at, AlterType{type}), type == 2   ? (b >= 14)
                                                                           : type == 6 ? ref.forward(at, 0)
                                                                                       : 0);
            }
            for (std::int32_t v = -1; v <= 2; ++v) {
                EXPECT_EQ(bIsAlterbleDBFile(*reader, at, AlterVersion{v}), v == 0   ? ref.forward(at, 0)
                                                                           : v == 1 ? ref.forward(at, 3)
                                                                                    : 0);
                EXPECT_EQ(CheckAlterSummary(*reader, at, v), v == 0 ? ref.forward(at, 3) : 0);
            }
            EXPECT_EQ(checkTitleAlterable(*reader, at, 14), 0);
            EXPECT_EQ(checkTitleAlterable(*reader, at, 15), ref.forward(at, 0));
            EXPECT_EQ(checkTitleAlterable(*reader, at, 19), b != 3 && ref.byte(at + 1) != 1);
            const int beforeZero = ref.byte(at + ref.forward(at, 0) - 1);
            EXPECT_EQ(GetFildLength(*reader, at), beforeZero >= 34 && beforeZero <= 36   ? 2
                                                  : beforeZero >= 18 && beforeZero <= 20 ? 1
                                                                                         : 0);
            const std::int32_t back = ref.backward(at, 0);
            const int afterZero = back == kFarAway ? 0 : ref.byte(at - back - 1);
            EXPECT_EQ(accquireFieldLength(*reader, at), afterZero == 7 || afterZero == 8    ? 7
                                                        : afterZero >= 9 && afterZero <= 11 ? afterZero - 1
                                                                                            : 0);
            EXPECT_EQ(bSortAlter(*reader, at), back) << at;
            EXPECT_EQ(accquireField(*reader, at), b == 0x11);
            EXPECT_EQ(CheckNoteBodyMark(*reader, at),
                      ref.byte(at + 3) >= 0x10 && (!ref.byte(at + 4) || !ref.byte(at + 5)));
            EXPECT_EQ(bNoteAlter(*reader, at), b >= 0x80 && b <= 0x89);
            EXPECT_EQ(bImageURLAlter(*reader, at), b != 0x09);
            EXPECT_EQ(IsAlterAboutContent(*reader, at), b != 0x04);
            EXPECT_EQ(ISAlterMessageContentFiled(*reader, at), b != 0x55);
            EXPECT_EQ(ISAlterPropertFiled(*reader, at), b >= 121 && b <= 136);
            EXPECT_EQ(CheckTitlePostion(*reader, at), b == 0 ? 19 : 15);
            for (std::int32_t n : {0, 5, 6, 7, 14, 70}) {
                const std::string text = ref.hex(at, n);
                EXPECT_EQ(holdsNoteMark(*reader, at, n), text.empty() ? 0 : bcheckSubStringIsValid(text.c_str(), 6, n))
                    << at << " " << n;
            }
        }
    }
}

TEST_P(Differential, CarverAnswersAlikeThroughEveryReader) {
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    std::vector<std::vector<std::string>> seen;
    for (auto& reader : readers) {
        seen.emplace_back();
        std::vector<PRNoteNodePtr> notes;
        std::vector<PRNoteValueNodePtr> bodies;
        carveDelNotes(
            *reader, notes, bodies,
            [&](const PRNoteNodePtr& note) {
                seen.back().push_back(std::to_string(note->uid()) + "|" + note->noteTitle().value_or("-") + "|" +
                                      note->noteDate().value_or("-") + "|" + note->noteContent().value_or("-"));
            },
            "differential");
    }
    EXPECT_EQ(seen[0], seen[2]);
    EXPECT_EQ(seen[1], seen[2]);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Differential, ::testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.name); });
