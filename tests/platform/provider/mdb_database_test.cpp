// Catalog of the genuine Access sample files, checked against facts of the
// files learned independently (mdbtools' mdb-ver, mdb-tables, mdb-schema,
// mdb-prop, mdb-export, and the well-known Northwind design).
#include <gtest/gtest.h>

#include <algorithm>

#include "mdb_test_support.h"
#include "platform/automation/com_error.h"

namespace {

using namespace provider::mdb;
using mdbtest::OpenedCopy;

std::vector<std::wstring> NamesOf(const MdbDatabase& db, TableKind kind)
{
    std::vector<std::wstring> names;
    for (const auto& t : db.Tables())
        if (t.kind == kind)
            names.push_back(t.name);
    return names;
}

TEST(MdbDatabase, RecognisesTheFormatOfEverySampleFile)
{
    struct Case {
        const char* file;
        FileFormat format;
        bool passwordReadable;
    };
    const Case cases[] = {
        {"nwind.mdb", FileFormat::Jet3, true},
        {"indexTestV2003.mdb", FileFormat::Jet4, true},
        {"ASampleDatabase.accdb", FileFormat::Ace12, false},
        {"queryTestV2010.accdb", FileFormat::Ace14, false},
    };
    for (const auto& c : cases) {
        OpenedCopy copy(c.file);
        EXPECT_EQ(copy.db().Format(), c.format) << c.file;
        EXPECT_EQ(copy.db().Header().PasswordReadable(), c.passwordReadable) << c.file;
        // None of the samples has a database password: the decoded password
        // field is empty, and only the empty password is accepted.
        EXPECT_FALSE(copy.db().Header().HasPassword()) << c.file;
        EXPECT_TRUE(copy.db().Header().CheckPassword(L"")) << c.file;
        if (c.passwordReadable) {
            EXPECT_FALSE(copy.db().Header().CheckPassword(L"secret")) << c.file;
        }
    }
    EXPECT_EQ(FormatName(FileFormat::Jet3), L"Jet 3");
    EXPECT_EQ(FormatName(FileFormat::Ace14), L"ACE 14");
}

TEST(MdbDatabase, ListsUserTablesInCatalogOrderAndMarksSystemTables)
{
    struct Case {
        const char* file;
        std::vector<std::wstring> user;
        std::vector<std::wstring> someSystem;
    };
    const Case cases[] = {
        {"nwind.mdb",
         {L"Order Details", L"Orders", L"Products", L"Shippers", L"Categories", L"Customers",
          L"Employees", L"Suppliers", L"Ums\u00e4tze"},
         {L"MSysObjects", L"MSysACEs", L"MSysQueries", L"MSysRelationships", L"MSysIMEXColumns",
          L"MSysIMEXSpecs", L"MSysModules", L"MSysCmdbars", L"MSysModules2", L"MSysAccessObjects"}},
        {"indexTestV2003.mdb",
         {L"Table1", L"Table2", L"Table3"},
         {L"MSysObjects", L"MSysAccessStorage", L"MSysNavPaneGroups"}},
        {"ASampleDatabase.accdb",
         {L"Asset Items"},
         {L"MSysObjects", L"MSysComplexColumns", L"MSysComplexType_Attachment"}},
        {"queryTestV2010.accdb",
         {L"Table1", L"Table2", L"Table3"},
         {L"MSysObjects", L"MSysResources", L"f_B380C6458F1A4EAD816FB369FB0797AB_Data"}},
    };
    for (const auto& c : cases) {
        OpenedCopy copy(c.file);
        EXPECT_EQ(NamesOf(copy.db(), TableKind::Table), c.user) << c.file;
        const auto system = NamesOf(copy.db(), TableKind::SystemTable);
        for (const auto& name : c.someSystem)
            EXPECT_NE(std::find(system.begin(), system.end(), name), system.end())
                << c.file << " lacks system table";
        EXPECT_TRUE(NamesOf(copy.db(), TableKind::LinkedTable).empty());
        EXPECT_TRUE(NamesOf(copy.db(), TableKind::LinkedOdbc).empty());
    }
}

TEST(MdbDatabase, FindsTablesIgnoringCase)
{
    OpenedCopy copy("nwind.mdb");
    ASSERT_NE(copy.db().FindTable(L"order details"), nullptr);
    EXPECT_EQ(copy.db().FindTable(L"order details")->name, L"Order Details");
    EXPECT_EQ(copy.db().FindTable(L"No Such Table"), nullptr);
}

struct ColumnFact {
    const wchar_t* name;
    int adoType;
    long definedSize;
};

TEST(MdbDatabase, ReadsColumnsInOrderWithAdoTypesAndSizes)
{
    // Long Integer 3, Integer 2, Single 4, Currency 6, DateTime 7, Boolean 11,
    // Text(n) 202 with n characters, Memo 203, OLE 205.
    struct Case {
        const char* file;
        const wchar_t* table;
        std::vector<ColumnFact> columns;
    };
    const Case cases[] = {
        {"nwind.mdb",
         L"Order Details",
         {{L"OrderID", 3, 4},
          {L"ProductID", 3, 4},
          {L"UnitPrice", 6, 8},
          {L"Quantity", 2, 2},
          {L"Discount", 4, 4}}},
        {"nwind.mdb",
         L"Products",
         {{L"ProductID", 3, 4},
          {L"ProductName", 202, 40},
          {L"SupplierID", 3, 4},
          {L"CategoryID", 3, 4},
          {L"QuantityPerUnit", 202, 20},
          {L"UnitPrice", 6, 8},
          {L"UnitsInStock", 2, 2},
          {L"UnitsOnOrder", 2, 2},
          {L"ReorderLevel", 2, 2},
          {L"Discontinued", 11, 2}}},
        {"nwind.mdb",
         L"Categories",
         {{L"CategoryID", 3, 4},
          {L"CategoryName", 202, 15},
          {L"Description", 203, 0},
          {L"Picture", 205, 0}}},
        {"nwind.mdb",
         L"Employees",
         {{L"EmployeeID", 3, 4},
          {L"LastName", 202, 20},
          {L"FirstName", 202, 10},
          {L"Title", 202, 30},
          {L"TitleOfCourtesy", 202, 25},
          {L"BirthDate", 7, 8},
          {L"HireDate", 7, 8},
          {L"Address", 202, 60},
          {L"City", 202, 15},
          {L"Region", 202, 15},
          {L"PostalCode", 202, 10},
          {L"Country", 202, 15},
          {L"HomePhone", 202, 24},
          {L"Extension", 202, 4},
          {L"Photo", 205, 0},
          {L"Notes", 203, 0},
          {L"ReportsTo", 3, 4}}},
        {"indexTestV2003.mdb",
         L"Table1",
         {{L"id", 3, 4},
          {L"otherfk1", 3, 4},
          {L"otherfk2", 3, 4},
          {L"data", 202, 50},
          {L"otherfk3", 3, 4}}},
        {"ASampleDatabase.accdb",
         L"Asset Items",
         {{L"Asset No", 202, 5},
          {L"Asset Category", 202, 20},
          {L"Make", 202, 25},
          {L"Model", 202, 25},
          {L"Description", 202, 40},
          {L"Owner", 202, 20},
          {L"Serial No", 202, 15},
          {L"Acquired", 7, 8},
          {L"Cost", 6, 8},
          {L"Warranty", 3, 4},
          {L"Tax Scale", 202, 1},
          {L"Supplier No", 202, 5},
          {L"Comments", 203, 0}}},
        {"queryTestV2010.accdb",
         L"Table2",
         {{L"col1", 202, 50}, {L"col2", 202, 50}, {L"col3", 202, 50}}},
    };
    for (const auto& c : cases) {
        OpenedCopy copy(c.file);
        const TableInfo* t = copy.db().FindTable(c.table);
        ASSERT_NE(t, nullptr) << c.file;
        ASSERT_EQ(t->columns.size(), c.columns.size()) << c.file;
        for (size_t i = 0; i < c.columns.size(); ++i) {
            const ColumnInfo& col = t->columns[i];
            EXPECT_EQ(col.name, c.columns[i].name) << c.file;
            EXPECT_EQ(col.ordinal, static_cast<int>(i) + 1);
            EXPECT_EQ(col.adoType, c.columns[i].adoType) << c.file << " " << i;
            EXPECT_EQ(col.definedSize, c.columns[i].definedSize) << c.file << " " << i;
        }
    }
}

TEST(MdbDatabase, ReadsPrecisionScaleAndUnicodeCompression)
{
    OpenedCopy nwind("nwind.mdb");
    const ColumnInfo* price = nwind.db().FindTable(L"Products")->FindColumn(L"UnitPrice");
    EXPECT_EQ(price->precision, 19);  // ADO's currency: 19 digits, 4 decimals
    EXPECT_EQ(price->scale, 4);
    EXPECT_EQ(nwind.db().FindTable(L"Products")->FindColumn(L"ProductID")->precision, 10);

    // Access 2000 and later store text compressed by default; a Jet 3 file has
    // no compression flag.
    EXPECT_FALSE(nwind.db().FindTable(L"Products")->FindColumn(L"ProductName")->compressedUnicode);
    OpenedCopy jet4("indexTestV2003.mdb");
    EXPECT_TRUE(jet4.db().FindTable(L"Table1")->FindColumn(L"data")->compressedUnicode);
    EXPECT_FALSE(jet4.db().FindTable(L"Table1")->FindColumn(L"id")->compressedUnicode);

    // The Decimal value type of the ACE complex-value tables: Access's default
    // Decimal is precision 18, scale 0.
    OpenedCopy ace("ASampleDatabase.accdb");
    const ColumnInfo* dec = ace.db().FindTable(L"MSysComplexType_Decimal")->FindColumn(L"Value");
    EXPECT_EQ(dec->adoType, 131);
    EXPECT_EQ(dec->precision, 18);
    EXPECT_EQ(dec->scale, 0);
    EXPECT_EQ(ace.db().FindTable(L"MSysComplexType_GUID")->FindColumn(L"Value")->adoType, 72);
    EXPECT_EQ(ace.db().FindTable(L"MSysComplexType_UnsignedByte")->FindColumn(L"Value")->adoType,
              17);
}

TEST(MdbDatabase, ReadsNullabilityAutoNumbersDefaultsAndValidationRules)
{
    struct Case {
        const wchar_t* table;
        const wchar_t* column;
        bool nullable;
        bool autoIncrement;
        const wchar_t* defaultValue;  // null: no default
        const wchar_t* validationRule;
        const wchar_t* validationText;
    };
    const Case cases[] = {
        {L"Order Details", L"OrderID", true, false, nullptr, L"", L""},
        {L"Order Details", L"ProductID", false, false, nullptr, L"", L""},
        {L"Order Details", L"UnitPrice", false, false, L"0", L">=0",
         L"You must enter a positive number."},
        {L"Order Details", L"Quantity", false, false, L"1", L">0",
         L"Quantity must be greater than 0"},
        {L"Order Details", L"Discount", false, false, L"0", L"Between 0 And 1",
         L"You must enter a value with a percent sign."},
        {L"Orders", L"OrderID", true, true, nullptr, L"", L""},
        {L"Orders", L"CustomerID", true, false, nullptr, L"", L""},
        {L"Products", L"ProductID", true, true, nullptr, L"", L""},
        {L"Products", L"ProductName", false, false, nullptr, L"", L""},
        {L"Products", L"Discontinued", false, false, L"=No", L"", L""},
        {L"Shippers", L"ShipperID", true, true, nullptr, L"", L""},
        {L"Ums\u00e4tze", L"OrderID", true, true, nullptr, L"", L""},
    };
    OpenedCopy copy("nwind.mdb");
    for (const auto& c : cases) {
        const ColumnInfo* col = copy.db().FindTable(c.table)->FindColumn(c.column);
        ASSERT_NE(col, nullptr) << c.column;
        EXPECT_EQ(col->nullable, c.nullable) << c.column;
        EXPECT_EQ(col->autoIncrement, c.autoIncrement) << c.column;
        EXPECT_EQ(col->hasDefault, c.defaultValue != nullptr) << c.column;
        if (c.defaultValue) {
            EXPECT_EQ(col->defaultValue, c.defaultValue) << c.column;
        }
        EXPECT_EQ(col->validationRule, c.validationRule) << c.column;
        EXPECT_EQ(col->validationText, c.validationText) << c.column;
    }
    EXPECT_EQ(copy.db().FindTable(L"Order Details")->description,
              L"Details on products, quantities, and prices for each order in the Orders table.");
}

std::vector<std::wstring> IndexColumns(const IndexInfo& x)
{
    std::vector<std::wstring> out;
    for (const auto& c : x.columns)
        out.push_back(c.column);
    return out;
}

const IndexInfo* FindIndex(const TableInfo& t, const std::wstring& name)
{
    for (const auto& x : t.indexes)
        if (x.name == name)
            return &x;
    return nullptr;
}

TEST(MdbDatabase, ReadsPrimaryKeysAndIndexes)
{
    struct Case {
        const char* file;
        const wchar_t* table;
        std::vector<std::wstring> primaryKey;
    };
    const Case cases[] = {
        {"nwind.mdb", L"Order Details", {L"OrderID", L"ProductID"}},
        {"nwind.mdb", L"Orders", {L"OrderID"}},
        {"nwind.mdb", L"Products", {L"ProductID"}},
        {"nwind.mdb", L"Shippers", {L"ShipperID"}},
        {"nwind.mdb", L"Categories", {L"CategoryID"}},
        {"nwind.mdb", L"Customers", {L"CustomerID"}},
        {"nwind.mdb", L"Employees", {L"EmployeeID"}},
        {"nwind.mdb", L"Suppliers", {L"SupplierID"}},
        {"nwind.mdb", L"Ums\u00e4tze", {L"OrderID"}},
        {"indexTestV2003.mdb", L"Table1", {L"id"}},
        {"indexTestV2003.mdb", L"Table2", {L"id"}},
        {"ASampleDatabase.accdb", L"Asset Items", {L"Asset No"}},
    };
    for (const auto& c : cases) {
        OpenedCopy copy(c.file);
        const TableInfo* t = copy.db().FindTable(c.table);
        ASSERT_NE(t, nullptr);
        const auto pk = std::find_if(t->indexes.begin(), t->indexes.end(),
                                     [](const IndexInfo& x) { return x.primaryKey; });
        ASSERT_NE(pk, t->indexes.end()) << c.file;
        EXPECT_EQ(pk->name, L"PrimaryKey");
        EXPECT_TRUE(pk->unique);
        EXPECT_EQ(IndexColumns(*pk), c.primaryKey) << c.file;
    }
    // The query tables were saved without any index.
    OpenedCopy query("queryTestV2010.accdb");
    EXPECT_TRUE(query.db().FindTable(L"Table1")->indexes.empty());

    OpenedCopy copy("nwind.mdb");
    const TableInfo& orders = *copy.db().FindTable(L"Orders");
    for (const wchar_t* name :
         {L"CustomerID", L"EmployeeID", L"OrderDate", L"ShippedDate", L"ShipPostalCode"}) {
        const IndexInfo* x = FindIndex(orders, name);
        ASSERT_NE(x, nullptr) << name;
        EXPECT_FALSE(x->unique || x->primaryKey || x->foreignKey);
        EXPECT_EQ(IndexColumns(*x), std::vector<std::wstring>{name});
    }
    const IndexInfo* categoryName = FindIndex(*copy.db().FindTable(L"Categories"), L"CategoryName");
    ASSERT_NE(categoryName, nullptr);
    EXPECT_TRUE(categoryName->unique);
    // The index Access keeps for a relation's foreign side has its columns.
    const IndexInfo* rel = FindIndex(orders, L"ShippersOrders");
    ASSERT_NE(rel, nullptr);
    EXPECT_TRUE(rel->foreignKey);
    EXPECT_EQ(IndexColumns(*rel), std::vector<std::wstring>{L"ShipVia"});
}

TEST(MdbDatabase, ReadsRelationsFromTheRelationshipTable)
{
    struct Fact {
        const wchar_t* name;
        const wchar_t* table;
        const wchar_t* foreignTable;
        int32_t attributes;
        const wchar_t* column;
        const wchar_t* foreignColumn;
    };
    struct Case {
        const char* file;
        std::vector<Fact> relations;
    };
    const Case cases[] = {
        {"nwind.mdb",
         {{L"CategoriesProducts", L"Categories", L"Products", 0, L"CategoryID", L"CategoryID"},
          {L"CustomersOrders", L"Customers", L"Orders", 0x100, L"CustomerID", L"CustomerID"},
          {L"EmployeesOrders", L"Employees", L"Orders", 0, L"EmployeeID", L"EmployeeID"},
          {L"OrdersOrder Details", L"Orders", L"Order Details", 0x1000, L"OrderID", L"OrderID"},
          {L"ProductsOrder Details", L"Products", L"Order Details", 0, L"ProductID", L"ProductID"},
          {L"ShippersOrders", L"Shippers", L"Orders", 0, L"ShipperID", L"ShipVia"},
          {L"SuppliersProducts", L"Suppliers", L"Products", 0, L"SupplierID", L"SupplierID"}}},
        {"indexTestV2003.mdb",
         {{L"Table2Table1", L"Table2", L"Table1", 0x1000, L"id", L"otherfk1"},
          {L"Table3Table1", L"Table3", L"Table1", 0x100, L"id", L"otherfk2"}}},
        {"ASampleDatabase.accdb",
         {{L"MSysAccessStorageSTGREL", L"MSysAccessStorage", L"MSysAccessStorage", 0x1000, L"Id",
           L"ParentId"}}},
        {"queryTestV2010.accdb", {}},
    };
    for (const auto& c : cases) {
        OpenedCopy copy(c.file);
        const auto& rels = copy.db().Relations();
        ASSERT_EQ(rels.size(), c.relations.size()) << c.file;
        for (size_t i = 0; i < rels.size(); ++i) {
            const Fact& f = c.relations[i];
            EXPECT_EQ(rels[i].name, f.name);
            EXPECT_EQ(rels[i].table, f.table);
            EXPECT_EQ(rels[i].foreignTable, f.foreignTable);
            EXPECT_EQ(rels[i].attributes, f.attributes) << c.file << " " << i;
            ASSERT_EQ(rels[i].columns.size(), 1u);
            EXPECT_EQ(rels[i].columns[0].column, f.column);
            EXPECT_EQ(rels[i].columns[0].foreignColumn, f.foreignColumn);
        }
    }
}

TEST(MdbDatabase, FailsWithAClearErrorOnMissingForeignAndUnknownInput)
{
    testsupport::TempDir dir;
    const auto text = dir / "notes.mdb";
    std::ofstream(text) << "this is not a database, whatever its extension says\n";
    struct Case {
        std::filesystem::path path;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {dir / "missing.mdb", L"Could not find file"},
        {text, L"Unrecognized database format"},
        {dir.path(), L"is not a file"},
    };
    for (const auto& c : cases) {
        try {
            MdbDatabase::Open(c.path);
            ADD_FAILURE() << c.path << " opened";
        } catch (const automation::ComError& e) {
            EXPECT_NE(e.Description().find(c.expected), std::wstring::npos) << e.what();
            EXPECT_NE(e.Description().find(c.path.filename().wstring()), std::wstring::npos)
                << e.what();
        }
    }
    OpenedCopy copy("nwind.mdb");
    EXPECT_THROW(copy.db().OpenTable(L"No Such Table"), automation::ComError);
}

TEST(MdbDatabase, RecognisesAccessFilesByContentNotExtension)
{
    testsupport::TempDir dir;
    const auto renamed = dir / "northwind.dat";
    std::filesystem::copy_file(testsupport::TestDataDir() / "nwind.mdb", renamed);
    EXPECT_TRUE(MdbFileHeader::LooksLikeAccessFile(renamed));
    EXPECT_EQ(MdbDatabase::Open(renamed)->Format(), FileFormat::Jet3);
    const auto text = dir / "text.mdb";
    std::ofstream(text) << "Standard Jet DB";
    EXPECT_FALSE(MdbFileHeader::LooksLikeAccessFile(text));
}

}  // namespace
