#include "RecordDecoding.h"

#include "records/ValueHelpers.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace quarrow {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// A single byte as the primitives see it: offsets of 0 and below read nothing, which the hex
// conversion turns into 0.
std::uint8_t slotByte(DbFileReader& file, std::int64_t offset) {
    return offset <= 0 ? 0 : file.byteAt(offset);
}

std::int32_t hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return 0;
}

// Decimal text of a value into out (at least 21 bytes); answers its length.
std::size_t decimalText(std::int64_t value, char* out) {
    char digits[20];
    std::size_t n = 0;
    std::uint64_t rest = value < 0 ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    std::size_t length = 0;
    if (value < 0) {
        out[length++] = '-';
    }
    while (n > 0) {
        out[length++] = digits[--n];
    }
    return length;
}

// Decimal text of an integer or float content, as the one-byte readers write it; answers its length.
std::size_t integerFieldText(std::int32_t t, const std::uint8_t* bytes, char* out) {
    return decimalText(integerFieldValue(t, bytes), out);
}

// Copies content of `size` bytes at position into data, cut to data's size.
void copyContent(DbFileReader& file, std::int64_t position, std::int32_t size, std::span<std::uint8_t> data) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), data.size());
    if (n == 0) {
        return;
    }
    if (position <= 0) {
        std::memset(data.data(), 0, n); // a read at offset 0 reads nothing: the zeroed scratch
        return;
    }
    file.read(position, n, data.data());
}

std::uint8_t* readOneByteSlot(DbFileReader& file, std::int64_t slot, std::int64_t content, std::int32_t* dataoff,
                              std::span<std::uint8_t> data) {
    if (!dataoff) {
        return nullptr;
    }
    const std::int32_t t = slotByte(file, slot);
    if (hasNoOneByteField(t)) {
        return nullptr;
    }
    const std::int32_t size = getFieldDataLengthBy(t);
    const std::int64_t at = content + *dataoff;
    if (t <= SerialType::kFloat64) {
        std::uint8_t bytes[8] = {};
        if (at > 0) {
            file.read(at, static_cast<std::size_t>(size), bytes);
        }
        // The text in a zeroed field of kIntegerFieldSize bytes, all of which go to the output.
        char text[24];
        const std::size_t length = integerFieldText(t, bytes, text);
        const std::size_t room = std::min(kIntegerFieldSize, data.size());
        const std::size_t shown = std::min(length, room);
        std::memcpy(data.data(), text, shown);
        std::memset(data.data() + shown, 0, room - shown);
    } else {
        copyContent(file, at, size, data);
    }
    *dataoff += size;
    return data.data();
}

std::uint8_t* readTwoByteSlot(DbFileReader& file, std::int64_t slot, std::int64_t content, std::int32_t* dataoff,
                              std::span<std::uint8_t> data) {
    if (!dataoff) {
        return nullptr;
    }
    const std::int32_t t = getAlterInteger(slotByte(file, slot), slotByte(file, slot + 1));
    if (t > SerialType::kLargestTwoByte) {
        return nullptr;
    }
    const std::int32_t size = getFieldDataLengthBy(t);
    copyContent(file, content + *dataoff, size, data);
    *dataoff += size;
    return data.data();
}

} // namespace

std::int64_t integerFieldValue(std::int32_t serialType, const std::uint8_t* bytes) {
    const std::int32_t size = getFieldDataLengthBy(serialType);
    const std::uint64_t bits = readBigEndian({bytes, static_cast<std::size_t>(size)}, 0, size);
    if (serialType == SerialType::kFloat64) {
        // A float (note dates are stored so) gives its value cut toward zero, not its bit pattern.
        const double value = std::bit_cast<double>(bits);
        const double cut = std::isnan(value) ? 0.0 : std::trunc(value);
        if (cut >= 9223372036854775807.0) {
            return std::numeric_limits<std::int64_t>::max();
        }
        if (cut <= -9223372036854775808.0) {
            return std::numeric_limits<std::int64_t>::min();
        }
        return static_cast<std::int64_t>(cut);
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
}

char* getHexString(DbFileReader& file, std::int64_t offset, std::int64_t longth, std::span<char> theChar) {
    if (offset <= 0 || longth <= 0 || theChar.empty()) {
        return nullptr;
    }
    const std::size_t fits = (theChar.size() - 1) / 2;
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(longth, static_cast<std::int64_t>(fits)));
    std::uint8_t chunk[256];
    for (std::size_t done = 0; done < n;) {
        const std::size_t step = std::min(n - done, sizeof chunk);
        file.read(offset + static_cast<std::int64_t>(done), step, chunk);
        for (std::size_t i = 0; i < step; ++i) {
            theChar[2 * (done + i)] = kHexDigits[chunk[i] >> 4];
            theChar[2 * (done + i) + 1] = kHexDigits[chunk[i] & 0x0f];
        }
        done += step;
    }
    theChar[2 * n] = '\0';
    return theChar.data();
}

