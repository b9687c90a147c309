// Saved queries of the sample files: kinds, parameters and the SQL rebuilt
// from the query definition rows (facts from mdb-queries, the exported query
// table and the well-known Northwind query texts).
#include "platform/provider/mdb/mdb_query_text.h"

#include <gtest/gtest.h>

#include "mdb_test_support.h"

namespace {

using namespace provider::mdb;
using mdbtest::OpenedCopy;

// Access lays clauses out one per line; compare the statements as one line.
std::wstring OneLine(std::wstring s)
{
    std::wstring out;
    for (wchar_t c : s) {
        if (c == L'\r')
            continue;
        out += c == L'\n' ? L' ' : c;
    }
    return out;
}

TEST(MdbQueries, ListsNorthwindQueriesWithTheirKinds)
{
    const std::vector<std::wstring> names = {L"Alphabetical List of Products",
                                             L"Catalog",
                                             L"Category Sales for 1995",
                                             L"Current Product List",
                                             L"Customers and Suppliers by City",
                                             L"Employee Sales by Country",
                                             L"Invoices",
                                             L"Invoices Filter",
                                             L"Order Details Extended",
                                             L"Order Subtotals",
                                             L"Product Sales for 1995",
                                             L"Products by Category",
                                             L"Quarterly Orders",
                                             L"Quarterly Orders by Product",
                                             L"Sales by Year",
                                             L"Sales Totals by Amount",
                                             L"Summary of Sales by Year",
                                             L"Ten Most Expensive Products",
                                             L"Orders Qry",
                                             L"Products Above Average Price",
                                             L"Sales by Category",
                                             L"Summary of Sales by Quarter"};
    OpenedCopy copy("nwind.mdb");
    const auto& queries = copy.db().Queries();
    ASSERT_EQ(queries.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(queries[i].name, names[i]);
        const QueryKind kind = names[i] == L"Quarterly Orders by Product" ? QueryKind::Crosstab
                               : names[i] == L"Customers and Suppliers by City" ? QueryKind::Union
                                                                                : QueryKind::Select;
        EXPECT_EQ(queries[i].kind, kind) << i;
    }
}

TEST(MdbQueries, RebuildsNorthwindSqlAndParameters)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* sql;
    };
    const Case cases[] = {
        {L"Ten Most Expensive Products",
         L"SELECT DISTINCTROW TOP 10 Products.ProductName AS TenMostExpensiveProducts, "
         L"Products.UnitPrice FROM Products ORDER BY Products.UnitPrice DESC;"},
        {L"Current Product List",
         L"SELECT [Product List].ProductID, [Product List].ProductName FROM Products AS "
         L"[Product List] WHERE ((([Product List].Discontinued)=No)) ORDER BY "
         L"[Product List].ProductName;"},
        {L"Order Subtotals",
         L"SELECT DISTINCTROW [Order Details].OrderID, "
         L"Sum(CCur([UnitPrice]*[Quantity]*(1-[Discount])/100)*100) AS Subtotal FROM "
         L"[Order Details] GROUP BY [Order Details].OrderID;"},
        {L"Quarterly Orders",
         L"SELECT DISTINCTROW Customers.CustomerID, Customers.CompanyName, Customers.City, "
         L"Customers.Country FROM Customers RIGHT JOIN Orders ON Customers.CustomerID = "
         L"Orders.CustomerID WHERE (((Orders.OrderDate) Between #1/1/95# And #12/31/95#));"},
        {L"Employee Sales by Country",
         L"PARAMETERS [Beginning Date] DateTime, [Ending Date] DateTime; SELECT DISTINCTROW "
         L"Employees.Country, Employees.LastName, Employees.FirstName, Orders.ShippedDate, "
         L"Orders.OrderID, [Order Subtotals].Subtotal AS SaleAmount FROM Employees INNER JOIN "
         L"(Orders INNER JOIN [Order Subtotals] ON Orders.OrderID = [Order Subtotals].OrderID) "
         L"ON Employees.EmployeeID = Orders.EmployeeID WHERE (((Orders.ShippedDate) Between "
         L"[Beginning Date] And [Ending Date]));"},
    };
    OpenedCopy copy("nwind.mdb");
    for (const auto& c : cases) {
        const QueryInfo* q = copy.db().FindQuery(c.name);
        ASSERT_NE(q, nullptr) << c.name;
        EXPECT_EQ(OneLine(q->sql), c.sql);
    }
    const QueryInfo* params = copy.db().FindQuery(L"Employee Sales by Country");
    ASSERT_EQ(params->parameters.size(), 2u);
    EXPECT_EQ(params->parameters[0].name, L"Beginning Date");
    EXPECT_EQ(params->parameters[0].daoType, 8);  // dbDate
    EXPECT_EQ(params->parameters[0].adoType, 7);  // adDate
    EXPECT_EQ(params->parameters[1].name, L"Ending Date");

    const QueryInfo* crosstab = copy.db().FindQuery(L"Quarterly Orders by Product");
    EXPECT_EQ(crosstab->sql.rfind(L"TRANSFORM Sum(", 0), 0u);
    EXPECT_NE(crosstab->sql.find(L"\r\nPIVOT \"Qtr \" & DatePart(\"q\",[OrderDate],1,0) In "
                                 L"(\"Qtr 1\",\"Qtr 2\",\"Qtr 3\",\"Qtr 4\");"),
              std::wstring::npos);
    const QueryInfo* un = copy.db().FindQuery(L"Customers and Suppliers by City");
    EXPECT_NE(un->sql.find(L"FROM Customers\r\nUNION SELECT City"), std::wstring::npos);
    EXPECT_NE(un->sql.find(L"\r\nORDER BY City, CompanyName;"), std::wstring::npos);
}

