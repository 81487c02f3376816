#include "ValueHelpers.h"

#include "Utf8.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

namespace quarrow {

namespace {

// Decodes one UTF-8 sequence at `i`; answers the code point or -1 when the bytes are not valid.
std::int64_t decodeUtf8(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra;
    std::uint32_t cp;
    std::uint32_t minimum;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1, cp = b0 & 0x1F, minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2, cp = b0 & 0x0F, minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        return -1;
    }
    if (s.size() - i <= static_cast<std::size_t>(extra)) {
        return -1;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) {
            return -1;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return -1;
    }
    i += extra + 1;
    return cp;
}

std::string_view upToNul(std::string_view bytes) {
    const auto nul = bytes.find('\0');
    return nul == std::string_view::npos ? bytes : bytes.substr(0, nul);
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool localFields(std::int64_t value, std::tm& out) {
    if (value < std::numeric_limits<std::time_t>::min() || value > std::numeric_limits<std::time_t>::max()) {
        return false;
    }
    const std::time_t t = static_cast<std::time_t>(value);
    return localtime_r(&t, &out) != nullptr;
}

} // namespace

std::string GetStringFormChar(std::string_view bytes) {
    // Equal to decoding into UTF-32 with Char2Unicode and encoding back, without the round trip.
    const std::string_view text = upToNul(bytes);
    if (!isStrictUtf8(text)) {
        return {};
    }
    return std::string(text);
}

std::int32_t Char2Unicode(std::string_view bytes, std::uint32_t* uncode, std::size_t count) {
    if (!uncode || count == 0) {
        return 0;
    }
    std::fill(uncode, uncode + count, 0u);
    const std::string_view text = upToNul(bytes);
    std::size_t i = 0;
    std::size_t n = 0;
    while (i < text.size()) {
        const std::int64_t cp = decodeUtf8(text, i);
        if (cp < 0 || n + 1 >= count || n >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            std::fill(uncode, uncode + count, 0u);
            return 0;
        }
        uncode[n++] = static_cast<std::uint32_t>(cp);
    }
    return static_cast<std::int32_t>(n);
}

namespace {

// "%02d-%02d-%04d %02d:%02d" of a Unix time in local time, or nothing.
std::optional<std::string> localDateText(std::int64_t unixSeconds) {
    std::tm fields{};
    if (!localFields(unixSeconds, fields)) {
        return std::nullopt;
    }
    const int year = fields.tm_year + 1900;
    if (year >= 0 && year <= 9999) {
        // Every record of a scan carries a date, and printf was most of its cost: write the digits
        // directly. The fields of a broken-down time are within 0..99 and the year has four digits
        // here, so this is exactly the format below.
        char text[16];
        const auto twoDigits = [](char* at, int v) {
            at[0] = static_cast<char>('0' + v / 10);
            at[1] = static_cast<char>('0' + v % 10);
        };
        twoDigits(text, fields.tm_mon + 1);
        text[2] = '-';
        twoDigits(text + 3, fields.tm_mday);
        text[5] = '-';
        twoDigits(text + 6, year / 100);
        twoDigits(text + 8, year % 100);
        text[10] = ' ';
        twoDigits(text + 11, fields.tm_hour);
        text[13] = ':';
        twoDigits(text + 14, fields.tm_min);
        return std::string(text, sizeof text);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d %02d:%02d", fields.tm_mon + 1, fields.tm_mday, year,
                  fields.tm_hour, fields.tm_min);
    return std::string(text).substr(0, 16);
}

std::optional<std::int64_t> unixFromDevice(std::int64_t value) {
    if (value > std::numeric_limits<std::int64_t>::max() - kSecondsFrom1970To2001) {
        return std::nullopt;
    }
    return value + kSecondsFrom1970To2001;
}

} // namespace

namespace {

// The Unix time of a value by the rule of its file type: notes always count from 2001; other types
// are read as Unix times unless that reading lands before 1990, when they count from 2001.
std::optional<std::int64_t> unixSecondsFor(std::int64_t value, std::uint8_t fileType) {
    bool deviceEpoch = fileType == 1;
    if (!deviceEpoch) {
        std::tm fields{};
        if (!localFields(value, fields)) {
            return std::nullopt;
        }
        deviceEpoch = fields.tm_year + 1900 < 1990;
    }
    return deviceEpoch ? unixFromDevice(value) : std::optional<std::int64_t>(value);
}

} // namespace

std::optional<std::u32string> GetDateTime(std::int64_t value, std::uint8_t fileType) {
    const auto unix = unixSecondsFor(value, fileType);
    const auto text = unix ? localDateText(*unix) : std::nullopt;
    if (!text) {
        return std::nullopt;
    }
    return std::u32string(text->begin(), text->end());
}

std::string GetNSStringDate(const std::u32string& units) {
    std::string out;
    out.reserve(units.size());
    for (char32_t u : units) {
        if (u == 0) {
            break;
        }
        appendUtf8(out, u <= 0x10FFFF && !(u >= 0xD800 && u <= 0xDFFF) ? u : U'?');
    }
    return out;
}

std::optional<std::string> dateText(std::int64_t value, std::uint8_t fileType) {
    const auto unix = unixSecondsFor(value, fileType);
    return unix ? localDateText(*unix) : std::nullopt;
}

std::optional<std::string> dateTextSince(std::int64_t seconds, Epoch epoch) {
    const auto unix = epoch == Epoch::Device ? unixFromDevice(seconds) : std::optional<std::int64_t>(seconds);
    return unix ? localDateText(*unix) : std::nullopt;
}

std::string birthdayText(const std::string& stored) {
    // A number and nothing else: an optional sign, digits, and an optional fraction.
    double seconds = 0;
    const char* begin = stored.c_str();
    const char* end = begin + stored.size();
    const auto [last, error] = std::from_chars(begin, end, seconds, std::chars_format::fixed);
    // 10,000 years either way is far more than a birthday needs, and keeps the sum below in range.
    constexpr double kLimit = 3.2e11;
    if (error != std::errc() || last != end || !(seconds > -kLimit && seconds < kLimit)) {
        return stored;
    }
    const auto unix = static_cast<std::time_t>(std::floor(seconds)) + kSecondsFrom1970To2001;
    std::tm fields{};
    if (!gmtime_r(&unix, &fields) || fields.tm_year + 1900 < 1 || fields.tm_year + 1900 > 9999) {
        return stored;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", fields.tm_mon + 1, fields.tm_mday, fields.tm_year + 1900);
    return text;
}

std::string getCallHistoryDuration(std::int32_t seconds) {
    char text[48];
    const std::int32_t s = seconds;
    if (s >= 7200) {
        std::snprintf(text, sizeof text, "%d hours", s / 3600);
    } else if (s >= 3600) {
        std::snprintf(text, sizeof text, "%d hour", 1);
    } else {
        const std::int32_t r = s - 3600 * (s / 3600);
        if (r >= 120) {
            std::snprintf(text, sizeof text, "%d minutes", r / 60);
        } else if (r >= 60) {
            std::snprintf(text, sizeof text, "%d minute", 1);
        } else {
            const std::int32_t rest = r - 60 * (r / 60);
            std::snprintf(text, sizeof text, rest < 2 ? "%d second" : "%d seconds", rest);
        }
    }
    return text;
}

std::string PhoneNameIndex::digitsOf(std::string_view phone) {
    std::string digits;
    if (phone.find('@') != std::string_view::npos) {
        return digits;
    }
    for (char c : phone) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    return digits;
}

PhoneNameIndex::PhoneNameIndex(const std::vector<PRContactNodePtr>& contacts) {
    names_.reserve(contacts.size());
    for (const auto& contact : contacts) {
        const std::size_t at = names_.size();
        names_.push_back(contact ? contact->contactName() : std::nullopt);
        if (!contact) {
            continue;
        }
        const std::vector<std::string> numbers = contact->phoneNumbers();
        if (!numbers.empty()) {
            for (const std::string& number : numbers) {
                add(at, digitsOf(number));
            }
        } else if (const OptText all = contact->contactPhone()) {
            add(at, digitsOf(*all));
        }
    }
}

void PhoneNameIndex::keepFirst(std::unordered_map<std::string, std::size_t>& map, const std::string& key,
                               std::size_t at) {
    // Contacts are added in order, so the first one stored for a key is the one that wins.
    map.try_emplace(key, at);
}

void PhoneNameIndex::add(std::size_t contact, const std::string& digits) {
    if (digits.empty()) {
        return;
    }
    keepFirst(whole_, digits, contact);
    for (std::size_t start = 1; digits.size() - start >= kSuffixDigits; ++start) {
        keepFirst(endings_, digits.substr(start), contact);
    }
}

OptText PhoneNameIndex::nameFor(std::string_view phone) const {
    // A scan asks for the same few numbers again and again (every message of a conversation): the
    // answers are kept, in a small table that stays in the cache, unlike the numbers' own.
    if (const auto known = answers_.find(phone); known != answers_.end()) {
        return known->second;
    }
    OptText name = lookUp(phone);
    answers_.emplace(std::string(phone), name);
    return name;
}

OptText PhoneNameIndex::lookUp(std::string_view phone) const {
    const std::string digits = digitsOf(phone);
    if (digits.empty() || names_.empty()) {
        return std::nullopt;
    }
    std::size_t best = names_.size();
    const auto consider = [&best](const std::unordered_map<std::string, std::size_t>& map, const std::string& key) {
        if (const auto it = map.find(key); it != map.end() && it->second < best) {
            best = it->second;
        }
    };
    // Equal numbers, and contact numbers of 7+ digits that end this one.
    consider(whole_, digits);
    for (std::size_t start = 1; digits.size() - start >= kSuffixDigits; ++start) {
        consider(whole_, digits.substr(start));
    }
    // This number, of 7+ digits, ending a longer contact number.
    if (digits.size() >= kSuffixDigits) {
        consider(endings_, digits);
    }
    return best < names_.size() ? names_[best] : std::nullopt;
}

OptText getNameByPhoneNumber(const std::string& phone, const PhoneNameIndex& contacts) {
    return contacts.nameFor(phone);
}

std::string sizeTextForBytes(std::uint64_t bytes) {
    const char* unit;
    float divisor;
    if (bytes <= 999) {
        unit = "B", divisor = 1.0f;
    } else if (bytes <= 999999) {
        unit = "K", divisor = 1e3f;
    } else if (bytes <= 999999999) {
        unit = "M", divisor = 1e6f;
    } else if (bytes < 1000000000000ULL) {
        unit = "G", divisor = 1e9f;
    } else {
        unit = "T", divisor = 1e12f;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(static_cast<float>(bytes) / divisor), unit);
    return text;
}

std::uint64_t sizeFormString(const std::string& sizeText) {
    if (sizeText.empty()) {
        return 0;
    }
    const char unit = sizeText.back();
    const std::string number = sizeText.substr(0, sizeText.size() - 1);
    const double value = std::strtod(number.c_str(), nullptr);
    double factor;
    switch (unit) {
    case 'B':
        factor = 1.0;
        break;
    case 'K':
        factor = 1e3;
        break;
    case 'M':
        factor = 1e6;
        break;
    case 'G':
        factor = 1e9;
        break;
    default:
        factor = 1e12;
        break;
    }
    const double product = value * factor;
    // Negative, NaN and out-of-range sizes have no byte count; answer 0 rather than wrap.
    if (!(product >= 0.0) || product >= 18446744073709551616.0) {
        return 0;
    }
    return static_cast<std::uint64_t>(product);
}

std::optional<std::int64_t> wholeSeconds(double value) {
    if (!(value > -9.2e18 && value < 9.2e18)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(value);
}

} // namespace quarrow
