#pragma once

#include <string>
#include <string_view>

namespace quarrow {

// The plain text of an HTML document (UTF-8 in, UTF-8 out), as the conversion speaks it:
//  - text between tags is kept; each run of white space (space, tab, line feed, carriage return,
//    U+0085, form feed, U+2028, U+2029) becomes one blank, except at the very start and end;
//  - comments go; opening tags go without a trace; a closing tag becomes one blank, unless it closes
//    an inline element (a, b, i, q, span, em, strong, cite, abbr, acronym, label), which joins;
//  - character references are then decoded (decodeHTMLCharacterReferences).
// Text inside script and style elements is kept like any other text.
std::string stringByConvertingHTMLToPlainText(std::string_view html);

// Replaces the character references of `text`. A candidate runs from an "&" to the first ";" before
// the next "&" and counts only when it is 4 to 10 characters long. "&#" with decimal digits, or
// "&#x"/"&#X" with hexadecimal digits, gives the UTF-16 unit of that value when it lies in 1 to
// 65534; two such units that form a surrogate pair, written one right after the other, give their
// character, and a surrogate left alone gives U+FFFD. Otherwise the 252 named references of HTML
// 4.01 and "&apos;" are replaced, in exact case. Anything else stays as written.
std::string decodeHTMLCharacterReferences(std::string_view text);

} // namespace quarrow
