#include "StdioReference.h"

#include <bitset>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace quarrow::test::ref {

namespace {

std::int64_t fileSize(std::FILE* f) {
    std::fseek(f, 0, SEEK_END);
    return std::ftell(f);
}

// Raw bytes at offset into a zeroed scratch; nothing read for offsets of 0 and below.
std::vector<unsigned char> rawAt(std::FILE* f, std::int64_t offset, std::int64_t n) {
    std::vector<unsigned char> scratch(static_cast<std::size_t>(n > 0 ? n : 0) + 1, 0);
    if (offset > 0 && n > 0 && std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0) {
        const std::size_t got = std::fread(scratch.data(), 1, static_cast<std::size_t>(n), f);
        (void)got;
    }
    return scratch;
}

std::int32_t byteAt(std::FILE* f, std::int64_t offset) {
    return demaNumber(hexAt(f, offset, 1), 2);
}

std::int32_t forward(std::FILE* f, std::int64_t offset, std::int32_t marker) {
    const std::int64_t size = fileSize(f);
    for (std::int64_t pos = offset;; ++pos) {
        if (pos >= size && marker != 0) {
            return kFarAway;
        }
        if (byteAt(f, pos) == marker) {
            return static_cast<std::int32_t>(pos - offset);
        }
    }
}

std::int32_t backward(std::FILE* f, std::int64_t offset, std::int32_t marker) {
    for (std::int64_t pos = offset; pos >= 1; --pos) {
        if (byteAt(f, pos) == marker) {
            return static_cast<std::int32_t>(offset - pos);
        }
    }
    return kFarAway;
}

} // namespace

std::string hexAt(std::FILE* f, std::int64_t offset, std::int64_t n) {
    if (offset <= 0 || n <= 0) {
        return "";
    }
    const auto raw = rawAt(f, offset, n);
    std::string text;
    char two[3];
    for (std::int64_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02x", raw[static_cast<std::size_t>(i)]);
        text += two;
    }
    return text;
}

std::int32_t demaNumber(const std::string& text, std::int32_t n) {
    if (n < 0 || text.size() < static_cast<std::size_t>(n)) {
        return 0;
    }
    std::uint32_t sum = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const char c = text[static_cast<std::size_t>(i)];
        const std::uint32_t digit = (c >= '0' && c <= '9')   ? static_cast<std::uint32_t>(c - '0')
                                    : (c >= 'a' && c <= 'f') ? static_cast<std::uint32_t>(c - 'a' + 10)
                                                             : 0u;
        sum = sum * 16u + digit;
    }
    return static_cast<std::int32_t>(sum);
}

std::int32_t getAlterInteger(std::uint8_t a, std::uint8_t b) {
    std::string A = std::bitset<8>(a).to_string();
    A.erase(0, std::min(A.find('1'), A.size() - 1));
    std::string B = std::bitset<8>(b).to_string();
    if (b < 128) {
        B.erase(0, 1);
    }
    std::string S = A + B;
    if (S.rfind("10", 0) == 0) {
        S.erase(0, 2);
    }
    return S.empty() ? 0 : static_cast<std::int32_t>(std::stoul(S, nullptr, 2));
}

std::int32_t getFieldDataLengthBy(std::int32_t t) {
    static const std::int32_t fixed[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0, 0, 0};
    if (t < 0) {
        return 0;
    }
    if (t <= 13) {
        return fixed[t];
    }
    return t % 2 == 0 ? (t - 12) / 2 : (t - 13) / 2;
}

std::int32_t getPageType(std::FILE* f, std::int64_t offset) {
    if (offset == 0) {
        return -1;
    }
    const std::string hex = hexAt(f, offset, 1);
    return hex == "0d" ? 1 : hex == "05" ? 2 : hex == "02" ? 3 : hex == "0a" ? 4 : -1;
}

std::int32_t checkSQliteVersion(std::FILE* f, std::int64_t offset) {
    return hexAt(f, offset, 1) == "02" ? 1 : 0;
}

Field oneByte(std::FILE* f, std::int32_t k, std::int32_t dataoff, std::int64_t offset, std::int64_t head,
              std::int64_t length, std::size_t bufferSize) {
    Field out;
    out.dataoff = dataoff;
    out.bytes.assign(bufferSize, '\0');
    const std::int32_t t = byteAt(f, offset + head + k);
    if (t <= 13 && !(t >= 1 && t <= 7)) {
        return out;
    }
    const std::int32_t size = getFieldDataLengthBy(t);
    const auto raw = rawAt(f, offset + head + length + dataoff, size);
    if (t <= 7) {
        std::uint64_t value = 0;
        for (std::int32_t i = 0; i < size; ++i) {
            value = value * 256u + raw[static_cast<std::size_t>(i)];
        }
        char field[260] = {};
        if (t == 7) {
            double d;
            std::memcpy(&d, &value, sizeof d);
            long long cut = 0;
            if (std::isnan(d)) {
                cut = 0;
            } else if (d >= 9223372036854775807.0) {
                cut = std::numeric_limits<long long>::max();
            } else if (d <= -9223372036854775808.0) {
                cut = std::numeric_limits<long long>::min();
            } else {
                cut = static_cast<long long>(d);
            }
            std::snprintf(field, sizeof field, "%lld", cut);
        } else {
            std::snprintf(field, sizeof field, "%d", static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
        }
        out.bytes.replace(0, std::min<std::size_t>(260, bufferSize), field, std::min<std::size_t>(260, bufferSize));
    } else {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), bufferSize);
        out.bytes.replace(0, n, reinterpret_cast<const char*>(raw.data()), n);
    }
    out.read = true;
    out.dataoff = dataoff + size;
    return out;
}

