// The printer: canonical Access SQL that parses back into the same tree.
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

TEST(AccessSqlPrinter, PrintedStatementsParseBackIntoTheSameTree)
{
    const wchar_t* const statements[] = {
        L"INSERT INTO [Customers] ([ID], [Name], [Born], [Paid], [Photo]) VALUES "
        L"(1, \"O\"\"Neil\" & chr(13) & chr(10) & 'x', #12/31/1999 10:30:00#, -1, ?)",
        L"INSERT INTO t SELECT * FROM s WHERE s.k NOT IN (SELECT k FROM t)",
        L"UPDATE [Order Details] SET [Qty]=[Qty]+1, [Note]=NULL WHERE [ID]=3 AND [Line]=NULL",
        L"UPDATE a LEFT JOIN b ON a.k = b.k SET a.x = b.x WHERE b.k IS NOT NULL",
        L"DELETE * FROM t WHERE d < #18:30# OR d >= #2000-02-29 23:59:59#",
        L"SELECT DISTINCT TOP 10 PERCENT t.*, a + b * c AS s, (a + b) * c, a - (b - c), "
        L"-2 ^ 2, (-2) ^ 2, 2 ^ -2, 2 ^ (3 ^ 2), a \\ b Mod c, (a Mod b) \\ c, "
        L"- -a, NOT NOT a, a & (b & c), (a = b) = c, a = (b = c) FROM t",
        L"SELECT * FROM ((a INNER JOIN b ON a.k = b.k) LEFT JOIN c ON b.j = c.j) "
        L"RIGHT JOIN d ON d.x = a.x WHERE a.n LIKE 'A*' AND NOT (b.n BETWEEN 1 AND 2 OR "
        L"c.n IS NULL) XOR d.y EQV TRUE",
        L"SELECT a FROM t WHERE EXISTS (SELECT * FROM u WHERE u.k = t.k) UNION ALL "
        L"SELECT b FROM u UNION SELECT (SELECT Max(c) FROM v) FROM w ORDER BY 1 DESC, a",
        L"SELECT Count(*), Sum(x), IIf(y > 0, 'p', Nz(z, 0)), Now() FROM t GROUP BY k "
        L"HAVING Count(*) > 1",
        L"SELECT q.a FROM (SELECT a FROM t) AS q, [Other Table] o",
        L"SELECT 1.50, 922337203685477.5807, 1E10, 2147483648, 0, 'x', \"\", FALSE, YES, NULL",
        L"PARAMETERS [Start] DATETIME, [n] TEXT(20); SELECT * FROM t WHERE d >= [Start] "
        L"AND k = n",
        L"CREATE TABLE [All] ([a] TEXT(50) NOT NULL DEFAULT \"x\" WITH COMP, "
        L"[b] COUNTER(10, 2) CONSTRAINT [pk] PRIMARY KEY, [c] DECIMAL(18, 4) DEFAULT 0.5, "
        L"[d] LONG REFERENCES [p] ([id]) ON UPDATE CASCADE ON DELETE SET NULL, "
        L"[e] MEMO UNIQUE, [f] YESNO CONSTRAINT [nn] NOT NULL CHECK (f <> 0), [g] GUID, "
        L"[h] BINARY(8), [i] LONGBINARY, [j] DATETIME DEFAULT Now(), [k] CURRENCY, "
        L"CONSTRAINT [u] UNIQUE ([a], [c]), CONSTRAINT [fk] FOREIGN KEY NO INDEX ([d]) "
        L"REFERENCES [p], CONSTRAINT [ck] CHECK ([c] > 0 OR [c] IS NULL))",
        L"DROP TABLE [All]",
        L"CREATE UNIQUE INDEX [ix] ON [t] ([a] DESC, [b]) WITH IGNORE NULL",
        L"DROP INDEX [ix] ON [t]",
        L"ALTER TABLE [t] ADD COLUMN [c] TEXT(20) NOT NULL",
        L"ALTER TABLE [t] ALTER COLUMN [c] MEMO",
        L"ALTER TABLE [t] DROP COLUMN [c]",
        L"ALTER TABLE [t] ADD CONSTRAINT [fk] FOREIGN KEY ([a], [b]) REFERENCES [p] ([x], [y]) "
        L"ON DELETE CASCADE",
        L"ALTER TABLE [t] ADD CONSTRAINT [[Qty].ValidationRule] CHECK ([Qty] > 0)",
        L"ALTER TABLE [t] DROP CONSTRAINT [fk]",
        L"ALTER TABLE [t] DENY ZERO LENGTH [c]",
        L"CREATE VIEW [v] ([x]) AS SELECT [a] FROM [t] ORDER BY [a]",
        L"DROP VIEW [v]",
        L"CREATE PROCEDURE [p] ([cut] DATETIME) AS DELETE FROM [t] WHERE [d] < [cut]",
        L"DROP PROCEDURE [p]",
        L"LINK TABLE [l] TO [r] SRC \"C:\\data\\\"\"odd\"\".mdb\"",
    };
    for (const wchar_t* text : statements) {
        try {
            const Statement first = Parse(text);
            const std::wstring printed = Print(first);
            Statement second = Parse(printed);
            EXPECT_EQ(Narrow(Dump(second)), Narrow(Dump(first))) << Narrow(printed);
            EXPECT_EQ(Narrow(Print(second)), Narrow(printed));
        } catch (const SyntaxError& error) {
            ADD_FAILURE() << Narrow(text) << ": " << error.what();
        }
    }
}

