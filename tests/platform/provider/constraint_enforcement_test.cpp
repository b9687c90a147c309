// Keys, relations, checks, validation rules and zero-length rules hold on
// every change, and a refused change leaves the rows exactly as they were.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/automation/wide_text.h"
#include "store_fixture.h"

namespace providertest {
namespace {

class EnforcementTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        Run(L"CREATE TABLE Parent (id LONG CONSTRAINT pk PRIMARY KEY, code TEXT(10) "
            L"CONSTRAINT uqCode UNIQUE)");
        Run(L"INSERT INTO Parent VALUES (1, 'a')");
        Run(L"INSERT INTO Parent VALUES (2, 'b')");
    }

    // Every row of `table` ordered by its first column, as one text.
    std::wstring Rows(const std::wstring& table)
    {
        auto rs = Query(L"SELECT * FROM [" + table + L"] ORDER BY 1");
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
};

TEST_F(EnforcementTest, ForeignKeyRules)
{
    struct Case {
        const wchar_t* rules;
        const wchar_t* change;
        const wchar_t* error;  // a part of the refusal; empty when the change is made
        const wchar_t* parentAfter;
        const wchar_t* childAfter;
    };
    const Case cases[] = {
        {L"", L"INSERT INTO Child VALUES (12, 3)", L"related record is required in table 'Parent'",
         L"1|a|;2|b|;", L"10|1|;11|2|;"},
        {L"", L"UPDATE Child SET pid = 5 WHERE id = 10",
         L"related record is required in table 'Parent'", L"1|a|;2|b|;", L"10|1|;11|2|;"},
        {L"", L"INSERT INTO Child VALUES (12, NULL)", L"", L"1|a|;2|b|;", L"10|1|;11|2|;12|null|;"},
        {L"", L"DELETE FROM Parent", L"table 'Child' includes related records", L"1|a|;2|b|;",
         L"10|1|;11|2|;"},
        {L"", L"UPDATE Parent SET id = 7 WHERE id = 1", L"table 'Child' includes related records",
         L"1|a|;2|b|;", L"10|1|;11|2|;"},
        {L" ON DELETE CASCADE", L"DELETE FROM Parent WHERE id = 1", L"", L"2|b|;", L"11|2|;"},
        {L" ON DELETE SET NULL", L"DELETE FROM Parent WHERE id = 1", L"", L"2|b|;",
         L"10|null|;11|2|;"},
        {L" ON UPDATE CASCADE", L"UPDATE Parent SET id = 7 WHERE id = 1", L"", L"2|b|;7|a|;",
         L"10|7|;11|2|;"},
        {L" ON UPDATE CASCADE ON DELETE CASCADE", L"UPDATE Parent SET code = 'z' WHERE id = 1", L"",
         L"1|z|;2|b|;", L"10|1|;11|2|;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.rules) + L" / " + c.change);
        Run(L"CREATE TABLE Child (id LONG PRIMARY KEY, pid LONG, CONSTRAINT fk FOREIGN KEY "
            L"(pid) REFERENCES Parent (id)" +
            std::wstring(c.rules) + L")");
        Run(L"INSERT INTO Child VALUES (10, 1)");
        Run(L"INSERT INTO Child VALUES (11, 2)");
        std::wstring error = ErrorOf(c.change);
        if (*c.error)
            EXPECT_NE(error.find(c.error), std::wstring::npos) << error;
        else
            EXPECT_EQ(error, L"");
        EXPECT_EQ(Rows(L"Parent"), c.parentAfter);
        EXPECT_EQ(Rows(L"Child"), c.childAfter);
        Run(L"DROP TABLE Child");
        Run(L"DELETE FROM Parent");
        Run(L"INSERT INTO Parent VALUES (1, 'a')");
        Run(L"INSERT INTO Parent VALUES (2, 'b')");
    }
}

TEST_F(EnforcementTest, ForeignKeysOnExistingTablesAndTheirLimits)
{
    Run(L"CREATE TABLE Child (id LONG, pid LONG, code TEXT(10))");
    Run(L"INSERT INTO Child VALUES (1, 9, 'q')");
    // Present rows must already meet a new relation.
    EXPECT_NE(ErrorOf(L"ALTER TABLE Child ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES Parent")
                  .find(L"violates referential integrity"),
              std::wstring::npos);
    Run(L"UPDATE Child SET pid = 2, code = NULL");
    Run(L"ALTER TABLE Child ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES Parent");
    EXPECT_NE(ErrorOf(L"DELETE FROM Parent WHERE id = 2"), L"");
    // A relation needs a unique index on the referenced side.
    Run(L"CREATE TABLE Loose (n LONG)");
    EXPECT_NE(ErrorOf(L"ALTER TABLE Child ADD CONSTRAINT fk2 FOREIGN KEY (id) REFERENCES "
                      L"Loose (n)")
                  .find(L"No unique index"),
              std::wstring::npos);
    // By a unique index that is not the primary key.
    Run(L"ALTER TABLE Child ADD CONSTRAINT byCode FOREIGN KEY (code) REFERENCES Parent (code)");
    EXPECT_NE(ErrorOf(L"INSERT INTO Child VALUES (2, 1, 'zz')"), L"");
    Run(L"INSERT INTO Child VALUES (2, 1, 'a')");
    // The referenced table and its key cannot go while the relation stands.
    EXPECT_NE(ErrorOf(L"DROP TABLE Parent"), L"");
    EXPECT_NE(ErrorOf(L"ALTER TABLE Parent DROP CONSTRAINT pk"), L"");
    EXPECT_NE(ErrorOf(L"ALTER TABLE Child DROP COLUMN pid"), L"");
    // Relation names belong to the database.
    Run(L"CREATE TABLE Other (pid LONG)");
    EXPECT_NE(ErrorOf(L"ALTER TABLE Other ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES Parent")
                  .find(L"already exists"),
              std::wstring::npos);
    Run(L"ALTER TABLE Child DROP CONSTRAINT fk");
    Run(L"INSERT INTO Child VALUES (3, 99, NULL)");
    Run(L"ALTER TABLE Child DROP CONSTRAINT byCode");
    Run(L"DROP TABLE Parent");
}

TEST_F(EnforcementTest, ChecksRulesZeroLengthAndUniqueIndexes)
{
    Run(L"CREATE TABLE T (id LONG CONSTRAINT pk PRIMARY KEY, qty LONG, name TEXT(20), "
        L"CONSTRAINT positive CHECK (qty > 0))");
    Run(L"INSERT INTO T VALUES (1, 5, 'x')");
    struct Case {
        const wchar_t* change;
        const wchar_t* error;
    };
    const Case refused[] = {
        {L"INSERT INTO T VALUES (2, 0, 'y')", L"validation rule 'positive'"},
        {L"UPDATE T SET qty = -1", L"validation rule 'positive'"},
        {L"INSERT INTO T VALUES (1, 3, 'y')", L""},
        {L"INSERT INTO T VALUES (NULL, 3, 'y')", L"Null"},
        {L"UPDATE T SET id = NULL", L"Null"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.change);
        std::wstring error = ErrorOf(c.change);
        EXPECT_NE(error, L"");
        EXPECT_NE(error.find(c.error), std::wstring::npos) << error;
        EXPECT_EQ(Rows(L"T"), L"1|5|x|;");
    }
    // A Null passes a check, as in Access.
    Run(L"INSERT INTO T VALUES (2, NULL, '')");
    EXPECT_NE(ErrorOf(L"ALTER TABLE T DENY ZERO LENGTH name"), L"");
    Run(L"DELETE FROM T WHERE id = 2");
    Run(L"ALTER TABLE T DENY ZERO LENGTH name");
    EXPECT_NE(ErrorOf(L"INSERT INTO T VALUES (3, 1, '')").find(L"zero-length"), std::wstring::npos);
    EXPECT_NE(ErrorOf(L"UPDATE T SET name = ''"), L"");
    Run(L"ALTER TABLE T ALLOW ZERO LENGTH name");
    Run(L"INSERT INTO T VALUES (3, 1, '')");
    // A column a check uses cannot go; one it does not use can.
    Run(L"ALTER TABLE T ADD COLUMN quantity LONG");
    EXPECT_NE(ErrorOf(L"ALTER TABLE T DROP COLUMN qty").find(L"positive"), std::wstring::npos);
    Run(L"ALTER TABLE T DROP COLUMN quantity");
    Run(L"ALTER TABLE T DROP CONSTRAINT positive");
    Run(L"INSERT INTO T VALUES (4, -4, 'w')");
    // A check that present rows break is refused.
    EXPECT_NE(ErrorOf(L"ALTER TABLE T ADD CONSTRAINT again CHECK (qty > 0)"), L"");
    EXPECT_EQ(Rows(L"T"), L"1|5|x|;3|1||;4|-4|w|;");
}

TEST_F(EnforcementTest, ColumnLevelReferencesAndSelfReferences)
{
    Run(L"CREATE TABLE Kid (id LONG CONSTRAINT pkKid PRIMARY KEY, pid LONG CONSTRAINT toParent "
        L"REFERENCES Parent (id) ON DELETE CASCADE, up LONG CONSTRAINT toKid REFERENCES Kid)");
    Run(L"INSERT INTO Kid VALUES (1, 1, NULL)");
    Run(L"INSERT INTO Kid VALUES (2, 1, 1)");
    EXPECT_NE(ErrorOf(L"INSERT INTO Kid VALUES (3, 9, NULL)"), L"");
    EXPECT_NE(ErrorOf(L"INSERT INTO Kid VALUES (3, 2, 8)"), L"");
    EXPECT_NE(ErrorOf(L"DELETE FROM Kid WHERE id = 1"), L"");
    EXPECT_EQ(Rows(L"Kid"), L"1|1|null|;2|1|1|;");
    // A cascade that reaches a row another row still refers to (without a
    // cascade of its own) is refused whole.
    EXPECT_NE(ErrorOf(L"DELETE FROM Parent WHERE id = 1"), L"");
    EXPECT_EQ(Rows(L"Parent"), L"1|a|;2|b|;");
    EXPECT_EQ(Rows(L"Kid"), L"1|1|null|;2|1|1|;");
    Run(L"UPDATE Kid SET up = NULL");
    Run(L"DELETE FROM Parent WHERE id = 1");
    EXPECT_EQ(Rows(L"Kid"), L"");
}

TEST_F(EnforcementTest, ChecksOnATableWithAColumnCalledRowid)
{
    Run(L"CREATE TABLE R (rowid LONG, n LONG, CONSTRAINT small CHECK (n < 10))");
    Run(L"INSERT INTO R VALUES (50, 1)");
    EXPECT_NE(ErrorOf(L"INSERT INTO R VALUES (1, 50)"), L"");
    EXPECT_NE(ErrorOf(L"UPDATE R SET n = 11"), L"");
    Run(L"UPDATE R SET rowid = 7");
    EXPECT_EQ(Rows(L"R"), L"7|1|;");
    // A rebuild keeps both the column and the row's place.
    Run(L"INSERT INTO R VALUES (3, 2)");
    Run(L"ALTER TABLE R ALTER COLUMN n DOUBLE");
    auto rs = Query(L"SELECT rowid FROM R");
    EXPECT_EQ(rs->Fields()->Item(0L)->Value().lVal(), 7);
    EXPECT_EQ(Rows(L"R"), L"3|2|;7|1|;");
    EXPECT_NE(ErrorOf(L"UPDATE R SET n = 11"), L"");
}

// A key of one Long made with its table is kept as SQLite's rowid, one added later or of another
// type as an index: either way it refuses Nulls and repeats alike, and dropping it frees both.
TEST_F(EnforcementTest, AKeyOfOneLongHoldsHoweverItIsStored)
{
    struct Layout {
        const char* name;
        std::vector<std::wstring> make;  // tables K (key pk) and its child C (key pkC)
        int sqliteIndexes;               // of K, in the file
    };
    const std::wstring child =
        L"CREATE TABLE C (id LONG CONSTRAINT pkC PRIMARY KEY, "
        L"CONSTRAINT fk FOREIGN KEY (id) REFERENCES K ON DELETE SET NULL)";
    const Layout layouts[] = {
        {"made with the table",
         {L"CREATE TABLE K (id LONG CONSTRAINT pk PRIMARY KEY, v TEXT(10))", child},
         0},
        {"added later",
         {L"CREATE TABLE K (id LONG, v TEXT(10))", L"CREATE INDEX pk ON K (id) WITH PRIMARY",
          L"CREATE TABLE C (id LONG, CONSTRAINT fk FOREIGN KEY (id) REFERENCES K ON DELETE SET "
          L"NULL)",
          L"CREATE INDEX pkC ON C (id) WITH PRIMARY"},
         1},
        {"its field changed to text",
         {L"CREATE TABLE K (id LONG CONSTRAINT pk PRIMARY KEY, v TEXT(10))",
          L"ALTER TABLE K ALTER COLUMN id TEXT(10)",
          L"CREATE TABLE C (id TEXT(10) CONSTRAINT pkC PRIMARY KEY, CONSTRAINT fk FOREIGN KEY "
          L"(id) REFERENCES K ON DELETE SET NULL)"},
         1},
    };
    const wchar_t* refused[] = {
        L"INSERT INTO K (v) VALUES ('c')",
        L"INSERT INTO K VALUES (NULL, 'c')",
        L"INSERT INTO K (id, v) SELECT id + NULL, v FROM K",
        L"UPDATE K SET id = NULL WHERE v = 'a'",
        L"INSERT INTO K VALUES (1, 'c')",
        L"UPDATE K SET id = 2 WHERE v = 'a'",
        L"DELETE FROM K WHERE v = 'a'",  // the rule would set C's key to Null
    };
    std::vector<std::wstring> firstErrors;
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        for (const wchar_t* sql : {L"DROP TABLE C", L"DROP TABLE K"})
            ErrorOf(sql);
        for (const std::wstring& sql : layout.make)
            Run(sql);
        Run(L"INSERT INTO K VALUES (2, 'b')");
        Run(L"INSERT INTO K VALUES (1, 'a')");
        Run(L"INSERT INTO C VALUES (1)");
        const std::wstring rows = Rows(L"K");
        EXPECT_EQ(rows, L"1|a|;2|b|;");
        std::vector<std::wstring> errors;
        for (const wchar_t* sql : refused) {
            SCOPED_TRACE(automation::ToUtf8(sql));
            errors.push_back(ErrorOf(sql));
            EXPECT_NE(errors.back(), L"");
            EXPECT_EQ(Rows(L"K"), rows);
            EXPECT_EQ(Rows(L"C"), L"1|;");
        }
        EXPECT_NE(errors[0].find(L"Null value (index 'pk' of table 'K')"), std::wstring::npos);
        EXPECT_NE(errors[4].find(L"duplicate values"), std::wstring::npos);
        EXPECT_NE(errors[6].find(L"Null value"), std::wstring::npos);
        if (firstErrors.empty())
            firstErrors = errors;
        for (size_t i = 0; i + 1 < errors.size(); ++i)
            EXPECT_EQ(errors[i], firstErrors[i]) << automation::ToUtf8(refused[i]);

        sqlite3* db = nullptr;
        ASSERT_EQ(
            sqlite3_open_v2(automation::ToUtf8(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
        sqlite3_stmt* count = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                           "tbl_name = 'K' AND sql IS NOT NULL",
                           -1, &count, nullptr);
        sqlite3_step(count);
        EXPECT_EQ(sqlite3_column_int(count, 0), layout.sqliteIndexes);
        sqlite3_finalize(count);
        sqlite3_close(db);

        // Without its key the field takes Nulls and repeats, and the rows stay as they were.
        Run(L"DROP TABLE C");
        Run(L"ALTER TABLE K DROP CONSTRAINT pk");
        EXPECT_EQ(Rows(L"K"), rows);
        Run(L"INSERT INTO K (v) VALUES ('c')");
        Run(L"INSERT INTO K VALUES (1, 'd')");
        Run(L"UPDATE K SET id = 2 WHERE v = 'a'");
        EXPECT_EQ(
            Rows(L"K") == L"null|c|;1|d|;2|a|;2|b|;" || Rows(L"K") == L"null|c|;1|d|;2|b|;2|a|;",
            true)
            << automation::ToUtf8(Rows(L"K"));
    }
}

}  // namespace
}  // namespace providertest
