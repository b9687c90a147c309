// Literal values: which date texts Access accepts, and dates and decimals written
// by the printer reading back to the very same value.
#include <gtest/gtest.h>

#include <string>

#include "platform/automation/wide_text.h"
#include "platform/provider/sql/literal_values.h"

namespace provider::sql {
namespace {

std::string Narrow(const std::wstring& s)
{
    return automation::ToUtf8(s);
}

TEST(AccessSqlLiteral, RefusesDatesThatDoNotExist)
{
    const wchar_t* const invalid[] = {
        L"2/30/2000",
        L"2/29/1900",  // 1900 is no leap year
        L"13/1/2000",
        L"0/1/2000",
        L"1/0/2000",
        L"1/32/2000",
        L"1/1/10000",
        L"1/1/2000 24:00",
        L"1/1/2000 10:60",
        L"1/1/2000 10:00:60",
        L"13:00 PM",
        L"0:30 AM",
        L"1/2",
        L"1/2/",
        L"1-2/2000",
        L"abc",
        L"",
        L"1/1/2000 x",
        L"12345678901/1/2000",
    };
    for (const wchar_t* text : invalid) {
        double date = 0;
        EXPECT_FALSE(DateLiteralValue(text, date)) << Narrow(text);
    }
    double date = 0;
    EXPECT_TRUE(DateLiteralValue(L" 2/29/2000 ", date));
    EXPECT_TRUE(DateLiteralValue(L"12:00 PM", date));
    EXPECT_DOUBLE_EQ(date, 0.5);
    EXPECT_TRUE(DateLiteralValue(L"12:30 AM", date));
    EXPECT_DOUBLE_EQ(date, 1800.0 / 86400.0);
}

TEST(AccessSqlLiteral, PrintedDatesReadBackToTheSameValue)
{
    // Every 97th day from 1/1/100 to 12/31/9999, with and without a time of day.
    for (double day = -657434.0; day <= 2958465.0; day += 97.0) {
        for (double seconds : {0.0, 1.0, 45296.0, 86399.0}) {
            const double value = day >= 0 ? day + seconds / 86400.0 : day - seconds / 86400.0;
            const std::wstring text = FormatDateLiteral(value);
            double back = 0;
            ASSERT_TRUE(DateLiteralValue(text, back)) << Narrow(text);
            EXPECT_DOUBLE_EQ(back, value) << Narrow(text);
        }
    }
    EXPECT_EQ(Narrow(FormatDateLiteral(0.0)), "12/30/1899");
    EXPECT_EQ(Narrow(FormatDateLiteral(0.5)), "12:00:00");
    EXPECT_EQ(Narrow(FormatDateLiteral(36892.0)), "01/01/2001");
}

TEST(AccessSqlLiteral, DecimalTextsReadBackExactly)
{
    const wchar_t* const texts[] = {L"0.0001",
                                    L"922337203685477.5807",
                                    L"79228162514264337593543950335",
                                    L"0.0000000000000000000000000001",
                                    L"12.50",
                                    L"1.0"};
    for (const wchar_t* text : texts) {
        automation::Variant v;
        ASSERT_TRUE(NumberLiteralValue(text, v)) << Narrow(text);
        ASSERT_EQ(v.vt(), automation::VT_DECIMAL) << Narrow(text);
        EXPECT_EQ(Narrow(FormatDecimal(v.decVal())), Narrow(text));
    }
    automation::Variant v;
    EXPECT_FALSE(NumberLiteralValue(L"1e999", v));
    // One past the largest 96-bit magnitude: no longer a decimal.
    ASSERT_TRUE(NumberLiteralValue(L"79228162514264337593543950336", v));
    EXPECT_EQ(v.vt(), automation::VT_R8);
}

}  // namespace
}  // namespace provider::sql
