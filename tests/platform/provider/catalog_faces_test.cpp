// What a DDL script declares comes back exactly through every face of the
// catalog: ADOX (tables, columns with their properties, indexes, keys,
// views, procedures, links), DAO (relations) and the schema rowsets.
#include <gtest/gtest.h>

#include "platform/provider/adox_table.h"
#include "platform/provider/adox_views.h"
#include "platform/provider/dao_database.h"
#include "platform/provider/dao_engine.h"
#include "store_fixture.h"

namespace providertest {
namespace {

using namespace provider;

const wchar_t* const kScript[] = {
    L"CREATE TABLE Customer (id COUNTER(100, 10) CONSTRAINT pkCustomer PRIMARY KEY, "
    L"name TEXT(40) WITH COMPRESSION NOT NULL, region TEXT(2) DEFAULT 'NW', "
    L"credit CURRENCY, note MEMO)",
    L"CREATE TABLE Orders (orderNo LONG NOT NULL, customer LONG, placed DATETIME, "
    L"amount DECIMAL(12, 2), flag YESNO, CONSTRAINT pkOrders PRIMARY KEY (orderNo), "
    L"CONSTRAINT fkCustomer FOREIGN KEY (customer) REFERENCES Customer (id) ON UPDATE CASCADE "
    L"ON DELETE SET NULL, CONSTRAINT positive CHECK (amount >= 0))",
    L"CREATE UNIQUE INDEX byPlaced ON Orders (placed DESC, customer) WITH IGNORE NULL",
    L"CREATE INDEX byRegion ON Customer (region) WITH DISALLOW NULL",
    L"ALTER TABLE Customer ADD COLUMN gone LONG",
    L"ALTER TABLE Customer ADD COLUMN phone TEXT(20)",
    L"ALTER TABLE Customer DROP COLUMN gone",
    L"ALTER TABLE Orders ADD CONSTRAINT dropped UNIQUE (placed)",
    L"ALTER TABLE Orders DROP CONSTRAINT dropped",
    L"ALTER TABLE Customer ADD CONSTRAINT uqName UNIQUE (name, region)",
    L"ALTER TABLE Orders ALTER COLUMN flag SHORT",
    L"ALTER TABLE Customer DENY ZERO LENGTH name",
    L"CREATE TABLE Line (orderNo LONG, pos BYTE, CONSTRAINT pkLine PRIMARY KEY (orderNo, pos))",
    L"ALTER TABLE Line ADD CONSTRAINT fkOrder FOREIGN KEY (orderNo) REFERENCES Orders "
    L"ON DELETE CASCADE",
    L"CREATE VIEW Big AS SELECT * FROM Orders WHERE amount > 100",
    L"CREATE PROCEDURE ByRegion (r TEXT(2), n LONG) AS SELECT * FROM Customer WHERE region = r",
    L"PARAMETERS low CURRENCY, d DECIMAL(10, 3); CREATE PROCEDURE Cheap AS DELETE FROM Customer "
    L"WHERE credit < low",
    L"LINK TABLE Remote TO [Parts] SRC \"C:\\data\\parts.mdb\"",
};

class CatalogFacesTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        for (const wchar_t* statement : kScript) {
            SCOPED_TRACE(statement);
            ASSERT_EQ(ErrorOf(statement), L"");
        }
        catalog = std::make_shared<adox::Catalog>();
        catalog->SetActiveConnection(connection);
    }

    Ptr<adox::Catalog> catalog;
};

