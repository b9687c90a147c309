// Genuine Access files opened through ADO: user tables and their rows as
// mdbtools' own tools report them (mdb-tables, mdb-count).
#include <gtest/gtest.h>

#include "genuine_test_support.h"
#include "platform/provider/adox_table.h"
#include "support/expected_access_file.h"

namespace genuinetest {
namespace {

using namespace provider;

TEST(GenuineOpen, ListsTheUserTablesOfEverySampleFileWithTheirRowCounts)
{
    for (const auto& c : testsupport::OlderSampleFiles()) {
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
