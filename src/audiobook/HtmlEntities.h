#pragma once

#include <optional>
#include <string_view>

namespace quarrow {

// The UTF-16 unit a named character reference stands for ("&eacute;" with its "&" and ";"), in
// exact case; nothing for a name HTML 4.01 does not define (except "&apos;", which counts).
std::optional<char16_t> namedCharacterReference(std::string_view candidate);

} // namespace quarrow
