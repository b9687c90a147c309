// Calendar parts of automation dates, both sides of 1899-12-30.
#include "platform/automation/automation_date.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/automation/com_error.h"

namespace automation {
namespace {

struct DateCase {
    double date;
    DateParts parts;
};

// Serial numbers from the calendar: 1899-12-30 is day 0, 2000-01-01 day 36526.
const DateCase kDates[] = {
    {0.0, {1899, 12, 30, 0, 0, 0}},       {1.0, {1899, 12, 31, 0, 0, 0}},
    {-1.0, {1899, 12, 29, 0, 0, 0}},      {-1.25, {1899, 12, 29, 6, 0, 0}},
    {-1.75, {1899, 12, 29, 18, 0, 0}},    {36526.5, {2000, 1, 1, 12, 0, 0}},
    {36585.0, {2000, 2, 29, 0, 0, 0}},    {61.0, {1900, 3, 1, 0, 0, 0}},
    {-36522.0, {1800, 1, 1, 0, 0, 0}},    {-657434.0, {100, 1, 1, 0, 0, 0}},
    {2958465.0, {9999, 12, 31, 0, 0, 0}},
};

TEST(AutomationDate, SplitsAndMakesDatesOnBothSidesOfDayZero)
{
    for (const auto& c : kDates) {
        const auto parts = SplitDate(c.date);
        ASSERT_TRUE(parts.has_value()) << c.date;
        EXPECT_EQ(*parts, c.parts) << c.date;
        const auto date = MakeDate(c.parts);
        ASSERT_TRUE(date.has_value()) << c.date;
        EXPECT_DOUBLE_EQ(*date, c.date);
    }
}

TEST(AutomationDate, SplitRoundsToTheSecondAndCarriesIntoTheNextDay)
{
    EXPECT_EQ(*SplitDate(36526.0 + 1.6 / 86400), (DateParts{2000, 1, 1, 0, 0, 2}));
    EXPECT_EQ(*SplitDate(36526.0 - 0.2 / 86400), (DateParts{2000, 1, 1, 0, 0, 0}));
    EXPECT_EQ(*SplitDate(-1.0 - 86399.8 / 86400), (DateParts{1899, 12, 30, 0, 0, 0}));
}

TEST(AutomationDate, TextWithMillisecondsRoundsCarriesAndReadsBack)
{
    struct TextCase {
        double date;
        const wchar_t* text;
    };
    const TextCase cases[] = {
        {45000.123456789, L"03/15/2023 02:57:46.667"},
        {36526.0 + 0.25 / 86400, L"01/01/2000 00:00:00.250"},
        // 0.4 ms before midnight is the next day's midnight: the date alone.
        {36526.0 + 86399.9996 / 86400, L"01/02/2000"},
        {36526.0, L"01/01/2000"},
        {0.5 + 0.001 / 86400, L"12:00:00.001"},
        {-1.25, L"12/29/1899 06:00:00.000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateToInvariantTextWithMilliseconds(c.date), c.text) << c.date;
        const auto back = DateFromText(c.text);
        ASSERT_TRUE(back.has_value()) << c.date;
        EXPECT_NEAR(*back, c.date, 0.0005 / 86400) << c.date;
    }
    EXPECT_THROW(DateToInvariantTextWithMilliseconds(2958466.0), ComError);
}

TEST(AutomationDate, RejectsOutOfRangeDatesAndParts)
{
    for (double date : {-657435.0, 2958466.0, std::nan(""), 1e300})
        EXPECT_FALSE(SplitDate(date).has_value()) << date;
    const DateParts bad[] = {
        {2000, 2, 30, 0, 0, 0}, {1900, 2, 29, 0, 0, 0}, {2000, 13, 1, 0, 0, 0},
        {2000, 0, 1, 0, 0, 0},  {99, 12, 31, 0, 0, 0},  {10000, 1, 1, 0, 0, 0},
        {2000, 1, 1, 24, 0, 0}, {2000, 1, 1, 0, 60, 0}, {2000, 1, 1, 0, 0, 60},
    };
    for (const auto& parts : bad)
        EXPECT_FALSE(MakeDate(parts).has_value())
            << parts.year << "-" << parts.month << "-" << parts.day << " " << parts.hour << ":"
            << parts.minute << ":" << parts.second;
}

}  // namespace
}  // namespace automation
