// The table order of the synchronisation script.
#include "output/foreign_key_order.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "database/database_schema.h"

namespace {

// Tables named by one letter each; edges "AB" mean A holds a foreign key to B.
std::unique_ptr<DatabaseSchema> Schema(const std::wstring& names,
                                       const std::vector<std::wstring>& edges)
{
    auto schema = std::make_unique<DatabaseSchema>(L"db");
    for (wchar_t c : names)
        schema->AddTable(std::make_unique<SchemaTable>(std::wstring(1, c)));
    for (const auto& e : edges) {
        SchemaTable* holder = schema->FindTable(std::wstring(1, e[0]));
        auto key = std::make_unique<SchemaKey>(holder, L"fk", std::wstring(1, e[1]),
                                               SchemaKey::kForeign, 0, 0, false);
        key->SetRelatedTable(schema->FindTable(std::wstring(1, e[1])));
        holder->AddKey(std::move(key));
    }
    return schema;
}

std::wstring Order(const DatabaseSchema& schema)
{
    std::wstring text;
    for (SchemaTable* table : ForeignKeyOrder(schema.Tables()))
        text += table->Name();
    return text;
}

bool Before(const std::wstring& order, wchar_t a, wchar_t b)
{
    return order.find(a) < order.find(b);
}

TEST(ForeignKeyOrderTest, ReferencedTablesComeFirstAndEveryTableOnce)
{
    struct Case {
        std::wstring tables;
        std::vector<std::wstring> edges;
        std::vector<std::wstring> before;  // "XY": X before Y
    } cases[] = {
        {L"ABC", {}, {}},
        {L"AB", {L"AB"}, {L"BA"}},
        {L"ABCD", {L"AB", L"BC", L"DA"}, {L"CB", L"BA", L"AD"}},
        {L"ABCD", {L"AD", L"BD", L"CA", L"CB"}, {L"DA", L"DB", L"AC", L"BC"}},
        // A self-reference does not throw away the order of the rest.
        {L"ABC", {L"AA", L"AB", L"BC"}, {L"CB", L"BA"}},
        // A cycle (B, C) stays after what it references and before what references it.
        {L"ABCDE", {L"BC", L"CB", L"BD", L"AB", L"EE"}, {L"DB", L"DC", L"BA", L"CA"}},
        // A key to a table outside the list adds nothing.
        {L"AB", {L"AZ"}, {}},
    };
    for (const auto& c : cases) {
        auto schema = Schema(c.tables, c.edges);
        std::wstring order = Order(*schema);
        std::wstring sorted = order, expected = c.tables;
        std::sort(sorted.begin(), sorted.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted, expected) << "tables " << std::string(c.tables.begin(), c.tables.end());
        for (const auto& pair : c.before)
            EXPECT_TRUE(Before(order, pair[0], pair[1])) << std::string(order.begin(), order.end());
    }
}

TEST(ForeignKeyOrderTest, UnrelatedTablesKeepSchemaOrder)
{
    auto schema = Schema(L"DCBA", {});
    EXPECT_EQ(Order(*schema), L"DCBA");
}

}  // namespace
