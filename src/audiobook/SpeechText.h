#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace quarrow {

// Whether a text holds anything to speak (more than blanks and line breaks).
bool hasSpeakableText(std::string_view text);

// A long text cut into pieces of at most `maxBytes` (unless one word is longer), at a paragraph
// break if there is one in the second half of the piece, else after a sentence's end, else at a
// blank; never inside a UTF-8 character. The pieces joined give the text back. The engine is
// handed one piece at a time, so a stop takes effect quickly and a test reading can be spoken
// between two pieces of a long book.
std::vector<std::string_view> speechPieces(std::string_view text, std::size_t maxBytes);

} // namespace quarrow
