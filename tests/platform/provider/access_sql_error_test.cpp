// Broken Access SQL: the messages Access users know, the statement kind or clause,
// and the position where parsing stopped. Nothing is thrown but SyntaxError.
#include <gtest/gtest.h>

#include <string>

#include "platform/automation/wide_text.h"
#include "platform/provider/sql/parser.h"

namespace provider::sql {
namespace {

std::string Narrow(const std::wstring& s)
{
    return automation::ToUtf8(s);
}

struct ErrorCase {
    std::wstring text;
    std::wstring description;
    uint32_t offset;  // 0-based; the description shows it 1-based
};

TEST(AccessSqlError, NamesTheStatementOrClauseAndWhereParsingStopped)
{
    const ErrorCase cases[] = {
        {L"INSERT INTO t (a, b VALUES (1, 2)",
         L"Syntax error in INSERT INTO statement near 'VALUES' (position 21).", 20},
        {L"INSERT INTO t (a) VALUES (1, 2",
         L"Syntax error in INSERT INTO statement at the end (position 31).", 30},
        {L"SELECT a b FROM t",
         L"Syntax error (missing operator) in query expression 'a b' near 'b' "
         L"(SELECT statement, position 10).",
         9},
        {L"UPDATE t SET a = 1 2 WHERE k = 1",
         L"Syntax error (missing operator) in query expression '1 2' near '2' "
         L"(UPDATE statement, position 20).",
         19},
        {L"SELECT 1 + FROM t",
         L"Syntax error in query expression '1 + FROM' near 'FROM' "
         L"(SELECT statement, position 12).",
         11},
        {L"UPDATE [T] SET [a]=1 WHERE ",
         L"Syntax error in UPDATE statement at the end "
         L"(position 28).",
         27},
        {L"SELECT * FROM t INNER JOIN u",
         L"Syntax error in JOIN operation at the end (position 29).", 28},
        {L"SELECT * FROM t WHERE", L"Syntax error in SELECT statement at the end (position 22).",
         21},
        {L"SELECT * FROM , t", L"Syntax error in FROM clause near ',' (position 15).", 14},
        {L"DELETE FROM WHERE a = 1", L"Syntax error in FROM clause near 'WHERE' (position 13).",
         12},
        {L"SELECT a FROM t ORDER a", L"Syntax error in ORDER BY clause near 'a' (position 23).",
         22},
        {L"SELECT a FROM t GROUP a", L"Syntax error in GROUP BY clause near 'a' (position 23).",
         22},
        {L"CREATE TABLE t (a FOO)", L"Syntax error in field definition near 'FOO' (position 19).",
         18},
        {L"CREATE TABLE t (a TEXT(10) NOT)",
         L"Syntax error in field definition near 'NOT' (position 28).", 27},
        {L"CREATE TABLE t (a LONG, CONSTRAINT pk PRIMARY (a))",
         L"Syntax error in CONSTRAINT clause near '(' (position 47).", 46},
        {L"CREATE TABLE t (a LONG(4))", L"Syntax error in field definition near '(' (position 23).",
         22},
        {L"CREATE TABLE t a LONG",
         L"Syntax error in CREATE TABLE statement near 'a' "
         L"(position 16).",
         15},
        {L"ALTER TABLE t ADD CONSTRAINT c FOREIGN KEY (a) REFERENCE p",
         L"Syntax error in CONSTRAINT clause near 'REFERENCE' (position 48).", 47},
        {L"ALTER TABLE t RENAME a",
         L"Syntax error in ALTER TABLE statement near 'RENAME' "
         L"(position 15).",
         14},
        {L"CREATE INDEX i ON t (a) WITH b",
         L"Syntax error in CREATE INDEX statement near 'b' (position 30).", 29},
        {L"DROP TABLE", L"Syntax error in DROP TABLE or DROP INDEX at the end (position 11).", 10},
        {L"DROP INDEX i", L"Syntax error in DROP TABLE or DROP INDEX at the end (position 13).",
         12},
        {L"PARAMETERS x FOO; SELECT x",
         L"Syntax error in PARAMETER clause near 'FOO' "
         L"(position 14).",
         13},
        {L"CREATE VIEW v AS DELETE FROM t",
         L"Syntax error in CREATE VIEW statement near 'DELETE' (position 18).", 17},
        {L"CREATE PROCEDURE p (x LONG AS SELECT x",
         L"Syntax error in CREATE PROCEDURE statement near 'AS' (position 28).", 27},
        {L"CREATE SEQUENCE s", L"Syntax error in CREATE statement near 'SEQUENCE' (position 8).",
         7},
        {L"FOO BAR",
         L"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
         L"'UPDATE' near 'FOO' (position 1).",
         0},
        {L"",
         L"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
         L"'UPDATE' at the end (position 1).",
         0},
        {L"SELECT * FROM t; x",
         L"Characters found after end of SQL statement near 'x' (SELECT statement, "
         L"position 18).",
         17},
        {L"SELECT 'abc FROM t",
         L"Syntax error in string in query expression ''abc FROM t' near ''abc FROM t' "
         L"(SELECT statement, position 8).",
         7},
        {L"SELECT * FROM t WHERE d = #13/45/2000#",
         L"Syntax error in date in query expression 'd = #13/45/2000#' near '#13/45/2000#' "
         L"(SELECT statement, position 27).",
         26},
        {L"SELECT * FROM t WHERE d = #1/1/2000",
         L"Syntax error in date in query expression 'd = #1/1/2000' near '#1/1/2000' "
         L"(SELECT statement, position 27).",
         26},
        {L"SELECT [a FROM t",
         L"Invalid bracketing of name '[a FROM t' near '[a FROM t' (SELECT statement, "
         L"position 8).",
         7},
        {L"SELECT a ~ b FROM t",
         L"Syntax error in query expression 'a ~' near '~' (SELECT statement, position 10).", 9},
        {L"SELECT * FROM t WHERE a IS 5",
         L"Syntax error in query expression 'a IS 5' near '5' (SELECT statement, "
         L"position 28).",
         27},
        {L"SELECT * FROM t WHERE a BETWEEN 1 OR 2",
         L"Syntax error in query expression 'a BETWEEN 1 OR' near 'OR' (SELECT statement, "
         L"position 35).",
         34},
        {L"SELECT FROM t", L"Syntax error in SELECT statement near 'FROM' (position 8).", 7},
        {L"INSERT INTO t VALUES (, 1)",
         L"Syntax error in INSERT INTO statement near ',' (position 23).", 22},
        {L"SELECT [] FROM t", L"Syntax error in SELECT statement near '[]' (position 8).", 7},
    };
    for (const ErrorCase& c : cases) {
        try {
            Parse(c.text);
            ADD_FAILURE() << "no error for " << Narrow(c.text);
        } catch (const SyntaxError& error) {
            EXPECT_EQ(Narrow(error.Description()), Narrow(c.description)) << Narrow(c.text);
            EXPECT_EQ(error.Offset(), c.offset) << Narrow(c.text);
            EXPECT_EQ(error.Error(), DB_E_ERRORSINCOMMAND);
        }
    }
}

TEST(AccessSqlError, RefusesNestingTooDeepInsteadOfExhaustingTheStack)
{
    std::wstring deep =
        L"SELECT " + std::wstring(100000, L'(') + L"1" + std::wstring(100000, L')') + L" FROM t";
    try {
        Parse(deep);
        ADD_FAILURE() << "no error";
    } catch (const SyntaxError& error) {
        EXPECT_EQ(error.Description().rfind(L"Expression too complex in query expression", 0), 0u);
    }
    std::wstring negations = L"SELECT " + std::wstring(100000, L'-') + L"1";
    EXPECT_THROW(Parse(negations), SyntaxError);
    std::wstring nots = L"SELECT * FROM t WHERE ";
    for (int i = 0; i < 50000; ++i)
        nots += L"NOT ";
    EXPECT_THROW(Parse(nots + L"a"), SyntaxError);
    std::wstring alternating = L"SELECT 1";
    for (int i = 0; i < 100000; ++i)
        alternating += L" - 1 + 1";
    EXPECT_THROW(Parse(alternating), SyntaxError);
    // Within the limit, nesting is fine.
    EXPECT_NO_THROW(Parse(L"SELECT " + std::wstring(100, L'(') + L"1" + std::wstring(100, L')')));
}

TEST(AccessSqlError, ReportsBrokenExpressionsAndRules)
{
    const ErrorCase cases[] = {
        {L"a +", L"Syntax error in query expression 'a +' at the end (position 4).", 3},
        {L"a b",
         L"Syntax error (missing operator) in query expression 'a b' near 'b' "
         L"(position 3).",
         2},
        {L"", L"Syntax error in query expression at the end (position 1).", 0},
    };
    for (const ErrorCase& c : cases) {
        try {
            ParseExpression(c.text);
            ADD_FAILURE() << "no error for " << Narrow(c.text);
        } catch (const SyntaxError& error) {
            EXPECT_EQ(Narrow(error.Description()), Narrow(c.description)) << Narrow(c.text);
            EXPECT_EQ(error.Offset(), c.offset) << Narrow(c.text);
        }
    }
    EXPECT_THROW(ParseExpression(L"> 0"), SyntaxError);  // only rules leave the column out
    EXPECT_THROW(ParseValidationRule(L"> "), SyntaxError);
}

}  // namespace
}  // namespace provider::sql

