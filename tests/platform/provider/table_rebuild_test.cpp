// Changing a column makes the table anew: every row (in its place), index,
// counter, rule and catalog entry survives, and a change that fails midway
// leaves the old table whole.
#include <gtest/gtest.h>

#include "platform/provider/adox_table.h"
#include "store_fixture.h"

namespace providertest {
namespace {

class RebuildTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        for (const wchar_t* sql : {
                 L"CREATE TABLE Parent (pid LONG CONSTRAINT pk PRIMARY KEY)",
                 L"INSERT INTO Parent VALUES (1)",
                 L"CREATE TABLE T (id COUNTER(5, 5) CONSTRAINT pkT PRIMARY KEY, code TEXT(10) "
                 L"NOT NULL, qty TEXT(10), pid LONG, note TEXT(20), CONSTRAINT uqCode UNIQUE "
                 L"(code), CONSTRAINT fkP FOREIGN KEY (pid) REFERENCES Parent, CONSTRAINT "
                 L"small CHECK (pid < 100))",
                 L"CREATE INDEX byNote ON T (note DESC)",
                 L"ALTER TABLE T DENY ZERO LENGTH code",
                 L"CREATE TABLE Kid (k LONG, ref LONG, CONSTRAINT fkT FOREIGN KEY (ref) "
                 L"REFERENCES T (id))",
                 L"INSERT INTO T (code, qty, pid, note) VALUES ('b', '20', 1, 'x')",
                 L"INSERT INTO T (code, qty, pid, note) VALUES ('a', '7', NULL, NULL)",
                 L"INSERT INTO T (code, qty, pid, note) VALUES ('c', NULL, 1, 'y')",
                 L"DELETE FROM T WHERE code = 'c'",
                 L"INSERT INTO Kid VALUES (1, 5)",
             })
            Run(sql);
    }

    std::wstring Rows()
    {
        // No ORDER BY: the table's own order, which a rebuild must keep.
        auto rs = Query(L"SELECT * FROM T");
        std::wstring text;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            for (long i = 0; i < rs->Fields()->Count(); ++i) {
                Variant v = rs->Fields()->Item(i)->Value();
                text +=
                    v.IsNull() ? L"null" : automation::ChangeType(v, automation::VT_BSTR).bstrVal();
                text += L"|";
            }
            text += L";";
        }
        return text;
    }

    // Everything that must survive, each refused change leaving the rows alone.
    void ExpectEverythingKept(const std::wstring& rows)
    {
        SCOPED_TRACE(L"kept: " + rows);
        EXPECT_EQ(Rows(), rows);
        const wchar_t* refused[] = {
            L"INSERT INTO T (code) VALUES ('a')",            // unique index
            L"INSERT INTO T (code) VALUES ('')",             // zero length
            L"INSERT INTO T (code) VALUES (NULL)",           // required
            L"INSERT INTO T (code, pid) VALUES ('q', 9)",    // foreign key (child side)
            L"INSERT INTO T (code, pid) VALUES ('q', 200)",  // check
            L"DELETE FROM T WHERE id = 5",                   // foreign key (parent side)
            L"DELETE FROM Parent",                           // foreign key of T
            L"INSERT INTO T (id, code) VALUES (5, 'q')",     // primary key
        };
        for (const wchar_t* sql : refused) {
            SCOPED_TRACE(sql);
            EXPECT_NE(ErrorOf(sql), L"");
            EXPECT_EQ(Rows(), rows);
        }
        auto table = std::make_shared<provider::adox::Catalog>();
        table->SetActiveConnection(connection);
        auto t = table->Tables()->Item(L"T");
        EXPECT_EQ(t->Indexes()->Count(), 3);
        EXPECT_EQ(t->Indexes()->Item(L"byNote")->Columns()->Item(0L)->SortOrder(),
                  provider::adox::adSortDescending);
        EXPECT_EQ(t->Keys()->Count(), 3);
        EXPECT_FALSE(provider::adox::PropertyFlag(t->Columns()
                                                      ->Item(L"code")
                                                      ->Properties()
                                                      ->Item(L"Jet OLEDB:Allow Zero Length")
                                                      ->Value()));
    }
};

TEST_F(RebuildTest, AlterColumnKeepsEverything)
{
    const std::wstring before = L"5|b|20|1|x|;10|a|7|null|null|;";
    ExpectEverythingKept(before);
    Run(L"ALTER TABLE T ALTER COLUMN qty LONG");
    ExpectEverythingKept(before);
    auto rs = Query(L"SELECT qty FROM T WHERE code = 'b'");
    EXPECT_EQ(rs->Fields()->Item(0L)->Value().vt(), automation::VT_I4);
    EXPECT_EQ(rs->Fields()->Item(0L)->Value().lVal(), 20);
    // The counter goes on after the last number handed out (15 was used).
    Run(L"INSERT INTO T (code) VALUES ('d')");
    EXPECT_EQ(Query(L"SELECT id FROM T WHERE code = 'd'")->Fields()->Item(0L)->Value().lVal(), 20);
    // A column made shorter than its values refuses, keeping the old table.
    EXPECT_NE(ErrorOf(L"ALTER TABLE T ALTER COLUMN note TEXT(0)"), L"");
}

