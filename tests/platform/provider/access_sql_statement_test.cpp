// Statements of Access SQL: every data and definition form parses into the right
// tree, with the names, types, options and texts the engine needs.
#include <gtest/gtest.h>

#include <string>

#include "platform/automation/wide_text.h"
#include "platform/provider/sql/ast_dump.h"
#include "platform/provider/sql/parser.h"

namespace provider::sql {
namespace {

std::string Narrow(const std::wstring& s)
{
    return automation::ToUtf8(s);
}

struct StatementCase {
    std::wstring text;
    StatementKind kind;
    std::wstring outline;
};

void ExpectStatements(const StatementCase* begin, const StatementCase* end)
{
    for (const StatementCase* c = begin; c != end; ++c) {
        try {
            Statement st = Parse(c->text);
            EXPECT_EQ(st.kind(), c->kind) << Narrow(c->text);
            EXPECT_EQ(Narrow(Dump(st)), Narrow(c->outline)) << Narrow(c->text);
        } catch (const SyntaxError& error) {
            ADD_FAILURE() << Narrow(c->text) << ": " << error.what();
        }
    }
}

TEST(AccessSqlStatement, ParsesDataStatements)
{
    using K = StatementKind;
    const StatementCase cases[] = {
        // The synchronisation script's own forms.
        {L"INSERT INTO [Customers] ([ID], [Name], [Born]) VALUES (1, \"O\"\"Neil\", "
         L"#12/31/1999 10:30:00#);",
         K::Insert,
         L"(insert [Customers] ([ID] [Name] [Born]) (values i:1 str:\"O\"\"Neil\" "
         L"date:#12/31/1999 10:30:00#))"},
        {L"INSERT INTO [T] ([a], [b]) VALUES (?, ?)", K::Insert,
         L"(insert [T] ([a] [b]) (values ?0 ?1))"},
        {L"UPDATE [Customers] SET [Name]=\"x\", [Paid]=-1 WHERE [ID]=1 AND [Sub]=NULL", K::Update,
         L"(update [Customers] (set [Name] str:\"x\") (set [Paid] (neg i:1)) "
         L"(where (and (= [ID] i:1) (= [Sub] null))))"},
        {L"DELETE FROM [Customers] WHERE [ID]=1", K::Delete,
         L"(delete [Customers] (where (= [ID] i:1)))"},
        {L"DELETE * FROM t", K::Delete, L"(delete [t])"},
        {L"delete t.* from t where x > 1", K::Delete, L"(delete [t] (where (> [x] i:1)))"},
        {L"insert into t select a, b from s where c", K::Insert,
         L"(insert [t] (select [a] [b] (from [s]) (where [c])))"},
        {L"INSERT INTO t VALUES (1)", K::Insert, L"(insert [t] (values i:1))"},
        {L"UPDATE a INNER JOIN b ON a.k = b.k SET a.x = b.x", K::Update,
         L"(update (inner-join [a] [b] (= [a].[k] [b].[k])) (set [a].[x] [b].[x]))"},
        // Queries.
        {L"SELECT * FROM t", K::Select, L"(select * (from [t]))"},
        {L"SELECT DISTINCT TOP 5 PERCENT t.*, a AS [Alias One] FROM [My Table] AS t", K::Select,
         L"(select distinct (top 5 percent) [t].* (as [a] [Alias One]) "
         L"(from [My Table] as [t]))"},
        {L"SELECT DISTINCTROW TOP 10 a FROM t x", K::Select,
         L"(select distinctrow (top 10) [a] (from [t] as [x]))"},
        {L"SELECT a, Count(*) AS n FROM t WHERE b > 0 GROUP BY a HAVING Count(*) > 1 "
         L"ORDER BY a DESC, 2",
         K::Select,
         L"(query (select [a] (as (call Count *) [n]) (from [t]) (where (> [b] i:0)) "
         L"(group-by [a]) (having (> (call Count *) i:1))) (order-by (desc [a]) i:2))"},
        {L"SELECT a FROM t ORDER BY a ASC", K::Select,
         L"(query (select [a] (from [t])) (order-by [a]))"},
        {L"SELECT o.id, c.name FROM (Orders AS o INNER JOIN Customers AS c ON o.cid = c.id) "
         L"LEFT JOIN Ships s ON o.sid = s.id",
         K::Select,
         L"(select [o].[id] [c].[name] (from (left-join (inner-join [Orders] as [o] "
         L"[Customers] as [c] (= [o].[cid] [c].[id])) [Ships] as [s] (= [o].[sid] [s].[id]))))"},
        {L"SELECT * FROM a RIGHT OUTER JOIN b ON a.k = b.k", K::Select,
         L"(select * (from (right-join [a] [b] (= [a].[k] [b].[k]))))"},
        {L"SELECT * FROM a, b WHERE a.k = b.k", K::Select,
         L"(select * (from [a] [b]) (where (= [a].[k] [b].[k])))"},
        {L"SELECT a FROM t UNION SELECT b FROM u UNION ALL SELECT c FROM v ORDER BY 1", K::Select,
         L"(query (select [a] (from [t])) union (select [b] (from [u])) union-all "
         L"(select [c] (from [v])) (order-by i:1))"},
        {L"SELECT q.x FROM (SELECT x FROM t) AS q", K::Select,
         L"(select [q].[x] (from (select [x] (from [t])) as [q]))"},
        {L"SELECT Date()", K::Select, L"(select (call Date))"},
        {L"PARAMETERS [Start Date] DateTime, n Long; SELECT * FROM t WHERE d >= [Start Date] "
         L"AND k = N;",
         K::Select,
         L"(params [Start Date]:DateTime:DATETIME [n]:Long:LONG) (select * (from [t]) "
         L"(where (and (>= [d] ?[Start Date]) (= [k] ?[N]))))"},
    };
    ExpectStatements(std::begin(cases), std::end(cases));
}

TEST(AccessSqlStatement, ParsesTableDefinitionsWithEveryAccessType)
{
    using K = StatementKind;
    const StatementCase cases[] = {
        {L"CREATE TABLE [All Types] (a TEXT(50), b VARCHAR(10), c CHAR, d MEMO, e LONGTEXT, "
         L"f BYTE, g SHORT, h SMALLINT, i INTEGER2, j LONG, k INT, l INTEGER, m INTEGER4)",
         K::CreateTable,
         L"(create-table [All Types] (column [a] Text:TEXT(50)) (column [b] Text:VARCHAR(10)) "
         L"(column [c] Text:CHAR) (column [d] Memo:MEMO) (column [e] Memo:LONGTEXT) "
         L"(column [f] Byte:BYTE) (column [g] Short:SHORT) (column [h] Short:SMALLINT) "
         L"(column [i] Short:INTEGER2) (column [j] Long:LONG) (column [k] Long:INT) "
         L"(column [l] Long:INTEGER) (column [m] Long:INTEGER4))"},
        {L"CREATE TABLE t (a SINGLE, b REAL, c DOUBLE, d FLOAT, e CURRENCY, f MONEY, "
         L"g DATETIME, h DATE, i TIME, j YESNO, k BIT, l LOGICAL)",
         K::CreateTable,
         L"(create-table [t] (column [a] Single:SINGLE) (column [b] Single:REAL) "
         L"(column [c] Double:DOUBLE) (column [d] Double:FLOAT) (column [e] Currency:CURRENCY) "
         L"(column [f] Currency:MONEY) (column [g] DateTime:DATETIME) "
         L"(column [h] DateTime:DATE) (column [i] DateTime:TIME) (column [j] YesNo:YESNO) "
         L"(column [k] YesNo:BIT) (column [l] YesNo:LOGICAL))"},
        {L"create table t (a counter, b AUTOINCREMENT(100, 5), c DECIMAL(18, 4), "
         L"d NUMERIC(10), e GUID, f UNIQUEIDENTIFIER, g BINARY(16), h VARBINARY, "
         L"i LONGBINARY, j OLEOBJECT, k IMAGE)",
         K::CreateTable,
         L"(create-table [t] (column [a] Counter:COUNTER) "
         L"(column [b] Counter:AUTOINCREMENT(100, 5)) (column [c] Decimal:DECIMAL(18, 4)) "
         L"(column [d] Decimal:NUMERIC(10)) (column [e] Guid:GUID) "
         L"(column [f] Guid:UNIQUEIDENTIFIER) (column [g] Binary:BINARY(16)) "
         L"(column [h] Binary:VARBINARY) (column [i] LongBinary:LONGBINARY) "
         L"(column [j] LongBinary:OLEOBJECT) (column [k] LongBinary:IMAGE))"},
        {L"CREATE TABLE Orders (ID LONG NOT NULL CONSTRAINT PK_Orders PRIMARY KEY, "
         L"[Customer ID] LONG CONSTRAINT FK_Cust REFERENCES Customers (ID) ON DELETE CASCADE, "
         L"Code TEXT(10) UNIQUE, Qty SHORT DEFAULT 1 NOT NULL, "
         L"Note TEXT(255) WITH COMPRESSION DEFAULT \"\", "
         L"Price CURRENCY CONSTRAINT PriceNN NOT NULL CHECK (Price >= 0))",
         K::CreateTable,
         L"(create-table [Orders] (column [ID] Long:LONG not-null "
         L"(primary-key [PK_Orders])) (column [Customer ID] Long:LONG "
         L"(foreign-key [FK_Cust] references [Customers] ([ID]) update:no-action "
         L"delete:cascade)) (column [Code] Text:TEXT(10) (unique)) "
         L"(column [Qty] Short:SHORT not-null (default i:1)) "
         L"(column [Note] Text:TEXT(255) compressed (default str:\"\")) "
         L"(column [Price] Currency:CURRENCY not-null (not-null [PriceNN]) "
         L"(check (>= [Price] i:0))))"},
        {L"CREATE TABLE [Order Details] (OrderID LONG, ProductID LONG, Qty SHORT, "
         L"CONSTRAINT PK PRIMARY KEY (OrderID, ProductID), "
         L"CONSTRAINT UQ UNIQUE (ProductID), "
         L"CONSTRAINT FK FOREIGN KEY (OrderID) REFERENCES Orders (ID) ON UPDATE CASCADE "
         L"ON DELETE SET NULL, "
         L"CONSTRAINT CK CHECK (Qty > 0))",
         K::CreateTable,
         L"(create-table [Order Details] (column [OrderID] Long:LONG) "
         L"(column [ProductID] Long:LONG) (column [Qty] Short:SHORT) "
         L"(primary-key [PK] ([OrderID] [ProductID])) (unique [UQ] ([ProductID])) "
         L"(foreign-key [FK] ([OrderID]) references [Orders] ([ID]) update:cascade "
         L"delete:set-null) (check [CK] (> [Qty] i:0)))"},
        {L"DROP TABLE [Order Details]", K::DropTable, L"(drop-table [Order Details])"},
    };
    ExpectStatements(std::begin(cases), std::end(cases));
}

TEST(AccessSqlStatement, ParsesIndexAlterViewProcedureAndLinkStatements)
{
    using K = StatementKind;
    const StatementCase cases[] = {
        {L"CREATE UNIQUE INDEX [By Name] ON Customers (Last DESC, First ASC) WITH DISALLOW NULL",
         K::CreateIndex,
         L"(create-unique-index [By Name] on [Customers] ([Last]:desc [First]) disallow-null)"},
        {L"CREATE INDEX PrimaryKey ON t (id) WITH PRIMARY", K::CreateIndex,
         L"(create-index [PrimaryKey] on [t] ([id]) primary)"},
        {L"CREATE INDEX i ON t (a) WITH IGNORE NULL", K::CreateIndex,
         L"(create-index [i] on [t] ([a]) ignore-null)"},
        {L"DROP INDEX [By Name] ON Customers", K::DropIndex,
         L"(drop-index [By Name] on [Customers])"},
        {L"ALTER TABLE t ADD COLUMN c TEXT(20) NOT NULL", K::AlterTable,
         L"(alter-table [t] add (column [c] Text:TEXT(20) not-null))"},
        {L"ALTER TABLE t ADD c2 DOUBLE", K::AlterTable,
         L"(alter-table [t] add (column [c2] Double:DOUBLE))"},
        {L"ALTER TABLE t ALTER COLUMN c MEMO", K::AlterTable,
         L"(alter-table [t] alter (column [c] Memo:MEMO))"},
        {L"ALTER TABLE t DROP COLUMN c", K::AlterTable, L"(alter-table [t] drop-column [c])"},
        {L"ALTER TABLE t DROP c", K::AlterTable, L"(alter-table [t] drop-column [c])"},
        {L"ALTER TABLE t ADD CONSTRAINT pk PRIMARY KEY (a, b)", K::AlterTable,
         L"(alter-table [t] add (primary-key [pk] ([a] [b])))"},
        {L"ALTER TABLE t ADD CONSTRAINT u UNIQUE (a)", K::AlterTable,
         L"(alter-table [t] add (unique [u] ([a])))"},
        {L"ALTER TABLE [Order Details] ADD CONSTRAINT [FK Orders] FOREIGN KEY NO INDEX "
         L"([Order ID], Line) REFERENCES [Orders] ([ID], [Line])",
         K::AlterTable,
         L"(alter-table [Order Details] add (foreign-key [FK Orders] ([Order ID] [Line]) "
         L"no-index references [Orders] ([ID] [Line]) update:no-action delete:no-action))"},
        {L"ALTER TABLE c ADD CONSTRAINT f FOREIGN KEY (p) REFERENCES p ON UPDATE SET NULL "
         L"ON DELETE CASCADE",
         K::AlterTable,
         L"(alter-table [c] add (foreign-key [f] ([p]) references [p] update:set-null "
         L"delete:cascade))"},
        {L"ALTER TABLE [T] ADD CONSTRAINT [[Qty].ValidationRule] CHECK (Qty > 0)", K::AlterTable,
         L"(alter-table [T] add (check [[Qty].ValidationRule] (> [Qty] i:0)))"},
        {L"ALTER TABLE t DROP CONSTRAINT pk", K::AlterTable,
         L"(alter-table [t] drop-constraint [pk])"},
        {L"ALTER TABLE [T] ALLOW ZERO LENGTH [Name]", K::AlterTable,
         L"(alter-table [T] allow-zero-length [Name])"},
        {L"alter table [T] deny zero length [Name]", K::AlterTable,
         L"(alter-table [T] deny-zero-length [Name])"},
        {L"CREATE VIEW [Big Orders] AS SELECT * FROM Orders WHERE Total > 1000", K::CreateView,
         L"(create-view [Big Orders] (select * (from [Orders]) (where (> [Total] i:1000))))"},
        {L"CREATE VIEW v (x, y) AS SELECT a, b FROM t", K::CreateView,
         L"(create-view [v] ([x] [y]) (select [a] [b] (from [t])))"},
        {L"DROP VIEW [Big Orders]", K::DropView, L"(drop-view [Big Orders])"},
        {L"CREATE PROCEDURE DelOld (cutoff DATETIME, [max n] LONG) AS DELETE FROM t "
         L"WHERE d < cutoff",
         K::CreateProcedure,
         L"(create-procedure [DelOld] (params [cutoff]:DateTime:DATETIME "
         L"[max n]:Long:LONG) (delete [t] (where (< [d] ?[cutoff]))))"},
        {L"CREATE PROCEDURE p AS SELECT * FROM t", K::CreateProcedure,
         L"(create-procedure [p] (params) (select * (from [t])))"},
        {L"DROP PROCEDURE DelOld", K::DropProcedure, L"(drop-procedure [DelOld])"},
        {L"LINK TABLE [Local] TO [Remote] ODBC \"ODBC;DSN=x;\"", K::LinkTable,
         L"(link [Local] to [Remote] odbc \"ODBC;DSN=x;\")"},
        {L"LINK TABLE [Local] TO [Remote] SRC \"/data/other.mdb\"", K::LinkTable,
         L"(link [Local] to [Remote] src \"/data/other.mdb\")"},
    };
    ExpectStatements(std::begin(cases), std::end(cases));
}

TEST(AccessSqlStatement, KeepsTheTextsThatTheCatalogStores)
{
    const std::wstring view = L"CREATE VIEW v AS SELECT a  FROM   t ORDER BY a;";
    Statement st = Parse(view);
    const auto& v = std::get<CreateView>(st.body);
    EXPECT_EQ(v.selectText, L"SELECT a  FROM   t ORDER BY a");
    EXPECT_EQ(v.select->span.begin, 17u);

    Statement proc = Parse(L"CREATE PROCEDURE p (x LONG) AS UPDATE t SET a = x WHERE b = 1");
    EXPECT_EQ(std::get<CreateProcedure>(proc.body).bodyText, L"UPDATE t SET a = x WHERE b = 1");

    Statement table = Parse(
        L"CREATE TABLE t (a LONG DEFAULT  Date() + 1 NOT NULL, "
        L"b LONG, CONSTRAINT c CHECK ( b > a ))");
    const auto& ct = std::get<CreateTable>(table.body);
    EXPECT_EQ(ct.columns[0].defaultText, L"Date() + 1");
    EXPECT_EQ(ct.constraints[0].checkText, L"b > a");
    EXPECT_EQ(ct.columns[1].pos, 53u);
}

TEST(AccessSqlStatement, ReadsTypeSizesAndCounterSeeds)
{
    Statement st = Parse(L"CREATE TABLE t (a TEXT(255), b DECIMAL(28, 28), c COUNTER(10, -1))");
    const auto& ct = std::get<CreateTable>(st.body);
    EXPECT_EQ(ct.columns[0].type.size.value_or(0), 255);
    EXPECT_FALSE(ct.columns[0].type.precision.has_value());
    EXPECT_EQ(ct.columns[1].type.precision.value_or(0), 28);
    EXPECT_EQ(ct.columns[1].type.scale.value_or(0), 28);
    EXPECT_EQ(ct.columns[2].type.seed.value_or(0), 10);
    EXPECT_EQ(ct.columns[2].type.increment.value_or(0), -1);
    EXPECT_EQ(StatementKindName(st.kind()), std::wstring(L"CREATE TABLE"));
}

TEST(AccessSqlStatement, TellsAggregateFunctionsWhateverTheCase)
{
    for (const wchar_t* name : {L"Count", L"SUM", L"avg", L"Min", L"Max", L"First", L"Last",
                                L"StDev", L"StDevP", L"Var", L"VarP"}) {
        EXPECT_TRUE(IsAggregateFunction(name)) << Narrow(name);
    }
    for (const wchar_t* name : {L"Len", L"Counts", L"Coun", L"", L"Nz"}) {
        EXPECT_FALSE(IsAggregateFunction(name)) << Narrow(name);
    }
}

}  // namespace
}  // namespace provider::sql
