// Opening a database through DbConnection: connection strings, provider
// choice, one mode at a time, and the texts of failures.
#include "database/db_connection.h"

#include <gtest/gtest.h>

#include "database/provider_prefix.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/dao_database.h"
#include "platform/provider/dao_engine.h"
#include "platform/provider/provider_classes.h"
#include "support/temp_dir.h"

namespace {

using provider::adodb::adModeShareExclusive;
using provider::adodb::adModeUnknown;

std::wstring Wide(const std::filesystem::path& p)
{
    return automation::FromUtf8(p.string());
}

TEST(ProviderPrefixTest, AccdbAtTheEndChoosesAce)
{
    struct Case {
        const wchar_t* path;
        bool ace;
    };
    const Case cases[] = {
        {L"C:\\data\\DB.ACCDB  \t", true},
        {L"/x/y.accdb", true},
        {L"/x/y.accdb\r\n", true},
        {L"/x/y.accdb.mdb", false},
        {L"/x/y.mdb", false},
        {L"/x/accdb", false},
        {L"", false},
        {L"/x/y.AcCdB", true},
    };
    for (const Case& c : cases) {
        ProviderPrefix p(c.path);
        EXPECT_EQ(p.IsAce(), c.ace) << automation::ToUtf8(c.path);
        std::wstring provider = c.ace ? L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source="
                                      : L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
        // The path follows unchanged: untrimmed and in its own case.
        EXPECT_EQ(p.Text(), provider + c.path);
        EXPECT_EQ(CreationString(c.path), provider + c.path);
    }
}

TEST(ConnectionStringTest, OptionalPartsFollowInTheirOrderOnlyWhenSet)
{
    struct Case {
        const wchar_t* settings[5];
        const wchar_t* expected;
    };
    const Case cases[] = {
        {{L"a.mdb", L"", L"", L"", L""}, L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb"},
        {{L"a.mdb", L"s.mdw", L"dbpw", L"me", L"pw"},
         L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb;Jet OLEDB:Database Password=dbpw;"
         L"Jet OLEDB:System database=s.mdw;User ID=me;Password=pw"},
        {{L"a.mdb", L"", L"", L"", L"only"},
         L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb;Password=only"},
        {{L"b.accdb", L"", L"p;q", L"", L""},
         L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=b.accdb;Jet OLEDB:Database "
         L"Password=p;q"},
    };
    for (const Case& c : cases) {
        ConnectionSettings s;
        s.Assign(c.settings[0], c.settings[1], c.settings[2], c.settings[3], c.settings[4]);
        EXPECT_EQ(DbConnection::BuildConnectionString(s), c.expected);
        DbConnection connection(&s);
        EXPECT_EQ(connection.ConnectionStringText(), c.expected);
        EXPECT_EQ(connection.State(), 0);
    }
}

TEST(FormatComErrorTest, DescriptionOrNothing)
{
    EXPECT_EQ(FormatComError(automation::ComError(automation::E_FAIL, L"Boom.")),
              L"\r\nError: Boom.");
    EXPECT_EQ(FormatComError(automation::ComError(automation::E_FAIL)), L"");
}

class DbConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        provider::RegisterProviderClasses();
        path = Wide(dir / "db.mdb");
        auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
        catalog->Create(CreationString(path))->Close();
        settings.Assign(path, L"", L"", L"", L"");
    }
    void TearDown() override { DbConnection::SetProgram(DbConnection::Program::Comparison); }

    testsupport::TempDir dir;
    std::wstring path;
    ConnectionSettings settings;
};

TEST_F(DbConnectionTest, OpenTwiceReturnsTheSameOpenConnection)
{
    DbConnection db(&settings);
    auto& first = db.Open();
    auto* object = first.get();
    EXPECT_EQ(db.Open().get(), object);
    EXPECT_EQ(db.State(), 1);
    EXPECT_EQ(first->Mode(), adModeShareExclusive);
    db.Close();
    EXPECT_EQ(db.State(), 0);
    EXPECT_EQ(object->State(), provider::adodb::adStateClosed);
    // The connection object is kept and reused for the next open.
    EXPECT_EQ(db.Open().get(), object);
}

TEST_F(DbConnectionTest, ComparisonOpensExclusivelyScriptRunnerShares)
{
    DbConnection a(&settings), b(&settings);
    a.Open();
    try {
        b.Open();
        FAIL() << "a second open of an exclusively held database succeeded";
    } catch (const DbOpenException& e) {
        std::wstring prefix = L"Can't open database '" + path + L"'\n\r\nError: ";
        EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix);
        EXPECT_NE(e.Message().find(L"already in use"), std::wstring::npos);
    }
    a.Close();
    DbConnection::SetProgram(DbConnection::Program::ScriptRunner);
    DbConnection c(&settings), d(&settings);
    EXPECT_EQ(c.Open()->Mode(), adModeUnknown);
    EXPECT_NO_THROW(d.Open());
}

