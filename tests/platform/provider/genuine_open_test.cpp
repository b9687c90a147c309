// Genuine Access files opened through ADO: user tables and their rows as
// mdbtools' own tools report them (mdb-tables, mdb-count).
#include <gtest/gtest.h>

#include "genuine_test_support.h"
#include "platform/provider/adox_table.h"

namespace genuinetest {
namespace {

using namespace provider;

TEST(GenuineOpen, ListsTheUserTablesOfEverySampleFileWithTheirRowCounts)
{
    struct Case {
        const char* file;
        std::vector<std::pair<std::wstring, long>> tables;  // in catalog order
    };
    const Case cases[] = {
        {"nwind.mdb",
         {{L"Order Details", 2155},
          {L"Orders", 830},
          {L"Products", 77},
          {L"Shippers", 3},
          {L"Categories", 8},
          {L"Customers", 91},
          {L"Employees", 9},
          {L"Suppliers", 29},
          {L"Umsätze", 830}}},
        {"indexTestV2003.mdb", {{L"Table1", 4}, {L"Table2", 3}, {L"Table3", 4}}},
        {"ASampleDatabase.accdb", {{L"Asset Items", 65}}},
        {"queryTestV2010.accdb", {{L"Table1", 0}, {L"Table2", 0}, {L"Table3", 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        GenuineCopy copy(c.file);
        auto connection = copy.Open();
        auto catalog = std::make_shared<adox::Catalog>();
        catalog->SetActiveConnection(connection);
        std::vector<std::wstring> names;
        auto tables = catalog->Tables();
        for (long i = 0; i < tables->Count(); ++i)
            if (tables->Item(i)->Type() == L"TABLE")
                names.push_back(tables->Item(i)->Name());
        std::vector<std::wstring> expected;
        for (const auto& [name, rows] : c.tables)
            expected.push_back(name);
        EXPECT_EQ(names, expected);
        // The engine's tables are listed with their own type, hidden as in Access.
        auto objects = tables->Item(L"MSysObjects");
        EXPECT_EQ(objects->Type(), L"SYSTEM TABLE");
        EXPECT_TRUE(objects->Properties()->Item(L"Jet OLEDB:Table Hidden In Access")->Value() ==
                    Variant(true));
        EXPECT_TRUE(objects->Properties()->Item(L"Jet OLEDB:Create Link")->Value() ==
                    Variant(false));
        for (const auto& [name, rows] : c.tables)
            EXPECT_EQ(Count(connection, name), rows) << automation::ToUtf8(name);
        connection->Close();
    }
}

}  // namespace
}  // namespace genuinetest
