#include "NoteDocument.h"

#include "NoteDocument.pb.h"

#include <limits>

namespace quarrow {

DecodedNoteData decodeNoteData(std::string_view zdata) {
    DecodedNoteData decoded;
    GunzipResult unzipped = gunzip(zdata, kMaxNoteDocumentBytes);
    if (!unzipped.data) {
        decoded.status = NoteDataStatus::NoGzip;
        decoded.gzipError = unzipped.error;
        return decoded;
    }
    const std::string& bytes = *unzipped.data;
    static_assert(kMaxNoteDocumentBytes < static_cast<std::size_t>(std::numeric_limits<int>::max()));
    notedocument::NoteStoreBlob blob;
    if (!blob.ParseFromArray(bytes.data(), static_cast<int>(bytes.size())) || !blob.has_document() ||
        !blob.document().has_note()) {
        decoded.status = NoteDataStatus::NotADocument;
        return decoded;
    }
    const notedocument::Note& note = blob.document().note();
    decoded.document.text = note.note_text();
    for (const auto& run : note.attribute_run()) {
        if (run.has_attachment_info() && run.attachment_info().has_attachment_identifier()) {
            decoded.document.attachmentIdentifiers.push_back(run.attachment_info().attachment_identifier());
        }
    }
    decoded.status = NoteDataStatus::Ok;
    return decoded;
}

const char* noteDataProblem(const DecodedNoteData& decoded) {
    switch (decoded.status) {
    case NoteDataStatus::Ok:
        return "none";
    case NoteDataStatus::NoGzip:
        return gunzipErrorText(decoded.gzipError);
    case NoteDataStatus::NotADocument:
        return "not a note document";
    }
    return "?";
}

} // namespace quarrow
