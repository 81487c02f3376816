#include "records/ValueHelpers.h"
#include "records/Utf8.h"

#include "support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace quarrow;

namespace {

using TimeZone = quarrow::test::ScopedTimeZone;

// The original note-date rule: break the value down as if it counted from 1970, shift the year and
// patch the day by a per-month table. Kept here only as the reference that the direct conversion
// must agree with wherever that rule was right (2001 to 2016).
std::string legacyNoteDate(std::int64_t value) {
    const std::time_t t = static_cast<std::time_t>(value);
    std::tm tm{};
    localtime_r(&t, &tm);
    int y = tm.tm_year + 1900, m = tm.tm_mon, d = tm.tm_mday;
    const int yd = tm.tm_yday;
    int s = y < 1950 ? y + 62 : (y <= 1985 ? y + 31 : y + 18);
    const bool leap = (s % 4 == 0 && s % 100 != 0) || s % 400 == 0;
    static const int k[12] = {0, 0, 58, 89, 119, 150, 180, 211, 242, 272, 303, 333};
    static const int rollAt[12] = {32, 0, 32, 31, 32, 31, 32, 32, 31, 32, 31, 0};
    if (m == 0) {
        if (leap) {
            ++d;
        }
        if (d >= 32) {
            d = 1, m = 1;
        }
    } else if (m == 1) {
        const int before = d;
        if (leap) {
            ++d;
        }
        if (before >= 29) {
            d = 1, m = 2;
        }
    } else if (m == 11) {
        if (!leap && d + k[m] != yd) {
            ++d;
        }
        if ((leap && yd >= 366) || (!leap && yd >= 365)) {
            d = 1, m = 0, ++s;
        }
    } else {
        if (!leap && d + k[m] != yd) {
            ++d;
        }
        if (d >= rollAt[m]) {
            d = 1, ++m;
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d %02d:%02d", m + 1, d, s, tm.tm_hour, tm.tm_min);
    return text;
}

} // namespace

TEST(GetStringFormChar, ReturnsLongTextWhole) {
    std::string text;
    while (text.size() < 3000) {
        text += "Grüße, 日本語 ✓ ";
    }
    EXPECT_EQ(GetStringFormChar(text), text);
}

TEST(GetStringFormChar, StopsAtNul) {
    EXPECT_EQ(GetStringFormChar(std::string_view("ab\0cd", 5)), "ab");
}

TEST(Char2Unicode, WritesUnitsAndTerminator) {
    std::uint32_t units[8];
    ASSERT_EQ(Char2Unicode("aé😀", units, 8), 3);
    EXPECT_EQ(units[0], U'a');
    EXPECT_EQ(units[1], 0xE9u);
    EXPECT_EQ(units[2], 0x1F600u);
    EXPECT_EQ(units[3], 0u);
    // One unit short of room for the terminator: nothing is converted.
    EXPECT_EQ(Char2Unicode("abc", units, 3), 0);
}

TEST(NoteDate, MatchesTheOriginalRuleForEveryDayFrom2001To2016) {
    TimeZone utc("UTC");
    const std::int64_t day = 86400;
    const std::int64_t end = 978307200 + 16LL * 365 * day + 4 * day - 978307200; // up to 2017-01-01
    int checked = 0;
    for (std::int64_t t = 0; t < end; t += day) {
        const std::int64_t noon = t + 12 * 3600 + 5 * 60;
        ASSERT_EQ(dateText(noon, 1).value(), legacyNoteDate(noon)) << "seconds since 2001: " << noon;
        ++checked;
    }
    EXPECT_EQ(checked, 5844);
}

TEST(NoteDate, IsRightAfter2016AndBefore2001) {
    TimeZone utc("UTC");
    // 2017-06-15 10:30 UTC, counted from 2001: the original rule showed 2004.
    EXPECT_EQ(dateText(519215400, 1), "06-15-2017 10:30");
    EXPECT_EQ(dateText(0, 1), "01-01-2001 00:00");
    EXPECT_EQ(dateText(-86400, 1), "12-31-2000 00:00");
    EXPECT_EQ(dateText(std::numeric_limits<std::int64_t>::max(), 1), std::nullopt);
}

TEST(NoteDate, IsShownInLocalTime) {
    TimeZone berlin("Europe/Berlin");
    EXPECT_EQ(dateText(519215400, 1), "06-15-2017 12:30");
}

TEST(OtherDates, UnixTimesFrom1990OnAreShownAsTheyAre) {
    TimeZone utc("UTC");
    // 2012-03-07 09:05:00 UTC as a Unix time (messages of iOS 5 and earlier).
    EXPECT_EQ(dateText(1331111100, 0), "03-07-2012 09:05");
    // Small values count from 2001 (iOS 6 messages): 2012-03-07 09:05 as seconds since 2001.
    EXPECT_EQ(dateText(1331111100 - 978307200, 0), "03-07-2012 09:05");
    // Every day around the leap days of 2004 and 2008 comes out right, not a day off.
    for (std::int64_t t = 3 * 365 * 86400; t < 8 * 366 * 86400; t += 86400) {
        const std::time_t unix = static_cast<std::time_t>(t + 978307200);
        std::tm tm{};
        gmtime_r(&unix, &tm);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%02d-%02d-%04d 00:00", tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900);
        ASSERT_EQ(dateText(t, 0), expected);
    }
}

TEST(OtherDates, AKnownEpochIsNeverGuessed) {
    TimeZone utc("UTC");
    // 2023-05-04 10:20 UTC counted from 2001 reads as a 1990s Unix time: the guess would show 1992.
    const std::int64_t may2023 = 1683195600 - 978307200;
    EXPECT_EQ(dateText(may2023, 0), "05-03-1992 10:20");
    EXPECT_EQ(dateTextSince(may2023, Epoch::Device), "05-04-2023 10:20");
    // A Unix time before 1990 stays where it is.
    EXPECT_EQ(dateTextSince(86400 * 365, Epoch::Unix), "01-01-1971 00:00");
    EXPECT_EQ(dateTextSince(std::numeric_limits<std::int64_t>::max(), Epoch::Device), std::nullopt);
}

// Birthdays are days: the stored seconds since 2001 become the day in UTC, whatever the local zone
// (the test runs in a zone west of UTC, where midnight UTC is the evening before), and a text that
// is not a plain number stays as it was.
TEST(Birthday, IsTheStoredDayInEveryTimeZone) {
    const test::ScopedTimeZone zone("America/Los_Angeles");
    const std::vector<std::pair<std::string, std::string>> cases{
        {"-286070400", "12-09-1991"},        // midnight UTC
        {"-286027200.000000", "12-09-1991"}, // noon UTC, with a fraction
        {"0", "01-01-2001"},
        {"-978307200", "01-01-1970"},
        {"-1.5", "12-31-2000"}, // before the epoch: the day the moment falls on
        {"", ""},
        {"1991-12-08", "1991-12-08"},
        {"12 Dec", "12 Dec"},
        {"-286070400 ", "-286070400 "},
        {"1e300", "1e300"},
        {"-99999999999999", "-99999999999999"},
        {"nan", "nan"},
    };
    for (const auto& [stored, shown] : cases) {
        EXPECT_EQ(birthdayText(stored), shown) << stored;
    }
}

TEST(CallDuration, FollowsTheUnitTable) {
    const std::vector<std::pair<std::int32_t, std::string>> cases{
        {45, "45 seconds"},   {1, "1 second"},  {0, "0 second"},    {90, "1 minute"},
        {3599, "59 minutes"}, {7199, "1 hour"}, {10800, "3 hours"}, {-1, "-1 second"},
        {7200, "2 hours"},    {3600, "1 hour"}, {125, "2 minutes"}, {59, "59 seconds"}};
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(getCallHistoryDuration(seconds), text) << seconds;
    }
}

PRContactNodePtr contactWithNumbers(const char* name, std::vector<std::string> numbers) {
    auto contact = std::make_shared<PRContactNode>();
    contact->setContactName(std::string(name));
    std::string all;
    for (const auto& n : numbers) {
        all += " " + n;
    }
    contact->setContactPhone(all);
    contact->setPhoneNumbers(std::move(numbers));
    return contact;
}

struct NameCase {
    const char* phone;
    OptText name;
};

class NameByPhoneNumber : public ::testing::TestWithParam<NameCase> {
protected:
    // Anna's two numbers run together as "555 0100 +1 (415) 555-0199"; Ben's is Anna's second
    // without its country code; Carl has a short service number; Dora's numbers are e-mail-like.
    const std::vector<PRContactNodePtr> contacts{
        std::make_shared<PRContactNode>(), // no numbers at all
        contactWithNumbers("Anna", {"555 0100", "+1 (415) 555-0199"}),
        contactWithNumbers("Ben", {"4155550199"}),
        contactWithNumbers("Carl", {"22 333"}),
        contactWithNumbers("Dora", {"dora@example.org"}),
    };
    const PhoneNameIndex index{contacts};
};

TEST_P(NameByPhoneNumber, MatchesWholeNumbersByTheirDigits) {
    EXPECT_EQ(getNameByPhoneNumber(GetParam().phone, index), GetParam().name) << GetParam().phone;
}

INSTANTIATE_TEST_SUITE_P(Numbers, NameByPhoneNumber,
                         ::testing::Values(
                             // Punctuation and blanks do not count; the first contact in order wins.
                             NameCase{"(415) 555-0199", "Anna"}, NameCase{"+14155550199", "Anna"},
                             NameCase{"4155550199", "Anna"},
                             // A number of 7 digits or more ending a contact's number, or ended by one.
                             NameCase{"555-0199", "Anna"}, NameCase{"0014155550199", "Anna"},
                             // Short numbers match only when equal.
                             NameCase{"5550100", "Anna"}, NameCase{"22333", "Carl"}, NameCase{"2333", std::nullopt},
                             NameCase{"50199", std::nullopt},
                             // Never across two numbers of one contact, nor inside one.
                             NameCase{"01001415", std::nullopt}, NameCase{"15555", std::nullopt},
                             // Nothing to match: no digits, an e-mail address, a different number.
                             NameCase{" - ", std::nullopt}, NameCase{"", std::nullopt},
                             NameCase{"dora@example.org", std::nullopt}, NameCase{"4155550198", std::nullopt}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(NameByPhoneNumber, FindsNothingWithoutContactsAndReadsPhoneTextWithoutAList) {
    EXPECT_EQ(getNameByPhoneNumber("4155550199", PhoneNameIndex()), std::nullopt);
    // A record read without its list (a carved one) counts its phone text as one number.
    auto carved = std::make_shared<PRContactNode>();
    carved->setContactName(std::string("Eve"));
    carved->setContactPhone(std::string(" +44 20 7946 0958"));
    EXPECT_EQ(getNameByPhoneNumber("(20) 7946-0958", PhoneNameIndex({carved})), "Eve");
}

TEST(SizeText, RoundTrips) {
    EXPECT_EQ(sizeTextForBytes(1500), "1.50K");
    EXPECT_EQ(sizeTextForBytes(999), "999.00B");
    EXPECT_EQ(sizeTextForBytes(2000000), "2.00M");
    EXPECT_EQ(sizeFormString("1.50K"), 1500u);
    EXPECT_EQ(sizeFormString("2.00M"), 2000000u);
    EXPECT_EQ(sizeFormString("999.99B"), 999u);
    EXPECT_EQ(sizeFormString(""), 0u);
    EXPECT_EQ(sizeFormString("3.00k"), 3000000000000u);
    EXPECT_EQ(sizeFormString("-5.00K"), 0u);
    EXPECT_EQ(sizeFormString("K"), 0u);
}

TEST(Utf8, BothChecksAnswerAsTheDecoder) {
    // Runs of ASCII longer than a check's step, with whole characters and broken pieces among them:
    // lone continuations, bad leads, overlong forms, surrogates, values past U+10FFFF, cut sequences.
    const std::string pieces[] = {"é",        "日",       "🙂",         "\xef\xbf\xbf", "\xf4\x8f\xbf\xbf",
                                  "\x80",     "\xc1\xbf", "\xe0\x80\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80",
                                  "\xe6\x97", "\xf5",     "\xff"};
    std::mt19937 rng(2024);
    int valid = 0;
    for (int round = 0; round < 40000; ++round) {
        std::string s;
        const unsigned share = 2 + rng() % 40;
        for (std::size_t i = rng() % 60; i > 0; --i) {
            const unsigned r = rng();
            s += r % share < 2 ? pieces[5 + (r >> 8) % 8]
                 : r % 3 == 0  ? pieces[(r >> 8) % 5]
                               : std::string(1, char('a' + (r >> 8) % 26));
        }
        std::vector<std::uint32_t> units(s.size() + 1);
        const bool want = s.empty() || Char2Unicode(s, units.data(), units.size()) > 0;
        ASSERT_EQ(isStrictUtf8(s, Utf8Check::Best), want) << round;
        ASSERT_EQ(isStrictUtf8(s, Utf8Check::Plain), want) << round;
        ASSERT_EQ(GetStringFormChar(s) == s, want) << round;
        valid += want;
    }
    EXPECT_GT(valid, 5000);
    EXPECT_LT(valid, 36000);
}