std::uint8_t* readData(DbFileReader& file, std::span<std::uint8_t> buffer, std::int64_t offset, std::int64_t longth) {
    if (offset <= 0 || longth <= 0 || buffer.empty()) {
        return nullptr;
    }
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::int64_t>(longth, static_cast<std::int64_t>(buffer.size())));
    file.read(offset, n, buffer.data());
    return buffer.data();
}

std::int32_t DemaNumberFormHexChar(const char* text, std::int32_t longth) {
    if (!text || longth < 0) {
        return 0;
    }
    const std::size_t n = static_cast<std::size_t>(longth);
    if (::strnlen(text, n) < n) {
        return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        value = value * 16u + static_cast<std::uint32_t>(hexDigitValue(text[i]));
    }
    return static_cast<std::int32_t>(value);
}

std::uint64_t readBigEndian(std::span<const std::uint8_t> point, std::size_t start, std::int32_t size) {
    std::uint64_t value = 0;
    for (std::int32_t i = 0; i < size; ++i) {
        const std::size_t at = start + static_cast<std::size_t>(i);
        value = (value << 8) | (at >= start && at < point.size() ? point[at] : 0u);
    }
    return value;
}

std::optional<std::string> integerToText(std::int32_t value, std::int32_t base) {
    if (base < 2 || base > 36) {
        return std::nullopt;
    }
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const bool negative = base == 10 && value < 0;
    // The magnitude of INT32_MIN fits an unsigned 32-bit number.
    std::uint32_t rest = negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    char digits[40];
    std::size_t n = 0;
    do {
        digits[n++] = kDigits[rest % static_cast<std::uint32_t>(base)];
        rest /= static_cast<std::uint32_t>(base);
    } while (rest != 0);
    std::string text = negative ? "-" : "";
    while (n > 0) {
        text += digits[--n];
    }
    return text;
}

std::int32_t getAlterInteger(std::uint8_t first, std::uint8_t num) {
    // The digit-string rule (first in base 2 without leading zeros, then num in 7 digits, or 8 when
    // num needs them; drop a leading "10") as arithmetic on the same bits.
    const int numDigits = num >= 0x80 ? 8 : 7;
    const int firstDigits = first == 0 ? 1 : std::bit_width(first);
    const std::uint32_t joined = (static_cast<std::uint32_t>(first) << numDigits) | num;
    const int total = firstDigits + numDigits;
    const bool startsWith10 = first != 0 && ((joined >> (total - 2)) & 1u) == 0;
    return static_cast<std::int32_t>(startsWith10 ? joined - (1u << (total - 1)) : joined);
}

std::int32_t getPageType(DbFileReader& file, std::int64_t offset) {
    if (offset <= 0) {
        return -1;
    }
    switch (file.byteAt(offset)) {
    case PageType::kTableLeaf:
        return 1;
    case PageType::kTableInterior:
        return 2;
    case PageType::kIndexInterior:
        return 3;
    case PageType::kIndexLeaf:
        return 4;
    default:
        return -1;
    }
}

std::int32_t checkSQliteVersion(DbFileReader& file, std::int64_t offset) {
    return slotByte(file, offset) == 0x02 ? 1 : 0;
}

std::uint8_t* AnalyseDBDataFile(DbFileReader& file, std::int32_t postion, std::int32_t* dataoff, std::int64_t offset,
                                std::int64_t length, std::span<std::uint8_t> data) {
    return readOneByteSlot(file, offset + postion, offset + length, dataoff, data);
}

std::uint8_t* AnalyseTheDBDataFile(DbFileReader& file, std::int32_t postion, std::int32_t* dataoff, std::int64_t offset,
                                   std::int64_t head, std::int64_t length, std::span<std::uint8_t> data) {
    return readOneByteSlot(file, offset + head + postion, offset + head + length, dataoff, data);
}

std::uint8_t* AnalyseAlterbleDB(DbFileReader& file, std::int32_t postion, std::int32_t* dataOff, std::int64_t offset,
                                std::int64_t length, std::span<std::uint8_t> Data) {
    return readTwoByteSlot(file, offset + postion, offset + length, dataOff, Data);
}

std::uint8_t* AnalyseAlterbleDBFile(DbFileReader& file, std::int32_t postion, std::int32_t* dataoff,
                                    std::int64_t offset, std::int64_t Head, std::int64_t length,
                                    std::span<std::uint8_t> data) {
    return readTwoByteSlot(file, offset + Head + postion, offset + Head + length, dataoff, data);
}

