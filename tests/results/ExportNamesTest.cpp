#include "results/ExportNames.h"

#include <gtest/gtest.h>

#include <climits>

using namespace quarrow;

struct DefaultNameCase {
    const char* name;
    std::tm when;
    std::string expected;
};

class DefaultExportName : public ::testing::TestWithParam<DefaultNameCase> {};

TEST_P(DefaultExportName, WritesDateAndTimeOfTheBrokenDownTime) {
    EXPECT_EQ(defaultExportName(GetParam().when), GetParam().expected);
}

std::tm brokenDown(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year;
    t.tm_mon = month;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

// The fields of a broken-down time are plain ints; at their ends the offsets must not overflow.
INSTANTIATE_TEST_SUITE_P(
    Times, DefaultExportName,
    ::testing::Values(DefaultNameCase{"Ordinary", brokenDown(112, 2, 5, 14, 7, 33), "Brindle 2012-03-05 - 14.07.33"},
                      DefaultNameCase{"FieldsAtTheirLargest",
                                      brokenDown(INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX),
                                      "Brindle 2147485547-2147483648-2147483647 - "
                                      "2147483647.2147483647.2147483647"}),
    [](const auto& info) { return std::string(info.param.name); });