TEST(MdbQueries, RebuildsEveryQueryKind)
{
    struct Case {
        const wchar_t* name;
        QueryKind kind;
        const wchar_t* sql;
    };
    const Case cases[] = {
        {L"SelectQuery", QueryKind::Select,
         L"SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\r\n"
         L"FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON "
         L"(Table3.col1 = Table2.col1) AND (Table3.col1 = Table2.col2)\r\n"
         L"WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\r\n"
         L"ORDER BY Table2.col1;"},
        {L"AppendQuery", QueryKind::Append,
         L"INSERT INTO Table3 ( col2, col2, col3 )\r\n"
         L"SELECT [Table1].[col2], [Table2].[col2], [Table2].[col3]\r\n"
         L"FROM Table3, Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1];"},
        {L"UpdateQuery", QueryKind::Update,
         L"PARAMETERS [User Name] Text ( 255 );\r\n"
         L"UPDATE Table1 SET Table1.col1 = \"foo\", Table1.col2 = [Table2].[col3], "
         L"[Table2].[col1] = [User Name]\r\nWHERE ((([Table2].[col1]) Is Not Null));"},
        {L"DeleteQuery", QueryKind::Delete,
         L"DELETE Table1.col1, Table1.col2, Table1.col3\r\nFROM Table1\r\n"
         L"WHERE (((Table1.col1)>\"blah\"));"},
        {L"MakeTableQuery", QueryKind::MakeTable,
         L"SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4\r\n"
         L"FROM (Table2 INNER JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON "
         L"Table1.col2 = Table3.col3\r\nGROUP BY Table2.col2, Table3.col2\r\n"
         L"HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"},
        {L"CrosstabQuery", QueryKind::Crosstab,
         L"TRANSFORM Count([Table2].[col2]) AS CountOfcol2\r\n"
         L"SELECT Table2_1.col1, [Table2].[col3], Avg(Table2_1.col2) AS AvgOfcol2\r\n"
         L"FROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) INNER JOIN Table2 "
         L"AS Table2_1 ON [Table2].[col1]=Table2_1.col3\r\n"
         L"WHERE ((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And "
         L"((Avg(Table2_1.col2))>\"10\"))\r\nGROUP BY Table2_1.col1, [Table2].[col3]\r\n"
         L"ORDER BY [Table2].[col3]\r\nPIVOT [Table1].[col1];"},
        {L"DataDefinitionQuery", QueryKind::DataDefinition,
         L"CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"},
        {L"PassthroughQuery", QueryKind::PassThrough, L"ALTER TABLE Table4 DROP COLUMN col5;"},
        {L"UnionQuery", QueryKind::Union,
         L"Select Table1.col1, Table1.col2\r\nwhere Table1.col1 = \"foo\"\r\nUNION\r\n"
         L"Select Table2.col1, Table2.col2\r\nUNION ALL Select Table3.col1, Table3.col2\r\n"
         L"where Table3.col3 > \"blah\";"},
    };
    OpenedCopy copy("queryTestV2010.accdb");
    EXPECT_EQ(copy.db().Queries().size(), std::size(cases));
    for (const auto& c : cases) {
        const QueryInfo* q = copy.db().FindQuery(c.name);
        ASSERT_NE(q, nullptr) << c.name;
        EXPECT_EQ(q->kind, c.kind) << c.name;
        EXPECT_EQ(q->sql, c.sql) << c.name;
    }
    EXPECT_EQ(copy.db().FindQuery(L"PassthroughQuery")->connect, L"ODBC;");
    const auto& params = copy.db().FindQuery(L"UpdateQuery")->parameters;
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params[0].name, L"User Name");
    EXPECT_EQ(params[0].adoType, 202);
    EXPECT_EQ(params[0].size, 255);
}