TEST_F(CatalogFacesTest, AdoxColumnsReturnWhatWasDeclared)
{
    struct Expected {
        const wchar_t* table;
        const wchar_t* column;
        long type;
        long size;
        int precision, scale;
        bool nullable;
        const wchar_t* defaultText;  // null: no default (VT_EMPTY)
        bool autoIncrement, allowZeroLength, compressed;
    };
    const Expected expected[] = {
        {L"Customer", L"id", adInteger, 4, 0, 0, true, nullptr, true, true, false},
        {L"Customer", L"name", adVarWChar, 40, 0, 0, false, nullptr, false, false, true},
        {L"Customer", L"region", adVarWChar, 2, 0, 0, true, L"'NW'", false, true, false},
        {L"Customer", L"credit", adCurrency, 8, 0, 0, true, nullptr, false, true, false},
        {L"Customer", L"note", adLongVarWChar, 536870910, 0, 0, true, nullptr, false, true, false},
        {L"Customer", L"phone", adVarWChar, 20, 0, 0, true, nullptr, false, true, false},
        {L"Orders", L"orderNo", adInteger, 4, 0, 0, false, nullptr, false, true, false},
        {L"Orders", L"customer", adInteger, 4, 0, 0, true, nullptr, false, true, false},
        {L"Orders", L"placed", adDate, 8, 0, 0, true, nullptr, false, true, false},
        {L"Orders", L"amount", adNumeric, 16, 12, 2, true, nullptr, false, true, false},
        {L"Orders", L"flag", adSmallInt, 2, 0, 0, true, nullptr, false, true, false},
    };
    auto tables = catalog->Tables();
    for (const Expected& e : expected) {
        SCOPED_TRACE(std::wstring(e.table) + L"." + e.column);
        auto column = tables->Item(e.table)->Columns()->Item(e.column);
        EXPECT_EQ(column->Name(), e.column);
        EXPECT_EQ(column->Type(), e.type);
        EXPECT_EQ(column->DefinedSize(), e.size);
        EXPECT_EQ(column->Precision(), e.precision);
        EXPECT_EQ(column->NumericScale(), e.scale);
        EXPECT_EQ((column->Attributes() & adox::adColNullable) != 0, e.nullable);
        auto props = column->Properties();
        Variant def = props->Item(L"Default")->Value();
        if (e.defaultText)
            EXPECT_EQ(def.bstrVal(), e.defaultText);
        else
            EXPECT_TRUE(def.IsEmpty());
        EXPECT_EQ(adox::PropertyFlag(props->Item(L"Autoincrement")->Value()), e.autoIncrement);
        EXPECT_EQ(adox::PropertyFlag(props->Item(L"Nullable")->Value()), e.nullable);
        EXPECT_EQ(adox::PropertyFlag(props->Item(L"Jet OLEDB:Allow Zero Length")->Value()),
                  e.allowZeroLength);
        EXPECT_EQ(adox::PropertyFlag(props->Item(L"Jet OLEDB:Compressed UniCode Strings")->Value()),
                  e.compressed);
        EXPECT_EQ(props->Item(L"Jet OLEDB:Column Validation Rule")->Value().bstrVal(), L"");
    }
    // Column order is the declared order, added columns last.
    auto customer = tables->Item(L"Customer")->Columns();
    ASSERT_EQ(customer->Count(), 6);
    EXPECT_EQ(customer->Item(5L)->Name(), L"phone");
    EXPECT_THROW(customer->Item(L"nope"), automation::ComError);
}

