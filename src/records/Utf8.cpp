#include "Utf8.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <tmmintrin.h>
#endif

namespace quarrow {

namespace {

// Steps over ASCII, many bytes at a time, straight to the first byte of 0x80 or more (or end).
const unsigned char* skipAscii(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        const auto mask =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
        if (mask != 0) {
            return p + std::countr_zero(mask);
        }
        p += 16;
    }
#endif
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        word &= 0x8080808080808080ull;
        if (word != 0) {
            if constexpr (std::endian::native == std::endian::little) {
                return p + std::countr_zero(word) / 8;
            }
            break;
        }
        p += 8;
    }
    while (p < end && *p < 0x80) {
        ++p;
    }
    return p;
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF). Note text is mostly
// ASCII with a few other characters: runs of ASCII are stepped over whole.
bool isValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    for (;;) {
        p = skipAscii(p, end);
        if (p == end) {
            return true;
        }
        const unsigned char b = *p;
        int extra = 0;
        unsigned char low = 0x80, high = 0xbf; // allowed range of the second byte
        if (b >= 0xc2 && b <= 0xdf) {
            extra = 1;
        } else if (b >= 0xe0 && b <= 0xef) {
            extra = 2;
            low = b == 0xe0 ? 0xa0 : 0x80;
            high = b == 0xed ? 0x9f : 0xbf;
        } else if (b >= 0xf0 && b <= 0xf4) {
            extra = 3;
            low = b == 0xf0 ? 0x90 : 0x80;
            high = b == 0xf4 ? 0x8f : 0xbf;
        } else {
            return false;
        }
        if (end - p <= extra || p[1] < low || p[1] > high) {
            return false;
        }
        for (int i = 2; i <= extra; ++i) {
            if (p[i] < 0x80 || p[i] > 0xbf) {
                return false;
            }
        }
        p += extra + 1;
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same check 16 bytes at a time with byte shuffles (SSSE3), after the lookup method of Keiser and
// Lemire ("Validating UTF-8 in less than one instruction per byte", 2021): each byte and the three
// before it are classified by three 16-entry tables whose entries are bits of the errors that the
// pair of bytes can show. The errors of all blocks are gathered and looked at once a kilobyte.
namespace lookup {

constexpr std::uint8_t kTooShort = 1 << 0;     // a lead, then ASCII or another lead
constexpr std::uint8_t kTooLong = 1 << 1;      // ASCII, then a continuation
constexpr std::uint8_t kOverlong3 = 1 << 2;    // e0, then 80 to 9f
constexpr std::uint8_t kTooLarge = 1 << 3;     // above U+10FFFF: f4 90 and above, f5 and above
constexpr std::uint8_t kSurrogate = 1 << 4;    // ed, then a0 to bf
constexpr std::uint8_t kOverlong2 = 1 << 5;    // c0 or c1, then a continuation
constexpr std::uint8_t kTooLarge1000 = 1 << 6; // f5 and above, then 80 to 8f
constexpr std::uint8_t kOverlong4 = 1 << 6;    // f0, then 80 to 8f
constexpr std::uint8_t kTwoConts = 1 << 7;     // a continuation after a continuation (allowed only
                                               // where a three- or four-byte sequence asks for it)
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("ssse3"))) inline __m128i table(const std::uint8_t (&t)[16]) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
}
__attribute__((target("ssse3"))) inline __m128i highNibbles(__m128i v) {
    return _mm_and_si128(_mm_srli_epi16(v, 4), _mm_set1_epi8(0x0f));
}

