// Table and field lookups by name ignore case, the same way for tables and fields,
// for ASCII and non-ASCII names alike.
#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>

#include "database/data_type_table.h"
#include "database/database_schema.h"
#include "platform/automation/wide_text.h"

namespace {

constexpr int kAdoVarWChar = 202;

// A schema with one table per name, each table holding one field of the same name,
// so that a table lookup and a field lookup can be asked the same question.
std::unique_ptr<DatabaseSchema> SchemaWithTablesAndFieldsNamed(
    std::initializer_list<const wchar_t*> names)
{
    auto schema = std::make_unique<DatabaseSchema>(L"/data/lookup.mdb");
    for (const wchar_t* name : names) {
        auto table = std::make_unique<SchemaTable>(name);
        table->AddField(std::make_unique<SchemaField>(
            table.get(), name, DataTypeTable::FindByAdoType(kAdoVarWChar), 50, false, std::nullopt,
            0, 0, true, false, L""));
        schema->AddTable(std::move(table));
    }
    return schema;
}

struct LookupCase {
    const wchar_t* stored;
    const wchar_t* asked;
    bool found;
};

const LookupCase kLookupCases[] = {
    {L"Orders", L"ORDERS", true},
    {L"Orders", L"orders", true},
    {L"CustomerID", L"customerid", true},
    {L"customerid", L"CUSTOMERID", true},
    {L"Order Details", L"oRDER dETAILS", true},
    {L"äpfel", L"ÄPFEL", true},
    {L"ÄPFEL", L"äpfel", true},
    {L"Straße", L"STRAßE", true},
    {L"ÉCOLE", L"école", true},
    {L"ΣΟΦΊΑ", L"σοφία", true},
    {L"ΟΔΟΣ", L"οδος", true},  // final sigma meets capital sigma
    {L"οδος", L"οδοσ", true},  // final and medial sigma are one letter
    {L"ЗАКАЗЫ", L"заказы", true},
    {L"Ǆ", L"ǆ", true},  // the digraph's capital, title-case and small forms
    {L"ǅ", L"Ǆ", true},
    {L"MASS", L"maſs", true},           // long s folds to s
    {L"\u212Aelvin", L"KELVIN", true},  // the Kelvin sign folds to k
    {L"Orders", L"Order", false},
    {L"Orders", L"Orders ", false},
    {L"äpfel", L"apfel", false},  // no accent stripping
    {L"Orders", L"", false},
};

TEST(SchemaLookupTest, TableAndFieldLookupsIgnoreCaseAlike)
{
    for (const LookupCase& c : kLookupCases) {
        SCOPED_TRACE(automation::ToUtf8(c.stored) + " / " + automation::ToUtf8(c.asked));
        auto schema = SchemaWithTablesAndFieldsNamed({c.stored});
        SchemaTable* table = schema->FindTable(c.asked);
        EXPECT_EQ(table != nullptr, c.found);
        const SchemaTable& stored = *schema->Tables().front();
        SchemaField* field = stored.FindField(c.asked);
        EXPECT_EQ(field != nullptr, c.found);
        EXPECT_EQ(stored.FindFieldByName(c.asked), field);
        if (c.found) {
            EXPECT_EQ(table, &stored);
            EXPECT_EQ(field, stored.Fields().front().get());
        }
    }
}

TEST(SchemaLookupTest, LookupsDoNotDependOnTheProcessLocale)
{
    auto schema = SchemaWithTablesAndFieldsNamed({L"Äpfel"});
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");  // the C locale knows no case beyond ASCII
    SchemaTable* table = schema->FindTable(L"äPFEL");
    SchemaField* field = schema->Tables().front()->FindField(L"äPFEL");
    std::setlocale(LC_CTYPE, saved.c_str());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->FindField(L"ÄPFEL"), field);
    EXPECT_NE(field, nullptr);
}

TEST(SchemaLookupTest, LaterTableWhoseNameDiffersOnlyInCaseAnswersTheLookup)
{
    auto schema = SchemaWithTablesAndFieldsNamed({L"Orders", L"ORDERS", L"Äpfel", L"äpfel"});
    ASSERT_EQ(schema->Tables().size(), 4u);
    EXPECT_EQ(schema->FindTable(L"orders"), schema->Tables()[1].get());
    EXPECT_EQ(schema->FindTable(L"ÄPFEL"), schema->Tables()[3].get());
    EXPECT_EQ(schema->Tables()[0]->Name(), L"Orders");
    EXPECT_EQ(schema->Tables()[2]->Name(), L"Äpfel");
}

TEST(SchemaLookupTest, FieldLookupAnswersTheFirstOfFieldsEqualIgnoringCase)
{
    SchemaTable table(L"T");
    const DataType* text = DataTypeTable::FindByAdoType(kAdoVarWChar);
    for (const wchar_t* name : {L"Größe", L"GRÖSSE", L"GRÖßE"}) {
        table.AddField(std::make_unique<SchemaField>(&table, name, text, 10, false, std::nullopt, 0,
                                                     0, true, false, L""));
    }
    EXPECT_EQ(table.FindField(L"größe"), table.Fields()[0].get());
    EXPECT_EQ(table.FindField(L"grösse"), table.Fields()[1].get());
    EXPECT_EQ(table.FindFieldByName(nullptr), nullptr);
    EXPECT_EQ(table.FindField(L"Breite"), nullptr);
}

}  // namespace