TEST_F(CatalogFacesTest, AdoxTablesIndexesAndKeys)
{
    auto tables = catalog->Tables();
    std::wstring kinds;
    for (long i = 0; i < tables->Count(); ++i) {
        auto t = tables->Item(i);
        kinds += t->Name() + L":" + t->Type() + L" ";
        EXPECT_FALSE(adox::PropertyFlag(t->Properties()->Item(L"Temporary Table")->Value()));
        EXPECT_FALSE(adox::PropertyFlag(
            t->Properties()->Item(L"Jet OLEDB:Table Hidden In Access")->Value()));
    }
    EXPECT_EQ(kinds, L"Customer:TABLE Orders:TABLE Line:TABLE Remote:LINK Big:VIEW ");
    auto remote = tables->Item(L"Remote")->Properties();
    EXPECT_EQ(remote->Item(L"Jet OLEDB:Link Datasource")->Value().bstrVal(),
              L"C:\\data\\parts.mdb");
    EXPECT_EQ(remote->Item(L"Jet OLEDB:Remote Table Name")->Value().bstrVal(), L"Parts");
    EXPECT_TRUE(adox::PropertyFlag(remote->Item(L"Jet OLEDB:Create Link")->Value()));

    struct ExpectedIndex {
        const wchar_t* table;
        const wchar_t* name;
        bool primary, unique;
        long nulls;
        const wchar_t* members;  // name and sort order, in order
    };
    const ExpectedIndex indexes[] = {
        {L"Customer", L"pkCustomer", true, true, adox::adIndexNullsDisallow, L"id+"},
        {L"Customer", L"byRegion", false, false, adox::adIndexNullsDisallow, L"region+"},
        {L"Customer", L"uqName", false, true, adox::adIndexNullsAllow, L"name+region+"},
        {L"Orders", L"pkOrders", true, true, adox::adIndexNullsDisallow, L"orderNo+"},
        {L"Orders", L"byPlaced", false, true, adox::adIndexNullsIgnore, L"placed-customer+"},
        {L"Line", L"pkLine", true, true, adox::adIndexNullsDisallow, L"orderNo+pos+"},
    };
    for (const ExpectedIndex& e : indexes) {
        SCOPED_TRACE(e.name);
        auto index = tables->Item(e.table)->Indexes()->Item(e.name);
        EXPECT_EQ(index->PrimaryKey(), e.primary);
        EXPECT_EQ(index->Unique(), e.unique);
        EXPECT_EQ(index->IndexNulls(), e.nulls);
        std::wstring members;
        for (long i = 0; i < index->Columns()->Count(); ++i) {
            auto c = index->Columns()->Item(i);
            members += c->Name() + (c->SortOrder() == adox::adSortDescending ? L"-" : L"+");
        }
        EXPECT_EQ(members, e.members);
    }
    EXPECT_EQ(tables->Item(L"Customer")->Indexes()->Count(), 3);

    struct ExpectedKey {
        const wchar_t* table;
        const wchar_t* name;
        long type;
        const wchar_t* related;
        long updateRule, deleteRule;
        const wchar_t* members;  // column>related column
    };
    const ExpectedKey keys[] = {
        {L"Customer", L"pkCustomer", adox::adKeyPrimary, L"", 0, 0, L"id> "},
        {L"Customer", L"uqName", adox::adKeyUnique, L"", 0, 0, L"name> region> "},
        {L"Orders", L"pkOrders", adox::adKeyPrimary, L"", 0, 0, L"orderNo> "},
        {L"Orders", L"fkCustomer", adox::adKeyForeign, L"Customer", adox::adRICascade,
         adox::adRISetNull, L"customer>id "},
        {L"Line", L"fkOrder", adox::adKeyForeign, L"Orders", adox::adRINone, adox::adRICascade,
         L"orderNo>orderNo "},
    };
    for (const ExpectedKey& e : keys) {
        SCOPED_TRACE(e.name);
        auto key = tables->Item(e.table)->Keys()->Item(e.name);
        EXPECT_EQ(key->Type(), e.type);
        EXPECT_EQ(key->RelatedTable(), e.related);
        EXPECT_EQ(key->UpdateRule(), e.updateRule);
        EXPECT_EQ(key->DeleteRule(), e.deleteRule);
        std::wstring members;
        for (long i = 0; i < key->Columns()->Count(); ++i) {
            auto c = key->Columns()->Item(i);
            members += c->Name() + L">" + c->RelatedColumn() + L" ";
        }
        EXPECT_EQ(members, e.members);
    }
    // Checks are no ADOX keys.
    EXPECT_EQ(tables->Item(L"Orders")->Keys()->Count(), 2);
}

