// Expressions of Access SQL: every form, Access operator precedence, literal values
// and validation rules.
#include <gtest/gtest.h>

#include <string>

#include "platform/automation/wide_text.h"
#include "platform/provider/sql/ast_dump.h"
#include "platform/provider/sql/parser.h"
#include "platform/provider/sql/printer.h"

namespace provider::sql {
namespace {

std::string Narrow(const std::wstring& s)
{
    return automation::ToUtf8(s);
}

struct ExprCase {
    std::wstring text;
    std::wstring outline;
};

void ExpectOutlines(const ExprCase* begin, const ExprCase* end, bool rule)
{
    for (const ExprCase* c = begin; c != end; ++c) {
        try {
            ExprPtr e = rule ? ParseValidationRule(c->text) : ParseExpression(c->text);
            EXPECT_EQ(Narrow(DumpExpression(*e)), Narrow(c->outline)) << Narrow(c->text);
        } catch (const SyntaxError& error) {
            ADD_FAILURE() << Narrow(c->text) << ": " << error.what();
        }
    }
}

TEST(AccessSqlExpression, ParsesEveryExpressionForm)
{
    const ExprCase cases[] = {
        {L"Price", L"[Price]"},
        {L"[Unit Price]", L"[Unit Price]"},
        {L"o.[Order ID]", L"[o].[Order ID]"},
        {L"[Order Details].Quantity", L"[Order Details].[Quantity]"},
        {L"t.Order", L"[t].[Order]"},
        {L"'it''s'", L"str:\"it's\""},
        {L"\"say \"\"hi\"\"\"", L"str:\"say \"\"hi\"\"\""},
        {L"''", L"str:\"\""},
        {L"42", L"i:42"},
        {L"2147483647", L"i:2147483647"},
        {L"2147483648", L"dec:2147483648"},
        {L"12.50", L"dec:12.50"},
        {L".5", L"dec:.5"},
        {L"922337203685477.5807", L"dec:922337203685477.5807"},
        {L"1E10", L"dbl:1E10"},
        {L"2.5e-3", L"dbl:2.5e-3"},
        {L"TRUE", L"true"},
        {L"false", L"false"},
        {L"Yes", L"true"},
        {L"NO", L"false"},
        {L"On", L"true"},
        {L"off", L"false"},
        {L"NULL", L"null"},
        {L"a & b", L"(& [a] [b])"},
        {L"a + b - c", L"(- (+ [a] [b]) [c])"},
        {L"a & b & c", L"(& [a] [b] [c])"},
        {L"(a - b) - c", L"(- [a] [b] [c])"},
        {L"a - (b - c)", L"(- [a] (- [b] [c]))"},
        {L"a AND b AND c OR d", L"(or (and [a] [b] [c]) [d])"},
        {L"a * b / c", L"(/ (* [a] [b]) [c])"},
        {L"a \\ b", L"(\\ [a] [b])"},
        {L"a Mod b", L"(mod [a] [b])"},
        {L"a ^ b", L"(^ [a] [b])"},
        {L"-a", L"(neg [a])"},
        {L"+a", L"[a]"},
        {L"a = b", L"(= [a] [b])"},
        {L"a <> b", L"(<> [a] [b])"},
        {L"a < b", L"(< [a] [b])"},
        {L"a <= b", L"(<= [a] [b])"},
        {L"a > b", L"(> [a] [b])"},
        {L"a >= b", L"(>= [a] [b])"},
        {L"Name LIKE 'A*'", L"(like [Name] str:\"A*\")"},
        {L"Code Not Like \"[!0-9]#?\"", L"(not-like [Code] str:\"[!0-9]#?\")"},
        {L"x IS NULL", L"(is-null [x])"},
        {L"x Is Not Null", L"(is-not-null [x])"},
        {L"x IN (1, 2, 'three')", L"(in [x] i:1 i:2 str:\"three\")"},
        {L"x NOT IN (1)", L"(not-in [x] i:1)"},
        {L"x IN (SELECT id FROM t)", L"(in [x] (select [id] (from [t])))"},
        {L"x BETWEEN 1 AND 10", L"(between [x] i:1 i:10)"},
        {L"x NOT BETWEEN a AND b", L"(not-between [x] [a] [b])"},
        {L"a AND b", L"(and [a] [b])"},
        {L"a OR b", L"(or [a] [b])"},
        {L"NOT a", L"(not [a])"},
        {L"a XOR b", L"(xor [a] [b])"},
        {L"a EQV b", L"(eqv [a] [b])"},
        {L"EXISTS (SELECT * FROM t WHERE t.k = o.k)",
         L"(exists (select * (from [t]) (where (= [t].[k] [o].[k]))))"},
        {L"(SELECT Max(p) FROM t)", L"(subquery (select (call Max [p]) (from [t])))"},
        {L"Count(*)", L"(call Count *)"},
        {L"Sum([Unit Price] * Quantity)", L"(call Sum (* [Unit Price] [Quantity]))"},
        {L"Mid(s, 2, 3)", L"(call Mid [s] i:2 i:3)"},
        {L"Now()", L"(call Now)"},
        {L"Left(s, 1) & Right(s, 1)", L"(& (call Left [s] i:1) (call Right [s] i:1))"},
        {L"Asc(s) + ASC ('b')", L"(+ (call Asc [s]) (call ASC str:\"b\"))"},
        {L"IIf(x > 0, 'pos', Nz(y, 0))", L"(call IIf (> [x] i:0) str:\"pos\" (call Nz [y] i:0))"},
        {L"?", L"?0"},
    };
    ExpectOutlines(std::begin(cases), std::end(cases), false);
}

TEST(AccessSqlExpression, FollowsAccessOperatorPrecedence)
{
    const ExprCase cases[] = {
        // ^ binds tighter than unary minus, which binds tighter than * and /.
        {L"-2 ^ 2", L"(neg (^ i:2 i:2))"},
        {L"2 ^ -1", L"(^ i:2 (neg i:1))"},
        {L"2 ^ 3 ^ 2", L"(^ i:2 i:3 i:2)"},  // left to right: (2 ^ 3) ^ 2
        {L"-a * b", L"(* (neg [a]) [b])"},
        {L"a * -b", L"(* [a] (neg [b]))"},
        // * / before \ before Mod before + -.
        {L"a \\ b * c", L"(\\ [a] (* [b] [c]))"},
        {L"a Mod b \\ c", L"(mod [a] (\\ [b] [c]))"},
        {L"a + b Mod c", L"(+ [a] (mod [b] [c]))"},
        {L"a - b * c ^ d", L"(- [a] (* [b] (^ [c] [d])))"},
        // + - before &, & before comparisons.
        {L"a & b + c", L"(& [a] (+ [b] [c]))"},
        {L"a = b & c", L"(= [a] (& [b] [c]))"},
        {L"a & b LIKE c & d", L"(like (& [a] [b]) (& [c] [d]))"},
        {L"a + 1 BETWEEN b AND c + 1", L"(between (+ [a] i:1) [b] (+ [c] i:1))"},
        // comparisons before NOT before AND before OR before XOR before EQV.
        {L"NOT a = b", L"(not (= [a] [b]))"},
        {L"NOT a AND b", L"(and (not [a]) [b])"},
        {L"a OR b AND c", L"(or [a] (and [b] [c]))"},
        {L"a XOR b OR c", L"(xor [a] (or [b] [c]))"},
        {L"a EQV b XOR c", L"(eqv [a] (xor [b] [c]))"},
        {L"x BETWEEN 1 AND 2 AND y", L"(and (between [x] i:1 i:2) [y])"},
        {L"a < b = c", L"(= (< [a] [b]) [c])"},
        {L"x IS NULL OR x = 0", L"(or (is-null [x]) (= [x] i:0))"},
        // Parentheses override.
        {L"(a + b) * c", L"(* (+ [a] [b]) [c])"},
        {L"NOT (a AND b)", L"(not (and [a] [b]))"},
    };
    ExpectOutlines(std::begin(cases), std::end(cases), false);
}

TEST(AccessSqlExpression, ReadsDateLiteralsInUsOrderAsAutomationDates)
{
    struct DateCase {
        std::wstring text;
        double date;
    };
    // Automation dates count days from 12/30/1899; the time is the fraction.
    const DateCase cases[] = {
        {L"#12/30/1899#", 0.0},
        {L"#1/1/1900#", 2.0},
        {L"#01/02/2000#", 36527.0},  // January 2nd, not February 1st
        {L"#2000-01-02#", 36527.0},
        {L"#1/2/2000 12:00:00#", 36527.5},
        {L"#1/2/2000 6:00 PM#", 36527.75},
        {L"#1/2/2000 12:00 AM#", 36527.0},
        {L"#2/29/2000#", 36585.0},
        {L"#12/31/9999#", 2958465.0},
        {L"#12/29/1899 06:00#", -1.25},  // before day zero the time still runs forward
        {L"#1/1/100#", -657434.0},
        {L"#18:00#", 0.75},
        {L"#1/2/00#", 36527.0},  // two-digit years 00-29 are 2000-2029
        {L"#1/1/30#", 10959.0},  // 30-99 are 1930-1999
    };
    for (const DateCase& c : cases) {
        ExprPtr e = ParseExpression(c.text);
        ASSERT_EQ(e->kind, ExprKind::Literal) << Narrow(c.text);
        ASSERT_EQ(e->value.vt(), automation::VT_DATE) << Narrow(c.text);
        EXPECT_DOUBLE_EQ(e->value.date(), c.date) << Narrow(c.text);
    }
}

TEST(AccessSqlExpression, GivesNumbersExactTypedValues)
{
    ExprPtr e = ParseExpression(L"123456789.0123");
    ASSERT_EQ(e->value.vt(), automation::VT_DECIMAL);
    EXPECT_EQ(e->value.decVal().scale, 4);
    EXPECT_EQ(e->value.decVal().lo64, 1234567890123ull);
    EXPECT_EQ(ParseExpression(L"7")->value.lVal(), 7);
    EXPECT_DOUBLE_EQ(ParseExpression(L"1.5E3")->value.dblVal(), 1500.0);
    // More digits than a decimal holds: a double.
    EXPECT_EQ(ParseExpression(L"123456789012345678901234567890")->value.vt(), automation::VT_R8);
    EXPECT_EQ(ParseExpression(L"'x'")->value.bstrVal(), L"x");
    EXPECT_EQ(ParseExpression(L"TRUE")->value.boolVal(), automation::VARIANT_TRUE);
}

TEST(AccessSqlExpression, ReadsValidationRulesWithTheColumnLeftOut)
{
    const ExprCase cases[] = {
        {L"> 0", L"(> @ i:0)"},
        {L">=0 And <=100", L"(and (>= @ i:0) (<= @ i:100))"},
        {L"<> ''", L"(<> @ str:\"\")"},
        {L"Is Not Null", L"(is-not-null @)"},
        {L"Like \"A*\"", L"(like @ str:\"A*\")"},
        {L"In ('a', 'b')", L"(in @ str:\"a\" str:\"b\")"},
        {L"Not In (1)", L"(not (in @ i:1))"},
        {L"Between 1 And 9", L"(between @ i:1 i:9)"},
        {L">= #1/1/2000#", L"(>= @ date:#01/01/2000#)"},
        {L"[Price] > 0", L"(> [Price] i:0)"},
        {L"Len([Code]) = 4", L"(= (call Len [Code]) i:4)"},
    };
    ExpectOutlines(std::begin(cases), std::end(cases), true);
}

TEST(AccessSqlExpression, NumbersPositionalParametersInOrder)
{
    Statement st = Parse(L"UPDATE t SET a = ?, b = ? & 'x' WHERE k = ?");
    EXPECT_EQ(st.positionalParameters, 3);
    EXPECT_EQ(Narrow(Dump(st)),
              "(update [t] (set [a] ?0) (set [b] (& ?1 str:\"x\")) (where (= [k] ?2)))");
}

TEST(AccessSqlExpression, KeepsLongOperatorRunsFlat)
{
    // A memo text with many line breaks, as the synchronisation script writes it.
    std::wstring text = L"INSERT INTO t (m) VALUES (\"a\"";
    for (int i = 0; i < 200000; ++i)
        text += L" & chr(13) & chr(10) & \"line\"";
    text += L")";
    Statement st = Parse(text);
    const Expr& value = *std::get<Insert>(st.body).values[0];
    EXPECT_EQ(value.op, Op::Concat);
    EXPECT_EQ(value.args.size(), 600001u);
    EXPECT_EQ(Parse(Print(st)).kind(), StatementKind::Insert);
}

TEST(AccessSqlExpression, KeepsSourceOffsetsOfNodes)
{
    ExprPtr e = ParseExpression(L"a + Len([b c])");
    EXPECT_EQ(e->pos, 0u);
    EXPECT_EQ(e->args[0]->pos, 0u);
    EXPECT_EQ(e->args[1]->pos, 4u);
    EXPECT_EQ(e->args[1]->args[0]->pos, 8u);
}

}  // namespace
}  // namespace provider::sql
