// Conversions to and from text: number text, boolean text, date text in both
// locales and byte arrays taken as text.
#include <cmath>
#include <limits>

#include "platform/automation/conversion_table.h"
#include "platform/automation/variant.h"

namespace automation::testing {
namespace {

Variant Text(const wchar_t* text)
{
    return Variant(text);
}
Variant R8(double v)
{
    return Variant(v);
}
Variant Date(double v)
{
    return Variant::FromDate(v);
}

TEST(ChangeTypeText, NumbersToTextKeepFifteenSignificantDigits)
{
    CheckConversions({
        Ok(R8(0.1), VT_BSTR, Text(L"0.1")),
        Ok(R8(1e21), VT_BSTR, Text(L"1E+21")),
        Ok(R8(1.0 / 3), VT_BSTR, Text(L"0.333333333333333")),
        Ok(R8(2.0 / 3), VT_BSTR, Text(L"0.666666666666667")),
        Ok(R8(123456789012345678.0), VT_BSTR, Text(L"1.23456789012346E+17")),
        Ok(R8(123456789012345.0), VT_BSTR, Text(L"123456789012345")),
        Ok(R8(1e15), VT_BSTR, Text(L"1E+15")),
        Ok(R8(-0.0), VT_BSTR, Text(L"0")),
        Ok(R8(0.0), VT_BSTR, Text(L"0")),
        Ok(R8(0.1 + 0.2), VT_BSTR, Text(L"0.3")),
        Ok(R8(-2.5), VT_BSTR, Text(L"-2.5")),
        Ok(R8(100.0), VT_BSTR, Text(L"100")),
        Ok(R8(0.0001), VT_BSTR, Text(L"0.0001")),
        Ok(R8(1.5e-5), VT_BSTR, Text(L"1.5E-05")),
        Ok(R8(1e-300), VT_BSTR, Text(L"1E-300")),
        Ok(R8(-1.7976931348623157e308), VT_BSTR, Text(L"-1.79769313486232E+308")),
        Ok(Variant(0.1f), VT_BSTR, Text(L"0.1")),
        Ok(Variant(1.0f / 3), VT_BSTR, Text(L"0.3333333")),
        Ok(Variant(1234567.0f), VT_BSTR, Text(L"1234567")),
        Ok(Variant(16777216.0f), VT_BSTR, Text(L"1.677722E+07")),
        Ok(Variant(-0.0f), VT_BSTR, Text(L"0")),
        // Integers, money and decimals exactly, without trailing zeros.
        Ok(Variant(int32_t{-5}), VT_BSTR, Text(L"-5")),
        Ok(Variant(uint8_t{255}), VT_BSTR, Text(L"255")),
        Ok(Variant(std::numeric_limits<int64_t>::min()), VT_BSTR, Text(L"-9223372036854775808")),
        Ok(Variant(std::numeric_limits<uint64_t>::max()), VT_BSTR, Text(L"18446744073709551615")),
        Ok(Variant::FromInt(-1), VT_BSTR, Text(L"-1")),
        Ok(Cy(12345), VT_BSTR, Text(L"1.2345")),
        Ok(Cy(10000), VT_BSTR, Text(L"1")),
        Ok(Cy(-5000), VT_BSTR, Text(L"-0.5")),
        Ok(Cy(0), VT_BSTR, Text(L"0")),
        Ok(Cy(std::numeric_limits<int64_t>::max()), VT_BSTR, Text(L"922337203685477.5807")),
        Ok(Cy(std::numeric_limits<int64_t>::min()), VT_BSTR, Text(L"-922337203685477.5808")),
        Ok(Dec(false, 2, 0, 150), VT_BSTR, Text(L"1.5")),
        Ok(Dec(false, 2, 0, 100), VT_BSTR, Text(L"1")),
        Ok(Dec(true, 3, 0, 1), VT_BSTR, Text(L"-0.001")),
        Ok(Dec(true, 5, 0, 0), VT_BSTR, Text(L"0")),
        Ok(Dec(false, 28, 0, 1), VT_BSTR, Text(L"0.0000000000000000000000000001")),
        Ok(Dec(false, 0, 0xFFFFFFFFu, ~uint64_t{0}), VT_BSTR,
           Text(L"79228162514264337593543950335")),
        Ok(Dec(true, 28, 0xFFFFFFFFu, ~uint64_t{0}), VT_BSTR,
           Text(L"-7.9228162514264337593543950335")),
        Ok(Variant(true), VT_BSTR, Text(L"-1")),
        Ok(Variant(false), VT_BSTR, Text(L"0")),
    });
    // The invariant locale writes numbers the same way.
    CheckConversions(
        {Ok(R8(-1234.5), VT_BSTR, Text(L"-1234.5")), Ok(Cy(12345), VT_BSTR, Text(L"1.2345")),
         Ok(Variant(true), VT_BSTR, Text(L"-1"))},
        LOCALE_INVARIANT);
}

TEST(ChangeTypeText, AlphaBoolFlagWritesTrueAndFalse)
{
    CheckConversions(
        {Ok(Variant(true), VT_BSTR, Text(L"True")), Ok(Variant(false), VT_BSTR, Text(L"False"))},
        LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL);
}

TEST(ChangeTypeText, TextToNumbersAcceptsBlanksSignsSeparatorsAndExponents)
{
    CheckConversions({
        Ok(Text(L" 12 "), VT_I4, Variant(int32_t{12})),
        Ok(Text(L"\t+7"), VT_I4, Variant(int32_t{7})),
        Ok(Text(L"-7"), VT_I2, Variant(int16_t{-7})),
        Ok(Text(L"1,234,567"), VT_I4, Variant(int32_t{1234567})),
        Ok(Text(L"1,234.5"), VT_R8, R8(1234.5)),
        Ok(Text(L"1.5E3"), VT_I4, Variant(int32_t{1500})),
        Ok(Text(L"1e-2"), VT_R8, R8(0.01)),
        Ok(Text(L".5"), VT_R8, R8(0.5)),
        Ok(Text(L"5."), VT_R8, R8(5.0)),
        Ok(Text(L"0.1"), VT_R8, R8(0.1)),
        Ok(Text(L"1e21"), VT_R8, R8(1e21)),
        Ok(Text(L"-0"), VT_R8, R8(-0.0)),
        Ok(Text(L"123456789012345678901234567890"), VT_R8, R8(1.2345678901234568e29)),
        Ok(Text(L"1e-400"), VT_R8, R8(0.0)),
        Fails(Text(L"1e400"), VT_R8, DISP_E_OVERFLOW),
        Ok(Text(L"0.1"), VT_R4, Variant(0.1f)),
        Fails(Text(L"3.5e38"), VT_R4, DISP_E_OVERFLOW),
        Ok(Text(L"0.1"), VT_CY, Cy(1000)),
        Ok(Text(L"255"), VT_UI1, Variant(uint8_t{255})),
        Fails(Text(L"-1"), VT_UI1, DISP_E_OVERFLOW),
        Fails(Text(L"128"), VT_I1, DISP_E_OVERFLOW),
        Ok(Text(L"-0"), VT_UI4, Variant(uint32_t{0})),
        Fails(Text(L"abc"), VT_I4, DISP_E_TYPEMISMATCH),
        Fails(Text(L""), VT_I4, DISP_E_TYPEMISMATCH),
        Fails(Text(L"   "), VT_R8, DISP_E_TYPEMISMATCH),
        Fails(Text(L"1 2"), VT_I4, DISP_E_TYPEMISMATCH),
        Fails(Text(L"12abc"), VT_I4, DISP_E_TYPEMISMATCH),
        Fails(Text(L"$5"), VT_CY, DISP_E_TYPEMISMATCH),
        Fails(Text(L"1e"), VT_R8, DISP_E_TYPEMISMATCH),
        Fails(Text(L","), VT_R8, DISP_E_TYPEMISMATCH),
        Fails(Text(L"--1"), VT_R8, DISP_E_TYPEMISMATCH),
        Fails(Text(L"1.2.3"), VT_R8, DISP_E_TYPEMISMATCH),
        Fails(Text(L"NaN"), VT_R8, DISP_E_TYPEMISMATCH),
        Fails(Text(L"1/1/2000"), VT_I4, DISP_E_TYPEMISMATCH),
    });
    CheckConversions({Ok(Text(L"1,234.5"), VT_R8, R8(1234.5))}, LOCALE_INVARIANT);
}

TEST(ChangeTypeText, TextToBooleanTakesTheWordsOrAnyNumber)
{
    CheckConversions({
        Ok(Text(L"True"), VT_BOOL, Variant(true)),
        Ok(Text(L"false"), VT_BOOL, Variant(false)),
        Ok(Text(L" TRUE "), VT_BOOL, Variant(true)),
        Ok(Text(L"-1"), VT_BOOL, Variant(true)),
        Ok(Text(L"0"), VT_BOOL, Variant(false)),
        Ok(Text(L"2"), VT_BOOL, Variant(true)),
        Ok(Text(L"0.0"), VT_BOOL, Variant(false)),
        Ok(Text(L"0.5"), VT_BOOL, Variant(true)),
        Fails(Text(L"yes"), VT_BOOL, DISP_E_TYPEMISMATCH),
        Fails(Text(L""), VT_BOOL, DISP_E_TYPEMISMATCH),
    });
}

TEST(ChangeTypeText, DatesToTextInTheUserLocale)
{
    const double t13h05m09 = (13 * 3600 + 5 * 60 + 9) / 86400.0;
    CheckConversions({
        Ok(Date(36526.0), VT_BSTR, Text(L"1/1/2000")),
        Ok(Date(36526.75), VT_BSTR, Text(L"1/1/2000 6:00:00 PM")),
        Ok(Date(36526.0 + t13h05m09), VT_BSTR, Text(L"1/1/2000 1:05:09 PM")),
        Ok(Date(36525.5), VT_BSTR, Text(L"12/31/1999 12:00:00 PM")),
        Ok(Date(0.25), VT_BSTR, Text(L"6:00:00 AM")),
        Ok(Date(0.5), VT_BSTR, Text(L"12:00:00 PM")),
        Ok(Date(0.0), VT_BSTR, Text(L"12:00:00 AM")),
        Ok(Date(1.0), VT_BSTR, Text(L"12/31/1899")),
        Ok(Date(61.0), VT_BSTR, Text(L"3/1/1900")),
        Ok(Date(36585.0), VT_BSTR, Text(L"2/29/2000")),
        // Before 1899-12-30 the days count back but the time still counts forward.
        Ok(Date(-1.0), VT_BSTR, Text(L"12/29/1899")),
        Ok(Date(-1.25), VT_BSTR, Text(L"12/29/1899 6:00:00 AM")),
        Ok(Date(-0.25), VT_BSTR, Text(L"6:00:00 AM")),
        Ok(Date(-36522.75), VT_BSTR, Text(L"1/1/1800 6:00:00 PM")),
        Ok(Date(2958465.0), VT_BSTR, Text(L"12/31/9999")),
        // Times round to the nearest second, carrying into the next day.
        Ok(Date(36526.0 + 0.4 / 86400), VT_BSTR, Text(L"1/1/2000")),
        Ok(Date(36526.0 - 0.4 / 86400), VT_BSTR, Text(L"1/1/2000")),
        Fails(Date(2958466.0), VT_BSTR, DISP_E_OVERFLOW),
        Fails(Date(std::nan("")), VT_BSTR, DISP_E_OVERFLOW),
    });
}

TEST(ChangeTypeText, DatesToTextInTheInvariantLocale)
{
    CheckConversions(
        {
            Ok(Date(36526.0), VT_BSTR, Text(L"01/01/2000")),
            Ok(Date(36526.75), VT_BSTR, Text(L"01/01/2000 18:00:00")),
            Ok(Date(36525.5), VT_BSTR, Text(L"12/31/1999 12:00:00")),
            Ok(Date(0.25), VT_BSTR, Text(L"06:00:00")),
            Ok(Date(0.0), VT_BSTR, Text(L"00:00:00")),
            Ok(Date(-1.25), VT_BSTR, Text(L"12/29/1899 06:00:00")),
            Ok(Date(-657434.0), VT_BSTR, Text(L"01/01/0100")),
        },
        LOCALE_INVARIANT);
}

TEST(ChangeTypeText, TextToDatesInEitherLocale)
{
    const std::vector<Conversion> cases = {
        Ok(Text(L"1/1/2000"), VT_DATE, Date(36526.0)),
        Ok(Text(L" 12/31/1999 6:00 PM "), VT_DATE, Date(36525.75)),
        Ok(Text(L"12/31/1999 6:00:00 pm"), VT_DATE, Date(36525.75)),
        Ok(Text(L"01/01/2000 18:00:00"), VT_DATE, Date(36526.75)),
        Ok(Text(L"2000-01-01"), VT_DATE, Date(36526.0)),
        Ok(Text(L"2000-01-01 18:00:00"), VT_DATE, Date(36526.75)),
        Ok(Text(L"2000-01-01T18:00:00"), VT_DATE, Date(36526.75)),
        Ok(Text(L"1-1-2000"), VT_DATE, Date(36526.0)),
        Ok(Text(L"2/29/2000"), VT_DATE, Date(36585.0)),
        Ok(Text(L"6:00:00 AM"), VT_DATE, Date(0.25)),
        Ok(Text(L"18:00"), VT_DATE, Date(0.75)),
        Ok(Text(L"12:00 AM"), VT_DATE, Date(0.0)),
        Ok(Text(L"12:00 PM"), VT_DATE, Date(0.5)),
        Ok(Text(L"6 PM"), VT_DATE, Date(0.75)),
        Ok(Text(L"12/29/1899 6:00 AM"), VT_DATE, Date(-1.25)),
        Ok(Text(L"1/1/100"), VT_DATE, Date(-657434.0)),
        Ok(Text(L"1/1/30"), VT_DATE, Date(10959.0)),
        Ok(Text(L"1/1/29"), VT_DATE, Date(47119.0)),
        Fails(Text(L"2/29/1900"), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L"13/1/2000"), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L"1/32/2000"), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L"25:00"), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L"1/1/2000 6:60"), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L"1/1/2000 13:00 PM"), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L"1/1/2000 x"), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L"1/1/10000"), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L"abc"), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L""), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L"12"), VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(Text(L"1/1"), VT_DATE, DISP_E_TYPEMISMATCH),
    };
    CheckConversions(cases);
    CheckConversions(cases, LOCALE_INVARIANT);
}

