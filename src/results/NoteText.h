#pragma once

#include <string>

namespace quarrow {

// What a person reads of a note body, which devices store as HTML: tags dropped, <br> and block
// ends as line breaks, the common entities decoded, trailing blank lines removed. The stored text
// itself is what gets exported; this is for showing it.
std::string visibleText(const std::string& html);

} // namespace quarrow
