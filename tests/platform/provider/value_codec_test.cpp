// The stored forms: automation dates to monotonic days and back, exact
// decimals whose keys sort as their values, dates as text.
#include "platform/provider/value_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "platform/automation/wide_text.h"

namespace {

using namespace provider;

TEST(ValueCodecTest, AutomationDatesBecomeMonotonicDaysAndBack)
{
    struct Case {
        double ole;
        double days;
    };
    // Automation dates below zero carry the day in the integer part and the
    // time as a positive fraction: -1.25 is 1899-12-29 06:00.
    const Case cases[] = {{0.0, 0.0},     {1.5, 1.5},   {-1.0, -1.0},          {-1.25, -0.75},
                          {-1.75, -0.25}, {-2.5, -1.5}, {-657434.0, -657434.0}};
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(MonotonicFromOleDate(c.ole), c.days) << c.ole;
        EXPECT_DOUBLE_EQ(OleDateFromMonotonic(c.days), c.ole) << c.days;
    }
    EXPECT_DOUBLE_EQ(MonotonicFromOleDate(-0.25), 0.25);  // day zero: same as 0.25
}

TEST(ValueCodecTest, DateTextInBothOrdersAndBack)
{
    struct Case {
        const wchar_t* text;
        int y;
        unsigned m, d;
        double fraction;
        const wchar_t* formatted;
    };
    const Case cases[] = {
        {L"12/31/1850 6:30:00 AM", 1850, 12, 31, 6.5 / 24, L"12/31/1850 6:30:00 AM"},
        {L"1/2/2020", 2020, 1, 2, 0, L"1/2/2020"},
        {L"2020-01-02 13:05", 2020, 1, 2, (13 * 60 + 5) / 1440.0, L"1/2/2020 1:05:00 PM"},
        {L"2/29/2000 12:00 AM", 2000, 2, 29, 0, L"2/29/2000"},
        {L"12/30/1899 12:00:01 PM", 1899, 12, 30, 43201 / 86400.0, L"12:00:01 PM"},
    };
    for (const Case& c : cases) {
        double days = 0;
        ASSERT_TRUE(ParseDateText(c.text, days)) << automation::ToUtf8(c.text);
        EXPECT_NEAR(days, DaysFromCivil(c.y, c.m, c.d) + c.fraction, 1e-9);
        EXPECT_EQ(FormatDate(days), c.formatted);
    }
    double ignored = 0;
    for (const wchar_t* bad : {L"2/30/2000", L"13/1/2000", L"abc", L"1/1/2000 25:00", L""})
        EXPECT_FALSE(ParseDateText(bad, ignored)) << automation::ToUtf8(bad);
    EXPECT_EQ(DaysFromCivil(1899, 12, 30), 0);
    EXPECT_EQ(DaysFromCivil(1900, 1, 1), 2);
}

TEST(ValueCodecTest, DecimalKeysSortAsTheirValues)
{
    const char* ascending[] = {"-79228162514264337593543950335",
                               "-12.5",
                               "-0.0000000000000000000000000001",
                               "0",
                               "0.0000000000000000000000000001",
                               "0.5",
                               "12.25",
                               "12.5",
                               "79228162514264337593543950335"};
    std::vector<std::string> keys;
    for (const char* text : ascending) {
        automation::Decimal d;
        uint8_t scale =
            std::string(text).find('.') == std::string::npos
                ? 0
                : static_cast<uint8_t>(std::string(text).size() - std::string(text).find('.') - 1);
        ASSERT_TRUE(ParseDecimal(text, scale, d)) << text;
        EXPECT_EQ(DecimalText(d), text);
        keys.push_back(DecimalKey(d));
        EXPECT_EQ(DecimalText(DecimalFromKey(keys.back(), scale)), text);
    }
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    automation::Decimal d;
    EXPECT_TRUE(ParseDecimal("1.005", 2, d));
    EXPECT_EQ(DecimalText(d), "1.01");  // half away from zero
    EXPECT_TRUE(ParseDecimal("-1.5E+3", 0, d));
    EXPECT_EQ(DecimalText(d), "-1500");
    EXPECT_FALSE(ParseDecimal("79228162514264337593543950336", 0, d));
    EXPECT_FALSE(ParseDecimal("12a", 0, d));
}

// A decimal becomes the double nearest its exact value, as its digits read by strtod give: at
// the ends of the exact mantissas and powers of ten, past them, and for random ones.
TEST(ValueCodecTest, DecimalsBecomeTheNearestDouble)
{
    std::vector<automation::Decimal> decimals;
    for (uint64_t m :
         {uint64_t{0}, uint64_t{1}, uint64_t{3}, uint64_t{123456789}, (uint64_t{1} << 53) - 1,
          uint64_t{1} << 53, (uint64_t{1} << 53) + 1, uint64_t{9007199254740993}, ~uint64_t{0}})
        for (uint8_t scale : {0, 1, 4, 15, 21, 22, 23, 28})
            for (bool negative : {false, true})
                decimals.push_back({scale, negative, 0, m});
    decimals.push_back({4, false, 1, 7});
    std::mt19937_64 random(20261210);
    for (int i = 0; i < 2000; ++i)
        decimals.push_back({static_cast<uint8_t>(random() % 29), (random() & 1) != 0, 0,
                            random() >> (random() % 64)});
    for (const automation::Decimal& d : decimals) {
        const double read = std::strtod(DecimalText(d).c_str(), nullptr);
        const double converted = DecimalToDouble(d);
        EXPECT_EQ(std::memcmp(&read, &converted, sizeof read), 0)
            << DecimalText(d) << ": " << read << " " << converted;
    }
}

TEST(ValueCodecTest, BinaryKeysSortShorterFirst)
{
    std::vector<std::string> keys = {BinaryKey("\xFF", 1), BinaryKey("", 0),
                                     BinaryKey("\x00\x00", 2), BinaryKey("\x01", 1)};
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys[0], BinaryKey("", 0));
    EXPECT_EQ(keys[1], BinaryKey("\x01", 1));
    EXPECT_EQ(keys[2], BinaryKey("\xFF", 1));
    EXPECT_EQ(keys[3], BinaryKey("\x00\x00", 2));
}

}  // namespace
