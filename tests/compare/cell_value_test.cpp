// The one ordering and equality rule of the comparison, over every class of value.
#include "compare/cell_value.h"

#include <gtest/gtest.h>

#include <climits>

#include "compare/db_record.h"

namespace {

using automation::Currency;
using automation::Decimal;
using automation::SafeArray;
using automation::Variant;

int Sign(int v)
{
    return (v > 0) - (v < 0);
}

Variant Dec(uint64_t lo, uint8_t scale, bool negative = false, uint32_t hi = 0)
{
    Decimal d;
    d.lo64 = lo;
    d.hi32 = hi;
    d.scale = scale;
    d.negative = negative;
    return Variant(d);
}

Variant Bytes(std::vector<uint8_t> bytes)
{
    return Variant(SafeArray(std::move(bytes)));
}

Variant Money(int64_t scaled)
{
    return Variant(Currency{scaled});
}

struct CompareCase {
    const char* what;
    Variant a;
    Variant b;
    bool nullEqualsEmpty;
    int expected;  // sign
};

// A case is named by what it tries, so that the test's name is readable and the same in every
// build (not the bytes of the parameter).
void PrintTo(const CompareCase& c, std::ostream* os)
{
    *os << c.what;
}

class CellValueCompareTest : public testing::TestWithParam<CompareCase> {};

TEST_P(CellValueCompareTest, OrdersAsTheProviderDoes)
{
    const CompareCase& c = GetParam();
    EXPECT_EQ(Sign(CellValue(c.a).Compare(CellValue(c.b), c.nullEqualsEmpty)), c.expected)
        << c.what;
    // The rule is antisymmetric.
    EXPECT_EQ(Sign(CellValue(c.b).Compare(CellValue(c.a), c.nullEqualsEmpty)), -c.expected)
        << c.what << " (reversed)";
}

INSTANTIATE_TEST_SUITE_P(
    Values, CellValueCompareTest,
    testing::Values(
        CompareCase{"null null", Variant::Null(), Variant::Null(), false, 0},
        CompareCase{"null before number", Variant::Null(), Variant(int32_t(-5)), false, -1},
        CompareCase{"null before text", Variant::Null(), Variant(L"a"), false, -1},
        CompareCase{"null before empty text without the setting", Variant::Null(), Variant(L""),
                    false, -1},
        CompareCase{"null equals empty text with the setting", Variant::Null(), Variant(L""), true,
                    0},
        CompareCase{"null still before non-empty text with the setting", Variant::Null(),
                    Variant(L"x"), true, -1},
        CompareCase{"null before a date with the setting", Variant::Null(), Variant::FromDate(1.0),
                    true, -1},
        CompareCase{"text by code point: case matters", Variant(L"ABC"), Variant(L"abc"), false,
                    -1},
        CompareCase{"text equal", Variant(L"abc"), Variant(L"abc"), false, 0},
        CompareCase{"text prefix first", Variant(L"ab"), Variant(L"abc"), false, -1},
        CompareCase{"text beyond the BMP by code point", Variant(L"\uFFFF"), Variant(L"\U0001F600"),
                    false, -1},
        CompareCase{"text with embedded NUL", Variant(std::wstring(L"a\0b", 3)),
                    Variant(std::wstring(L"a\0c", 3)), false, -1},
        CompareCase{"dates chronologically", Variant::FromDate(45000.5),
                    Variant::FromDate(45001.25), false, -1},
        CompareCase{"dates before 1899 chronologically", Variant::FromDate(-1.75),
                    Variant::FromDate(-1.25), false, 1},
        CompareCase{"I4 5 equals R8 5.0", Variant(int32_t(5)), Variant(5.0), false, 0},
        CompareCase{"UI4 above int range against I4 -1", Variant(uint32_t(3000000000u)),
                    Variant(int32_t(-1)), false, 1},
        CompareCase{"I8 extremes do not wrap", Variant(int64_t(LLONG_MAX)),
                    Variant(int64_t(LLONG_MIN)), false, 1},
        CompareCase{"I8 near max differ by one", Variant(int64_t(LLONG_MAX)),
                    Variant(int64_t(LLONG_MAX - 1)), false, 1},
        CompareCase{"UI8 max against I8 max", Variant(uint64_t(ULLONG_MAX)),
                    Variant(int64_t(LLONG_MAX)), false, 1},
        CompareCase{"I2 against UI1", Variant(int16_t(-3)), Variant(uint8_t(2)), false, -1},
        CompareCase{"money differs in the fourth decimal", Money(12345678901234567),
                    Money(12345678901234568), false, -1},
        CompareCase{"money equals integer", Money(70000), Variant(int32_t(7)), false, 0},
        CompareCase{"money equals decimal of another scale", Money(15000), Dec(15, 1), false, 0},
        CompareCase{"decimal 28 digits differ in the last digit",
                    Dec(0xFFFFFFFFFFFFFFFFull, 28, false, 0x1FFFFFFF),
                    Dec(0xFFFFFFFFFFFFFFFEull, 28, false, 0x1FFFFFFF), false, 1},
        CompareCase{"negative decimal below positive", Dec(1, 0, true), Dec(1, 5), false, -1},
        CompareCase{"negative zero decimal equals zero", Dec(0, 2, true), Variant(int32_t(0)),
                    false, 0},
        CompareCase{"larger negative money is smaller", Money(-20000), Money(-10000), false, -1},
        CompareCase{"decimal against double", Dec(25, 1), Variant(2.5), false, 0},
        CompareCase{"single against double", Variant(1.5f), Variant(1.75), false, -1},
        CompareCase{"single meets the double it stands for", Variant(0.1f), Variant(0.1), false,
                    0},
        CompareCase{"single against money at a single's precision", Variant(1.1f), Money(11000),
                    false, 0},
        CompareCase{"double beyond a single's precision is still larger", Variant(0.1f),
                    Variant(0.1000001), false, -1},
        CompareCase{"shorter binary first whatever the bytes", Bytes({0xFF}), Bytes({0, 0}), false,
                    -1},
        CompareCase{"binary bytes unsigned", Bytes({1, 0x80}), Bytes({1, 0x7F}), false, 1},
        CompareCase{"binary equal", Bytes({1, 2, 3}), Bytes({1, 2, 3}), false, 0},
        CompareCase{"binary above a number", Bytes({}), Variant(int32_t(1)), false, 1},
        CompareCase{"true before false as stored", Variant(true), Variant(false), false, -1}));

bool ConversionsAvailable()
{
    try {
        automation::ChangeType(Variant(int32_t(1)), automation::VT_BSTR);
        return true;
    } catch (const automation::ComError&) {
        return false;
    }
}

TEST(CellValueTextTest, MixedClassesCompareAsText)
{
    if (!ConversionsAvailable())
        GTEST_SKIP() << "automation conversions not available in this build";
    // The text 10 sorts before the text 9.
    EXPECT_LT(CellValue(Variant(L"10")).Compare(CellValue(Variant(int32_t(9))), false), 0);
    EXPECT_GT(CellValue(Variant(int32_t(9))).Compare(CellValue(Variant(L"10")), false), 0);
    EXPECT_EQ(CellValue(Variant(L"5")).Compare(CellValue(Variant(int32_t(5))), false), 0);
}

TEST(CellValueTextTest, ToTextForms)
{
    EXPECT_EQ(CellValue(Variant::Null()).ToText(), L"NULL");
    EXPECT_EQ(CellValue(Variant(L"a\r\nb")).ToText(), L"a\r\nb");
    EXPECT_EQ(CellValue(Bytes({1, 2})).ToText(), L"[Binary Object]");
    if (!ConversionsAvailable())
        GTEST_SKIP() << "automation conversions not available in this build";
    EXPECT_EQ(CellValue(Variant(int32_t(-42))).ToText(), L"-42");
    // Invariant locale: MM/DD/YYYY dates, HH:MM:SS times, a date without a time alone.
    EXPECT_EQ(CellValue(Variant::FromDate(2.0)).ToText(), L"#01/01/1900#");
    EXPECT_EQ(CellValue(Variant::FromDate(2.5)).ToText(), L"#01/01/1900 12:00:00#");
    EXPECT_EQ(CellValue(Money(12345)).ToText(), L"1.2345");
}

DbRecord Record(std::vector<Variant> values)
{
    DbRecord record(1);
    for (auto& v : values)
        record.AddValue(CellValue(std::move(v)));
    return record;
}

TEST(DbRecordTest, KeysCompareInKeyOrderAndValuesListEveryDifference)
{
    const DbRecord a = Record({Variant(int32_t(1)), Variant(L"x"), Variant::Null()});
    const DbRecord b = Record({Variant(int32_t(1)), Variant(L"y"), Variant(L"")});

    EXPECT_EQ(a.CompareKeys(b, {0}, false), 0);
    EXPECT_LT(a.CompareKeys(b, {0, 1}, false), 0);
    EXPECT_GT(b.CompareKeys(a, {2, 0}, false), 0);

    std::unique_ptr<std::vector<int>> changed;
    EXPECT_FALSE(a.CompareValues(b, changed, false));
    ASSERT_TRUE(changed);
    EXPECT_EQ(*changed, (std::vector<int>{1, 2}));

    EXPECT_FALSE(a.CompareValues(b, changed, true));
    EXPECT_EQ(*changed, (std::vector<int>{1}));

    EXPECT_TRUE(a.CompareValues(a, changed, false));
    EXPECT_FALSE(changed);
}

}  // namespace