std::int32_t getDeletedMark(DbFileReader& file, std::int64_t offset, std::int64_t longth, std::int32_t type) {
    // The first two bytes of a row that each record type's carver takes as a deleted-row mark; the
    // second byte is always 00.
    static constexpr std::uint8_t kType1[] = {0x09, 0x0a};
    static constexpr std::uint8_t kType2[] = {0x13, 0x23, 0x22};
    static constexpr std::uint8_t kType3[] = {0x20, 0x21, 0x22, 0x2a, 0x2b, 0x2c};
    static constexpr std::uint8_t kType4[] = {0x23, 0x24, 0x25, 0x26};
    static constexpr std::uint8_t kType5[] = {0x0c, 0x14, 0x19, 0x0d, 0x15, 0x1a};
    static constexpr std::uint8_t kType6[] = {0x14, 0x15};
    std::span<const std::uint8_t> firsts;
    switch (type) {
    case 1:
        firsts = kType1;
        break;
    case 2:
        firsts = kType2;
        break;
    case 3:
    case 7:
        firsts = kType3;
        break;
    case 4:
        firsts = kType4;
        break;
    case 5:
        firsts = kType5;
        break;
    case 6:
        firsts = kType6;
        break;
    default:
        return 0;
    }
    if (offset <= 0 || longth <= 0) {
        return 0; // nothing read: the zeroed text matches no mark
    }
    const std::uint8_t a = file.byteAt(offset);
    const std::uint8_t b = longth >= 2 ? file.byteAt(offset + 1) : 0;
    if (b != 0) {
        return 0;
    }
    if (longth < 2) {
        return 0; // only one byte of text: the second pair of digits is the terminator, not 00
    }
    return std::find(firsts.begin(), firsts.end(), a) != firsts.end() ? 1 : 0;
}

std::int32_t forwardDistance(DbFileReader& file, std::int64_t offset, std::uint8_t marker, std::int64_t limit) {
    std::int64_t position = offset;
    if (position <= 0) {
        // Offsets of 0 and below read as 0.
        if (marker == 0) {
            return 0;
        }
        if (1 - offset > limit) {
            return kFarAway;
        }
        position = 1;
    }
    const std::int64_t size = static_cast<std::int64_t>(file.size());
    while (position < size) {
        if (position - offset > limit) {
            return kFarAway;
        }
        // Ask for no more than the search may examine, so that a short search never moves the
        // window of a file-backed reader; long searches go on in steps of a page.
        std::size_t want = 4096;
        if (limit - (position - offset) < static_cast<std::int64_t>(want)) {
            want = static_cast<std::size_t>(limit - (position - offset) + 1);
        }
        const auto bytes = file.view(position, want);
        const std::size_t n = bytes.size();
        if (const void* hit = std::memchr(bytes.data(), marker, n)) {
            const std::int64_t distance = position + (static_cast<const std::uint8_t*>(hit) - bytes.data()) - offset;
            return distance > kFarAway - 1 ? kFarAway : static_cast<std::int32_t>(distance);
        }
        position += static_cast<std::int64_t>(n);
    }
    // Past the end of the file every byte is 0: a search for 0x00 ends there, any other stops.
    if (marker == 0 && position - offset <= limit) {
        const std::int64_t distance = position - offset;
        return distance > kFarAway - 1 ? kFarAway : static_cast<std::int32_t>(distance);
    }
    return kFarAway;
}

std::int32_t backwardDistance(DbFileReader& file, std::int64_t offset, std::uint8_t marker, std::int64_t limit) {
    for (std::int64_t position = offset; position >= 1; --position) {
        const std::int64_t distance = offset - position;
        if (distance > limit) {
            return kFarAway;
        }
        if (file.byteAt(position) == marker) {
            return distance > kFarAway - 1 ? kFarAway : static_cast<std::int32_t>(distance);
        }
    }
    return kFarAway;
}

std::int32_t GetFildLength(DbFileReader& file, std::int64_t offset, std::int64_t limit) {
    const std::int32_t distance = forwardDistance(file, offset, 0x00, limit);
    if (distance == kFarAway) {
        return 0;
    }
    const std::uint8_t v = slotByte(file, offset + distance - 1);
    if (v >= 34 && v <= 36) {
        return 2;
    }
    if (v >= 18 && v <= 20) {
        return 1;
    }
    return 0;
}

std::int32_t accquireField(DbFileReader& file, std::int64_t offset) {
    return slotByte(file, offset) == 0x11 ? 1 : 0;
}

std::int32_t accquireFieldLength(DbFileReader& file, std::int64_t offset, std::int64_t limit) {
    const std::int32_t distance = backwardDistance(file, offset, 0x00, limit);
    if (distance == kFarAway) {
        return 0;
    }
    const std::uint8_t v = slotByte(file, offset - distance - 1);
    if (v == 7 || v == 8) {
        return 7;
    }
    if (v >= 9 && v <= 11) {
        return v - 1;
    }
    return 0;
}

} // namespace quarrow
