// What callers rely on from the schema model beyond lookups: key fields, the ordinal
// order of fields, and that the schema owns and frees everything put into it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "database/data_type_table.h"
#include "database/database_schema.h"

namespace {

constexpr int kAdoInteger = 3;

SchemaField* AddLongField(SchemaTable& table, const wchar_t* name)
{
    return table.AddField(
        std::make_unique<SchemaField>(&table, name, DataTypeTable::FindByAdoType(kAdoInteger), 4,
                                      false, std::nullopt, 0, 10, true, false, L""));
}

TEST(SchemaModelTest, KeyFieldsAreTheOwnersFieldsNamedByItsColumnsIgnoringCase)
{
    SchemaTable orders(L"Orders");
    SchemaField* id = AddLongField(orders, L"OrderID");
    SchemaField* customer = AddLongField(orders, L"KundenNr");
    SchemaField* size = AddLongField(orders, L"Größe");

    SchemaKey key(&orders, L"OrdersCustomers", L"Customers", SchemaKey::kForeign,
                  SchemaKey::kRuleCascade, SchemaKey::kRuleSetNull, true);
    key.AddColumn(L"GRÖSSE", L"Size");  // not a name of the table: left out
    key.AddColumn(L"kundennr", L"CustomerID");
    key.AddColumn(L"Missing", L"Other");
    key.AddColumn(L"ORDERID", L"OrderID");
    key.AddColumn(L"GRÖßE", L"Size");

    EXPECT_EQ(key.Fields(), (std::vector<SchemaField*>{customer, id, size}));
    ASSERT_EQ(key.Columns().size(), 5u);
    EXPECT_EQ(key.Columns()[1], (SchemaKey::ColumnPair{L"kundennr", L"CustomerID"}));
}

TEST(SchemaModelTest, FieldsSortByOrdinal)
{
    const struct {
        const char* what;
        std::vector<std::pair<const wchar_t*, double>> catalogOrder;
        std::vector<std::wstring> sorted;
    } cases[] = {
        {"reversed", {{L"C", 3}, {L"B", 2}, {L"A", 1}}, {L"A", L"B", L"C"}},
        {"shuffled with gaps",
         {{L"B", 7}, {L"D", 40}, {L"A", 2}, {L"C", 12}},
         {L"A", L"B", L"C", L"D"}},
        {"numeric not textual order",
         {{L"Ten", 10}, {L"Nine", 9}, {L"Two", 2}},
         {L"Two", L"Nine", L"Ten"}},
        {"no fields", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SchemaTable table(L"T");
        for (const auto& [name, ordinal] : c.catalogOrder)
            AddLongField(table, name)->SetOrdinal(ordinal);
        table.SortFieldsByOrdinal();
        std::vector<std::wstring> names;
        for (const auto& field : table.Fields())
            names.push_back(field->Name());
        EXPECT_EQ(names, c.sorted);
    }
}

// Counts how many objects of each class the schema destroys.
int destroyed = 0;

template <class Base>
class Counted : public Base {
public:
    using Base::Base;
    ~Counted() override { ++destroyed; }
};

TEST(SchemaModelTest, DestroyingTheSchemaFreesEveryObjectItOwns)
{
    destroyed = 0;
    int created = 0;
    {
        DatabaseSchema schema(L"/data/all.mdb");
        for (int t = 0; t < 3; ++t) {
            auto table = std::make_unique<Counted<SchemaTable>>(L"T" + std::to_wstring(t));
            SchemaTable* owner = table.get();
            for (int f = 0; f < 4; ++f) {
                owner->AddField(std::make_unique<Counted<SchemaField>>(
                    owner, L"F" + std::to_wstring(f), nullptr, 0, false, std::wstring(L"NULL"), 0,
                    0, true, false, L"[F] > 0"));
            }
            auto index = std::make_unique<Counted<SchemaIndex>>(owner, L"PK", true, true, 1);
            index->AddColumn(owner->Fields()[0].get());
            owner->AddIndex(std::move(index));
            auto key = std::make_unique<Counted<SchemaKey>>(owner, L"PK", L"", 1, 0, 0, false);
            key->AddColumn(L"F0", L"");
            owner->AddKey(std::move(key));
            owner->AddCheckConstraint(
                std::make_unique<Counted<CheckConstraint>>(L"CK", owner->Name(), L"[F1] <> 0"));
            schema.AddTable(std::move(table));
            created += 1 + 4 + 1 + 1 + 1;
        }
        schema.AddLinkedTable(std::make_unique<Counted<LinkedTable>>(L"L", L"/x.mdb", L"R"));
        schema.AddLinkedTable(std::make_unique<Counted<PassThroughTable>>(L"P", L"ODBC;", L"R"));
        schema.AddView(std::make_unique<Counted<SchemaQuery>>(L"V", L"SELECT 1"));
        auto procedure = std::make_unique<Counted<ParameterQuery>>(L"Q", L"SELECT p");
        for (int p = 0; p < 2; ++p) {
            procedure->AddParameter(std::make_unique<Counted<QueryParameter>>(
                L"p" + std::to_wstring(p), nullptr, 4, 0, 10));
        }
        schema.AddProcedure(std::move(procedure));
        created += 2 + 1 + 1 + 2;

        ASSERT_EQ(schema.Tables().size(), 3u);
        ASSERT_EQ(schema.LinkedTables().size(), 2u);
        EXPECT_EQ(schema.Views().size(), 1u);
        EXPECT_EQ(schema.Procedures().front()->Parameters().size(), 2u);
        EXPECT_EQ(schema.Tables()[1]->Name(), L"T1");
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, created);
}

}  // namespace
