// ORDER BY and index order follow the comparison's key rule: NULL first, text
// by code point (case-sensitive), numbers numerically, money and decimals
// exactly, dates chronologically, binary shorter-first then by bytes.
#include <algorithm>
#include <cstring>

#include "store_fixture.h"

namespace providertest {
namespace {

using namespace automation;

// The key rule, written from its description, for one Variant class at a time.
int KeyCompare(const Variant& a, const Variant& b)
{
    if (a.IsNull() || b.IsNull())
        return a.IsNull() == b.IsNull() ? 0 : a.IsNull() ? -1 : 1;
    switch (a.vt()) {
        case VT_BSTR:
            return a.bstrVal().compare(b.bstrVal());  // code points
        case VT_DATE:
            return a.date() < b.date() ? -1 : 0;  // only used on monotonic test data
        case VT_CY:
            return a.cyVal().int64 < b.cyVal().int64 ? -1 : a.cyVal() == b.cyVal() ? 0 : 1;
        default:
            if (a.IsByteArray()) {
                const SafeArray &x = a.parray(), &y = b.parray();
                if (x.size() != y.size())
                    return x.size() < y.size() ? -1 : 1;
                return x.size() ? std::memcmp(x.data(), y.data(), x.size()) : 0;
            }
            return 0;
    }
}

class OrderingTest : public StoreTest {
protected:
    // Reads one column in ORDER BY order and checks it against the key rule.
    std::vector<Variant> Ordered(const std::wstring& column)
    {
        std::vector<Variant> values;
        auto rs = Query(L"SELECT [" + column + L"] FROM o ORDER BY [" + column + L"]");
        for (; !rs->IsEOF(); rs->MoveNext())
            values.push_back(rs->Fields()->Item(0L)->Value());
        return values;
    }
};

TEST_F(OrderingTest, OrderByEqualsTheComparisonsKeyRule)
{
    Run(L"CREATE TABLE o (t TEXT(20), d DATETIME, c CURRENCY, n DECIMAL(20, 4), b BINARY(8))");
    Run(L"CREATE INDEX byText ON o (t)");
    const wchar_t* rows[] = {
        L"'abc', #1/1/2000#, 1, 10.5, 0x",
        L"'ABC', #12/29/1899 06:00#, -1, -10.25, 0x0102",
        L"Null, Null, Null, Null, Null",
        L"'b', #12/29/1899 18:00#, 922337203685477.5807, 0.0001, 0x02",
        L"'a b', #12/30/1899#, -922337203685477.5808, -0.0001, 0x010203",
        L"'\x00E9', #1/1/1700#, 0.0001, 1234567890123456.7890, 0xFF",
        L"'Z', #12/28/1899 23:59:59#, 0, 0, 0x0101",
    };
    auto cmd = automation::CreateObjectAs<Command>(L"ADODB.Command");
    cmd->SetActiveConnection(connection);
    for (const wchar_t* row : rows) {
        std::wstring values = row;
        // Binary literals are not Access SQL; they go in as parameters.
        size_t bin = values.rfind(L", ");
        std::wstring hex = values.substr(bin + 2);
        values = values.substr(0, bin) + L", ?";
        Variant blob = Variant::Null();
        if (hex != L"Null") {
            std::vector<uint8_t> bytes;
            for (size_t i = 2; i + 1 < hex.size(); i += 2)
                bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
            blob = Variant(SafeArray(bytes));
        }
        cmd->SetCommandText(L"INSERT INTO o VALUES (" + values + L")");
        std::vector<Variant> params{blob};
        cmd->Execute(nullptr, &params, adCmdText | adExecuteNoRecords);
    }
    for (const wchar_t* column : {L"t", L"d", L"c", L"b"}) {
        std::vector<Variant> values = Ordered(column);
        ASSERT_EQ(values.size(), 7u);
        for (size_t i = 1; i < values.size(); ++i) {
            if (values[i].vt() == VT_DATE)
                continue;  // checked below on the monotonic day numbers
            EXPECT_LE(KeyCompare(values[i - 1], values[i]), 0)
                << ToUtf8(column) << " rows " << i - 1 << " and " << i;
        }
    }
    std::vector<Variant> text = Ordered(L"t");
    std::vector<std::wstring> names;
    for (const Variant& v : text)
        names.push_back(v.IsNull() ? L"<null>" : v.bstrVal());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"<null>", L"ABC", L"Z", L"a b", L"abc", L"b",
                                                L"\x00E9"}));
    // Chronological, also below 1899-12-30 where automation dates run backwards in time.
    std::vector<Variant> dates = Ordered(L"d");
    std::vector<double> days;
    for (const Variant& v : dates)
        days.push_back(v.IsNull() ? -1e9 : v.date());
    std::vector<double> expected = {-1e9, -73046.0, -2.0 - 86399.0 / 86400.0, -1.25, -1.75,
                                    0.0,  36526.0};
    ASSERT_EQ(days.size(), expected.size());
    for (size_t i = 0; i < days.size(); ++i)
        EXPECT_NEAR(days[i], expected[i], 1e-9) << i;
    std::vector<Variant> decimals = Ordered(L"n");
    std::vector<double> asDouble;
    for (const Variant& v : decimals)
        if (!v.IsNull())
            asDouble.push_back(static_cast<double>(v.decVal().lo64) *
                               (v.decVal().negative ? -1 : 1));
    EXPECT_TRUE(std::is_sorted(asDouble.begin(), asDouble.end()));
    EXPECT_TRUE(decimals.front().IsNull());
}

TEST_F(OrderingTest, DescendingPutsNullsLastAndTextStaysCaseSensitive)
{
    Run(L"CREATE TABLE o (t TEXT(5))");
    for (const wchar_t* v : {L"'b'", L"Null", L"'B'", L"'a'"})
        Run(std::wstring(L"INSERT INTO o VALUES (") + v + L")");
    auto rs = Query(L"SELECT t FROM o ORDER BY t DESC");
    std::vector<std::wstring> got;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        const Variant& v = rs->Fields()->Item(0L)->Value();
        got.push_back(v.IsNull() ? L"<null>" : v.bstrVal());
    }
    EXPECT_EQ(got, (std::vector<std::wstring>{L"b", L"a", L"B", L"<null>"}));
    EXPECT_EQ(Query(L"SELECT count(*) FROM o WHERE t = 'b'")->Fields()->Item(0L)->Value(),
              Variant(1));
}

}  // namespace
}  // namespace providertest