TEST_F(DbConnectionTest, OpenFailureMessageFormsWithAndWithoutDescription)
{
    ConnectionSettings missing;
    missing.Assign(Wide(dir / "none.mdb"), L"", L"", L"", L"");
    DbConnection db(&missing);
    try {
        db.Open();
        FAIL();
    } catch (const DbOpenException& e) {
        EXPECT_EQ(e.Message(), L"Can't open database '" + missing.path +
                                   L"'\n\r\nError: Could not find file '" + missing.path + L"'.");
    }
    EXPECT_EQ(db.State(), 0);
    // A provider error without description ends the message after the LF.
    automation::UnregisterClass(L"ADODB.Connection");
    automation::RegisterClass(L"ADODB.Connection", []() -> automation::Ptr<automation::Object> {
        throw automation::ComError(automation::E_FAIL);
    });
    DbConnection broken(&settings);
    try {
        broken.Open();
        FAIL();
    } catch (const DbOpenException& e) {
        EXPECT_EQ(e.Message(), L"Can't open database '" + path + L"'\n");
    }
    automation::UnregisterClass(L"ADODB.Connection");
    automation::RegisterClass(L"ADODB.Connection",
                              [] { return std::make_shared<provider::adodb::Connection>(); });
}

TEST_F(DbConnectionTest, PathWithTrailingBlanksOpensTheFile)
{
    ConnectionSettings blanks;
    blanks.Assign(path + L"  ", L"", L"", L"", L"");
    DbConnection db(&blanks);
    EXPECT_NO_THROW(db.Open());
}

TEST_F(DbConnectionTest, CatalogModeAndClosingItReleasesTheDatabase)
{
    DbConnection db(&settings);
    db.Open();
    auto& catalog = db.OpenCatalog();
    EXPECT_EQ(db.State(), 3);
    EXPECT_EQ(db.OpenCatalog().get(), catalog.get());
    // While the catalog holds the database, an exclusive open elsewhere fails.
    DbConnection other(&settings);
    EXPECT_THROW(other.Open(), DbOpenException);
    db.Close();
    EXPECT_NO_THROW(other.Open());
    other.Close();
    EXPECT_NO_THROW(db.Open());
}

// Puts the DAO engine classes back as the provider registers them.
class DaoEngines {
public:
    ~DaoEngines()
    {
        for (const wchar_t* id : {L"DAO.DBEngine.120", L"DAO.DBEngine.36", L"DAO.DBEngine.35"})
            automation::UnregisterClass(id);
        for (const wchar_t* id : {L"DAO.DBEngine.120", L"DAO.DBEngine.36"})
            automation::RegisterClass(id,
                                      [] { return std::make_shared<provider::dao::DBEngine>(); });
    }
    // Leaves only `progId` (if any) registered, counting its creations.
    void Only(const wchar_t* progId)
    {
        for (const wchar_t* id : {L"DAO.DBEngine.120", L"DAO.DBEngine.36", L"DAO.DBEngine.35"})
            automation::UnregisterClass(id);
        if (progId)
            automation::RegisterClass(progId, [this] {
                ++created;
                return std::make_shared<provider::dao::DBEngine>();
            });
    }
    int created = 0;
};

