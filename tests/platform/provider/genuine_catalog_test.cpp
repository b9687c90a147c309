// The catalog of genuine Access files through ADOX and DAO: columns with
// their types and sizes, primary keys, relations with their rules, and saved
// queries as views and procedures. Expected values are the sample files' own
// (mdb-schema output and the files' known relationships).
#include <gtest/gtest.h>

#include "genuine_test_support.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/adox_views.h"
#include "platform/provider/dao_database.h"
#include "platform/provider/dao_engine.h"

namespace genuinetest {
namespace {

using namespace provider;
using namespace provider::adodb;

class GenuineCatalog : public ::testing::Test {
protected:
    void Open(const char* file)
    {
        copy = std::make_unique<GenuineCopy>(file);
        connection = copy->Open();
        catalog = std::make_shared<adox::Catalog>();
        catalog->SetActiveConnection(connection);
    }
    void TearDown() override
    {
        catalog.reset();
        if (connection)
            connection->Close();
        connection = nullptr;
        copy.reset();
    }

    std::unique_ptr<GenuineCopy> copy;
    Ptr<Connection> connection;
    Ptr<adox::Catalog> catalog;
};

TEST_F(GenuineCatalog, ColumnsComeInTheirOrderWithAdoTypesSizesAndNullability)
{
    struct Column {
        const wchar_t* name;
        long type;
        long size;
        bool required;
    };
    struct Case {
        const char* file;
        const wchar_t* table;
        std::vector<Column> columns;
    };
    const Case cases[] = {
        {"nwind.mdb",
         L"Order Details",
         {{L"OrderID", adInteger, 4, false},
          {L"ProductID", adInteger, 4, true},
          {L"UnitPrice", adCurrency, 8, true},
          {L"Quantity", adSmallInt, 2, true},
          {L"Discount", adSingle, 4, true}}},
        {"nwind.mdb",
         L"Categories",
         {{L"CategoryID", adInteger, 4, false},
          {L"CategoryName", adVarWChar, 15, true},
          {L"Description", adLongVarWChar, 0, false},
          {L"Picture", adLongVarBinary, 0, false}}},
        {"nwind.mdb",
         L"Products",
         {{L"ProductID", adInteger, 4, false},
          {L"ProductName", adVarWChar, 40, true},
          {L"SupplierID", adInteger, 4, false},
          {L"CategoryID", adInteger, 4, false},
          {L"QuantityPerUnit", adVarWChar, 20, false},
          {L"UnitPrice", adCurrency, 8, false},
          {L"UnitsInStock", adSmallInt, 2, false},
          {L"UnitsOnOrder", adSmallInt, 2, false},
          {L"ReorderLevel", adSmallInt, 2, false},
          {L"Discontinued", adBoolean, 2, true}}},
        {"ASampleDatabase.accdb",
         L"Asset Items",
         {{L"Asset No", adVarWChar, 5, false},
          {L"Asset Category", adVarWChar, 20, false},
          {L"Make", adVarWChar, 25, false},
          {L"Model", adVarWChar, 25, false},
          {L"Description", adVarWChar, 40, false},
          {L"Owner", adVarWChar, 20, false},
          {L"Serial No", adVarWChar, 15, false},
          {L"Acquired", adDate, 8, false},
          {L"Cost", adCurrency, 8, false},
          {L"Warranty", adInteger, 4, false},
          {L"Tax Scale", adVarWChar, 1, false},
          {L"Supplier No", adVarWChar, 5, false},
          {L"Comments", adLongVarWChar, 0, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(automation::ToUtf8(c.table));
        Open(c.file);
        auto columns = catalog->Tables()->Item(c.table)->Columns();
        ASSERT_EQ(columns->Count(), static_cast<long>(c.columns.size()));
        for (long i = 0; i < columns->Count(); ++i) {
            const Column& want = c.columns[i];
            auto column = columns->Item(i);
            EXPECT_EQ(column->Name(), want.name);
            EXPECT_EQ(column->Type(), want.type) << automation::ToUtf8(want.name);
            if (want.size) {
                EXPECT_EQ(column->DefinedSize(), want.size) << automation::ToUtf8(want.name);
            }
            EXPECT_EQ((column->Attributes() & adox::adColNullable) == 0, want.required)
                << automation::ToUtf8(want.name);
        }
        TearDown();
    }
}

TEST_F(GenuineCatalog, PrimaryKeysAndRelationsAreKeysWithTheirRules)
{
    Open("nwind.mdb");
    const std::pair<const wchar_t*, std::vector<std::wstring>> primary[] = {
        {L"Order Details", {L"OrderID", L"ProductID"}}, {L"Orders", {L"OrderID"}},
        {L"Products", {L"ProductID"}},   {L"Shippers", {L"ShipperID"}},
        {L"Categories", {L"CategoryID"}}, {L"Customers", {L"CustomerID"}},
        {L"Employees", {L"EmployeeID"}}, {L"Suppliers", {L"SupplierID"}},
    };
    for (const auto& [table, columns] : primary) {
        SCOPED_TRACE(automation::ToUtf8(table));
        auto keys = catalog->Tables()->Item(table)->Keys();
        std::vector<std::wstring> found;
        for (long i = 0; i < keys->Count(); ++i)
            if (keys->Item(i)->Type() == adox::adKeyPrimary)
                for (long j = 0; j < keys->Item(i)->Columns()->Count(); ++j)
                    found.push_back(keys->Item(i)->Columns()->Item(j)->Name());
        EXPECT_EQ(found, columns);
    }
    struct Relation {
        const wchar_t* name;
        const wchar_t* table;
        const wchar_t* foreignTable;
        const wchar_t* column;
        const wchar_t* foreignColumn;
        long updateRule;
        long deleteRule;
    };
    const Relation relations[] = {
        {L"CategoriesProducts", L"Categories", L"Products", L"CategoryID", L"CategoryID", 0, 0},
        {L"CustomersOrders", L"Customers", L"Orders", L"CustomerID", L"CustomerID",
         adox::adRICascade, 0},
        {L"EmployeesOrders", L"Employees", L"Orders", L"EmployeeID", L"EmployeeID", 0, 0},
        {L"OrdersOrder Details", L"Orders", L"Order Details", L"OrderID", L"OrderID", 0,
         adox::adRICascade},
        {L"ProductsOrder Details", L"Products", L"Order Details", L"ProductID", L"ProductID", 0,
         0},
        {L"ShippersOrders", L"Shippers", L"Orders", L"ShipperID", L"ShipVia", 0, 0},
        {L"SuppliersProducts", L"Suppliers", L"Products", L"SupplierID", L"SupplierID", 0, 0},
    };
    for (const Relation& r : relations) {
        SCOPED_TRACE(automation::ToUtf8(r.name));
        auto key = catalog->Tables()->Item(r.foreignTable)->Keys()->Item(r.name);
        EXPECT_EQ(key->Type(), adox::adKeyForeign);
        EXPECT_EQ(key->RelatedTable(), r.table);
        EXPECT_EQ(key->UpdateRule(), r.updateRule);
        EXPECT_EQ(key->DeleteRule(), r.deleteRule);
        ASSERT_EQ(key->Columns()->Count(), 1);
        EXPECT_EQ(key->Columns()->Item(0L)->Name(), r.foreignColumn);
        EXPECT_EQ(key->Columns()->Item(0L)->RelatedColumn(), r.column);
    }
    // DAO sees the same relations, with the file's attribute bits.
    dao::DBEngine engine;
    auto db = engine.OpenDatabase(copy->WidePath());
    auto daoRelations = db->Relations();
    ASSERT_EQ(daoRelations->Count(), static_cast<long>(std::size(relations)));
    for (const Relation& r : relations) {
        auto relation = daoRelations->Item(r.name);
        EXPECT_EQ(relation->Table(), r.table);
        EXPECT_EQ(relation->ForeignTable(), r.foreignTable);
        long bits = (r.updateRule ? dao::dbRelationUpdateCascade : 0) |
                    (r.deleteRule ? dao::dbRelationDeleteCascade : 0);
        EXPECT_EQ(relation->Attributes(), bits) << automation::ToUtf8(r.name);
    }
    db->Close();
}

TEST_F(GenuineCatalog, IndexesKeepTheirNamesColumnsAndFlags)
{
    Open("nwind.mdb");
    auto indexes = catalog->Tables()->Item(L"Orders")->Indexes();
    for (const wchar_t* name :
         {L"CustomerID", L"EmployeeID", L"OrderDate", L"ShippedDate", L"ShipPostalCode"}) {
        auto index = indexes->Item(name);
        EXPECT_FALSE(index->Unique() || index->PrimaryKey()) << automation::ToUtf8(name);
        ASSERT_EQ(index->Columns()->Count(), 1);
        EXPECT_EQ(index->Columns()->Item(0L)->Name(), name);
    }
    EXPECT_TRUE(indexes->Item(L"PrimaryKey")->PrimaryKey());
    EXPECT_TRUE(catalog->Tables()->Item(L"Categories")->Indexes()->Item(L"CategoryName")->Unique());
}

TEST_F(GenuineCatalog, SavedQueriesAreViewsAndProceduresWithTheirText)
{
    Open("queryTestV2010.accdb");
    auto views = catalog->Views();
    ASSERT_EQ(views->Count(), 1);
    EXPECT_EQ(views->Item(0L)->Name(), L"SelectQuery");
    EXPECT_EQ(views->Item(0L)->Command()->CommandText().rfind(L"SELECT DISTINCT Table1.*", 0), 0u);
    std::vector<std::wstring> procedures;
    for (long i = 0; i < catalog->Procedures()->Count(); ++i)
        procedures.push_back(catalog->Procedures()->Item(i)->Name());
    std::sort(procedures.begin(), procedures.end());
    EXPECT_EQ(procedures, (std::vector<std::wstring>{
                              L"AppendQuery", L"CrosstabQuery", L"DataDefinitionQuery",
                              L"DeleteQuery", L"MakeTableQuery", L"PassthroughQuery",
                              L"UnionQuery", L"UpdateQuery"}));
    std::wstring update = catalog->Procedures()->Item(L"UpdateQuery")->Command()->CommandText();
    EXPECT_EQ(update.rfind(L"PARAMETERS [User Name] Text ( 255 );", 0), 0u);
    TearDown();

    // Northwind: 22 saved queries; the union and the crosstab are procedures.
    Open("nwind.mdb");
    long views2 = catalog->Views()->Count(), procedures2 = catalog->Procedures()->Count();
    EXPECT_EQ(views2 + procedures2, 22);
    EXPECT_NO_THROW(catalog->Procedures()->Item(L"Quarterly Orders by Product"));
    EXPECT_NO_THROW(catalog->Procedures()->Item(L"Customers and Suppliers by City"));
    EXPECT_NO_THROW(catalog->Views()->Item(L"Current Product List"));
}

}  // namespace
}  // namespace genuinetest