TEST(MdbQueries, TreatsQueriesWithoutAKindRowAsSelectsAndFlagsFormSources)
{
    OpenedCopy copy("ASampleDatabase.accdb");
    const QueryInfo* q = copy.db().FindQuery(L"qryCostsSummedByOwner");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->kind, QueryKind::Select);
    EXPECT_EQ(q->sql,
              L"SELECT [Asset Items].[Owner], [Asset Items].[Asset Category], "
              L"Sum([Asset Items].[Cost]) AS SumOfCost\r\nFROM [Asset Items]\r\n"
              L"GROUP BY [Asset Items].[Owner], [Asset Items].[Asset Category];");
    EXPECT_FALSE(q->hidden);
    const QueryInfo* source = copy.db().FindQuery(L"~sq_ffrmAssetInventory");
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->hidden);
}

TEST(QueryTextBuilder, BuildsClausesFromDefinitionRows)
{
    struct Case {
        std::vector<QueryRow> rows;
        const wchar_t* sql;
    };
    const Case cases[] = {
        // TOP n PERCENT and a derived table
        {{{1, L"", L"", L"", 1},
          {3, L"25", L"", L"", 0x10 | 0x20},
          {5, L"", L"q", L"SELECT a FROM t", 0},
          {6, L"", L"", L"q.a", 0}},
         L"SELECT TOP 25 PERCENT q.a\r\nFROM (SELECT a FROM t) AS q;"},
        // output of all fields, owner access, a descending order
        {{{1, L"", L"", L"", 1},
          {3, L"", L"", L"", 0x01 | 0x04},
          {5, L"My Table", L"", L"", 0},
          {11, L"D", L"", L"[My Table].x", 0}},
         L"SELECT *\r\nFROM [My Table]\r\nORDER BY [My Table].x DESC\r\nWITH OWNERACCESS OPTION;"},
        // a union of whole tables keeping duplicates out
        {{{1, L"", L"", L"", 9},
          {3, L"", L"", L"", 0x02},
          {5, L"A", L"", L"", 0},
          {5, L"B b", L"", L"", 0}},
         L"TABLE A\r\nUNION TABLE [B b];"},
        // an append of values without a source table
        {{{1, L"T", L"", L"", 3}, {6, L"Expr1", L"x", L"1", 0}},
         L"INSERT INTO T ( x )\r\nSELECT 1 AS Expr1;"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QueryTextBuilder(c.rows).Sql(), c.sql);
    EXPECT_EQ(QueryTextBuilder::QuoteName(L"Orders"), L"Orders");
    EXPECT_EQ(QueryTextBuilder::QuoteName(L"Order Details"), L"[Order Details]");
    EXPECT_EQ(QueryTextBuilder::QuoteName(L"1st"), L"[1st]");
}

}  // namespace