TEST_F(CatalogFacesTest, AdoxViewsAndProcedures)
{
    auto views = catalog->Views();
    ASSERT_EQ(views->Count(), 1);
    EXPECT_EQ(views->Item(0L)->Name(), L"Big");
    EXPECT_EQ(views->Item(0L)->Command()->CommandText(),
              L"SELECT * FROM Orders WHERE amount > 100");

    auto procedures = catalog->Procedures();
    ASSERT_EQ(procedures->Count(), 2);
    struct ExpectedParameter {
        const wchar_t* name;
        long type, size;
        int precision, scale;
    };
    struct ExpectedProcedure {
        const wchar_t* name;
        std::vector<ExpectedParameter> parameters;
    };
    const ExpectedProcedure expected[] = {
        {L"ByRegion", {{L"r", adVarWChar, 2, 0, 0}, {L"n", adInteger, 4, 0, 0}}},
        {L"Cheap", {{L"low", adCurrency, 8, 0, 0}, {L"d", adNumeric, 16, 10, 3}}},
    };
    for (const ExpectedProcedure& e : expected) {
        SCOPED_TRACE(e.name);
        auto command = procedures->Item(e.name)->Command();
        EXPECT_EQ(command->CommandText().rfind(L"PARAMETERS ", 0), 0u) << command->CommandText();
        auto params = command->Parameters();
        ASSERT_EQ(params->Count(), static_cast<long>(e.parameters.size()));
        for (size_t i = 0; i < e.parameters.size(); ++i) {
            auto p = params->Item(static_cast<long>(i));
            EXPECT_EQ(p->Name(), e.parameters[i].name);
            EXPECT_EQ(p->Type(), e.parameters[i].type);
            EXPECT_EQ(p->Size(), e.parameters[i].size);
            EXPECT_EQ(p->Precision(), e.parameters[i].precision);
            EXPECT_EQ(p->NumericScale(), e.parameters[i].scale);
        }
    }
    EXPECT_NE(procedures->Item(L"ByRegion")
                  ->Command()
                  ->CommandText()
                  .find(L"SELECT * FROM Customer WHERE region = r"),
              std::wstring::npos);

    // Appending through ADOX, as the script runner does; the text must parse.
    auto command = std::make_shared<adodb::Command>();
    command->SetCommandText(L"SELECT name FROM Customer");
    catalog->Views()->Append(L"Names", command);
    EXPECT_EQ(catalog->Views()->Item(L"Names")->Command()->CommandText(),
              L"SELECT name FROM Customer");
    command->SetCommandText(L"PARAMETERS x LONG;DELETE FROM Orders WHERE orderNo = x");
    catalog->Procedures()->Append(L"Drop1", command);
    EXPECT_EQ(catalog->Procedures()->Item(L"Drop1")->Command()->Parameters()->Count(), 1);
    command->SetCommandText(L"DELETE FROM Orders");
    EXPECT_THROW(catalog->Views()->Append(L"NotAView", command), automation::ComError);
    command->SetCommandText(L"SELEKT");
    EXPECT_THROW(catalog->Procedures()->Append(L"Bad", command), automation::ComError);
    EXPECT_THROW(catalog->Views()->Append(L"Names", command), automation::ComError);
    // A view reads as a table, also inside other statements.
    Run(L"INSERT INTO Customer (name) VALUES ('Zed')");
    auto rs = Query(L"SELECT n.name FROM Names AS n WHERE n.name = 'Zed'");
    ASSERT_FALSE(rs->IsEOF());
    EXPECT_EQ(rs->Fields()->Item(0L)->Value().bstrVal(), L"Zed");
    EXPECT_NE(ErrorOf(L"CREATE TABLE Names (x LONG)"), L"");
    Run(L"DROP VIEW Names");
    EXPECT_NE(ErrorOf(L"SELECT * FROM Names"), L"");
    Run(L"DROP PROCEDURE Drop1");
    EXPECT_NE(ErrorOf(L"DROP VIEW ByRegion"), L"");
    EXPECT_EQ(catalog->Views()->Count(), 1);
    EXPECT_EQ(catalog->Procedures()->Count(), 2);
}

TEST_F(CatalogFacesTest, SchemaRowsets)
{
    connection->Close();
    connection->SetCursorLocation(adUseClient);
    connection->Open(JetString(path));
    auto columns = connection->OpenSchema(4, {Variant(), Variant(), Variant(L"Orders"), Variant()});
    std::wstring order;
    for (; !columns->IsEOF(); columns->MoveNext())
        order += columns->Fields()->Item(L"COLUMN_NAME")->Value().bstrVal() + L"=" +
                 std::to_wstring(
                     automation::ChangeType(columns->Fields()->Item(L"ORDINAL_POSITION")->Value(),
                                            automation::VT_I4)
                         .lVal()) +
                 L" ";
    EXPECT_EQ(order, L"orderNo=1 customer=2 placed=3 amount=4 flag=5 ");
    columns = connection->OpenSchema(4, {Variant(), Variant(), Variant(L"customer")});
    order.clear();
    for (; !columns->IsEOF(); columns->MoveNext())
        order += columns->Fields()->Item(L"COLUMN_NAME")->Value().bstrVal() + L"=" +
                 std::to_wstring(automation::ChangeType(
                                     columns->Fields()->Item(L"ORDINAL_POSITION")->Value(),
                                     automation::VT_I4)
                                     .lVal()) +
                 L" ";
    EXPECT_EQ(order, L"id=1 name=2 region=3 credit=4 note=5 phone=6 ");

    auto checks = connection->OpenSchema(5);
    ASSERT_FALSE(checks->IsEOF());
    EXPECT_EQ(checks->Fields()->Item(L"CONSTRAINT_NAME")->Value().bstrVal(), L"positive");
    EXPECT_EQ(checks->Fields()->Item(L"CHECK_CLAUSE")->Value().bstrVal(), L"amount >= 0");
    checks->MoveNext();
    EXPECT_TRUE(checks->IsEOF());

    struct Case {
        const wchar_t* table;
        const wchar_t* type;
        const wchar_t* names;
    };
    const Case cases[] = {
        {L"Orders", L"CHECK", L"positive "},
        {L"Orders", L"", L"pkOrders fkCustomer positive "},
        {L"Customer", L"CHECK", L""},
        {L"Customer", L"UNIQUE", L"uqName "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.table) + L" " + c.type);
        std::vector<Variant> restrictions(5);
        restrictions.push_back(Variant(c.table));
        restrictions.push_back(*c.type ? Variant(c.type) : Variant());
        auto rs = connection->OpenSchema(10, restrictions);
        std::wstring names;
        for (; !rs->IsEOF(); rs->MoveNext())
            names += rs->Fields()->Item(L"CONSTRAINT_NAME")->Value().bstrVal() + L" ";
        EXPECT_EQ(names, c.names);
    }
    EXPECT_THROW(connection->OpenSchema(20), automation::ComError);
}

