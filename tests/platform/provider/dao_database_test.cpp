// DAO databases: the connect text's password, exclusive and read-only
// opens, changing the database password, and relations DAO refuses.
#include "platform/provider/dao_database.h"

#include <gtest/gtest.h>

#include "platform/provider/dao_engine.h"
#include "store_fixture.h"

namespace providertest {
namespace {

using provider::dao::DBEngine;

class DaoTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        Run(L"CREATE TABLE P (id LONG PRIMARY KEY, name TEXT(10))");
        Run(L"CREATE TABLE C (pid LONG)");
        connection->Close();
    }
    std::wstring ErrorOfOpen(const Variant& exclusive, const Variant& connect)
    {
        try {
            engine.OpenDatabase(path, exclusive, Variant(false), connect)->Close();
        } catch (const automation::ComError& e) {
            return e.Description();
        }
        return {};
    }
    DBEngine engine;
};

TEST_F(DaoTest, NewPasswordNeedsExclusiveAccessAndTheOldPassword)
{
    auto shared = engine.OpenDatabase(path);
    EXPECT_THROW(shared->NewPassword(L"", L"pw"), automation::ComError);
    shared->Close();

    auto db = engine.OpenDatabase(path, Variant(true));
    EXPECT_THROW(db->NewPassword(L"wrong", L"pw"), automation::ComError);
    EXPECT_THROW(db->NewPassword(L"", L"123456789012345678901"), automation::ComError);
    db->NewPassword(L"", L"pw");
    db->Close();
    struct Case {
        const wchar_t* connect;
        bool opens;
    };
    const Case cases[] = {
        {L";PWD=pw", true},
        {L";pwd=pw", true},
        {L"", false},
        {L";PWD=PW", false},  // passwords are case-sensitive
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.connect);
        EXPECT_EQ(ErrorOfOpen(Variant(false), Variant(c.connect)).empty(), c.opens);
    }
    // ADO sees the new password too; clearing it opens the file to everyone.
    EXPECT_THROW(connection->Open(JetString(path)), automation::ComError);
    connection->Open(JetString(path, L";Jet OLEDB:Database Password=pw"));
    connection->Close();
    db = engine.OpenDatabase(path, Variant(true), Variant(false), Variant(L";PWD=pw"));
    db->NewPassword(L"pw", L"");
    db->Close();
    EXPECT_EQ(ErrorOfOpen(Variant(false), Variant()), L"");
}

TEST_F(DaoTest, ExclusiveAndReadOnlyOpens)
{
    auto db = engine.OpenDatabase(path, Variant(true));
    EXPECT_NE(ErrorOfOpen(Variant(false), Variant()), L"");
    db->Close();
    auto reader = engine.OpenDatabase(path, Variant(false), Variant(true));
    EXPECT_THROW(reader->Execute(L"INSERT INTO P VALUES (1, 'a')"), automation::ComError);
    auto r = reader->CreateRelation(L"r", L"P", L"C");
    auto f = r->CreateField(L"id");
    f->SetForeignName(L"pid");
    r->Fields()->Append(f);
    EXPECT_THROW(reader->Relations()->Append(r), automation::ComError);
    EXPECT_EQ(reader->TableDefs()->Count(), 2);
    reader->Close();
    EXPECT_THROW(reader->Relations(), automation::ComError);
}

TEST_F(DaoTest, RelationsDaoRefuses)
{
    auto db = engine.OpenDatabase(path);
    struct Case {
        const wchar_t* name;
        const wchar_t* table;
        const wchar_t* foreign;
        const wchar_t* field;
        const wchar_t* foreignName;
    };
    const Case cases[] = {
        {L"noTable", L"Nope", L"C", L"id", L"pid"}, {L"noField", L"P", L"C", L"id", L"nope"},
        {L"noForeignName", L"P", L"C", L"id", L""}, {L"noUniqueIndex", L"P", L"C", L"name", L"pid"},
        {L"bad.name", L"P", L"C", L"id", L"pid"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = db->CreateRelation(c.name, c.table, c.foreign);
        auto f = r->CreateField(c.field);
        f->SetForeignName(c.foreignName);
        r->Fields()->Append(f);
        EXPECT_THROW(db->Relations()->Append(r), automation::ComError);
        EXPECT_EQ(db->Relations()->Count(), 0);
    }
    // An appended relation's properties are fixed.
    auto r = db->CreateRelation(L"ok", L"P", L"C");
    auto f = r->CreateField(L"id");
    f->SetForeignName(L"pid");
    r->Fields()->Append(f);
    db->Relations()->Append(r);
    EXPECT_THROW(r->SetAttributes(provider::dao::dbRelationDontEnforce), automation::ComError);
    EXPECT_EQ(db->Relations()->Count(), 1);
}

}  // namespace
}  // namespace providertest
