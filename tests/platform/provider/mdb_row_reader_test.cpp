// Rows of the genuine Access sample files read back exactly, each value in the
// automation type ADO gives; expected values from mdb-export of the files.
#include <gtest/gtest.h>

#include <map>

#include "mdb_test_support.h"
#include "platform/automation/com_error.h"
#include "platform/provider/mdb/mdb_value_decoder.h"

namespace {

using namespace provider::mdb;
using automation::Variant;
using mdbtest::OpenedCopy;

// Every row of a table, keyed by the text or number of its first column.
std::map<std::wstring, std::vector<Variant>> RowsByKey(MdbDatabase& db, const std::wstring& table)
{
    std::map<std::wstring, std::vector<Variant>> rows;
    auto reader = db.OpenTable(table);
    while (reader->Next()) {
        const Variant& key = reader->Value(0);
        const std::wstring k =
            key.vt() == automation::VT_BSTR ? key.bstrVal() : std::to_wstring(key.lVal());
        rows[k] = reader->Values();
    }
    return rows;
}

TEST(MdbRowReader, ReadsAsManyRowsAsTheTablesHold)
{
    struct Case {
        const char* file;
        const wchar_t* table;
        uint64_t rows;
    };
    const Case cases[] = {
        {"nwind.mdb", L"Order Details", 2155},  {"nwind.mdb", L"Orders", 830},
        {"nwind.mdb", L"Products", 77},         {"nwind.mdb", L"Shippers", 3},
        {"nwind.mdb", L"Categories", 8},        {"nwind.mdb", L"Customers", 91},
        {"nwind.mdb", L"Employees", 9},         {"nwind.mdb", L"Suppliers", 29},
        {"nwind.mdb", L"Ums\u00e4tze", 830},    {"nwind.mdb", L"MSysObjects", 106},
        {"indexTestV2003.mdb", L"Table1", 4},   {"indexTestV2003.mdb", L"Table2", 3},
        {"indexTestV2003.mdb", L"Table3", 4},   {"ASampleDatabase.accdb", L"Asset Items", 65},
        {"queryTestV2010.accdb", L"Table1", 0}, {"queryTestV2010.accdb", L"MSysQueries", 90},
    };
    for (const auto& c : cases) {
        OpenedCopy copy(c.file);
        auto reader = copy.db().OpenTable(c.table);
        while (reader->Next()) {
        }
        EXPECT_EQ(reader->RowsRead(), c.rows) << c.file;
        EXPECT_EQ(reader->Table().rowCount, c.rows) << c.file;
        EXPECT_FALSE(reader->Next());
        reader->Rewind();  // a second pass reads the same rows again
        while (reader->Next()) {
        }
        EXPECT_EQ(reader->RowsRead(), c.rows) << c.file;
    }
}

TEST(MdbRowReader, ReadsEveryTableOfEverySampleFileWithoutChangingIt)
{
    for (const auto& file : mdbtest::SampleFiles()) {
        OpenedCopy copy(file);
        for (const auto& t : copy.db().Tables()) {
            auto reader = copy.db().OpenTable(t.name);
            while (reader->Next()) {
            }
            EXPECT_EQ(reader->RowsRead(), t.rowCount) << file;
        }
    }
}

TEST(MdbRowReader, GivesNumbersMoneyDatesAndBooleansInTheirAutomationTypes)
{
    OpenedCopy copy("nwind.mdb");
    auto details = copy.db().OpenTable(L"Order Details");
    ASSERT_TRUE(details->Next());
    // 10248,11,14.0000,12,0
    EXPECT_EQ(details->Value(0), Variant(int32_t(10248)));
    EXPECT_EQ(details->Value(1), Variant(int32_t(11)));
    EXPECT_EQ(details->Value(2), Variant(automation::Currency{140000}));
    EXPECT_EQ(details->Value(3), Variant(int16_t(12)));
    EXPECT_EQ(details->Value(4), Variant(0.0f));
    bool sawDiscount = false;
    while (details->Next()) {
        // 10250,51,42.4000,35,0.15000001: a Single, not a rounded double
        if (details->Value(0).lVal() == 10250 && details->Value(1).lVal() == 51) {
            EXPECT_EQ(details->Value(2).cyVal().int64, 424000);
            EXPECT_EQ(details->Value(4), Variant(0.15f));
            sawDiscount = true;
        }
    }
    EXPECT_TRUE(sawDiscount);

    auto orders = RowsByKey(copy.db(), L"Orders");
    // 10330,"LILAS",3,11/16/94,12/14/94,11/28/94,1,12.7500,...,"Lara",...
    const auto& o = orders.at(L"10330");
    EXPECT_EQ(o[1], Variant(L"LILAS"));
    EXPECT_EQ(o[3], Variant::FromDate(34654.0));
    EXPECT_EQ(o[4], Variant::FromDate(34682.0));
    EXPECT_EQ(o[7], Variant(automation::Currency{127500}));
    EXPECT_EQ(o[11], Variant(L"Lara"));
    EXPECT_TRUE(orders.at(L"10331")[11].IsNull());  // no ShipRegion

    auto products = RowsByKey(copy.db(), L"Products");
    EXPECT_EQ(products.at(L"1")[9], Variant(false));  // Chai is sold
    EXPECT_EQ(products.at(L"5")[9], Variant(true));   // Gumbo Mix is discontinued
    EXPECT_EQ(products.at(L"5")[5], Variant(automation::Currency{213500}));
    EXPECT_EQ(products.at(L"2")[7], Variant(int16_t(40)));

    auto employees = RowsByKey(copy.db(), L"Employees");
    EXPECT_EQ(employees.at(L"1")[5], Variant::FromDate(17875.0));  // born 12/08/48
    EXPECT_EQ(employees.at(L"1")[5].vt(), automation::VT_DATE);
}

TEST(MdbRowReader, GivesTextInTheFileEncodingAndMemoAndOleWhole)
{
    OpenedCopy copy("nwind.mdb");
    auto customers = RowsByKey(copy.db(), L"Customers");
    // Jet 3 text is in the file's code page (1252).
    EXPECT_EQ(customers.at(L"ANATR")[4], Variant(L"Avda. de la Constituci\u00f3n 2222"));
    EXPECT_EQ(customers.at(L"ANATR")[5], Variant(L"M\u00e9xico D.F."));
    EXPECT_TRUE(customers.at(L"ANATR")[6].IsNull());

    auto categories = RowsByKey(copy.db(), L"Categories");
    EXPECT_EQ(categories.at(L"1")[2], Variant(L"Soft drinks, coffees, teas, beers, and ales"));
    const Variant& picture = categories.at(L"1")[3];
    ASSERT_TRUE(picture.IsByteArray());
    const auto& bytes = picture.parray().bytes();
    ASSERT_EQ(bytes.size(), 10746u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{0x15, 0x1C, 0x2F, 0x00, 0x02, 0x00, 0x00, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 8, bytes.end()),
              (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0xC7, 0xAD, 0x05, 0xFE}));

