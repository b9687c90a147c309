// The statement forms executed through the catalog and the relations, against a native store:
// each leaves the catalog, the relations and the rows it should, and each failure gives its
// exact output text.
#include <gtest/gtest.h>

#include "database/db_connection.h"
#include "executor_fixture.h"
#include "platform/provider/ado_command.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/adox_properties.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/adox_views.h"
#include "platform/provider/dao_database.h"

namespace sqlexectest {
namespace {

using automation::Variant;

const std::wstring kSuccess = L"Command(s) completed successfully.";
const std::wstring kNotFound =
    L"\r\nError: Item cannot be found in the collection corresponding to the requested name or "
    L"ordinal.";

class CatalogTest : public ExecutorTest {
protected:
    void SetUp() override
    {
        ExecutorTest::SetUp();
        ASSERT_EQ(
            Run(L"CREATE TABLE [Customers] ([Customer ID] LONG PRIMARY KEY, [Name] TEXT(20));\n"
                L"CREATE TABLE [Order Lines] ([id] LONG, [Customer ID] LONG, [Qty] LONG);\n"
                L"INSERT INTO [Order Lines] ([id], [Customer ID], [Qty]) VALUES (1, 7, 20);\n"),
            kSuccess);
    }

    // A property of a column as the catalog reads it now.
    Variant ColumnProperty(const wchar_t* table, const wchar_t* column, const wchar_t* name)
    {
        DbConnection connection(&settings);
        return connection.OpenCatalog()
            ->Tables()
            ->Item(table)
            ->Columns()
            ->Item(column)
            ->Properties()
            ->Item(name)
            ->Value();
    }

