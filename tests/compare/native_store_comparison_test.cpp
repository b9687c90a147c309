// A whole comparison of two native stores through the provider's ADO objects.
#include <gtest/gtest.h>

#include "compare/data_compare_model.h"
#include "comparison_fixture.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"
#include "support/temp_dir.h"

namespace {

using namespace testsupport;

std::wstring JetString(const std::wstring& path)
{
    return L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path;
}

void CreateStore(const std::wstring& path, const std::vector<std::wstring>& statements)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    catalog->Create(JetString(path))->Close();
    auto connection = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
    connection->Open(JetString(path));
    for (const auto& statement : statements)
        connection->Execute(statement, nullptr,
                            provider::adodb::adCmdText | provider::adodb::adExecuteNoRecords);
    connection->Close();
}

class NativeStoreComparisonTest : public testing::Test {
protected:
    void SetUp() override
    {
        provider::RegisterProviderClasses();
        settings1.path = automation::FromUtf8((dir / "one.mdb").string());
        settings2.path = automation::FromUtf8((dir / "two.mdb").string());
        const std::wstring create =
            L"CREATE TABLE T (id LONG PRIMARY KEY, name TEXT(50), amount CURRENCY, d DATETIME)";
        const std::wstring createK = L"CREATE TABLE K (k TEXT(10), v LONG)";
        CreateStore(settings1.path,
                    {create, createK, L"INSERT INTO T VALUES (1, 'a', 1.0001, #1/2/2020#)",
                     L"INSERT INTO T VALUES (2, 'b', 2, #1/2/2020#)",
                     L"INSERT INTO T VALUES (3, 'c', 3, #1/2/2020#)",
                     L"INSERT INTO T VALUES (5, 'x', 5, #12/31/1890 6:00:00 PM#)",
                     L"INSERT INTO K VALUES (NULL, 1)", L"INSERT INTO K VALUES ('', 2)",
                     L"INSERT INTO K VALUES ('a', 3)", L"INSERT INTO K VALUES ('B', 4)"});
        CreateStore(
            settings2.path,
            {create, createK, L"INSERT INTO T VALUES (1, 'a', 1.0002, #1/2/2020#)",
             L"INSERT INTO T VALUES (2, 'b', 2, #1/2/2020#)",
             L"INSERT INTO T VALUES (4, 'd', 4, #1/2/2020#)",
             L"INSERT INTO T VALUES (5, 'x', 5, #12/31/1890 6:00:00 PM#)",
             L"INSERT INTO T VALUES (6, 'f', 6, NULL)", L"INSERT INTO T VALUES (7, 'g', 7, NULL)",
             L"INSERT INTO K VALUES ('b', 5)", L"INSERT INTO K VALUES ('', 2)",
             L"INSERT INTO K VALUES ('a', 3)", L"INSERT INTO K VALUES ('B', 4)"});
        for (DatabaseSchema* schema : {&h.schema1, &h.schema2}) {
            AddTable(*schema, L"T", {L"id", L"name", L"amount", L"d"}, {L"id"});
            AddTable(*schema, L"K", {L"k", L"v"});
        }
        h.UseContext(std::make_unique<ComparisonContext>());
        h.Pairs().GetPair(1)->Fields().GetPair(0)->SetKey(true);
    }

    void Run()
    {
        h.context->Source1().Settings() = settings1;
        h.context->Source2().Settings() = settings2;
        h.Run();
        ASSERT_FALSE(h.context->HasError()) << automation::ToUtf8(h.context->ErrorText());
    }

    TempDir dir;
    ConnectionSettings settings1, settings2;
    ComparisonHarness h;
};

TEST_F(NativeStoreComparisonTest, MergesInTheProvidersOrderAndRereadsRowsByPosition)
{
    Run();
    // T: 1 modified in the fourth decimal of its money, 2 and 5 equal, 3 only in
    // Database1, 4 only in Database2, 6 and 7 the Database2 rest.
    EXPECT_EQ(h.StoredRows(0), (std::vector<StoredRow>{{'M', 1, 1, {2}},
                                                       {'=', 2, 0, {}},
                                                       {'1', 3, 0, {}},
                                                       {'2', 0, 3, {}},
                                                       {'=', 4, 0, {}},
                                                       {'2', 0, 5, {}},
                                                       {'2', 0, 6, {}}}));
    EXPECT_EQ(h.Counts(0), (std::array<int, 4>{2, 1, 3, 1}));
    // K, keyed by text: NULL first, then code-point order ('' < 'B' < 'a' < 'b').
    EXPECT_EQ(
        h.StoredRows(1),
        (std::vector<StoredRow>{
            {'1', 1, 0, {}}, {'=', 2, 0, {}}, {'=', 3, 0, {}}, {'=', 4, 0, {}}, {'2', 0, 4, {}}}));

    DataCompareModel* model = h.context->Model();
    model->SetCategoryFilter(true, true, true, true);
    RecordRowSource* source = model->GetRecordSource(0);
    source->Refresh();
    ASSERT_EQ(source->LineCount(), 8);
    const RecordLines lines = source->GetLines(0, 8);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0]->cells[2].text, L"1.0001");
    EXPECT_TRUE(lines[0]->cells[2].changed);
    EXPECT_EQ(lines[1]->cells[2].text, L"1.0002");
    EXPECT_EQ(lines[4]->cells[1].text, L"d");
    EXPECT_EQ(lines[7]->cells[1].text, L"g");
    EXPECT_EQ(lines[7]->cells[3].text, L"NULL");
}

TEST_F(NativeStoreComparisonTest, ClosingTheConnectionsReleasesTheDatabases)
{
    Run();
    auto other = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
    EXPECT_THROW(other->Open(JetString(settings1.path)), automation::ComError);
    h.context->CloseConnections();
    EXPECT_NO_THROW(other->Open(JetString(settings1.path)));
    other->Close();
}

TEST_F(NativeStoreComparisonTest, AMissingDatabaseEndsTheRunWithTheOpenMessage)
{
    settings2.path += L".missing";
    h.context->Source1().Settings() = settings1;
    h.context->Source2().Settings() = settings2;
    h.Run();
    EXPECT_TRUE(h.context->HasError());
    EXPECT_EQ(h.context->ErrorText().rfind(L"Can't open database '" + settings2.path + L"'\n", 0),
              0u);
}

}  // namespace