    auto employees = RowsByKey(copy.db(), L"Employees");
    const std::wstring notes = employees.at(L"2")[15].bstrVal();
    EXPECT_EQ(notes.size(), 448u);  // longer than a row slot: read across pages
    EXPECT_EQ(notes.substr(0, 29), L"Andrew received his BTS comme");
    EXPECT_EQ(notes.substr(notes.size() - 30), L"fic Rim Importers Association.");
    EXPECT_EQ(employees.at(L"3")[14].parray().size(), 21722u);
    EXPECT_EQ(employees.at(L"1")[14].parray().size(), 21626u);
}

TEST(MdbRowReader, ReadsJet4AndAceRows)
{
    OpenedCopy jet4("indexTestV2003.mdb");
    auto table1 = RowsByKey(jet4.db(), L"Table1");
    // id,otherfk1,otherfk2,data,otherfk3: 2,1,11,"baz11-2",0
    ASSERT_EQ(table1.size(), 4u);
    EXPECT_EQ(table1.at(L"2"),
              (std::vector<Variant>{Variant(int32_t(2)), Variant(int32_t(1)), Variant(int32_t(11)),
                                    Variant(L"baz11-2"), Variant(int32_t(0))}));
    EXPECT_EQ(table1.at(L"0")[3], Variant(L"baz0"));

    OpenedCopy ace("ASampleDatabase.accdb");
    auto assets = RowsByKey(ace.db(), L"Asset Items");
    // "30050","Computer Hardware","GEO Rocket","220ZX","Computer","Sales",
    // "344-667",09/02/97,1995.5000,12,"A","44577",(no comments)
    const auto& a = assets.at(L"30050");
    EXPECT_EQ(a[1], Variant(L"Computer Hardware"));
    EXPECT_EQ(a[6], Variant(L"344-667"));
    EXPECT_EQ(a[7], Variant::FromDate(35675.0));
    EXPECT_EQ(a[8], Variant(automation::Currency{19955000}));
    EXPECT_EQ(a[9], Variant(int32_t(12)));
    EXPECT_EQ(a[10], Variant(L"A"));
    EXPECT_TRUE(a[12].IsNull());
}

