#pragma once

#include "Gzip.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// A note of the note store as its ZDATA blob holds it: gzip around a protocol buffer document
// (the fields read are described in NoteDocument.proto).
struct NoteDocument {
    std::string text;                               // the plain text as stored; U+FFFC where an attachment stands
    std::vector<std::string> attachmentIdentifiers; // the attachments the text holds, in text order
};

enum class NoteDataStatus {
    Ok,
    NoGzip,       // no intact gzip stream (gzipError says why): a password-protected note's ciphertext, for one
    NotADocument, // the decompressed bytes are not a note document
};

struct DecodedNoteData {
    NoteDataStatus status = NoteDataStatus::NoGzip;
    GunzipError gzipError = GunzipError::NotGzip; // when status is NoGzip
    NoteDocument document;                        // when status is Ok
};

// No real note comes near this once decompressed; the limit keeps a hostile blob from taking
// all memory.
inline constexpr std::size_t kMaxNoteDocumentBytes = std::size_t{64} << 20;

// Decodes a ZDATA blob: gunzip (zlib, checksum checked), then parse the document (libprotobuf).
// Bytes are only read; any input gives a status, never a crash.
DecodedNoteData decodeNoteData(std::string_view zdata);

// Why a blob gave no document, for the log.
const char* noteDataProblem(const DecodedNoteData& decoded);

} // namespace quarrow