Field twoByte(std::FILE* f, std::int32_t k, std::int32_t dataoff, std::int64_t offset, std::int64_t head,
              std::int64_t length, std::size_t bufferSize) {
    Field out;
    out.dataoff = dataoff;
    out.bytes.assign(bufferSize, '\0');
    const std::int64_t slot = offset + head + k;
    const std::int32_t t =
        getAlterInteger(static_cast<std::uint8_t>(byteAt(f, slot)), static_cast<std::uint8_t>(byteAt(f, slot + 1)));
    if (t > 4095) {
        return out;
    }
    const std::int32_t size = getFieldDataLengthBy(t);
    const auto raw = rawAt(f, offset + head + length + dataoff, size);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), bufferSize);
    out.bytes.replace(0, n, reinterpret_cast<const char*>(raw.data()), n);
    out.read = true;
    out.dataoff = dataoff + size;
    return out;
}

std::int32_t getDeletedMark(std::FILE* f, std::int64_t offset, std::int64_t n, std::int32_t type) {
    const std::string digits = hexAt(f, offset, n).substr(0, 4);
    auto any = [&](std::initializer_list<const char*> pairs) {
        for (const char* p : pairs) {
            if (digits == p) {
                return 1;
            }
        }
        return 0;
    };
    switch (type) {
    case 1:
        return any({"0900", "0a00"});
    case 2:
        return any({"1300", "2300", "2200"});
    case 3:
    case 7:
        return any({"2000", "2100", "2200", "2a00", "2b00", "2c00"});
    case 4:
        return any({"2300", "2400", "2500", "2600"});
    case 5:
        return any({"0c00", "1400", "1900", "0d00", "1500", "1a00"});
    case 6:
        return any({"1400", "1500"});
    default:
        return 0;
    }
}

std::int32_t GetFildLength(std::FILE* f, std::int64_t offset) {
    const std::int64_t z = offset + forward(f, offset, 0);
    const std::int32_t v = byteAt(f, z - 1);
    return (v >= 34 && v <= 36) ? 2 : (v >= 18 && v <= 20) ? 1 : 0;
}

std::int32_t accquireField(std::FILE* f, std::int64_t offset) {
    return byteAt(f, offset) == 0x11 ? 1 : 0;
}

std::int32_t accquireFieldLength(std::FILE* f, std::int64_t offset) {
    const std::int32_t d = backward(f, offset, 0);
    if (d == kFarAway) {
        return 0;
    }
    const std::int32_t v = byteAt(f, offset - d - 1);
    return (v == 7 || v == 8) ? 7 : (v >= 9 && v <= 11) ? v - 1 : 0;
}

std::int32_t oneByteTest(std::FILE* f, std::int64_t offset, int which) {
    const std::int32_t b = byteAt(f, offset);
    switch (which) {
    case 0:
        return b >= 0x80 && b <= 0x89;
    case 1:
        return b != 0x09;
    case 2:
        return b != 0x04;
    case 3:
        return b != 0x55;
    case 4:
        return b >= 121 && b <= 136;
    case 5:
        return b == 0 ? 19 : 15;
    default:
        return 0;
    }
}

std::int32_t CheckNoteBodyMark(std::FILE* f, std::int64_t offset) {
    const std::string third = hexAt(f, offset + 3, 1);
    const std::string fourth = hexAt(f, offset + 4, 2).substr(0, 2);
    const std::string fifth = hexAt(f, offset + 5, 2).substr(0, 2);
    // An unread spot (offset 0 or below) gives no text; it compares as 00 like a zero byte.
    const bool highDigit = !third.empty() && third[0] != '0';
    const bool zero = fourth.empty() || fourth == "00" || fifth.empty() || fifth == "00";
    return highDigit && zero ? 1 : 0;
}

std::int32_t bIsAlterbleDBFileType(std::FILE* f, std::int64_t offset, std::int32_t type) {
    if (type == 2) {
        return byteAt(f, offset) >= 14 ? 1 : 0;
    }
    return type == 6 ? forward(f, offset, 0) : 0;
}

std::int32_t bIsAlterbleDBFileVersion(std::FILE* f, std::int64_t offset, std::int32_t version) {
    return version == 0 ? forward(f, offset, 0) : version == 1 ? forward(f, offset, 3) : 0;
}

std::int32_t checkTitleAlterable(std::FILE* f, std::int64_t offset, std::int32_t postion) {
    if (postion == 15) {
        return forward(f, offset, 0);
    }
    if (postion == 19) {
        return byteAt(f, offset) != 0x03 && byteAt(f, offset + 1) != 0x01 ? 1 : 0;
    }
    return 0;
}

std::int32_t CheckAlterSummary(std::FILE* f, std::int64_t offset, std::int32_t version) {
    return version == 0 ? forward(f, offset, 3) : 0;
}

std::int32_t bSortAlter(std::FILE* f, std::int64_t offset) {
    return backward(f, offset, 0);
}

} // namespace quarrow::test::ref