TEST(MdbRowReader, GivesBytesAndBinaryOfSystemTables)
{
    OpenedCopy copy("nwind.mdb");
    auto aces = copy.db().OpenTable(L"MSysACEs");
    ASSERT_TRUE(aces->Next());
    // 251658242,"0301",393216,0
    EXPECT_EQ(aces->Value(0), Variant(int32_t(251658242)));
    EXPECT_EQ(aces->Value(1), Variant(automation::SafeArray(std::vector<uint8_t>{0x03, 0x01})));
    EXPECT_EQ(aces->Value(2), Variant(int32_t(393216)));
    EXPECT_EQ(aces->Value(3), Variant(false));

    OpenedCopy query("queryTestV2010.accdb");
    auto rows = query.db().OpenTable(L"MSysQueries");
    ASSERT_TRUE(rows->Next());
    EXPECT_EQ(rows->Table().columns[1].name, L"Attribute");
    EXPECT_EQ(rows->Value(1).vt(), automation::VT_UI1);
}

TEST(MdbRowReader, InterleavedReadersOfOneFileEachSeeTheirOwnRows)
{
    OpenedCopy copy("nwind.mdb");
    std::vector<std::vector<Variant>> orders, employees;
    {
        auto a = copy.db().OpenTable(L"Orders");
        while (a->Next())
            orders.push_back(a->Values());
        auto b = copy.db().OpenTable(L"Employees");
        while (b->Next())
            employees.push_back(b->Values());
    }
    // Memo and OLE values of the second reader take libmdb's spare page
    // buffer; the first reader's current page must survive that.
    auto a = copy.db().OpenTable(L"Orders");
    auto b = copy.db().OpenTable(L"Employees");
    size_t i = 0, j = 0;
    for (bool moreA = true, moreB = true; moreA || moreB;) {
        if ((moreA = a->Next())) {
            EXPECT_EQ(a->Values(), orders[i++]);
        }
        if ((moreB = b->Next())) {
            EXPECT_EQ(b->Values(), employees[j++]);
        }
    }
    EXPECT_EQ(i, orders.size());
    EXPECT_EQ(j, employees.size());
}

TEST(MdbRowReader, DecodesOnlySelectedColumns)
{
    OpenedCopy copy("nwind.mdb");
    auto reader = copy.db().OpenTable(L"Employees");
    reader->SelectColumns({0, 15});
    ASSERT_TRUE(reader->Next());
    EXPECT_EQ(reader->Value(0), Variant(int32_t(1)));
    EXPECT_TRUE(reader->Value(1).IsEmpty());
    EXPECT_TRUE(reader->Value(14).IsEmpty());
    EXPECT_EQ(reader->Value(15).vt(), automation::VT_BSTR);
}

TEST(MdbValueDecoder, FormatsReplicationIdsAndDecimalsFromTheirStoredBytes)
{
    // {00112233-4455-6677-8899-AABBCCDDEEFF} in GUID memory layout.
    const uint8_t guid[16] = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                              0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(GuidText(guid), L"{00112233-4455-6677-8899-AABBCCDDEEFF}");

    struct Case {
        uint8_t bytes[17];
        int scale;
        bool ok;
        automation::Decimal expected;
    };
    const Case cases[] = {
        // 12345 with scale 2 is 123.45
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x39, 0x30, 0, 0}, 2, true, {2, false, 0, 12345}},
        // negative, with bits in the 64..95 word
        {{0x80, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0},
         0,
         true,
         {0, true, 1, (uint64_t(2) << 32) | 3}},
        // a magnitude beyond 96 bits is not a decimal
        {{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, false, {}},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}, 29, false, {}},
    };
    for (const auto& c : cases) {
        automation::Decimal d;
        EXPECT_EQ(DecimalFromBytes(c.bytes, c.scale, d), c.ok);
        if (c.ok) {
            EXPECT_EQ(d, c.expected);
        }
    }
}

}  // namespace
