// Access expressions evaluated by the engine: literals, operators and the
// common Access functions, each with the value and automation type Access gives.
#include <cmath>
#include <limits>

#include "store_fixture.h"

namespace providertest {
namespace {

using namespace automation;

class ExpressionTest : public StoreTest {
protected:
    Variant Eval(const std::wstring& expr)
    {
        auto rs = Query(L"SELECT " + expr + L" AS x");
        return rs->Fields()->Item(0L)->Value();
    }

    // Eval, with a raised error reported as the case's failure.
    bool Evaluates(const std::wstring& expr, Variant& got)
    {
        try {
            got = Eval(expr);
            return true;
        } catch (const ComError& e) {
            ADD_FAILURE() << ToUtf8(expr) << " raised " << ToUtf8(e.Description());
            return false;
        }
    }
};

TEST_F(ExpressionTest, OperatorsAndFunctionsGiveAccessResults)
{
    struct Case {
        const wchar_t* expr;
        Variant expected;
    };
    const Case cases[] = {
        {L"'it''s' & \"a \"\"b\"\"\"", Variant(L"it'sa \"b\"")},
        {L"Null & 'x'", Variant(L"x")},
        {L"1 + 2 * 3 - 4", Variant(3)},
        {L"7 / 2", Variant(3.5)},
        {L"7 \\ 2", Variant(3)},
        {L"-7 Mod 3", Variant(-1)},
        {L"2 ^ 10", Variant(1024.0)},
        {L"'ab' + 'cd'", Variant(L"abcd")},
        {L"IIf(3 > 2 And Not (1 = 2), 'yes', 'no')", Variant(L"yes")},
        {L"IIf('abc' Like 'a?c' And 'a1' Like 'a#' And 'xyz' Like '*Z', 1, 0)", Variant(1)},
        {L"IIf('b' Like '[a-c]' And Not 'd' Like '[!d]', 1, 0)", Variant(1)},
        {L"IIf(Null Is Null And 5 In (1, 5) And 5 Between 1 And 9, 1, 0)", Variant(1)},
        {L"IIf(5 Not In (1, 2) And 5 Not Between 6 And 9, 1, 0)", Variant(1)},
        {L"Chr(65) & Len('a')", Variant(L"A1")},
        {L"Asc('A') + Asc('abc')", Variant(162)},
        {L"Len('h\x00E9llo')", Variant(5)},
        {L"Left('abcdef', 2) & Right('abcdef', 2) & Mid('abcdef', 3)", Variant(L"abefcdef")},
        {L"UCase('ab\x00E9') & LCase('CD')", Variant(L"AB\x00C9"
                                                     L"cd")},
        {L"'[' & Trim('  a  ') & '|' & LTrim('  b ') & '|' & RTrim(' c  ') & ']'",
         Variant(L"[a|b | c]")},
        {L"InStr('abcabc', 'c') * 10 + InStr(4, 'abcabc', 'C')", Variant(36)},
        {L"InStr('abc', 'z')", Variant(0)},
        {L"Year(#7/4/1776#) * 10000 + Month(#7/4/1776#) * 100 + Day(#7/4/1776#)",
         Variant(17760704)},
        {L"Nz(Null, 5) + Nz(2, 5)", Variant(7)},
        {L"CStr(12.5)", Variant(L"12.5")},
        {L"CStr(#1/2/2003#)", Variant(L"1/2/2003")},
        {L"CLng(2.5) + CLng(3.5)", Variant(6)},
        {L"CInt('12')", Variant(int16_t{12})},
        {L"CDbl('1.25')", Variant(1.25)},
        {L"CCur(1.23456)", Variant(Currency{12346})},
        {L"CDate('12/25/2020 6:00 PM')", Variant::FromDate(44190.75)},
        {L"Int(-2.5) & ' ' & Fix(-2.5) & ' ' & Abs(-3)", Variant(L"-3 -2 3")},
        {L"Round(2.5) & ' ' & Round(3.5) & ' ' & Round(1.2345, 2)", Variant(L"2 4 1.23")},
        {L"#12/30/1899# + 1", Variant::FromDate(1.0)},
        {L"TRUE", Variant(true)},
        {L"Null", Variant::Null()},
        {L"Year(Date()) > 2000 And Now() >= Date() And Time() < 1", Variant(true)},
    };
    for (const Case& c : cases) {
        Variant got;
        if (!Evaluates(c.expr, got))
            continue;
        if (c.expected.vt() == VT_DATE && got.vt() == VT_DATE)
            EXPECT_NEAR(got.date(), c.expected.date(), 1e-9) << ToUtf8(c.expr);
        else
            EXPECT_TRUE(got == c.expected)
                << ToUtf8(c.expr) << " gave type " << got.vt()
                << (got.vt() == VT_BSTR ? " " + ToUtf8(got.bstrVal()) : std::string());
    }
}

TEST_F(ExpressionTest, RuntimeFailuresAreClearErrors)
{
    struct Case {
        const wchar_t* expr;
        const wchar_t* fragment;
    };
    const Case cases[] = {
        {L"1 / 0", L"Division by zero"},
        {L"5 Mod 0", L"Division by zero"},
        // Whole-number division traps the machine where its quotient does not fit.
        {L"(-9223372036854775807 - 1) \\ -1", L"Overflow"},
        {L"1e30 \\ 1", L"Overflow"},
        {L"CLng(3000000000)", L"Overflow"},
        {L"CDate('no date')", L"not a date"},
        {L"NoSuchFunction(1)", L"Undefined function 'NoSuchFunction'"},
        {L"Left('abc')", L"Wrong number of arguments"},
    };
    for (const Case& c : cases) {
        std::wstring error;
        try {
            Eval(c.expr);
        } catch (const ComError& e) {
            error = e.Description();
        }
        EXPECT_NE(error.find(c.fragment), std::wstring::npos)
            << ToUtf8(c.expr) << " -> " << ToUtf8(error);
    }
}

TEST_F(ExpressionTest, DefaultsIndexesAndDropsChangeTheTable)
{
    Run(L"CREATE TABLE d (id COUNTER CONSTRAINT pk PRIMARY KEY, name TEXT(10) DEFAULT 'none', "
        L"n LONG DEFAULT 3 * 4, at DATETIME DEFAULT #1/1/2000#, u TEXT(5) NOT NULL UNIQUE)");
    Run(L"INSERT INTO d (u) VALUES ('a')");
    Run(L"CREATE INDEX tmp ON d (n)");
    auto rs = Query(L"SELECT name, n, at FROM d");
    EXPECT_EQ(rs->Fields()->Item(L"name")->Value(), Variant(L"none"));
    EXPECT_EQ(rs->Fields()->Item(L"n")->Value(), Variant(12));
    EXPECT_EQ(rs->Fields()->Item(L"at")->Value(), Variant::FromDate(36526.0));
    // An open Recordset holds its statement; schema changes wait for its Close.
    EXPECT_NE(ErrorOf(L"DROP INDEX tmp ON d").find(L"in use"), std::wstring::npos);
    rs->Close();
    Run(L"DROP INDEX tmp ON d");
    Run(L"CREATE INDEX byName ON d (name DESC, n) WITH DISALLOW NULL");
    EXPECT_NE(ErrorOf(L"INSERT INTO d (u, name) VALUES ('b', Null)").find(L"Null value"),
              std::wstring::npos);
    EXPECT_NE(ErrorOf(L"CREATE INDEX byName ON d (n)").find(L"already exists"), std::wstring::npos);
    EXPECT_NE(ErrorOf(L"CREATE INDEX p2 ON d (n) WITH PRIMARY").find(L"Primary key"),
              std::wstring::npos);
    Run(L"DROP INDEX byName ON d");
    EXPECT_EQ(Run(L"INSERT INTO d (u, name) VALUES ('b', Null)"), 1);
    // Index names belong to their table: another table may reuse one.
    Run(L"CREATE TABLE e (x LONG)");
    Run(L"CREATE UNIQUE INDEX pk ON e (x)");
    EXPECT_NE(ErrorOf(L"DROP INDEX nope ON e").find(L"does not exist"), std::wstring::npos);
    Run(L"DROP TABLE e");
    EXPECT_NE(ErrorOf(L"SELECT * FROM e").find(L"cannot find the input table"), std::wstring::npos);
    EXPECT_NE(ErrorOf(L"CREATE TABLE d (x LONG)").find(L"already exists"), std::wstring::npos);
    EXPECT_NE(ErrorOf(L"CREATE TABLE f (t TEXT(256))").find(L"too long"), std::wstring::npos);
    EXPECT_EQ(ErrorOf(L"ALTER TABLE d ADD COLUMN z LONG"), L"");
}

}  // namespace
}  // namespace providertest

