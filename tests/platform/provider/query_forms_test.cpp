// The query forms scripts and the comparison use: joins of every kind,
// DISTINCT, TOP, UNION, subqueries, INSERT ... SELECT and UPDATE over a join,
// each read back through ADO.
#include "store_fixture.h"

namespace providertest {
namespace {

using namespace automation;

class QueryFormsTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        Run(L"CREATE TABLE a (id LONG PRIMARY KEY, name TEXT(10))");
        Run(L"CREATE TABLE b (aid LONG, qty SHORT)");
        for (const wchar_t* row : {L"1, 'one'", L"2, 'two'", L"3, 'three'"})
            Run(std::wstring(L"INSERT INTO a VALUES (") + row + L")");
        for (const wchar_t* row : {L"1, 5", L"1, 7", L"2, 1", L"9, 4"})
            Run(std::wstring(L"INSERT INTO b VALUES (") + row + L")");
    }

    // The first column of every row, as text ("null" for Null).
    std::vector<std::wstring> Column(const std::wstring& sql)
    {
        std::vector<std::wstring> out;
        for (auto rs = Query(sql); !rs->IsEOF(); rs->MoveNext()) {
            const Variant& v = rs->Fields()->Item(0L)->Value();
            out.push_back(v.IsNull()          ? L"null"
                          : v.vt() == VT_BSTR ? v.bstrVal()
                          : v.vt() == VT_I2   ? std::to_wstring(v.iVal())
                                              : std::to_wstring(v.lVal()));
        }
        return out;
    }
};

TEST_F(QueryFormsTest, SelectFormsReturnTheRowsAccessReturns)
{
    using V = std::vector<std::wstring>;
    struct Case {
        const wchar_t* sql;
        V expected;
    };
    const Case cases[] = {
        {L"SELECT a.name FROM a INNER JOIN b ON a.id = b.aid ORDER BY b.qty",
         {L"two", L"one", L"one"}},
        {L"SELECT b.qty FROM a LEFT JOIN b ON a.id = b.aid ORDER BY a.id, b.qty",
         {L"5", L"7", L"1", L"null"}},
        {L"SELECT a.name FROM a RIGHT JOIN b ON a.id = b.aid ORDER BY b.qty DESC",
         {L"one", L"one", L"null", L"two"}},
        {L"SELECT DISTINCT aid FROM b ORDER BY aid", {L"1", L"2", L"9"}},
        {L"SELECT TOP 2 id FROM a ORDER BY id DESC", {L"3", L"2"}},
        {L"SELECT id FROM a WHERE id IN (SELECT aid FROM b WHERE qty > 4)", {L"1"}},
        {L"SELECT id FROM a WHERE 7 IN (SELECT qty FROM b WHERE b.aid = a.id)", {L"1"}},
        {L"SELECT id FROM a WHERE EXISTS (SELECT * FROM b WHERE b.aid = a.id) ORDER BY id",
         {L"1", L"2"}},
        {L"SELECT name FROM a WHERE id = 3 UNION SELECT 'x' FROM b WHERE aid = 9",
         {L"three", L"x"}},
        {L"SELECT x.n FROM (SELECT count(*) AS n FROM b) AS x", {L"4"}},
        {L"SELECT aid FROM b GROUP BY aid HAVING Sum(qty) > 3 ORDER BY aid", {L"1", L"9"}},
        {L"SELECT t.name FROM a AS t, b WHERE t.id = b.aid AND b.qty = 1", {L"two"}},
        {L"SELECT [name] FROM [a] WHERE [name] BETWEEN 'o' AND 'p'", {L"one"}},
        {L"SELECT id FROM a WHERE id = ? OR name = ?", {}},
    };
    for (const Case& c : cases) {
        try {
            EXPECT_EQ(Column(c.sql), c.expected) << ToUtf8(c.sql);
        } catch (const ComError& e) {
            // Positional parameters without values must fail clearly.
            EXPECT_NE(e.Description().find(L"No value given"), std::wstring::npos)
                << ToUtf8(c.sql) << ": " << ToUtf8(e.Description());
        }
    }
}

