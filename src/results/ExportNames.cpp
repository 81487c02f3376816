#include "ExportNames.h"

#include "platform/LocalizedStrings.h"

#include <cstdio>

namespace quarrow {

namespace {

// Longest file name most Linux file systems take, in bytes.
constexpr std::size_t kNameMax = 255;

// Replaces the "%@" placeholders in order; placeholders beyond the values stay as they are.
std::string fill(std::string format, std::initializer_list<std::string> values) {
    std::size_t from = 0;
    for (const auto& value : values) {
        const auto at = format.find("%@", from);
        if (at == std::string::npos) {
            break;
        }
        format.replace(at, 2, value);
        from = at + value.size();
    }
    return format;
}

bool refusedInName(unsigned char c) {
    switch (c) {
    case '/':
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
        return true;
    default:
        return c < 0x20 || c == 0x7F;
    }
}

} // namespace

std::string defaultExportName(const std::tm& localTime) {
    char date[64];
    char hours[16];
    char minutes[16];
    char seconds[16];
    // Widened first: the fields of a broken-down time may be anything, and the offsets must not overflow.
    std::snprintf(date, sizeof date, "%04lld-%02lld-%02d", static_cast<long long>(localTime.tm_year) + 1900,
                  static_cast<long long>(localTime.tm_mon) + 1, localTime.tm_mday);
    std::snprintf(hours, sizeof hours, "%02d", localTime.tm_hour);
    std::snprintf(minutes, sizeof minutes, "%02d", localTime.tm_min);
    std::snprintf(seconds, sizeof seconds, "%02d", localTime.tm_sec);
    const std::string time = fill("%@.%@.%@", {hours, minutes, seconds});
    return fill(localizedString("Brindle %@ - %@"), {date, time});
}

std::string defaultExportName(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    return defaultExportName(local);
}

std::string exportFileName(std::string_view name, std::string_view extension) {
    std::string out;
    out.reserve(name.size());
    bool leading = true;
    for (const char c : name) {
        const bool dot = c == '.';
        out += (refusedInName(static_cast<unsigned char>(c)) || (leading && dot)) ? '_' : c;
        leading = leading && dot;
    }
    const std::size_t room = extension.size() < kNameMax ? kNameMax - extension.size() : 0;
    if (out.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        out.resize(cut);
    }
    if (out.empty()) {
        out = "_";
    }
    return out + std::string(extension);
}

} // namespace quarrow
