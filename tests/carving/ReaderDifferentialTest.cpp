// The primitives served from memory (a file-backed sliding window, mapped or read with pread, or
// bytes in memory) answer
// exactly as the plain seek-and-read reference does, for every primitive, at every kind of offset:
// inside the file, across the window's edges, at the ends of the file and past them.

#include "StdioReference.h"

#include "DeviceDb.h"
#include "carving/DbFileReader.h"
#include "carving/DelNoteCarver.h"
#include "carving/RecordChecks.h"
#include "carving/RecordDecoding.h"
#include "platform/Log.h"
#include "scan/ScanContext.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

using namespace quarrow;
using namespace quarrow::test;

namespace {

struct Input {
    const char* name;
    std::string (*make)(const TempDir&);
};

// Random bytes where the values the primitives look for (0x00, 0x01, 0x03, small serial types and
// two-byte slot starts) are common, so searches end soon and slots hold every kind of type.
std::string biasedBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) {
        const unsigned r = rng();
        switch (r % 4) {
        case 0:
            c = static_cast<char>((r >> 8) % 6);
            break;
        case 1:
            c = static_cast<char>(0x80 + ((r >> 8) % 0x30));
            break;
        default:
            c = static_cast<char>(r >> 8);
        }
    }
    return s;
}

std::string notesDb(const TempDir& dir, bool wal) {
    const std::string path = dir.file(wal ? "wal.sqlite" : "legacy.sqlite");
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
        commitDB(path);
    }
    return path;
}

const Input kInputs[] = {
    {"Empty", [](const TempDir& d) { return fixtures::writeFile(d.file("e"), ""), d.file("e"); }},
    {"OneByte", [](const TempDir& d) { return fixtures::writeFile(d.file("o"), "\x03"), d.file("o"); }},
    {"RandomSmall",
     [](const TempDir& d) { return fixtures::writeFile(d.file("s"), biasedBytes(5000, 1)), d.file("s"); }},
    // Larger than the window, so reads cross its edges and backward steps refill it.
    {"RandomLarge",
     [](const TempDir& d) { return fixtures::writeFile(d.file("l"), biasedBytes(3u << 20, 2)), d.file("l"); }},
    {"NoZeros",
     [](const TempDir& d) { return fixtures::writeFile(d.file("z"), std::string(600, '\x41')), d.file("z"); }},
    {"NotesDbWal", [](const TempDir& d) { return notesDb(d, true); }},
    {"NotesDbLegacy", [](const TempDir& d) { return notesDb(d, false); }},
};

class Differential : public ::testing::TestWithParam<Input> {
protected:
    void SetUp() override {
        path = GetParam().make(dir);
        bytes = fixtures::readFile(path);
        stream = std::fopen(path.c_str(), "rb");
        ASSERT_NE(stream, nullptr);
        mapped = DbFileReader::openFile(path);
        ASSERT_NE(mapped, nullptr);
        buffered = DbFileReader::openFile(path, false);
        ASSERT_NE(buffered, nullptr);
        memory = std::make_unique<DbFileReader>(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
    void TearDown() override {
        if (stream) {
            std::fclose(stream);
        }
    }

    // Offsets worth trying: both ends of the file, around the window's edges, and random ones.
    std::vector<std::int64_t> offsets(std::size_t randomCount) const {
        const std::int64_t size = static_cast<std::int64_t>(bytes.size());
        std::vector<std::int64_t> out;
        for (std::int64_t d = -3; d <= 3; ++d) {
            out.push_back(d);
            out.push_back(size + d);
        }
        for (std::int64_t edge : {std::int64_t{1} << 20, (std::int64_t{1} << 20) - 65536, std::int64_t{2} << 20}) {
            for (std::int64_t d = -3; d <= 3; ++d) {
                out.push_back(edge + d);
            }
        }
        std::mt19937_64 rng(7);
        for (std::size_t i = 0; i < randomCount; ++i) {
            out.push_back(size > 0 ? static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(size + 40)) - 20 : 0);
        }
        return out;
    }

    TempDir dir;
    std::string path;
    std::string bytes;
    std::FILE* stream = nullptr;
    std::unique_ptr<DbFileReader> mapped;
    std::unique_ptr<DbFileReader> buffered;
    std::unique_ptr<DbFileReader> memory;
};

} // namespace

