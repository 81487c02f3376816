#pragma once

#include "PRBookNode.h"

#include <optional>
#include <string>
#include <vector>

namespace quarrow {

// The text the conversion speaks, per kind of book. Each answers nothing when the file cannot be
// read, and an empty text when it holds nothing to speak.

// An HTML file (a book or an ePub chapter): read as text (a byte-order mark decides, then UTF-8,
// then Windows-1252) and converted from HTML to plain text.
std::optional<std::string> htmlFileText(const std::string& path);
// A plain-text file, read the same way.
std::optional<std::string> txtFileText(const std::string& path);
// An RTF file's plain text.
std::optional<std::string> rtfFileText(const std::string& path);
// The text of each page of a PDF, in page order.
std::optional<std::vector<std::string>> pdfPageTexts(const std::string& path);

// The text of a chapter record, or of a whole book: for an ePub its chapters' texts, and for a PDF
// its pages' texts, joined in order with a line feed between non-empty parts.
std::optional<std::string> textOfBook(const PRBookNode& book);

// Parts joined in order by line feeds; empty parts add nothing.
std::string joinTexts(const std::vector<std::string>& parts);

} // namespace quarrow
