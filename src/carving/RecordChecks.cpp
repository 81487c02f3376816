#include "RecordChecks.h"

#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace quarrow {

namespace {

// Width of the field a window is copied into before it is tested; a window never holds more.
constexpr std::size_t kWindowField = 260;

bool beginsWithAny(std::string_view text, std::initializer_list<std::string_view> patterns) {
    for (std::string_view p : patterns) {
        if (text.substr(0, p.size()) == p) {
            return true;
        }
    }
    return false;
}

// The window loop shared by the family-1 tests: windows of w digits at 0 ... L - w - 1, each copied
// into a zeroed field (so a pattern longer than w can never match) and tested.
template <class Test> std::int32_t slideWindows(const char* text, std::int32_t longth, Test test) {
    if (!text || longth < 0) {
        return 0;
    }
    const std::size_t length = std::strlen(text);
    const std::size_t w = static_cast<std::size_t>(longth);
    if (length <= w) {
        return 0;
    }
    const std::size_t held = std::min(w, kWindowField - 1);
    for (std::size_t p = 0; p + w < length; ++p) {
        if (test(std::string_view(text + p, held))) {
            return 1;
        }
    }
    return 0;
}

std::uint8_t byteOf(DbFileReader& file, std::int64_t offset) {
    return offset <= 0 ? 0 : file.byteAt(offset);
}

bool kindMatches(std::string_view text, std::int32_t type) {
    switch (type) {
    case 1:
        return beginsWithAny(text, {"0101", "0301", "0302", "0102", "0109", "0309"});
    case 2:
        return beginsWithAny(text, {"001100", "0808080808", "0808000808080808", "0108000108080808"});
    case 3:
        return beginsWithAny(text, {"080800080808", "080808080808", "0001000000000055", "0001000000000155",
                                    "0000000000000055", "00000108", "00000801"});
    case 4:
        return beginsWithAny(text, {"01010809", "01010901", "09010809", "01010101", "01010801", "02010801", "02010901",
                                    "02010809", "02010101", "01090809", "0f0f080801", "0000040401", "0000040400",
                                    "0000040413", "ffd8ffe0"});
    case 5:
        return beginsWithAny(text, {"01010101"});
    case 6:
        return beginsWithAny(text, {"010101"});
    default:
        return false;
    }
}

} // namespace

std::int32_t bCheckDataIsValid(const char* text, std::int32_t type) {
    if (!text) {
        return 0;
    }
    return kindMatches(text, type) ? 1 : -1;
}

std::int32_t bcheckSubStringIsValid(const char* text, std::int32_t type, std::int32_t longth) {
    return slideWindows(text, longth, [type](std::string_view window) { return kindMatches(window, type); });
}

std::int32_t bcheckChatIOS6SubStringIsValid(const char* text, std::int32_t longth) {
    return slideWindows(text, longth, [](std::string_view window) { return beginsWithAny(window, {"010155"}); });
}

std::int32_t bcheckMessageIOS6SubStringIsValid(const char* text, std::int32_t longth) {
    return slideWindows(text, longth, [](std::string_view window) { return beginsWithAny(window, {"0800010000"}); });
}

std::int32_t holdsNoteMark(DbFileReader& file, std::int64_t offset, std::int32_t n) {
    constexpr std::int32_t kMostBytes = 64;
    if (n > kMostBytes) {
        std::vector<char> text(2 * static_cast<std::size_t>(n) + 1);
        return bcheckSubStringIsValid(getHexString(file, offset, n, text), 6, n);
    }
    // A window shorter than the six digits of 010101 never matches.
    if (offset <= 0 || n < 6) {
        return 0;
    }
    std::uint8_t b[kMostBytes];
    file.read(offset, static_cast<std::size_t>(n), b);
    // Windows start at digits 0 to n - 1 and the pattern's last digit is at most n + 4, within the
    // 2n digits of the text. From an even digit 2j the pattern is the bytes 01 01 01 at j; from an
    // odd digit 2j + 1 it is the low half of byte j being 0, then 10 10, then a high half of 1.
    for (std::int32_t p = 0; p < n; ++p) {
        const std::int32_t j = p / 2;
        const bool match = p % 2 == 0
                               ? b[j] == 0x01 && b[j + 1] == 0x01 && b[j + 2] == 0x01
                               : (b[j] & 0x0f) == 0 && b[j + 1] == 0x10 && b[j + 2] == 0x10 && (b[j + 3] >> 4) == 0x01;
        if (match) {
            return 1;
        }
    }
    return 0;
}

std::int32_t bNoteAlter(DbFileReader& file, std::int64_t offset) {
    const std::uint8_t b = byteOf(file, offset);
    return b >= 0x80 && b <= 0x89 ? 1 : 0;
}

std::int32_t bImageURLAlter(DbFileReader& file, std::int64_t offset) {
    return byteOf(file, offset) != 0x09 ? 1 : 0;
}

std::int32_t IsAlterAboutContent(DbFileReader& file, std::int64_t offset) {
    return byteOf(file, offset) != 0x04 ? 1 : 0;
}

std::int32_t ISAlterMessageContentFiled(DbFileReader& file, std::int64_t offset) {
    return byteOf(file, offset) != 0x55 ? 1 : 0;
}

std::int32_t ISAlterPropertFiled(DbFileReader& file, std::int64_t offset) {
    const std::uint8_t b = byteOf(file, offset);
    return b >= 121 && b <= 136 ? 1 : 0;
}

std::int32_t CheckTitlePostion(DbFileReader& file, std::int64_t offset) {
    return byteOf(file, offset) == 0x00 ? 19 : 15;
}

std::int32_t AddressIsAlterbleDBFile(DbFileReader&, std::int64_t) {
    return 0;
}

std::int32_t CheckNoteBodyMark(DbFileReader& file, std::int64_t offset) {
    const bool textSlot = byteOf(file, offset + 3) >= 0x10;
    const bool endsThere = byteOf(file, offset + 4) == 0x00 || byteOf(file, offset + 5) == 0x00;
    return textSlot && endsThere ? 1 : 0;
}

std::int32_t bIsAlterbleDBFile(DbFileReader& file, std::int64_t offset, AlterType type, std::int64_t limit) {
    switch (type.type) {
    case 2:
        return byteOf(file, offset) >= 14 ? 1 : 0;
    case 6:
        return forwardDistance(file, offset, 0x00, limit);
    default:
        return 0;
    }
}

std::int32_t bIsAlterbleDBFile(DbFileReader& file, std::int64_t offset, AlterVersion version, std::int64_t limit) {
    switch (version.version) {
    case 0:
        return forwardDistance(file, offset, 0x00, limit);
    case 1:
        return forwardDistance(file, offset, 0x03, limit);
    default:
        return 0;
    }
}

std::int32_t checkTitleAlterable(DbFileReader& file, std::int64_t offset, std::int32_t postion, std::int64_t limit) {
    switch (postion) {
    case 15:
        return forwardDistance(file, offset, 0x00, limit);
    case 19:
        return byteOf(file, offset) != 0x03 && byteOf(file, offset + 1) != 0x01 ? 1 : 0;
    default:
        return 0;
    }
}

std::int32_t CheckAlterSummary(DbFileReader& file, std::int64_t offset, std::int32_t version, std::int64_t limit) {
    if (version != 0) {
        return 0;
    }
    return forwardDistance(file, offset, 0x03, limit);
}

std::int32_t bSortAlter(DbFileReader& file, std::int64_t offset, std::int64_t limit) {
    return backwardDistance(file, offset, 0x00, limit);
}

} // namespace quarrow