TEST_P(Differential, BytesAndNumbers) {
    for (DbFileReader* reader : {mapped.get(), buffered.get(), memory.get()}) {
        std::mt19937 rng(3);
        for (std::int64_t at : offsets(400)) {
            const std::int64_t n = static_cast<std::int64_t>(rng() % 300);
            std::vector<char> hex(2 * static_cast<std::size_t>(n) + 1, 'q');
            const char* got = getHexString(*reader, at, n, hex);
            const std::string want = ref::hexAt(stream, at, n);
            EXPECT_EQ(got ? std::string(got) : std::string(), want) << at << " " << n;
            std::vector<std::uint8_t> raw(static_cast<std::size_t>(n) + 1, 0);
            if (readData(*reader, raw, at, n)) {
                EXPECT_EQ(want, ref::hexAt(stream, at, n));
            }
            EXPECT_EQ(getPageType(*reader, at), ref::getPageType(stream, at)) << at;
            EXPECT_EQ(checkSQliteVersion(*reader, at), ref::checkSQliteVersion(stream, at)) << at;
            for (std::int32_t digits : {2, 4, 8}) {
                const std::string text = ref::hexAt(stream, at, 4);
                EXPECT_EQ(DemaNumberFormHexChar(text.c_str(), digits), ref::demaNumber(text, digits));
            }
        }
    }
}

TEST_P(Differential, FieldReaders) {
    for (DbFileReader* reader : {mapped.get(), buffered.get(), memory.get()}) {
        std::mt19937 rng(5);
        for (std::int64_t at : offsets(400)) {
            const std::int32_t k = static_cast<std::int32_t>(rng() % 22);
            const std::int32_t dataoff = static_cast<std::int32_t>(rng() % 50);
            const std::int64_t head = static_cast<std::int64_t>(rng() % 5);
            const std::int64_t length = static_cast<std::int64_t>(rng() % 24);
            // Buffers from far too small to a page, so that cutting is compared as well.
            const std::size_t size = std::vector<std::size_t>{1, 7, 259, 512, 4096}[rng() % 5];
            const auto check = [&](auto call, const ref::Field& want, const char* which) {
                std::vector<std::uint8_t> out(size, 0);
                std::int32_t off = dataoff;
                const bool read = call(out, off) != nullptr;
                EXPECT_EQ(read, want.read) << which << " at " << at << " k " << k;
                EXPECT_EQ(off, want.dataoff) << which << " at " << at << " k " << k;
                EXPECT_EQ(std::string(out.begin(), out.end()), want.bytes) << which << " at " << at << " k " << k;
            };
            check([&](std::span<std::uint8_t> out,
                      std::int32_t& off) { return AnalyseDBDataFile(*reader, k, &off, at, length, out); },
                  ref::oneByte(stream, k, dataoff, at, 0, length, size), "AnalyseDBDataFile");
            check([&](std::span<std::uint8_t> out,
                      std::int32_t& off) { return AnalyseTheDBDataFile(*reader, k, &off, at, head, length, out); },
                  ref::oneByte(stream, k, dataoff, at, head, length, size), "AnalyseTheDBDataFile");
            check([&](std::span<std::uint8_t> out,
                      std::int32_t& off) { return AnalyseAlterbleDB(*reader, k, &off, at, length, out); },
                  ref::twoByte(stream, k, dataoff, at, 0, length, size), "AnalyseAlterbleDB");
            check([&](std::span<std::uint8_t> out,
                      std::int32_t& off) { return AnalyseAlterbleDBFile(*reader, k, &off, at, head, length, out); },
                  ref::twoByte(stream, k, dataoff, at, head, length, size), "AnalyseAlterbleDBFile");
        }
    }
}

