// Rows of genuine Access files through static ADO Recordsets: every type in
// the automation type ADO gives, ordered as the native store orders, and
// positioned by AbsolutePosition. Values are the files' own (mdb-export).
#include <gtest/gtest.h>

#include "genuine_test_support.h"

namespace genuinetest {
namespace {

using namespace provider::adodb;
using automation::Currency;

TEST(GenuineRows, EveryTypeComesBackExactlyThroughAStaticRecordset)
{
    GenuineCopy copy("nwind.mdb");
    auto c = copy.Open();
    struct Case {
        const wchar_t* sql;
        std::vector<Variant> first;  // the first row's values
    };
    const Case cases[] = {
        {L"SELECT OrderID, ProductID, UnitPrice, Quantity, Discount FROM [Order Details] "
         L"ORDER BY OrderID, ProductID",
         {Variant(int32_t(10248)), Variant(int32_t(11)), Variant(Currency{140000}),
          Variant(int16_t(12)), Variant(0.0f)}},
        {L"SELECT OrderID, CustomerID, OrderDate, Freight, ShipRegion FROM Orders "
         L"WHERE OrderID = 10331",
         {Variant(int32_t(10331)), Variant(L"BONAP"), Variant::FromDate(34654.0),
          Variant(Currency{101900}), Variant::Null()}},
        {L"SELECT ProductName, Discontinued, UnitsOnOrder FROM Products ORDER BY ProductID",
         {Variant(L"Chai"), Variant(false), Variant(int16_t(0))}},
        {L"SELECT ProductName, Discontinued FROM Products WHERE ProductID = 5",
         {Variant(L"Chef Anton's Gumbo Mix"), Variant(true)}},
        {L"SELECT CustomerID FROM Customers ORDER BY CustomerID", {Variant(L"ALFKI")}},
        {L"SELECT EmployeeID, BirthDate FROM Employees ORDER BY EmployeeID",
         {Variant(int32_t(1)), Variant::FromDate(17875.0)}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(automation::ToUtf8(k.sql));
        auto rs = Query(c, k.sql);
        ASSERT_FALSE(rs->IsEOF());
        ASSERT_EQ(rs->Fields()->Count(), static_cast<long>(k.first.size()));
        for (size_t i = 0; i < k.first.size(); ++i)
            EXPECT_EQ(rs->Fields()->Item(static_cast<long>(i))->Value(), k.first[i]) << i;
    }
    // Memo and OLE values whole.
    auto pictures = Query(c, L"SELECT Picture FROM Categories ORDER BY CategoryID");
    EXPECT_EQ(pictures->Fields()->Item(0L)->Value().parray().size(), 10746u);
    auto notes = Query(c, L"SELECT Notes, Photo FROM Employees WHERE EmployeeID = 2");
    EXPECT_EQ(notes->Fields()->Item(0L)->Value().bstrVal().size(), 448u);
    auto photo = Query(c, L"SELECT Photo FROM Employees WHERE EmployeeID = 1");
    EXPECT_EQ(photo->Fields()->Item(0L)->Value().parray().size(), 21626u);
    c->Close();
}

TEST(GenuineRows, OrderingAndAbsolutePositionOverEveryRow)
{
    GenuineCopy copy("nwind.mdb");
    auto c = copy.Open();
    auto rs = Query(c, L"SELECT OrderID, ShipRegion FROM Orders ORDER BY OrderID");
    long rows = 0, previous = 0;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        long id = rs->Fields()->Item(0L)->Value().lVal();
        EXPECT_GT(id, previous);
        previous = id;
        ++rows;
        EXPECT_EQ(rs->AbsolutePosition(), rows);
    }
    EXPECT_EQ(rows, 830);
    rs->SetAbsolutePosition(830);
    EXPECT_EQ(rs->Fields()->Item(0L)->Value(), Variant(int32_t(11077)));
    rs->SetAbsolutePosition(1);
    EXPECT_EQ(rs->Fields()->Item(0L)->Value(), Variant(int32_t(10248)));

    // NULLs first, then text by code point.
    auto regions = Query(c, L"SELECT ShipRegion FROM Orders ORDER BY ShipRegion, OrderID");
    EXPECT_TRUE(regions->Fields()->Item(0L)->Value().IsNull());
    std::wstring last;
    for (; !regions->IsEOF(); regions->MoveNext()) {
        const Variant& v = regions->Fields()->Item(0L)->Value();
        if (v.IsNull()) {
            EXPECT_TRUE(last.empty());
            continue;
        }
        EXPECT_LE(last, v.bstrVal());
        last = v.bstrVal();
    }
    c->Close();

    GenuineCopy ace("ASampleDatabase.accdb");
    auto a = ace.Open();
    auto items = Query(a, L"SELECT [Asset No], Acquired, Cost, Warranty FROM [Asset Items] "
                          L"ORDER BY [Asset No]");
    // "30050","Computer Hardware",...,"09/02/97 00:00:00",1995.5000,12
    EXPECT_EQ(items->Fields()->Item(0L)->Value(), Variant(L"30050"));
    EXPECT_EQ(items->Fields()->Item(1L)->Value(), Variant::FromDate(35675.0));
    EXPECT_EQ(items->Fields()->Item(2L)->Value(), Variant(Currency{19955000}));
    EXPECT_EQ(items->Fields()->Item(3L)->Value(), Variant(int32_t(12)));
    a->Close();
}

}  // namespace
}  // namespace genuinetest
