#pragma once

#include "Records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// Text from a database byte string, read up to its first NUL as UTF-8. Bytes that are not valid
// UTF-8 (overlong forms, surrogates and values past U+10FFFF included) give the empty text.
std::string GetStringFormChar(std::string_view bytes);

// Decodes UTF-8 into UTF-32 units. Zero-fills all `capacity` units, writes the characters and a 0
// unit after them and answers their count; answers 0 with the buffer all zero for input that is not
// valid UTF-8 or does not fit with its terminator.
std::int32_t Char2Unicode(std::string_view bytes, std::uint32_t* uncode, std::size_t count);

// Time value to "%02d-%02d-%04d %02d:%02d" (month, day, year, hour, minute) in local time, as
// 32-bit units. fileType 1 is notes; every other value is messages and calls. Nothing when the
// value cannot be broken into calendar fields.
//
// Device times count seconds from 2001-01-01 UTC. They are converted as such wherever the year of a
// 1970-based reading shows that they must be (notes always; other types when that reading lands
// before 1990); other values are read as Unix times.
std::optional<std::u32string> GetDateTime(std::int64_t value, std::uint8_t fileType);

// UTF-32 units up to the first 0, as text.
std::string GetNSStringDate(const std::u32string& units);

// Convenience: GetNSStringDate of GetDateTime, or nothing.
std::optional<std::string> dateText(std::int64_t value, std::uint8_t fileType);

std::string getCallHistoryDuration(std::int32_t seconds);

// The name of the first contact whose phone numbers contain the number (ignoring "-", "(", ")",
// blanks and letter case), or absent.
OptText getNameByPhoneNumber(const std::string& phone, const std::vector<PRContactNodePtr>& contactArray);

// "1.50K" for 1500 bytes: two decimals and one 1000-based unit letter (B, K, M, G, T).
std::string sizeTextForBytes(std::uint64_t bytes);

// Reads a size text back into a byte count; "1.50K" gives 1500, the empty text 0.
std::uint64_t sizeFormString(const std::string& sizeText);

} // namespace quarrow
