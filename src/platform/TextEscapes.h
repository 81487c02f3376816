#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// Length of the strict UTF-8 sequence (no overlong forms, no surrogates, nothing past U+10FFFF)
// that starts at `at`, or 0 when the bytes there are not one. `at` must be inside the text.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

// The text as it may be printed on a terminal. Names, titles and paths come from the backup, and a
// control character among them could move the cursor, retitle the window or hide what follows, so
// C0 controls, DEL and C1 controls appear as visible escapes ("\x1b", "\u009b") and bytes that are
// not UTF-8 as "\xff". Line feeds and tabs are kept.
std::string terminalText(std::string_view text);

// A file URI ("file:///path") naming the path byte for byte: everything but letters, digits, "-._~"
// and "/" percent-encoded. A relative path is made absolute against the working folder first.
// This is how a path that is not UTF-8 is written where only UTF-8 may go (JSON).
std::string fileUriOf(std::string_view path);
// The path a file URI names ("file:///p" or "file://localhost/p"), or nothing when the text is not
// one or its escapes are broken.
std::optional<std::string> pathOfFileUri(std::string_view uri);

// The value of a hexadecimal digit in either case, or -1 for any other character.
int hexDigitValue(char c);

} // namespace quarrow