TEST_F(CatalogFacesTest, DaoRelationsAreTheForeignKeys)
{
    connection->Close();
    dao::DBEngine engine;
    auto db = engine.OpenDatabase(path, Variant(false), Variant(false), Variant(L""));
    auto relations = db->Relations();
    ASSERT_EQ(relations->Count(), 2);
    auto customer = relations->Item(L"fkCustomer");
    EXPECT_EQ(customer->Table(), L"Customer");
    EXPECT_EQ(customer->ForeignTable(), L"Orders");
    EXPECT_EQ(customer->Attributes(), dao::dbRelationUpdateCascade | dao::dbRelationDeleteSetNull);
    ASSERT_EQ(customer->Fields()->Count(), 1);
    EXPECT_EQ(customer->Fields()->Item(0L)->Name(), L"id");
    EXPECT_EQ(customer->Fields()->Item(0L)->ForeignName(), L"customer");
    EXPECT_EQ(relations->Item(L"fkOrder")->Attributes(), dao::dbRelationDeleteCascade);

    // A relation appended through DAO, not enforced, as a key without index.
    db->Execute(L"CREATE TABLE Note (id LONG, custRef LONG, lineOrder LONG, linePos BYTE)");
    auto loose = db->CreateRelation(L"noteCustomer");
    loose->SetTable(L"Customer");
    loose->SetForeignTable(L"Note");
    loose->SetAttributes(dao::dbRelationDontEnforce);
    auto field = loose->CreateField(L"id");
    field->SetForeignName(L"custRef");
    loose->Fields()->Append(field);
    db->Relations()->Append(loose);
    // And one enforced, over two fields, with cascades.
    auto strict = db->CreateRelation(L"noteLine", L"Line", L"Note",
                                     dao::dbRelationUpdateCascade | dao::dbRelationDeleteCascade);
    for (auto [name, foreign] : {std::pair{L"orderNo", L"lineOrder"}, {L"pos", L"linePos"}}) {
        auto f = strict->CreateField(name);
        f->SetForeignName(foreign);
        strict->Fields()->Append(f);
    }
    db->Relations()->Append(strict);
    EXPECT_THROW(db->Relations()->Append(strict), automation::ComError);
    db->Execute(L"INSERT INTO Note VALUES (1, 999, NULL, NULL)");  // not enforced: accepted
    EXPECT_THROW(db->Execute(L"INSERT INTO Note VALUES (2, 1, 5, 1)"), automation::ComError);
    db->Close();

    // ADOX sees both as foreign keys.
    connection->Open(JetString(path));
    auto keys = catalog->Tables()->Item(L"Note")->Keys();
    ASSERT_EQ(keys->Count(), 2);
    EXPECT_EQ(keys->Item(L"noteCustomer")->Type(), adox::adKeyForeign);
    EXPECT_EQ(keys->Item(L"noteCustomer")->RelatedTable(), L"Customer");
    EXPECT_EQ(keys->Item(L"noteLine")->Columns()->Item(1L)->RelatedColumn(), L"pos");
    EXPECT_EQ(keys->Item(L"noteLine")->DeleteRule(), adox::adRICascade);
    EXPECT_EQ(ErrorOf(L"SELECT * FROM Note"), L"");
}