TEST(ChangeTypeText, DateTextRoundTripsInBothLocales)
{
    const double dates[] = {36526.0, 36526.75, 0.25, -1.25, -657434.5, 2958465.999988426};
    for (Lcid lcid : {LOCALE_USER_DEFAULT, LOCALE_INVARIANT}) {
        for (double date : dates) {
            const Variant text = ChangeTypeEx(Variant::FromDate(date), lcid, 0, VT_BSTR);
            const double back = ChangeTypeEx(text, lcid, 0, VT_DATE).date();
            EXPECT_NEAR(back, date, 0.5 / 86400) << Show(text);
        }
    }
}

TEST(ChangeTypeText, ByteArraysAreTheRawContentOfTheText)
{
    CheckConversions({
        Ok(Variant(SafeArray({0x41, 0x00, 0x42, 0x00})), VT_BSTR, Text(L"AB")),
        Ok(Variant(SafeArray({0xE9, 0x00, 0xAC, 0x20})), VT_BSTR, Text(L"\u00E9\u20AC")),
        Ok(Variant(SafeArray({0x3D, 0xD8, 0x00, 0xDE})), VT_BSTR, Text(L"\U0001F600")),
        Ok(Variant(SafeArray({0x41, 0x00, 0x42})), VT_BSTR, Text(L"A")),
        Ok(Variant(SafeArray()), VT_BSTR, Text(L"")),
        Fails(Variant(SafeArray({0x41, 0x00})), VT_R8, DISP_E_TYPEMISMATCH),
    });
}

TEST(ChangeTypeText, NumbersSurviveTheTripThroughText)
{
    // What the script writer writes must read back as the same value.
    const Variant values[] = {Variant(0.1),
                              Variant(-123456.789),
                              Variant(1e21),
                              Variant(std::numeric_limits<int64_t>::min()),
                              Cy(std::numeric_limits<int64_t>::min()),
                              Dec(true, 28, 0xFFFFFFFFu, ~uint64_t{0}),
                              Variant(int16_t{-32768})};
    for (const Variant& v : values) {
        const Variant text = ChangeTypeEx(v, LOCALE_INVARIANT, 0, VT_BSTR);
        EXPECT_TRUE(ChangeTypeEx(text, LOCALE_INVARIANT, 0, v.vt()) == v) << Show(v);
    }
}

}  // namespace
}  // namespace automation::testing