    // The outcome of one statement: the success line or the error text.
    std::wstring RunOne(const std::wstring& statement) { return Run(statement + L";"); }
};

TEST_F(CatalogTest, ValidationRuleIsSetEnforcedAndRemoved)
{
    const wchar_t* const rule = L"Jet OLEDB:Column Validation Rule";
    EXPECT_EQ(RunOne(L"ALTER TABLE [Order Lines] ADD CONSTRAINT [[Qty].ValidationRule] CHECK "
                     L"(>0 And <100)"),
              kSuccess);
    EXPECT_TRUE(ColumnProperty(L"Order Lines", L"Qty", rule) == Variant(L">0 And <100"));
    const std::wstring breaking = L"INSERT INTO [Order Lines] ([id], [Qty]) VALUES (2, 500)";
    EXPECT_EQ(RunOne(breaking).substr(0, 9), L"\r\nError: ");
    EXPECT_EQ(Rows(L"SELECT [id] FROM [Order Lines] WHERE [id]=2").size(), 0u);

    EXPECT_EQ(RunOne(L"alter table [Order Lines] drop constraint [[Qty].ValidationRule]"),
              kSuccess);
    EXPECT_TRUE(ColumnProperty(L"Order Lines", L"Qty", rule) == Variant(L""));
    EXPECT_EQ(RunOne(breaking), kSuccess);
}

TEST_F(CatalogTest, ZeroLengthIsDeniedAndAllowed)
{
    const wchar_t* const zeroLength = L"Jet OLEDB:Allow Zero Length";
    const std::wstring empty = L"INSERT INTO [Customers] ([Customer ID], [Name]) VALUES (1, \"\")";
    EXPECT_EQ(RunOne(L"ALTER TABLE [Customers] DENY ZERO LENGTH [Name]"), kSuccess);
    EXPECT_FALSE(provider::adox::PropertyFlag(ColumnProperty(L"Customers", L"Name", zeroLength)));
    EXPECT_EQ(RunOne(empty).substr(0, 9), L"\r\nError: ");
    EXPECT_EQ(RunOne(L"ALTER TABLE [Customers] allow ZERO LENGTH [Name]"), kSuccess);
    EXPECT_TRUE(provider::adox::PropertyFlag(ColumnProperty(L"Customers", L"Name", zeroLength)));
    EXPECT_EQ(RunOne(empty), kSuccess);
}

TEST_F(CatalogTest, ViewsAndProceduresAreStoredWithTheirText)
{
    ASSERT_EQ(Run(L"CREATE VIEW [Big Lines] AS SELECT [id] FROM [Order Lines] WHERE [Qty] > 10;\n"
                  L"CREATE PROCEDURE [Find Line] ([p] LONG) AS SELECT [Qty] FROM [Order Lines] "
                  L"WHERE [id]=[p];\n"
                  L"CREATE PROCEDURE [All Lines] () AS SELECT [id] FROM [Order Lines];\n"),
              kSuccess);
    DbConnection connection(&settings);
    const auto& catalog = connection.OpenCatalog();
    EXPECT_EQ(catalog->Views()->Item(L"Big Lines")->Command()->CommandText(),
              L"SELECT [id] FROM [Order Lines] WHERE [Qty] > 10");
    EXPECT_EQ(catalog->Procedures()->Item(L"Find Line")->Command()->CommandText(),
              L"PARAMETERS [p] LONG;SELECT [Qty] FROM [Order Lines] WHERE [id]=[p]");
    // An empty parameter list stores the body alone.
    EXPECT_EQ(catalog->Procedures()->Item(L"All Lines")->Command()->CommandText(),
              L"SELECT [id] FROM [Order Lines]");
    connection.Close();
    EXPECT_EQ(Rows(L"SELECT [id] FROM [Big Lines]"), std::vector<Row>{{Variant(int32_t{1})}});
}

TEST_F(CatalogTest, ForeignKeyWithoutIndexIsAnUnenforcedRelation)
{
    EXPECT_EQ(RunOne(L"ALTER TABLE [Order Lines] ADD CONSTRAINT [FK Lines] FOREIGN KEY NO INDEX "
                     L"([Customer ID]) REFERENCES [Customers] ([Customer ID])"),
              kSuccess);
    {
        DbConnection connection(&settings);
        const auto relation = connection.OpenDatabaseDao()->Relations()->Item(L"FK Lines");
        EXPECT_EQ(relation->Table(), L"Customers");
        EXPECT_EQ(relation->ForeignTable(), L"Order Lines");
        EXPECT_EQ(relation->Attributes() & provider::dao::dbRelationDontEnforce,
                  provider::dao::dbRelationDontEnforce);
        ASSERT_EQ(relation->Fields()->Count(), 1);
        EXPECT_EQ(relation->Fields()->Item(0L)->Name(), L"Customer ID");
        EXPECT_EQ(relation->Fields()->Item(0L)->ForeignName(), L"Customer ID");
    }
    // Not enforced: a line whose customer does not exist is accepted.
    EXPECT_EQ(RunOne(L"INSERT INTO [Order Lines] ([id], [Customer ID]) VALUES (5, 999)"), kSuccess);
}

TEST_F(CatalogTest, LinkedTablesKeepTheirSource)
{
    struct Case {
        std::wstring statement;
        const wchar_t* local;
        const wchar_t* sourceProperty;
        std::wstring source;
        const wchar_t* type;  // ADOX calls an ODBC link a pass-through table
    };
    // The other database, with the table that the Access link names.
    ConnectionSettings otherSettings;
    otherSettings.path = automation::FromUtf8((dir / "other file.mdb").string());
    ASSERT_TRUE(SQLExecutor::MdbCreator(otherSettings).Create());
    const std::wstring create = L"CREATE TABLE [Order Lines] ([id] LONG)";
    Options options;
    FakeProgress progress;
    ASSERT_EQ(SQLExecutor::ScriptExecutor(otherSettings, create, false, options).Run(progress),
              kSuccess);
    const std::wstring& other = otherSettings.path;
    const Case cases[] = {
        {L"LINK TABLE [Remote Lines] TO [Order Lines] SRC \"" + other + L"\"", L"Remote Lines",
         L"Jet OLEDB:Link Datasource", other, L"LINK"},
        {L"link table [Shop] to [dbo.Shop] odbc \"ODBC;DSN=shop;UID=me\"", L"Shop",
         L"Jet OLEDB:Link Provider String", L"ODBC;DSN=shop;UID=me", L"PASS-THROUGH"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(automation::ToUtf8(c.statement));
        EXPECT_EQ(RunOne(c.statement), kSuccess);
        DbConnection connection(&settings);
        const auto table = connection.OpenCatalog()->Tables()->Item(c.local);
        EXPECT_EQ(table->Type(), c.type);
        EXPECT_TRUE(table->Properties()->Item(c.sourceProperty)->Value() == Variant(c.source));
    }
}

TEST_F(CatalogTest, CatalogStatementsOnMissingObjectsFailWithTheProviderText)
{
    const wchar_t* const statements[] = {
        L"ALTER TABLE [Nowhere] ADD CONSTRAINT [[Qty].ValidationRule] CHECK (>0)",
        L"ALTER TABLE [Order Lines] DROP CONSTRAINT [[Nothing].ValidationRule]",
        L"ALTER TABLE [Nowhere] DENY ZERO LENGTH [Name]",
    };
    for (const wchar_t* statement : statements) {
        SCOPED_TRACE(automation::ToUtf8(statement));
        EXPECT_EQ(Run(statement, true), L"1\t" + std::wstring(statement) + L"\r\n" + kNotFound);
        EXPECT_TRUE(executor->IsStopped());
    }
}

TEST_F(CatalogTest, OneScriptSwitchesBetweenStatementsCatalogAndRelations)
{
    const std::wstring script =
        L"ALTER TABLE [Customers] DENY ZERO LENGTH [Name];\n"
        L"INSERT INTO [Customers] ([Customer ID], [Name]) VALUES (7, \"Ann\" & chr(9));\n"
        L"ALTER TABLE [Order Lines] ADD CONSTRAINT [K] FOREIGN KEY NO INDEX ([Customer ID]) "
        L"REFERENCES [Customers] ([Customer ID]);\n"
        L"CREATE VIEW [Named Lines] AS SELECT [Order Lines].[id], [Customers].[Name] FROM "
        L"[Order Lines] INNER JOIN [Customers] ON [Order Lines].[Customer ID] = "
        L"[Customers].[Customer ID];\n"
        L"UPDATE [Customers] SET [Name]=\"Bo\" & chr(10) WHERE [Customer ID]=7;\n";
    ASSERT_EQ(Run(script), kSuccess);
    EXPECT_EQ(Rows(L"SELECT [id], [Name] FROM [Named Lines]"),
              (std::vector<Row>{{Variant(int32_t{1}), Variant(L"Bo\n")}}));
}

}  // namespace
}  // namespace sqlexectest