TEST_F(CatalogFacesTest, ColumnRulesSetThroughAdoxAreEnforced)
{
    Run(L"INSERT INTO Customer (name, credit) VALUES ('Ann', 10)");
    auto columns = catalog->Tables()->Item(L"Customer")->Columns();
    auto rule = columns->Item(L"credit")->Properties()->Item(L"Jet OLEDB:Column Validation Rule");
    // Present rows must meet a new rule; the refused rule is not kept.
    EXPECT_THROW(rule->SetValue(Variant(L"> 100")), automation::ComError);
    EXPECT_THROW(rule->SetValue(Variant(L"> [id]")), automation::ComError);
    EXPECT_THROW(rule->SetValue(Variant(L"> > 1")), automation::ComError);
    EXPECT_EQ(rule->Value().bstrVal(), L"");
    rule->SetValue(Variant(L"Between 0 And 50"));
    columns->Item(L"credit")
        ->Properties()
        ->Item(L"Jet OLEDB:Column Validation Text")
        ->SetValue(Variant(L"Credit is 0 to 50."));
    EXPECT_EQ(ErrorOf(L"UPDATE Customer SET credit = 60"), L"Credit is 0 to 50.");
    EXPECT_EQ(ErrorOf(L"INSERT INTO Customer (name, credit) VALUES ('Bo', -1)"),
              L"Credit is 0 to 50.");
    EXPECT_EQ(ErrorOf(L"INSERT INTO Customer (name, credit) VALUES ('Bo', NULL)"), L"");

    auto zero = columns->Item(L"phone")->Properties()->Item(L"Jet OLEDB:Allow Zero Length");
    EXPECT_EQ(ErrorOf(L"UPDATE Customer SET phone = ''"), L"");
    EXPECT_THROW(zero->SetValue(Variant(int16_t{0})), automation::ComError);
    Run(L"UPDATE Customer SET phone = NULL");
    zero->SetValue(Variant(int16_t{0}));
    EXPECT_NE(ErrorOf(L"UPDATE Customer SET phone = ''"), L"");

    // A fresh read of the catalog shows the new values.
    auto again = catalog->Tables()->Item(L"Customer")->Columns();
    auto props = again->Item(L"credit")->Properties();
    EXPECT_EQ(props->Item(L"Jet OLEDB:Column Validation Rule")->Value().bstrVal(),
              L"Between 0 And 50");
    EXPECT_EQ(props->Item(L"Jet OLEDB:Column Validation Text")->Value().bstrVal(),
              L"Credit is 0 to 50.");
    EXPECT_FALSE(adox::PropertyFlag(
        again->Item(L"phone")->Properties()->Item(L"Jet OLEDB:Allow Zero Length")->Value()));
    EXPECT_THROW(props->Item(L"Autoincrement")->SetValue(Variant(true)), automation::ComError);
    // An empty rule removes it.
    props->Item(L"Jet OLEDB:Column Validation Rule")->SetValue(Variant(L""));
    EXPECT_EQ(ErrorOf(L"UPDATE Customer SET credit = 60"), L"");
}

TEST_F(CatalogFacesTest, LinkedTablesAppendedThroughAdox)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* sourceProperty;
        const wchar_t* source;
        const wchar_t* type;
    };
    const Case cases[] = {
        {L"LinkA", L"Jet OLEDB:Link Datasource", L"/data/other.mdb", L"LINK"},
        {L"LinkO", L"Jet OLEDB:Link Provider String", L"DSN=sales;UID=me", L"PASS-THROUGH"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto table = automation::CreateObjectAs<adox::Table>(L"ADOX.Table");
        table->SetParentCatalog(catalog);
        table->SetName(c.name);
        table->Properties()->Item(L"Jet OLEDB:Create Link")->SetValue(Variant(int32_t{1}));
        table->Properties()->Item(c.sourceProperty)->SetValue(Variant(c.source));
        table->Properties()->Item(L"Jet OLEDB:Remote Table Name")->SetValue(Variant(L"Far"));
        catalog->Tables()->Append(table);
        auto stored = catalog->Tables()->Item(c.name);
        EXPECT_EQ(stored->Type(), c.type);
        EXPECT_EQ(stored->Properties()->Item(c.sourceProperty)->Value().bstrVal(), c.source);
        EXPECT_EQ(stored->Properties()->Item(L"Jet OLEDB:Remote Table Name")->Value().bstrVal(),
                  L"Far");
        EXPECT_THROW(catalog->Tables()->Append(table), automation::ComError);
    }
    auto plain = std::make_shared<adox::Table>();
    plain->SetName(L"Plain");
    EXPECT_THROW(catalog->Tables()->Append(plain), automation::ComError);
    Run(L"DROP TABLE LinkA");
    EXPECT_THROW(catalog->Tables()->Item(L"LinkA"), automation::ComError);
}

}  // namespace
}  // namespace providertest