namespace provider::sql {
namespace {

// Every prefix and every single-character corruption of valid statements either
// parses or raises SyntaxError pointing inside the text; nothing else escapes.
TEST(AccessSqlError, AnyMangledStatementFailsOnlyWithASyntaxErrorInsideTheText)
{
    const std::wstring statements[] = {
        L"INSERT INTO [T] ([a], [b]) VALUES (1, \"x\"\"y\" & chr(10), #1/2/2000 3:04:05 PM#);",
        L"SELECT DISTINCT TOP 5 t.*, Count(*) AS n FROM (a INNER JOIN b ON a.k = b.k) LEFT JOIN "
        L"c ON c.j = b.j WHERE x NOT IN (SELECT y FROM z) AND w BETWEEN 1 AND 2 GROUP BY a.q "
        L"HAVING Sum(v) > 0 UNION ALL SELECT 1 ORDER BY 1 DESC",
        L"CREATE TABLE t (a COUNTER(1, 1) CONSTRAINT pk PRIMARY KEY, b TEXT(10) NOT NULL "
        L"DEFAULT 'x', CONSTRAINT fk FOREIGN KEY NO INDEX (b) REFERENCES p (c) ON DELETE "
        L"CASCADE, CHECK (a > 0))",
        L"PARAMETERS [p] LONG; UPDATE t SET a = -p ^ 2 \\ 3 Mod 4 WHERE b IS NOT NULL",
        L"CREATE PROCEDURE p (x DATETIME) AS DELETE * FROM t WHERE d < x",
    };
    const wchar_t replacements[] = {L'(', L')', L'[', L'\'', L'"', L'#', L',', L' ',
                                    L'x', L'1', L'.', L'*',  L'-', L';', L'~'};
    size_t parsed = 0, refused = 0;
    auto check = [&](const std::wstring& text) {
        try {
            Parse(text);
            ++parsed;
        } catch (const SyntaxError& error) {
            ++refused;
            EXPECT_LE(error.Offset(), text.size()) << Narrow(text);
            EXPECT_FALSE(error.Description().empty());
        }
    };
    for (const std::wstring& s : statements) {
        for (size_t cut = 0; cut <= s.size(); ++cut)
            check(s.substr(0, cut));
        for (size_t i = 0; i < s.size(); ++i) {
            for (wchar_t r : replacements) {
                std::wstring mangled = s;
                mangled[i] = r;
                check(mangled);
            }
        }
    }
    EXPECT_GT(parsed, 0u);
    EXPECT_GT(refused, 0u);
}

}  // namespace
}  // namespace provider::sql
