// Fuzz target for a note store's ZDATA: any bytes as the blob (gzip, then the note document).
// Decoding either gives a document or says why not; a document's text never exceeds the limit.
// Inputs are tried as given and, so that the fuzzer also reaches the document parser past the
// checksum, wrapped in a valid gzip stream.

#include "records/NoteDocument.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <zlib.h>

namespace {

std::string gzipped(std::string_view data) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        std::abort();
    }
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
        std::abort();
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

void check(std::string_view blob) {
    const quarrow::DecodedNoteData decoded = quarrow::decodeNoteData(blob);
    if (decoded.status != quarrow::NoteDataStatus::Ok && !decoded.document.text.empty()) {
        std::abort();
    }
    if (decoded.document.text.size() > quarrow::kMaxNoteDocumentBytes) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    check(bytes);
    const std::string wrapped = gzipped(bytes);
    const quarrow::DecodedNoteData decoded = quarrow::decodeNoteData(wrapped);
    // A valid stream always gets past gzip: what happens next is the document parser's answer.
    if (decoded.status == quarrow::NoteDataStatus::NoGzip) {
        std::abort();
    }
    return 0;
}