TEST(AccessSqlPrinter, WritesCanonicalAccessSql)
{
    struct PrintCase {
        std::wstring text;
        std::wstring printed;
    };
    const PrintCase cases[] = {
        {L"select a from t where x='it''s'", L"SELECT [a] FROM [t] WHERE [x] = \"it's\""},
        {L"select (a+b)*c, a+(b*c), -(2^2), (-2)^2 from t",
         L"SELECT ([a] + [b]) * [c], [a] + [b] * [c], -2^2, (-2)^2 FROM [t]"},
        {L"select * from t where d=#1/2/2000 1:05:09 pm# and e=#1/2/2000#",
         L"SELECT * FROM [t] WHERE [d] = #01/02/2000 13:05:09# AND [e] = #01/02/2000#"},
        {L"select * from a inner join (b left join c on b.k=c.k) on a.k=b.k",
         L"SELECT * FROM [a] INNER JOIN ([b] LEFT JOIN [c] ON [b].[k] = [c].[k]) "
         L"ON [a].[k] = [b].[k]"},
        {L"delete from t", L"DELETE FROM [t]"},
        {L"create table t (a text (10) not null)", L"CREATE TABLE [t] ([a] TEXT(10) NOT NULL)"},
        {L"parameters p long; select p", L"PARAMETERS [p] LONG; SELECT [p]"},
    };
    for (const PrintCase& c : cases) {
        EXPECT_EQ(Narrow(Print(Parse(c.text))), Narrow(c.printed));
    }
    EXPECT_EQ(Narrow(PrintExpression(*ParseValidationRule(L">=0 and <=100"))), ">= 0 AND <= 100");
    EXPECT_EQ(Narrow(PrintExpression(*ParseValidationRule(L"is not null"))), "IS NOT NULL");
}

TEST(AccessSqlPrinter, PrintsValuesMadeWithoutSourceText)
{
    Expr number(ExprKind::Literal);
    automation::Decimal d;
    d.scale = 2;
    d.lo64 = 12345;
    number.value = automation::Variant(d);
    EXPECT_EQ(Narrow(PrintExpression(number)), "123.45");
    number.value = automation::Variant(int32_t{42});
    EXPECT_EQ(Narrow(PrintExpression(number)), "42");
    number.value = automation::Variant::FromDate(36527.5);
    EXPECT_EQ(Narrow(PrintExpression(number)), "#01/02/2000 12:00:00#");
    number.value = automation::Variant::FromDate(-1.25);
    EXPECT_EQ(Narrow(PrintExpression(number)), "#12/29/1899 06:00:00#");
}

}  // namespace
}  // namespace provider::sql
