#pragma once

#include <string_view>

namespace quarrow {

// Whether the text is strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF. Every
// title and body of a scan passes through here, so the best check classifies sixteen bytes at a
// time where the processor can; the plain one steps over runs of ASCII and checks the rest byte by
// byte. Both answer alike for every input.
enum class Utf8Check { Best, Plain };
bool isStrictUtf8(std::string_view text, Utf8Check how = Utf8Check::Best);

} // namespace quarrow
