// Conversions between the number types, money, decimal, boolean, date, Empty and Null.
#include <cmath>
#include <limits>

#include "platform/automation/conversion_table.h"
#include "platform/automation/variant.h"

namespace automation::testing {
namespace {

Variant I8(int64_t v)
{
    return Variant(v);
}
Variant U8(uint64_t v)
{
    return Variant(v);
}
Variant R8(double v)
{
    return Variant(v);
}
Variant R4(float v)
{
    return Variant(v);
}
Variant Date(double v)
{
    return Variant::FromDate(v);
}

constexpr uint64_t kAllOnes = std::numeric_limits<uint64_t>::max();

TEST(ChangeTypeNumbers, IntegerWidthsOverflowJustPastTheirBounds)
{
    CheckConversions({
        Ok(I8(127), VT_I1, Variant(int8_t{127})),
        Fails(I8(128), VT_I1, DISP_E_OVERFLOW),
        Ok(I8(-128), VT_I1, Variant(int8_t{-128})),
        Fails(I8(-129), VT_I1, DISP_E_OVERFLOW),
        Ok(I8(255), VT_UI1, Variant(uint8_t{255})),
        Fails(I8(256), VT_UI1, DISP_E_OVERFLOW),
        Fails(I8(-1), VT_UI1, DISP_E_OVERFLOW),
        Ok(I8(32767), VT_I2, Variant(int16_t{32767})),
        Fails(I8(32768), VT_I2, DISP_E_OVERFLOW),
        Ok(I8(-32768), VT_I2, Variant(int16_t{-32768})),
        Fails(I8(-32769), VT_I2, DISP_E_OVERFLOW),
        Ok(I8(65535), VT_UI2, Variant(uint16_t{65535})),
        Fails(I8(65536), VT_UI2, DISP_E_OVERFLOW),
        Fails(I8(-1), VT_UI2, DISP_E_OVERFLOW),
        Ok(I8(2147483647), VT_I4, Variant(int32_t{2147483647})),
        Fails(I8(2147483648), VT_I4, DISP_E_OVERFLOW),
        Ok(I8(-2147483648LL), VT_I4, Variant(int32_t{-2147483647 - 1})),
        Fails(I8(-2147483649LL), VT_I4, DISP_E_OVERFLOW),
        Ok(I8(2147483647), VT_INT, Variant::FromInt(2147483647)),
        Fails(I8(2147483648), VT_INT, DISP_E_OVERFLOW),
        Ok(I8(4294967295), VT_UI4, Variant(uint32_t{4294967295u})),
        Fails(I8(4294967296), VT_UI4, DISP_E_OVERFLOW),
        Ok(I8(4294967295), VT_UINT, Variant::FromUInt(4294967295u)),
        Fails(I8(-1), VT_UINT, DISP_E_OVERFLOW),
        Ok(U8(9223372036854775807ULL), VT_I8, I8(9223372036854775807LL)),
        Fails(U8(9223372036854775808ULL), VT_I8, DISP_E_OVERFLOW),
        Ok(I8(std::numeric_limits<int64_t>::min()), VT_I8, I8(std::numeric_limits<int64_t>::min())),
        Ok(I8(9223372036854775807LL), VT_UI8, U8(9223372036854775807ULL)),
        Fails(I8(-1), VT_UI8, DISP_E_OVERFLOW),
        // The same bounds reached from doubles, money, decimals and text.
        Ok(R8(-9223372036854775808.0), VT_I8, I8(std::numeric_limits<int64_t>::min())),
        Fails(R8(9223372036854775808.0), VT_I8, DISP_E_OVERFLOW),
        Ok(R8(18446744073709549568.0), VT_UI8, U8(18446744073709549568ULL)),
        Fails(R8(18446744073709551616.0), VT_UI8, DISP_E_OVERFLOW),
        Fails(R8(1e300), VT_I4, DISP_E_OVERFLOW),
        Fails(R8(std::nan("")), VT_I4, DISP_E_OVERFLOW),
        Ok(Variant(L"18446744073709551615"), VT_UI8, U8(kAllOnes)),
        Fails(Variant(L"18446744073709551616"), VT_UI8, DISP_E_OVERFLOW),
        Ok(Variant(L"-9223372036854775808"), VT_I8, I8(std::numeric_limits<int64_t>::min())),
        Fails(Variant(L"-9223372036854775809"), VT_I8, DISP_E_OVERFLOW),
        Fails(Variant(L"1e40"), VT_I8, DISP_E_OVERFLOW),
        Ok(Cy(1270000), VT_I1, Variant(int8_t{127})),
        Fails(Cy(1280000), VT_I1, DISP_E_OVERFLOW),
        Ok(Dec(true, 0, 0, 128), VT_I1, Variant(int8_t{-128})),
        Fails(Dec(false, 0, 1, 0), VT_UI8, DISP_E_OVERFLOW),  // 2^64
        Ok(Dec(false, 0, 0, kAllOnes), VT_UI8, U8(kAllOnes)),
        // Between the integer types themselves.
        Ok(Variant(int8_t{-5}), VT_I8, I8(-5)),
        Ok(Variant(uint32_t{4000000000u}), VT_I8, I8(4000000000LL)),
        Fails(Variant(uint32_t{4000000000u}), VT_I4, DISP_E_OVERFLOW),
        Fails(Variant(int16_t{-1}), VT_UI4, DISP_E_OVERFLOW),
        Ok(Variant::FromInt(-7), VT_I2, Variant(int16_t{-7})),
        Ok(Variant::FromUInt(7), VT_UI1, Variant(uint8_t{7})),
        Ok(U8(kAllOnes), VT_R8, R8(18446744073709551616.0)),
    });
}

TEST(ChangeTypeNumbers, RoundingToIntegersIsHalfToEven)
{
    CheckConversions({
        Ok(R8(2.5), VT_I4, Variant(int32_t{2})),
        Ok(R8(3.5), VT_I4, Variant(int32_t{4})),
        Ok(R8(-2.5), VT_I4, Variant(int32_t{-2})),
        Ok(R8(-3.5), VT_I4, Variant(int32_t{-4})),
        Ok(R8(0.5), VT_I2, Variant(int16_t{0})),
        Ok(R8(1.5), VT_I2, Variant(int16_t{2})),
        Ok(R8(2.4999), VT_I2, Variant(int16_t{2})),
        Ok(R8(2.5000001), VT_I2, Variant(int16_t{3})),
        Ok(R8(-0.5), VT_UI1, Variant(uint8_t{0})),
        Fails(R8(-0.6), VT_UI1, DISP_E_OVERFLOW),
        Ok(R8(126.5), VT_I1, Variant(int8_t{126})),
        Fails(R8(127.5), VT_I1, DISP_E_OVERFLOW),
        Ok(R8(-128.5), VT_I1, Variant(int8_t{-128})),
        Ok(R8(254.5), VT_UI1, Variant(uint8_t{254})),
        Fails(R8(255.5), VT_UI1, DISP_E_OVERFLOW),
        Ok(R8(2147483646.5), VT_I4, Variant(int32_t{2147483646})),
        Fails(R8(2147483647.5), VT_I4, DISP_E_OVERFLOW),
        Ok(R4(2.5f), VT_I4, Variant(int32_t{2})),
        Ok(R4(-3.5f), VT_I8, I8(-4)),
        Ok(Date(36526.5), VT_I4, Variant(int32_t{36526})),
        Ok(Cy(25000), VT_I4, Variant(int32_t{2})),
        Ok(Cy(35000), VT_I4, Variant(int32_t{4})),
        Ok(Cy(-25000), VT_I4, Variant(int32_t{-2})),
        Ok(Cy(25001), VT_I4, Variant(int32_t{3})),
        Ok(Cy(std::numeric_limits<int64_t>::max()), VT_I8, I8(922337203685478LL)),
        Ok(Cy(std::numeric_limits<int64_t>::min()), VT_I8, I8(-922337203685478LL)),
        Ok(Dec(false, 1, 0, 25), VT_I4, Variant(int32_t{2})),
        Ok(Dec(false, 1, 0, 35), VT_I4, Variant(int32_t{4})),
        Ok(Dec(true, 1, 0, 25), VT_I4, Variant(int32_t{-2})),
        Ok(Dec(false, 28, 0, 5), VT_I4, Variant(int32_t{0})),
        Ok(Variant(L"2.5"), VT_I4, Variant(int32_t{2})),
        Ok(Variant(L"3.5"), VT_I4, Variant(int32_t{4})),
        Ok(Variant(L"-2.5"), VT_I2, Variant(int16_t{-2})),
        Ok(Variant(L"0.5000000000000000000000000000000000000001"), VT_I4, Variant(int32_t{1})),
    });
}

TEST(ChangeTypeNumbers, MoneyRoundsToFourDecimalsAndKeepsItsRange)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    CheckConversions({
        Ok(R8(1.23456), VT_CY, Cy(12346)),
        Ok(R8(0.00005), VT_CY, Cy(0)),
        Ok(R8(0.00015), VT_CY, Cy(2)),
        Ok(R8(-0.00025), VT_CY, Cy(-2)),
        Ok(R8(0.1), VT_CY, Cy(1000)),
        Ok(R8(-0.0), VT_CY, Cy(0)),
        Ok(R4(0.1f), VT_CY, Cy(1000)),
        Fails(R8(1e15), VT_CY, DISP_E_OVERFLOW),
        Fails(R8(std::numeric_limits<double>::infinity()), VT_CY, DISP_E_OVERFLOW),
        Ok(Variant(L"922337203685477.5807"), VT_CY, Cy(kMax)),
        Fails(Variant(L"922337203685477.5808"), VT_CY, DISP_E_OVERFLOW),
        Ok(Variant(L"-922337203685477.5808"), VT_CY, Cy(kMin)),
        Fails(Variant(L"-922337203685477.5809"), VT_CY, DISP_E_OVERFLOW),
        Ok(Variant(L"0.00005"), VT_CY, Cy(0)),
        Ok(Variant(L"0.00015"), VT_CY, Cy(2)),
        Ok(I8(922337203685477LL), VT_CY, Cy(9223372036854770000LL)),
        Fails(I8(922337203685478LL), VT_CY, DISP_E_OVERFLOW),
        Ok(Variant(int32_t{-3}), VT_CY, Cy(-30000)),
        Ok(Dec(false, 5, 0, 123455), VT_CY, Cy(12346)),
        Ok(Dec(false, 5, 0, 123465), VT_CY, Cy(12346)),
        Ok(Cy(12345), VT_R8, R8(1.2345)),
        Ok(Cy(kMin), VT_R8, R8(-922337203685477.5808)),
        Ok(Cy(5000), VT_R4, R4(0.5f)),
        Ok(Cy(12345), VT_DECIMAL, Dec(false, 4, 0, 12345)),
        Ok(Cy(kMin), VT_DECIMAL, Dec(true, 4, 0, 9223372036854775808ULL)),
        Ok(Date(1.5), VT_CY, Cy(15000)),
    });
}

TEST(ChangeTypeNumbers, DecimalsHoldNinetySixBitsAndUpToTwentyEightDecimals)
{
    constexpr uint32_t kHi = 0xFFFFFFFFu;
    CheckConversions({
        // Exact from integers.
        Ok(I8(std::numeric_limits<int64_t>::min()), VT_DECIMAL,
           Dec(true, 0, 0, 9223372036854775808ULL)),
        Ok(U8(kAllOnes), VT_DECIMAL, Dec(false, 0, 0, kAllOnes)),
        Ok(Variant(int16_t{-5}), VT_DECIMAL, Dec(true, 0, 0, 5)),
        // Doubles keep 15 significant digits, with the smallest scale.
        Ok(R8(0.1), VT_DECIMAL, Dec(false, 1, 0, 1)),
        Ok(R8(-2.5), VT_DECIMAL, Dec(true, 1, 0, 25)),
        Ok(R8(1.0 / 3), VT_DECIMAL, Dec(false, 15, 0, 333333333333333ULL)),
        Ok(R8(123456789012345678.0), VT_DECIMAL, Dec(false, 0, 0, 123456789012346000ULL)),
        Ok(R8(1e21), VT_DECIMAL, Dec(false, 0, 54, 3875820019684212736ULL)),  // 10^21
        Ok(R8(-0.0), VT_DECIMAL, Dec(false, 0, 0, 0)),
        Ok(R8(1e-28), VT_DECIMAL, Dec(false, 28, 0, 1)),
        Ok(R8(1e-29), VT_DECIMAL, Dec(false, 28, 0, 0)),
        Fails(R8(1e29), VT_DECIMAL, DISP_E_OVERFLOW),
        Fails(R8(std::nan("")), VT_DECIMAL, DISP_E_OVERFLOW),
        Ok(R4(0.1f), VT_DECIMAL, Dec(false, 1, 0, 1)),
        // Text keeps its digits and scale.
        Ok(Variant(L"1.50"), VT_DECIMAL, Dec(false, 2, 0, 150)),
        Ok(Variant(L"-0.0000000000000000000000000001"), VT_DECIMAL, Dec(true, 28, 0, 1)),
        Ok(Variant(L"0.00000000000000000000000000005"), VT_DECIMAL, Dec(false, 28, 0, 0)),
        Ok(Variant(L"0.00000000000000000000000000015"), VT_DECIMAL, Dec(false, 28, 0, 2)),
        Ok(Variant(L"79228162514264337593543950335"), VT_DECIMAL, Dec(false, 0, kHi, kAllOnes)),
        Fails(Variant(L"79228162514264337593543950336"), VT_DECIMAL, DISP_E_OVERFLOW),
        // More digits than 96 bits hold: decimals are given up, rounding half to even.
        Ok(Variant(L"7.92281625142643375935439503354"), VT_DECIMAL, Dec(false, 28, kHi, kAllOnes)),
        Ok(Variant(L"1.5e3"), VT_DECIMAL, Dec(false, 0, 0, 1500)),
        // From decimals to the other numbers.
        Ok(Dec(false, 28, 0, 1), VT_R8, R8(1e-28)),
        Ok(Dec(false, 1, 0, 1), VT_R8, R8(0.1)),
        Ok(Dec(true, 0, kHi, kAllOnes), VT_R8, R8(-79228162514264337593543950335.0)),
        Ok(Dec(false, 28, kHi, kAllOnes), VT_R8, R8(7.9228162514264337593543950335)),
        Ok(Dec(false, 2, 0, 25), VT_R4, R4(0.25f)),
        Ok(Dec(false, 0, 0, 0), VT_BOOL, Variant(false)),
        Ok(Dec(true, 28, 0, 1), VT_BOOL, Variant(true)),
        Fails(Dec(false, 29, 0, 1), VT_R8, E_INVALIDARG),
        Fails(Dec(false, 0, kHi, kAllOnes), VT_CY, DISP_E_OVERFLOW),
    });
}

TEST(ChangeTypeNumbers, FloatingPointAndBooleanConversions)
{
    CheckConversions({
        Ok(R8(0.1), VT_R4, R4(0.1f)),
        Fails(R8(1e39), VT_R4, DISP_E_OVERFLOW),
        Fails(R8(-1e39), VT_R4, DISP_E_OVERFLOW),
        Ok(R8(1e-50), VT_R4, R4(0.0f)),
        Ok(R4(0.5f), VT_R8, R8(0.5)),
        Ok(Variant(int32_t{-7}), VT_R8, R8(-7.0)),
        Ok(I8(9007199254740993LL), VT_R8, R8(9007199254740992.0)),  // ties to even
        Ok(Variant(int32_t{16777217}), VT_R4, R4(16777216.0f)),
        Ok(Date(36526.25), VT_R8, R8(36526.25)),
        // Booleans: true is -1; unsigned targets get all bits set.
        Ok(Variant(int32_t{5}), VT_BOOL, Variant(true)),
        Ok(Variant(int32_t{0}), VT_BOOL, Variant(false)),
        Ok(R8(-0.0), VT_BOOL, Variant(false)),
        Ok(R8(0.1), VT_BOOL, Variant(true)),
        Ok(Cy(1), VT_BOOL, Variant(true)),
        Ok(Date(0), VT_BOOL, Variant(false)),
        Ok(Variant(true), VT_I2, Variant(int16_t{-1})),
        Ok(Variant(true), VT_I8, I8(-1)),
        Ok(Variant(false), VT_I4, Variant(int32_t{0})),
        Ok(Variant(true), VT_UI1, Variant(uint8_t{255})),
        Ok(Variant(true), VT_UI2, Variant(uint16_t{65535})),
        Ok(Variant(true), VT_UI4, Variant(uint32_t{4294967295u})),
        Ok(Variant(true), VT_UI8, U8(kAllOnes)),
        Ok(Variant(false), VT_UI8, U8(0)),
        Ok(Variant(true), VT_R8, R8(-1.0)),
        Ok(Variant(true), VT_CY, Cy(-10000)),
        Ok(Variant(true), VT_DECIMAL, Dec(true, 0, 0, 1)),
        Ok(Variant(true), VT_DATE, Date(-1.0)),
    });
}

TEST(ChangeTypeNumbers, DatesAreDaysWithinYear100To9999)
{
    CheckConversions({
        Ok(Variant(int32_t{1}), VT_DATE, Date(1.0)),
        Ok(R8(-657434.0), VT_DATE, Date(-657434.0)),
        Ok(R8(-657434.99), VT_DATE, Date(-657434.99)),
        Fails(R8(-657435.0), VT_DATE, DISP_E_OVERFLOW),
        Ok(R8(2958465.99), VT_DATE, Date(2958465.99)),
        Fails(R8(2958466.0), VT_DATE, DISP_E_OVERFLOW),
        Fails(I8(3000000), VT_DATE, DISP_E_OVERFLOW),
        Fails(R8(std::nan("")), VT_DATE, DISP_E_OVERFLOW),
        Ok(Cy(15000), VT_DATE, Date(1.5)),
        Ok(Dec(true, 2, 0, 125), VT_DATE, Date(-1.25)),
        Ok(Date(-1.25), VT_R8, R8(-1.25)),
        Ok(Date(-1.25), VT_DECIMAL, Dec(true, 2, 0, 125)),
    });
}

TEST(ChangeTypeNumbers, EmptyIsZeroAndNullConvertsOnlyToNullOrEmpty)
{
    const Variant null = Variant::Null();
    CheckConversions({
        Ok(Variant(), VT_I4, Variant(int32_t{0})),
        Ok(Variant(), VT_UI1, Variant(uint8_t{0})),
        Ok(Variant(), VT_R8, R8(0.0)),
        Ok(Variant(), VT_R4, R4(0.0f)),
        Ok(Variant(), VT_CY, Cy(0)),
        Ok(Variant(), VT_DECIMAL, Dec(false, 0, 0, 0)),
        Ok(Variant(), VT_BOOL, Variant(false)),
        Ok(Variant(), VT_DATE, Date(0)),
        Ok(Variant(), VT_BSTR, Variant(L"")),
        Ok(Variant(), VT_NULL, null),
        Ok(null, VT_NULL, null),
        Ok(null, VT_EMPTY, Variant()),
        Ok(Variant(int32_t{5}), VT_EMPTY, Variant()),
        Fails(null, VT_I4, DISP_E_TYPEMISMATCH),
        Fails(null, VT_R8, DISP_E_TYPEMISMATCH),
        Fails(null, VT_BSTR, DISP_E_TYPEMISMATCH),
        Fails(null, VT_BOOL, DISP_E_TYPEMISMATCH),
        Fails(null, VT_DATE, DISP_E_TYPEMISMATCH),
        Fails(null, VT_DECIMAL, DISP_E_TYPEMISMATCH),
        Fails(Variant(int32_t{5}), VT_NULL, DISP_E_TYPEMISMATCH),
        Fails(Variant(int32_t{5}), static_cast<VarType>(15), DISP_E_BADVARTYPE),
        Fails(Variant::FromError(E_FAIL), VT_I4, DISP_E_TYPEMISMATCH),
        Fails(Variant(SafeArray({1, 2})), VT_I4, DISP_E_TYPEMISMATCH),
        Fails(Variant(int32_t{5}), static_cast<VarType>(VT_ARRAY | VT_UI1), DISP_E_TYPEMISMATCH),
    });
}

TEST(ChangeTypeNumbers, SameTypeIsReturnedUnchanged)
{
    const Variant values[] = {
        Variant(int32_t{-3}),     Variant(2.5),     Cy(1),
        Dec(true, 28, 1, 2),      Variant(L"text"), Variant(SafeArray({1, 2, 3})),
        Variant::FromDate(-1.25), Variant::Null()};
    for (const Variant& v : values)
        EXPECT_TRUE(ChangeType(v, v.vt()) == v) << Show(v);
}

TEST(ChangeTypeNumbers, ErrorsDescribeTheValueAndTheTarget)
{
    try {
        ChangeType(Variant(L"abc"), VT_I4);
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.Error(), DISP_E_TYPEMISMATCH);
        EXPECT_NE(e.Description().find(L"\"abc\""), std::wstring::npos);
        EXPECT_NE(e.Description().find(L"Type mismatch"), std::wstring::npos);
    }
    try {
        ChangeType(Variant(int32_t{300}), VT_UI1);
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.Error(), DISP_E_OVERFLOW);
        EXPECT_NE(e.Description().find(L"Overflow"), std::wstring::npos);
        EXPECT_NE(e.Description().find(L"byte"), std::wstring::npos);
    }
}

}  // namespace
}  // namespace automation::testing