TEST_F(RebuildTest, RulesFollowTheColumnsNewType)
{
    auto catalog = std::make_shared<provider::adox::Catalog>();
    catalog->SetActiveConnection(connection);
    catalog->Tables()
        ->Item(L"T")
        ->Columns()
        ->Item(L"qty")
        ->Properties()
        ->Item(L"Jet OLEDB:Column Validation Rule")
        ->SetValue(Variant(L"<> '3'"));
    Run(L"ALTER TABLE T ADD CONSTRAINT notThree CHECK (qty <> '3')");
    EXPECT_NE(ErrorOf(L"INSERT INTO T (code, qty) VALUES ('q', '3')"), L"");
    Run(L"ALTER TABLE T ALTER COLUMN qty LONG");
    // The number 3 is what the rule's '3' means for a LONG column.
    EXPECT_NE(ErrorOf(L"INSERT INTO T (code, qty) VALUES ('q', 3)").find(L"qty"),
              std::wstring::npos);
    Run(L"ALTER TABLE T DROP CONSTRAINT notThree");
    catalog->Tables()
        ->Item(L"T")
        ->Columns()
        ->Item(L"qty")
        ->Properties()
        ->Item(L"Jet OLEDB:Column Validation Rule")
        ->SetValue(Variant(L""));
    Run(L"INSERT INTO T (code, qty) VALUES ('q', 3)");
}

TEST_F(RebuildTest, FailedChangeLeavesTheOldTable)
{
    Run(L"UPDATE T SET qty = 'many' WHERE code = 'a'");
    const std::wstring before = L"5|b|20|1|x|;10|a|many|null|null|;";
    struct Case {
        const wchar_t* change;
    };
    const Case cases[] = {
        {L"ALTER TABLE T ALTER COLUMN qty LONG"},               // 'many' is no number
        {L"ALTER TABLE T ALTER COLUMN qty TEXT(2)"},            // 'many' is too long
        {L"ALTER TABLE T ALTER COLUMN note TEXT(5) NOT NULL"},  // a Null note
        {L"ALTER TABLE T ALTER COLUMN id LONG"},                // a counter stays a counter
        {L"ALTER TABLE T ALTER COLUMN pid SHORT"},              // part of a relation
        {L"ALTER TABLE T DROP COLUMN code"},                    // part of an index
        {L"ALTER TABLE T DROP COLUMN nope"},
        {L"ALTER TABLE T ADD COLUMN must LONG NOT NULL"},  // rows would hold Null
        {L"ALTER TABLE T ADD COLUMN code LONG"},           // exists
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        EXPECT_NE(ErrorOf(c.change), L"");
        ExpectEverythingKept(before);
        auto catalog = std::make_shared<provider::adox::Catalog>();
        catalog->SetActiveConnection(connection);
        auto columns = catalog->Tables()->Item(L"T")->Columns();
        EXPECT_EQ(columns->Count(), 5);
        EXPECT_EQ(columns->Item(L"qty")->Type(), adVarWChar);
        EXPECT_EQ(columns->Item(L"qty")->DefinedSize(), 10);
    }
}

TEST_F(RebuildTest, DropAndAddColumns)
{
    Run(L"ALTER TABLE T ADD COLUMN extra DOUBLE");
    Run(L"UPDATE T SET extra = 1.5");
    Run(L"ALTER TABLE T DROP COLUMN qty");
    auto catalog = std::make_shared<provider::adox::Catalog>();
    catalog->SetActiveConnection(connection);
    auto columns = catalog->Tables()->Item(L"T")->Columns();
    std::wstring names;
    for (long i = 0; i < columns->Count(); ++i)
        names += columns->Item(i)->Name() + L" ";
    EXPECT_EQ(names, L"id code pid note extra ");
    ExpectEverythingKept(L"5|b|1|x|1.5|;10|a|null|null|1.5|;");
    // A required column can be added to an empty table.
    Run(L"CREATE TABLE E (a LONG)");
    Run(L"ALTER TABLE E ADD COLUMN b TEXT(5) NOT NULL CONSTRAINT uqB UNIQUE");
    EXPECT_NE(ErrorOf(L"INSERT INTO E (a) VALUES (1)"), L"");
    Run(L"INSERT INTO E VALUES (1, 'x')");
    EXPECT_NE(ErrorOf(L"INSERT INTO E VALUES (2, 'x')"), L"");
    Run(L"ALTER TABLE E DROP CONSTRAINT uqB");
    Run(L"ALTER TABLE E DROP COLUMN a");
    EXPECT_NE(ErrorOf(L"ALTER TABLE E DROP COLUMN b"), L"");  // the only field may not
}

}  // namespace
}  // namespace providertest
