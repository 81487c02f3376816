#pragma once

#include "Records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quarrow {

// Seconds from 1970-01-01 to 2001-01-01, both UTC: devices count their times from 2001.
inline constexpr std::int64_t kSecondsFrom1970To2001 = 978307200;

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

// Where a database's times count from, when its layout says so.
enum class Epoch {
    Unix,   // seconds since 1970-01-01 UTC (text messages of iOS 5 and earlier)
    Device, // seconds since 2001-01-01 UTC (Core Data stores, messages from iOS 6 on)
};
// The same date text for a time whose epoch is known, without the year guess of file type 0: a
// device time from 2021 on reads as a Unix time in the 1990s, and must not be shown as one.
std::optional<std::string> dateTextSince(std::int64_t seconds, Epoch epoch);

// The whole seconds of a date stored as a real number, its fraction dropped (toward zero); nothing
// for a value outside the 64-bit range (or not a number), so a runaway date gives no date.
std::optional<std::int64_t> wholeSeconds(double value);

std::string getCallHistoryDuration(std::int32_t seconds);

// A contact's birthday as a day, "MM-dd-yyyy". The address book keeps it as the text of a number
// of seconds since 2001-01-01 UTC (at midnight or noon UTC of the day, sometimes with a fraction);
// the day is read in UTC, so that no time zone moves it. Any other text is answered as stored.
std::string birthdayText(const std::string& stored);

// Names for phone numbers, made once per scan from the scan's contacts so that each lookup costs a
// few hash probes, not a pass over every contact.
//
// Numbers are compared whole and by their digits only ("+1 (415) 555-0199" is 14155550199): two
// numbers match when their digits are equal, or when the shorter, of at least 7 digits, ends the
// longer (a number stored with or without its country or trunk prefix). A number is never found
// inside another or across two of a contact's numbers, so short codes stay nameless. Addresses with
// an "@" (iMessage e-mail addresses) and numbers without digits match nothing. When several
// contacts match, the first in the contacts' order wins.
class PhoneNameIndex {
public:
    PhoneNameIndex() = default;
    // Each contact's phoneNumbers(); a contact without that list counts its whole contactPhone as
    // one number.
    explicit PhoneNameIndex(const std::vector<PRContactNodePtr>& contacts);

    // The matching contact's contactName, or absent. Answers are kept for the next time the same
    // text is asked for, so an index serves one thread (a scan's worker) at a time.
    OptText nameFor(std::string_view phone) const;
    bool empty() const { return names_.empty(); }

    // The digits of a phone number, or nothing for an e-mail address.
    static std::string digitsOf(std::string_view phone);

private:
    // Shortest number that may match by its ending alone.
    static constexpr std::size_t kSuffixDigits = 7;
    void add(std::size_t contact, const std::string& digits);
    OptText lookUp(std::string_view phone) const;
    static void keepFirst(std::unordered_map<std::string, std::size_t>& map, const std::string& key, std::size_t at);

    std::vector<OptText> names_;                           // by contact order
    std::unordered_map<std::string, std::size_t> whole_;   // a number's digits -> first contact
    std::unordered_map<std::string, std::size_t> endings_; // each proper ending of 7+ digits -> first contact

    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    mutable std::unordered_map<std::string, OptText, TextHash, std::equal_to<>> answers_; // phone text -> name
};

// The name of the contact that has the number (see PhoneNameIndex), or absent.
OptText getNameByPhoneNumber(const std::string& phone, const PhoneNameIndex& contacts);

// "1.50K" for 1500 bytes: two decimals and one 1000-based unit letter (B, K, M, G, T).
std::string sizeTextForBytes(std::uint64_t bytes);

// Reads a size text back into a byte count; "1.50K" gives 1500, the empty text 0.
std::uint64_t sizeFormString(const std::string& sizeText);

} // namespace quarrow
