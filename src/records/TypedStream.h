#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// The text of a string archived in a typedstream, the archive format of NSArchiver ("streamtyped").
// Messages of iOS 14 and later often keep their text only in message.attributedBody: a typedstream
// holding one NSAttributedString (or NSMutableAttributedString), whose first value is its string.
// Answers those bytes (UTF-8 as archived; callers check them), or nothing when the bytes are not
// such an archive. A plain archived NSString is accepted too.
//
// Only the path to the string is read: header, the root object's class chain, the string object's
// class chain and its "+" value. Every read is bounds-checked; class chains are followed to a
// fixed depth; anything unexpected ends the read with nothing.
std::optional<std::string> typedStreamString(std::string_view archive);

} // namespace quarrow
