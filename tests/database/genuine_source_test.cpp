// The schema reader over genuine Access files (opened read-only by the
// provider): every user table with its fields in order, types, primary keys
// and relations, and the saved queries as views and procedures. Expected
// values are the files' own facts (mdb-tables, mdb-schema, their relationships).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "database/database_source.h"
#include "database/schema_key.h"
#include "database/schema_table.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/provider_classes.h"
#include "sqlexec/i_progress.h"
#include "support/expected_access_file.h"
#include "support/temp_dir.h"

namespace {

struct Loaded {
    testsupport::TempDir dir;
    DatabaseSource source;
};

std::unique_ptr<Loaded> Load(const std::string& file)
{
    provider::RegisterProviderClasses();
    auto loaded = std::make_unique<Loaded>();
    auto path = testsupport::CopyTestData(file, loaded->dir);
    loaded->source.Settings().Assign(automation::FromUtf8(path.string()), L"", L"", L"", L"");
    FakeProgress progress;
    EXPECT_TRUE(loaded->source.Load(progress)) << automation::ToUtf8(loaded->source.ErrorText());
    return loaded;
}

std::vector<std::wstring> TableNames(const DatabaseSchema& schema)
{
    std::vector<std::wstring> names;
    for (const auto& t : schema.Tables())
        names.emplace_back(t->Name());
    return names;
}

TEST(GenuineSource, EverySampleFileLoadsWithItsUserTablesAndQueries)
{
    struct Case {
        const char* file;
        std::vector<std::wstring> tables;
        size_t queries;  // views and procedures together
    };
    const Case cases[] = {
        {"nwind.mdb",
         {L"Order Details", L"Orders", L"Products", L"Shippers", L"Categories", L"Customers",
          L"Employees", L"Suppliers", L"Ums\u00e4tze"},
         22},
        {"indexTestV2003.mdb", {L"Table1", L"Table2", L"Table3"}, 0},
        {"ASampleDatabase.accdb", {L"Asset Items"}, 3},
        {"queryTestV2010.accdb", {L"Table1", L"Table2", L"Table3"}, 9},
        {"testV2010.accdb", {L"Table1", L"Table2", L"Table3", L"Table4"}, 0},
        {"delColTestV2003.mdb", {L"Table1"}, 0},
        {"queryTestV2003.mdb", {L"Table1", L"Table2", L"Table3"}, 9},
        {"calcFieldTestV2010.accdb", {L"Table1"}, 0},
        {"extDateTestV2019.accdb", {L"Table1"}, 0},
        {"complexDataTestV2010.accdb", {L"Table1"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto loaded = Load(c.file);
        const DatabaseSchema* schema = loaded->source.Schema();
        ASSERT_NE(schema, nullptr);
        EXPECT_EQ(TableNames(*schema), c.tables);
        EXPECT_EQ(schema->Views().size() + schema->Procedures().size(), c.queries);
    }
}

TEST(GenuineSource, NorthwindFieldsKeysAndRelations)
{
    auto loaded = Load("nwind.mdb");
    DatabaseSchema& schema = *loaded->source.Schema();
    struct Field {
        const wchar_t* name;
        const wchar_t* definition;
    };
    const Field orders[] = {
        {L"OrderID", L" AUTOINCREMENT"},
        {L"CustomerID", L" TEXT(5)"},
        {L"EmployeeID", L" LONG"},
        {L"OrderDate", L" DATETIME"},
        {L"RequiredDate", L" DATETIME"},
        {L"ShippedDate", L" DATETIME"},
        {L"ShipVia", L" LONG"},
        {L"Freight", L" CURRENCY DEFAULT 0"},
        {L"ShipName", L" TEXT(40)"},
        {L"ShipAddress", L" TEXT(60)"},
        {L"ShipCity", L" TEXT(15)"},
        {L"ShipRegion", L" TEXT(15)"},
        {L"ShipPostalCode", L" TEXT(10)"},
        {L"ShipCountry", L" TEXT(15)"},
    };
    SchemaTable* table = schema.FindTable(L"Orders");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->Fields().size(), std::size(orders));
    for (size_t i = 0; i < std::size(orders); ++i) {
        EXPECT_EQ(table->Fields()[i]->Name(), orders[i].name);
        EXPECT_EQ(table->Fields()[i]->ColumnDefinition(), orders[i].definition)
            << automation::ToUtf8(orders[i].name);
    }
    EXPECT_EQ(schema.FindTable(L"Order Details")->FindField(L"Discount")->ValidationRule(),
              L"Between 0 And 1");

    // Primary keys, then the relations as foreign keys of the referencing table.
    struct Key {
        const wchar_t* name;
        int type;
        const wchar_t* related;
        std::vector<SchemaKey::ColumnPair> columns;
        int deleteRule;
    };
    const std::pair<const wchar_t*, std::vector<Key>> keys[] = {
        {L"Order Details",
         {{L"PrimaryKey", SchemaKey::kPrimary, L"", {{L"OrderID", L""}, {L"ProductID", L""}}, 0},
          {L"OrdersOrder Details",
           SchemaKey::kForeign,
           L"Orders",
           {{L"OrderID", L"OrderID"}},
           SchemaKey::kRuleCascade},
          {L"ProductsOrder Details",
           SchemaKey::kForeign,
           L"Products",
           {{L"ProductID", L"ProductID"}},
           0}}},
        {L"Orders",
         {{L"PrimaryKey", SchemaKey::kPrimary, L"", {{L"OrderID", L""}}, 0},
          {L"CustomersOrders",
           SchemaKey::kForeign,
           L"Customers",
           {{L"CustomerID", L"CustomerID"}},
           0},
          {L"EmployeesOrders",
           SchemaKey::kForeign,
           L"Employees",
           {{L"EmployeeID", L"EmployeeID"}},
           0},
          {L"ShippersOrders", SchemaKey::kForeign, L"Shippers", {{L"ShipVia", L"ShipperID"}}, 0}}},
    };
    for (const auto& [name, expected] : keys) {
        SCOPED_TRACE(automation::ToUtf8(name));
        SchemaTable* t = schema.FindTable(name);
        ASSERT_EQ(t->Keys().size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            const SchemaKey& key = *t->Keys()[i];
            EXPECT_EQ(key.Name(), expected[i].name);
            EXPECT_EQ(key.KeyType(), expected[i].type);
            EXPECT_EQ(key.RelatedTableName(), expected[i].related);
            EXPECT_EQ(key.Columns(), expected[i].columns);
            EXPECT_EQ(key.DeleteRule(), expected[i].deleteRule);
        }
    }
}

TEST(GenuineSource, KeysAndRelationsOfTheJet4AndAceFiles)
{
    struct Key {
        const char* file;
        const wchar_t* table;
        const wchar_t* name;
        int type;
        const wchar_t* related;
        std::vector<SchemaKey::ColumnPair> columns;
        int deleteRule;
        int updateRule;
    };
    const Key keys[] = {
        {"indexTestV2003.mdb",
         L"Table1",
         L"PrimaryKey",
         SchemaKey::kPrimary,
         L"",
         {{L"id", L""}},
         0,
         0},
        {"indexTestV2003.mdb",
         L"Table1",
         L"Table2Table1",
         SchemaKey::kForeign,
         L"Table2",
         {{L"otherfk1", L"id"}},
         SchemaKey::kRuleCascade,
         0},
        {"indexTestV2003.mdb",
         L"Table1",
         L"Table3Table1",
         SchemaKey::kForeign,
         L"Table3",
         {{L"otherfk2", L"id"}},
         0,
         SchemaKey::kRuleCascade},
        {"ASampleDatabase.accdb",
         L"Asset Items",
         L"PrimaryKey",
         SchemaKey::kPrimary,
         L"",
         {{L"Asset No", L""}},
         0,
         0},
    };
    for (const Key& k : keys) {
        SCOPED_TRACE(automation::ToUtf8(k.name));
        auto loaded = Load(k.file);
        SchemaTable* table = loaded->source.Schema()->FindTable(k.table);
        ASSERT_NE(table, nullptr);
        const SchemaKey* found = nullptr;
        for (const auto& key : table->Keys())
            if (key->Name() == k.name)
                found = key.get();
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->KeyType(), k.type);
        EXPECT_EQ(found->RelatedTableName(), k.related);
        EXPECT_EQ(found->Columns(), k.columns);
        EXPECT_EQ(found->DeleteRule(), k.deleteRule);
        EXPECT_EQ(found->UpdateRule(), k.updateRule);
    }
}

// The primary key that the independent reader finds in each table is the
// table's key for the comparison, also where indexes were deleted and made
// again, so that their numbers have gaps (testIndexPropertiesV2003.mdb).
TEST(GenuineSource, EveryPrimaryKeyOfTheFileIsTheTablesKey)
{
    for (const char* file : testsupport::ExpectedSampleFiles()) {
        SCOPED_TRACE(file);
        const auto expected = testsupport::ReadExpected(file);
        auto loaded = Load(file);
        for (const auto& table : expected.tables) {
            SCOPED_TRACE(table.name);
            std::vector<SchemaKey::ColumnPair> want;
            for (const auto& index : table.indexes)
                if (index.flags.starts_with("pk"))
                    for (size_t start = 0; start <= index.columns.size();) {
                        size_t end = std::min(index.columns.find(',', start), index.columns.size());
                        std::string column = index.columns.substr(start, end - start);
                        if (column.ends_with(" DESC"))
                            column.resize(column.size() - 5);
                        want.push_back({automation::FromUtf8(column), L""});
                        start = end + 1;
                    }
            SchemaTable* t = loaded->source.Schema()->FindTable(automation::FromUtf8(table.name));
            ASSERT_NE(t, nullptr);
            std::vector<SchemaKey::ColumnPair> got;
            for (const auto& key : t->Keys())
                if (key->KeyType() == SchemaKey::kPrimary)
                    got = key->Columns();
            EXPECT_EQ(got, want);
        }
    }
}

// Every file loads through the schema reader, and every row of every table
// it lists reads through a Recordset: the fields as the independent reader
// lists them (tests/data/expected/), as many rows as the table holds, and the
// first row (in text order) with one value of each column type.
TEST(GenuineSource, EveryRowOfEveryFileReadsThroughARecordset)
{
    std::vector<std::pair<std::string, std::map<std::wstring, long>>> cases;
    for (const auto& older : testsupport::OlderSampleFiles())
        cases.push_back({older.file, {older.tables.begin(), older.tables.end()}});
    for (const char* file : testsupport::ExpectedSampleFiles())
        cases.push_back({file, {}});
    for (const auto& [file, counts] : cases) {
        SCOPED_TRACE(file);
        const bool withExpected = counts.empty();
        auto loaded = Load(file);
        const DatabaseSchema* schema = loaded->source.Schema();
        ASSERT_NE(schema, nullptr);
        const auto expected =
            withExpected ? testsupport::ReadExpected(file) : testsupport::ExpectedFile{};
        EXPECT_EQ(schema->Tables().size(), withExpected ? expected.tables.size() : counts.size());
        auto connection =
            automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
        connection->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                         loaded->source.Settings().path);
        for (const auto& table : schema->Tables()) {
            SCOPED_TRACE(automation::ToUtf8(table->Name()));
            auto rs = automation::CreateObjectAs<provider::adodb::Recordset>(L"ADODB.Recordset");
            rs->Open(automation::Variant(L"SELECT * FROM [" + table->Name() + L"]"), connection,
                     provider::adodb::adOpenStatic, provider::adodb::adLockReadOnly,
                     provider::adodb::adCmdText);
            ASSERT_EQ(rs->Fields()->Count(), static_cast<long>(table->Fields().size()));
            std::vector<std::string> rows;
            for (; !rs->IsEOF(); rs->MoveNext()) {
                std::string row;
                for (long i = 0; i < rs->Fields()->Count(); ++i)
                    row +=
                        (i ? "\t" : "") + testsupport::ExpectedText(rs->Fields()->Item(i)->Value());
                rows.push_back(row);
            }
            if (!withExpected) {
                EXPECT_EQ(static_cast<long>(rows.size()), counts.at(table->Name()));
                continue;
            }
            const auto found = std::find_if(
                expected.tables.begin(), expected.tables.end(),
                [&](const auto& t) { return automation::FromUtf8(t.name) == table->Name(); });
            ASSERT_NE(found, expected.tables.end());
            std::vector<std::wstring> names, fields;
            for (const auto& column : found->columns)
                if (!column.VersionHistory())
                    names.push_back(automation::FromUtf8(column.name));
            for (const auto& field : table->Fields())
                fields.emplace_back(field->Name());
            EXPECT_EQ(fields, names);
            EXPECT_EQ(static_cast<long>(rows.size()), found->rowsRead);
            // Complex columns hold their content; the sample skips those files.
            const bool complex = std::any_of(found->columns.begin(), found->columns.end(),
                                             [](const auto& x) { return x.Complex(); });
            if (rows.empty() || complex)
                continue;
            std::vector<std::string> want = found->rows;
            std::sort(want.begin(), want.end());
            std::sort(rows.begin(), rows.end());
            EXPECT_EQ(rows.front(), want.front());
        }
        connection->Close();
    }
}

}  // namespace