TEST_P(Differential, ChecksAndSearches) {
    for (DbFileReader* reader : {mapped.get(), buffered.get(), memory.get()}) {
        for (std::int64_t at : offsets(40)) {
            for (std::int32_t type = 0; type <= 8; ++type) {
                EXPECT_EQ(getDeletedMark(*reader, at, 2, type), ref::getDeletedMark(stream, at, 2, type));
                EXPECT_EQ(bIsAlterbleDBFile(*reader, at, AlterType{type}),
                          ref::bIsAlterbleDBFileType(stream, at, type));
            }
            for (std::int32_t version = -1; version <= 2; ++version) {
                EXPECT_EQ(bIsAlterbleDBFile(*reader, at, AlterVersion{version}),
                          ref::bIsAlterbleDBFileVersion(stream, at, version))
                    << at;
                EXPECT_EQ(CheckAlterSummary(*reader, at, version), ref::CheckAlterSummary(stream, at, version)) << at;
            }
            for (std::int32_t postion : {14, 15, 19}) {
                EXPECT_EQ(checkTitleAlterable(*reader, at, postion), ref::checkTitleAlterable(stream, at, postion));
            }
            EXPECT_EQ(GetFildLength(*reader, at), ref::GetFildLength(stream, at)) << at;
            EXPECT_EQ(accquireField(*reader, at), ref::accquireField(stream, at));
            EXPECT_EQ(accquireFieldLength(*reader, at), ref::accquireFieldLength(stream, at)) << at;
            EXPECT_EQ(bSortAlter(*reader, at), ref::bSortAlter(stream, at)) << at;
            EXPECT_EQ(CheckNoteBodyMark(*reader, at), ref::CheckNoteBodyMark(stream, at)) << at;
            EXPECT_EQ(bNoteAlter(*reader, at), ref::oneByteTest(stream, at, 0));
            EXPECT_EQ(bImageURLAlter(*reader, at), ref::oneByteTest(stream, at, 1));
            EXPECT_EQ(IsAlterAboutContent(*reader, at), ref::oneByteTest(stream, at, 2));
            EXPECT_EQ(ISAlterMessageContentFiled(*reader, at), ref::oneByteTest(stream, at, 3));
            EXPECT_EQ(ISAlterPropertFiled(*reader, at), ref::oneByteTest(stream, at, 4));
            EXPECT_EQ(CheckTitlePostion(*reader, at), ref::oneByteTest(stream, at, 5));
            EXPECT_EQ(AddressIsAlterbleDBFile(*reader, at), 0);
            for (std::int32_t n : {0, 5, 6, 7, 14, 70}) {
                const std::string text = ref::hexAt(stream, at, n);
                EXPECT_EQ(holdsNoteMark(*reader, at, n), text.empty() ? 0 : bcheckSubStringIsValid(text.c_str(), 6, n))
                    << at << " " << n;
            }
        }
    }
}

TEST_P(Differential, CarverAnswersAlikeFromFileAndMemory) {
    MemoryLogSink log;
    ScopedLogSink scoped(log);
    auto carve = [](DbFileReader& reader) {
        NotificationCenter nc;
        std::vector<std::string> seen;
        nc.addObserver("", [&](const Notification& n) {
            if (auto note = n.recordAs<PRNoteNode>()) {
                seen.push_back(std::to_string(note->uid()) + "|" + note->noteTitle().value_or("-") + "|" +
                               note->noteDate().value_or("-") + "|" + note->noteContent().value_or("-"));
            } else if (n.number()) {
                seen.push_back("progress " + std::to_string(*n.number()));
            }
        });
        ScanContext context(nc);
        carveDelNotes(reader, context, "differential");
        return seen;
    };
    const auto fromMemory = carve(*memory);
    EXPECT_EQ(carve(*mapped), fromMemory);
    EXPECT_EQ(carve(*buffered), fromMemory);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Differential, ::testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GetAlterInteger, EqualsItsDigitStringRuleForEveryPair) {
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            ASSERT_EQ(getAlterInteger(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)),
                      ref::getAlterInteger(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)))
                << a << " " << b;
        }
    }
}

TEST(GetFieldDataLengthBy, EqualsTheSerialTypeTable) {
    for (std::int32_t t = -5; t < 5000; ++t) {
        ASSERT_EQ(getFieldDataLengthBy(t), ref::getFieldDataLengthBy(t)) << t;
    }
}

TEST(HoldsNoteMark, AnswersAsTheSlidingWindowOverHexText) {
    // Bytes from a small alphabet, so that 010101 turns up on byte boundaries and half a byte off
    // them (x0 10 10 1x), near the window's last start and just past it.
    const std::uint8_t alphabet[] = {0x00, 0x01, 0x10, 0x11, 0x0d, 0x1f, 0xf0};
    std::mt19937 rng(11);
    std::string bytes(20000, '\0');
    for (auto& c : bytes) {
        c = static_cast<char>(alphabet[rng() % sizeof alphabet]);
    }
    DbFileReader reader(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    int matches = 0;
    for (std::int64_t at = -2; at < static_cast<std::int64_t>(bytes.size()) + 4; ++at) {
        for (std::int32_t n : {6, 14}) {
            std::vector<char> text(2 * static_cast<std::size_t>(n) + 1);
            const char* hex = getHexString(reader, at, n, text);
            const std::int32_t want = hex ? bcheckSubStringIsValid(hex, 6, n) : 0;
            ASSERT_EQ(holdsNoteMark(reader, at, n), want) << at << " " << n;
            matches += want;
        }
    }
    EXPECT_GT(matches, 1000);
}
