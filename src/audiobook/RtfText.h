#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// What a book's RTF file says: its plain text (UTF-8) and the title and author of its information
// group when it has them.
struct RtfDocument {
    std::string text;
    std::optional<std::string> title;
    std::optional<std::string> author;
};

// Reads the subset of RTF that books use: groups and control words; \uN with its fallback count
// (\ucN); \'hh in the document's code page (\ansicpgN, \mac, \pc, \pca); \par, \line and \tab (and
// the few control words that stand for a character); destinations that hold no book text are
// skipped (\*, fonttbl, colortbl, stylesheet, pict, info, headers and footers, fields' instructions,
// and so on). Paragraphs end with a line feed.
//
// Any bytes are accepted: unbalanced braces, cut-off control words and hostile nesting end the
// affected group or the document; \binN data is stepped over. Time and memory are linear in the
// input's size.
RtfDocument parseRtf(std::string_view bytes);

} // namespace quarrow