constexpr std::uint8_t kByte1High[16] = {
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong, // 0_______
    kTwoConts,
    kTwoConts,
    kTwoConts,
    kTwoConts,                                          // 10______
    kTooShort | kOverlong2,                             // 1100____
    kTooShort,                                          // 1101____
    kTooShort | kOverlong3 | kSurrogate,                // 1110____
    kTooShort | kTooLarge | kTooLarge1000 | kOverlong4, // 1111____
};
constexpr std::uint8_t kByte1Low[16] = {
    kCarry | kOverlong3 | kOverlong2 | kOverlong4,   // ____0000
    kCarry | kOverlong2,                             // ____0001
    kCarry,                                          // ____0010
    kCarry,                                          // ____0011
    kCarry | kTooLarge,                              // ____0100
    kCarry | kTooLarge | kTooLarge1000,              // ____0101
    kCarry | kTooLarge | kTooLarge1000,              // ____0110
    kCarry | kTooLarge | kTooLarge1000,              // ____0111
    kCarry | kTooLarge | kTooLarge1000,              // ____1000
    kCarry | kTooLarge | kTooLarge1000,              // ____1001
    kCarry | kTooLarge | kTooLarge1000,              // ____1010
    kCarry | kTooLarge | kTooLarge1000,              // ____1011
    kCarry | kTooLarge | kTooLarge1000,              // ____1100
    kCarry | kTooLarge | kTooLarge1000 | kSurrogate, // ____1101
    kCarry | kTooLarge | kTooLarge1000,              // ____1110
    kCarry | kTooLarge | kTooLarge1000,              // ____1111
};
constexpr std::uint8_t kByte2High[16] = {
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,                                                                   // 0_______
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4, // 1000____
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,                  // 1001____
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,                  // 1010____
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,                  // 1011____
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort, // 11______
};

// The errors of a block given the block before it.
__attribute__((target("ssse3"))) inline __m128i blockErrors(__m128i input, __m128i previous) {
    const __m128i prev1 = _mm_alignr_epi8(input, previous, 15);
    const __m128i special =
        _mm_and_si128(_mm_and_si128(_mm_shuffle_epi8(table(kByte1High), highNibbles(prev1)),
                                    _mm_shuffle_epi8(table(kByte1Low), _mm_and_si128(prev1, _mm_set1_epi8(0x0f)))),
                      _mm_shuffle_epi8(table(kByte2High), highNibbles(input)));
    // Where a continuation is the third or fourth byte of a sequence, two continuations in a row
    // are due, not an error: the bit must be set exactly there.
    const __m128i prev2 = _mm_alignr_epi8(input, previous, 14);
    const __m128i prev3 = _mm_alignr_epi8(input, previous, 13);
    const __m128i third = _mm_subs_epu8(prev2, _mm_set1_epi8(static_cast<char>(0xe0 - 0x80)));
    const __m128i fourth = _mm_subs_epu8(prev3, _mm_set1_epi8(static_cast<char>(0xf0 - 0x80)));
    const __m128i due = _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(static_cast<char>(0x80)));
    return _mm_xor_si128(due, special);
}

// Non-zero where the block's last bytes open a sequence that it does not finish.
__attribute__((target("ssse3"))) inline __m128i leftOpen(__m128i input) {
    const __m128i most = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xf0 - 1),
                                       static_cast<char>(0xe0 - 1), static_cast<char>(0xc0 - 1));
    return _mm_subs_epu8(input, most);
}

struct BlockState {
    __m128i error;
    __m128i previous;
    __m128i open;
};

// Every block gets the whole check, ASCII or not: in note text, with a few other characters among
// ASCII, a branch on "all ASCII" is mispredicted more often than the check costs.
__attribute__((target("ssse3"))) inline void checkBlock(BlockState& state, __m128i input) {
    state.error = _mm_or_si128(state.error, blockErrors(input, state.previous));
    state.open = leftOpen(input);
    state.previous = input;
}

__attribute__((target("ssse3"))) inline bool none(__m128i v) {
    return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) == 0xffff;
}

__attribute__((target("ssse3"))) bool isValidUtf8Blocks(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    BlockState state{_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        checkBlock(state, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        if ((i & 0x3ff) == 0x3f0 && !none(state.error)) {
            return false; // a broken text stops being read within a kilobyte
        }
    }
    if (i < n) {
        // The tail in a block padded with zeros, which are ASCII: a sequence the text leaves open
        // shows as too short.
        alignas(16) unsigned char tail[16] = {};
        std::memcpy(tail, p + i, n - i);
        checkBlock(state, _mm_load_si128(reinterpret_cast<const __m128i*>(tail)));
    }
    return none(_mm_or_si128(state.error, state.open));
}

} // namespace lookup

bool hasBlockCheck() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

} // namespace

bool isStrictUtf8(std::string_view text, Utf8Check how) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (how == Utf8Check::Best && hasBlockCheck()) {
        return lookup::isValidUtf8Blocks(text);
    }
#endif
    (void)how;
    return isValidUtf8(text);
}

} // namespace quarrow
