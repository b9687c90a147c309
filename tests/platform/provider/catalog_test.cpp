// The store keeps what Access keeps about a table: each column's Access type,
// size, precision and scale, nullability, default, counter seed and step, and
// each index by its own name with its flags and member order.
#include "platform/provider/catalog.h"

#include "platform/provider/session.h"
#include "store_fixture.h"

namespace providertest {
namespace {

using provider::AccessType;

TEST_F(StoreTest, CatalogKeepsTypesSizesAndIndexNames)
{
    Run(L"CREATE TABLE [Kept] (id AUTOINCREMENT(10, 5), code VARCHAR(12) WITH COMPRESSION NOT "
        L"NULL, memo LONGTEXT, price MONEY DEFAULT 1.5, amount NUMERIC(12, 3), flag BIT, "
        L"blob VARBINARY(40), uid UNIQUEIDENTIFIER, small INTEGER2, tiny BYTE, r REAL, "
        L"f FLOAT, at TIME, CONSTRAINT pk PRIMARY KEY (id), CONSTRAINT uq UNIQUE (code, tiny))");
    Run(L"CREATE INDEX byPrice ON [Kept] (price DESC, at) WITH IGNORE NULL");
    const provider::Catalog& catalog = connection->OpenSession().Store().CurrentCatalog();
    const provider::TableInfo* t = catalog.FindTable(L"kept");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->name, L"Kept");
    struct Expected {
        const wchar_t* name;
        AccessType type;
        int32_t size;
        int precision, scale;
        bool notNull;
    };
    const Expected columns[] = {
        {L"id", AccessType::Long, 4, 0, 0, false},
        {L"code", AccessType::Text, 12, 0, 0, true},
        {L"memo", AccessType::Memo, 536870910, 0, 0, false},
        {L"price", AccessType::Currency, 8, 0, 0, false},
        {L"amount", AccessType::Decimal, 16, 12, 3, false},
        {L"flag", AccessType::YesNo, 2, 0, 0, false},
        {L"blob", AccessType::Binary, 40, 0, 0, false},
        {L"uid", AccessType::Guid, 16, 0, 0, false},
        {L"small", AccessType::Short, 2, 0, 0, false},
        {L"tiny", AccessType::Byte, 1, 0, 0, false},
        {L"r", AccessType::Single, 4, 0, 0, false},
        {L"f", AccessType::Double, 8, 0, 0, false},
        {L"at", AccessType::DateTime, 8, 0, 0, false},
    };
    ASSERT_EQ(t->columns.size(), std::size(columns));
    for (size_t i = 0; i < t->columns.size(); ++i) {
        const provider::ColumnInfo& c = t->columns[i];
        EXPECT_EQ(c.name, columns[i].name);
        EXPECT_EQ(c.type.type, columns[i].type) << i;
        EXPECT_EQ(c.type.size, columns[i].size) << i;
        EXPECT_EQ(c.type.precision, columns[i].precision) << i;
        EXPECT_EQ(c.type.scale, columns[i].scale) << i;
        EXPECT_EQ(c.notNull, columns[i].notNull) << i;
    }
    EXPECT_TRUE(t->columns[0].type.autoIncrement);
    EXPECT_EQ(t->columns[0].seed, 10);
    EXPECT_EQ(t->columns[0].increment, 5);
    EXPECT_TRUE(t->columns[1].compressed);
    EXPECT_EQ(t->columns[3].defaultText, L"1.5");
    ASSERT_EQ(t->indexes.size(), 3u);
    EXPECT_EQ(t->indexes[0].name, L"pk");
    EXPECT_TRUE(t->indexes[0].primary && t->indexes[0].unique);
    EXPECT_EQ(t->indexes[1].name, L"uq");
    EXPECT_TRUE(t->indexes[1].unique && !t->indexes[1].primary);
    ASSERT_EQ(t->indexes[1].columns.size(), 2u);
    EXPECT_EQ(t->indexes[1].columns[1].name, L"tiny");
    const provider::IndexInfo* byPrice = t->FindIndex(L"BYPRICE");
    ASSERT_NE(byPrice, nullptr);
    EXPECT_TRUE(byPrice->ignoreNulls);
    EXPECT_FALSE(byPrice->unique);
    EXPECT_TRUE(byPrice->columns[0].descending);
    EXPECT_FALSE(byPrice->columns[1].descending);
    // The catalog outlives the connection: a new one reads the same.
    connection->Close();
    connection->Open(JetString(path));
    const provider::TableInfo* again =
        connection->OpenSession().Store().CurrentCatalog().FindTable(L"Kept");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->columns[4].type.scale, 3);
    EXPECT_EQ(again->indexes.size(), 3u);
}

}  // namespace
}  // namespace providertest
