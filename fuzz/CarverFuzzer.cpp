// Fuzz target for the deleted-note carver: any bytes, carved as a notes database held in memory.
// Built as a libFuzzer binary with clang (QUARROW_FUZZ) and as a replay test over the saved corpus.

#include "carving/DbFileReader.h"
#include "carving/DelNoteCarver.h"
#include "carving/RecordChecks.h"
#include "carving/RecordDecoding.h"
#include "platform/Log.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Damaged inputs log (a page size of 0, say); keep the fuzzer's output quiet.
class QuietSink : public quarrow::LogSink {
public:
    void write(std::string_view) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QuietSink quiet;
    static quarrow::ScopedLogSink scoped(quiet);
    quarrow::DbFileReader file({data, size});
    std::vector<quarrow::PRNoteNodePtr> notes;
    std::vector<quarrow::PRNoteValueNodePtr> bodies;
    quarrow::carveDelNotes(file, notes, bodies, {}, "fuzz input");

    // The searches and slot readers at an offset the input chooses, both ends of the file included.
    if (size >= 4) {
        const std::int64_t at = static_cast<std::int64_t>((data[0] << 8 | data[1]) % (size + 8)) - 4;
        std::int32_t dataoff = data[2] % 64;
        std::uint8_t field[64];
        quarrow::AnalyseAlterbleDBFile(file, data[3] % 32, &dataoff, at, 4, data[3], field);
        quarrow::bSortAlter(file, at);
        quarrow::accquireFieldLength(file, at);
        quarrow::GetFildLength(file, at);
        quarrow::CheckAlterSummary(file, at, 0);
        quarrow::getDeletedMark(file, at, 2, data[2] % 8);
    }
    return 0;
}