namespace providertest {
namespace {

// Automation dates before 12/30/1899 count whole days backwards while the time still counts
// forward (-1.75 is 12/29/1899 18:00), wherever a number becomes a date or a date a number.
TEST_F(ExpressionTest, DatesBeforeDayZeroMeetNumbersByTheAutomationRule)
{
    struct Case {
        const wchar_t* expr;
        Variant expected;
    };
    const Case cases[] = {
        {L"CDbl(#12/29/1899 18:00:00#)", Variant(-1.75)},
        {L"CDbl(#12/28/1899 06:00:00#)", Variant(-2.25)},
        {L"CLng(#12/28/1899#)", Variant(-2)},
        {L"CDate(-1.75)", Variant::FromDate(-1.75)},
        {L"Day(-1.75)", Variant(29)},
        {L"Day(CDate(-1.75))", Variant(29)},
        {L"Day(-2.25)", Variant(28)},
        {L"#12/29/1899 18:00:00# + 0.5", Variant::FromDate(-1.25)},
        {L"#12/29/1899 18:00:00# + 2", Variant::FromDate(0.25)},
        {L"#12/30/1899# - #12/29/1899 18:00:00#", Variant(1.75)},
        {L"#1/2/100 12:00:00# - 1", Variant::FromDate(-657434.5)},
    };
    for (const Case& c : cases) {
        Variant got;
        if (!Evaluates(c.expr, got))
            continue;
        EXPECT_EQ(got.vt(), c.expected.vt()) << ToUtf8(c.expr);
        double value = got.vt() == VT_DATE ? got.date() : ChangeType(got, VT_R8).dblVal();
        double want =
            c.expected.vt() == VT_DATE ? c.expected.date() : ChangeType(c.expected, VT_R8).dblVal();
        EXPECT_EQ(value, want) << ToUtf8(c.expr);
    }

    // Into a field and back: as a literal, as a number parameter and as a date parameter.
    Run(L"CREATE TABLE d (k LONG, at DATETIME)");
    Run(L"INSERT INTO d VALUES (1, -1.75)");
    connection->Run(L"INSERT INTO d VALUES (2, ?)", {Variant(-1.75)}, nullptr, adCmdText);
    connection->Run(L"INSERT INTO d VALUES (3, ?)", {Variant::FromDate(-1.75)}, nullptr, adCmdText);
    Run(L"INSERT INTO d VALUES (4, #12/29/1899 18:00:00#)");
    auto rs = Query(L"SELECT k, at, CDbl(at) FROM d ORDER BY k");
    for (int k = 1; k <= 4; ++k, rs->MoveNext()) {
        ASSERT_FALSE(rs->IsEOF());
        EXPECT_EQ(rs->Fields()->Item(1L)->Value(), Variant::FromDate(-1.75)) << k;
        EXPECT_EQ(rs->Fields()->Item(2L)->Value(), Variant(-1.75)) << k;
    }
    rs->Close();
    rs = Query(
        L"SELECT count(*) FROM d WHERE at = -1.75 AND at = #12/29/1899 18:00:00# AND "
        L"Day(at) = 29");
    EXPECT_EQ(rs->Fields()->Item(0L)->Value(), Variant(4));
}

// The largest SINGLE value goes in by any text that rounds to it, its shortest text included;
// only a value that rounds past it is refused.
TEST_F(ExpressionTest, SingleFieldsTakeEveryTextThatRoundsToAFiniteFloat)
{
    Run(L"CREATE TABLE s (k LONG, v SINGLE)");
    const wchar_t* accepted[] = {L"3.4028235e+38",          L"3.402823466E+38",
                                 L"3.4028234663852886E+38", L"-3.4028235E+38",
                                 L"3.40282356779733E+38",   L"'3.4028235e38'"};
    for (const wchar_t* text : accepted) {
        Run(L"DELETE FROM s");
        EXPECT_EQ(ErrorOf(L"INSERT INTO s VALUES (1, " + std::wstring(text) + L")"), L"")
            << ToUtf8(text);
        auto rs = Query(L"SELECT v FROM s WHERE v = " + std::wstring(text));
        ASSERT_FALSE(rs->IsEOF()) << ToUtf8(text);
        EXPECT_EQ(std::fabs(rs->Fields()->Item(0L)->Value().fltVal()),
                  std::numeric_limits<float>::max())
            << ToUtf8(text);
        rs->Close();
    }
    for (const wchar_t* text : {L"3.40282357e+38", L"1e39", L"-3.5e38"})
        EXPECT_NE(
            ErrorOf(L"INSERT INTO s VALUES (0, " + std::wstring(text) + L")").find(L"Overflow"),
            std::wstring::npos)
            << ToUtf8(text);
}

}  // namespace
}  // namespace providertest