TEST_F(DbConnectionTest, ModesSwitchOneAtATime)
{
    DbConnection db(&settings);
    auto connection = db.Open();
    auto& database = db.OpenDatabaseDao();
    EXPECT_EQ(db.State(), 2);
    // Asking for another mode closed the ADO connection first.
    EXPECT_EQ(connection->State(), provider::adodb::adStateClosed);
    // The same mode returns the open database without opening it again.
    EXPECT_EQ(db.OpenDatabaseDao().get(), database.get());
    auto dao = database;
    EXPECT_EQ(dao->Relations()->Count(), 0);
    auto& catalog = db.OpenCatalog();
    EXPECT_EQ(db.State(), 3);
    EXPECT_THROW(dao->Relations(), automation::ComError);  // closed by the switch
    EXPECT_EQ(catalog->Tables()->Count(), 0);
    EXPECT_EQ(db.Open().get(), connection.get());
    EXPECT_EQ(db.State(), 1);
    // The ADOX catalog is a new object at each catalog open.
    auto* before = catalog.get();
    auto kept = catalog;
    EXPECT_NE(db.OpenCatalog().get(), before);
    db.Close();
    EXPECT_EQ(db.State(), 0);
}

TEST_F(DbConnectionTest, DaoEngineFallbackAndItsMessages)
{
    struct Case {
        const wchar_t* registered;  // the one engine left, or none
        DbConnection::Program program;
        const wchar_t* message;  // null: the open succeeds
    };
    const Case cases[] = {
        {L"DAO.DBEngine.120", DbConnection::Program::Comparison, nullptr},
        {L"DAO.DBEngine.36", DbConnection::Program::Comparison, nullptr},
        {L"DAO.DBEngine.35", DbConnection::Program::Comparison, nullptr},
        {nullptr, DbConnection::Program::Comparison, L"Can't initialize DAO."},
        {nullptr, DbConnection::Program::ScriptRunner, L"open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.registered ? c.registered : L"none");
        DaoEngines engines;
        engines.Only(c.registered);
        DbConnection::SetProgram(c.program);
        DbConnection db(&settings);
        if (!c.message) {
            EXPECT_NO_THROW(db.OpenDatabaseDao());
            db.Close();
            db.OpenDatabaseDao();  // the engine is kept
            EXPECT_EQ(engines.created, 1);
            continue;
        }
        try {
            db.OpenDatabaseDao();
            FAIL();
        } catch (const DbOpenException& e) {
            if (std::wstring(c.message) == L"open")
                EXPECT_EQ(e.Message(),
                          L"Can't open database '" + path + L"'\n\r\nError: Class not registered");
            else
                EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(db.State(), 0);
    }
}

TEST_F(DbConnectionTest, DaoOpensProtectedDatabasesInBothPrograms)
{
    auto protectedPath = Wide(dir / "locked.mdb");
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    catalog->Create(CreationString(protectedPath) + L";Jet OLEDB:Database Password=secret")
        ->Close();
    for (auto program : {DbConnection::Program::Comparison, DbConnection::Program::ScriptRunner}) {
        DbConnection::SetProgram(program);
        ConnectionSettings good, bad;
        good.Assign(protectedPath, L"", L"secret", L"", L"");
        bad.Assign(protectedPath, L"", L"wrong", L"", L"");
        DbConnection a(&good), b(&bad);
        EXPECT_NO_THROW(a.OpenDatabaseDao());
        a.Close();
        try {
            b.OpenDatabaseDao();
            FAIL();
        } catch (const DbOpenException& e) {
            EXPECT_EQ(e.Message(), L"Can't open database '" + protectedPath +
                                       L"'\n\r\nError: Not a valid password.");
        }
    }
}

TEST_F(DbConnectionTest, DaoWorkgroupSettingsOnlyInTheComparison)
{
    ConnectionSettings workgroup;
    workgroup.Assign(path, Wide(dir / "missing.mdw"), L"", L"me", L"");
    DbConnection db(&workgroup);
    EXPECT_THROW(db.OpenDatabaseDao(), DbOpenException);
    DbConnection::SetProgram(DbConnection::Program::ScriptRunner);
    DbConnection runner(&workgroup);
    EXPECT_NO_THROW(runner.OpenDatabaseDao());
}

}  // namespace