TEST_F(QueryFormsTest, DataStatementsOverSelectsAndJoins)
{
    Run(L"CREATE TABLE c (id LONG, label TEXT(20))");
    EXPECT_EQ(Run(L"INSERT INTO c (id, label) SELECT id, name & '!' FROM a WHERE id < 3"), 2);
    EXPECT_EQ(Run(L"INSERT INTO c SELECT * FROM (SELECT id + 10 AS id, name AS label FROM a)"), 3);
    EXPECT_EQ(Run(L"UPDATE a INNER JOIN b ON a.id = b.aid SET a.name = 'big' WHERE b.qty > 6"), 1);
    EXPECT_EQ(Column(L"SELECT name FROM a WHERE id = 1"), std::vector<std::wstring>{L"big"});
    EXPECT_EQ(Column(L"SELECT label FROM c ORDER BY id"),
              (std::vector<std::wstring>{L"one!", L"two!", L"one", L"two", L"three"}));
    auto cmd = automation::CreateObjectAs<Command>(L"ADODB.Command");
    cmd->SetActiveConnection(connection);
    cmd->SetCommandText(L"DELETE FROM c WHERE id > ? AND label <> ?");
    cmd->Parameters()->Append(cmd->CreateParameter(L"t", adInteger, adParamInput, 4, Variant(11)));
    cmd->Parameters()->Append(cmd->CreateParameter(L"t", adBSTR, adParamInput, 3, L"two"));
    Variant affected;
    EXPECT_EQ(cmd->Execute(&affected, nullptr, 129), nullptr);
    EXPECT_EQ(affected, Variant(1));
    // Execute of a row-returning statement hands back an open Recordset.
    auto rs = connection->Execute(L"SELECT count(*) FROM c", nullptr, adCmdText);
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->State(), adStateOpen);
    EXPECT_EQ(rs->Fields()->Item(0L)->Value(), Variant(4));
    EXPECT_EQ(rs->Fields()->Item(0L)->Type(), adInteger);
    // Table commands read the whole table.
    EXPECT_EQ(connection->Execute(L"a", nullptr, adCmdTable)->Fields()->Count(), 2);
}

TEST_F(QueryFormsTest, StarOverAJoinQualifiesSharedFieldNames)
{
    Run(L"CREATE TABLE n (id LONG, name TEXT(10))");
    Run(L"INSERT INTO n VALUES (1, 'x')");
    auto rs = Query(L"SELECT * FROM a INNER JOIN n ON a.id = n.id");
    std::vector<std::wstring> names;
    for (long i = 0; i < rs->Fields()->Count(); ++i)
        names.push_back(rs->Fields()->Item(i)->Name());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a.id", L"a.name", L"n.id", L"n.name"}));
    EXPECT_EQ(rs->Fields()->Item(L"n.name")->Value(), Variant(L"x"));
}

TEST_F(QueryFormsTest, FailuresFillTheErrorsCollection)
{
    EXPECT_THROW(connection->Execute(L"SELECT * FROM nowhere"), ComError);
    ASSERT_EQ(connection->Errors()->Count(), 1);
    EXPECT_NE(connection->Errors()->Item(0)->Description().find(L"nowhere"), std::wstring::npos);
    connection->Execute(L"SELECT * FROM a");
    EXPECT_EQ(connection->Errors()->Count(), 0);
    EXPECT_THROW(connection->SetMode(adModeShareExclusive), ComError);
    connection->SetCursorLocation(adUseClient);
    EXPECT_EQ(connection->CursorLocation(), adUseClient);
    connection->Close();
    EXPECT_EQ(connection->State(), adStateClosed);
    EXPECT_THROW(connection->Execute(L"SELECT * FROM a"), ComError);
}

}  // namespace
}  // namespace providertest
