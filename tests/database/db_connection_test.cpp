// Opening a database through DbConnection: connection strings, provider
// choice, one mode at a time, and the texts of failures.
#include "database/db_connection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "database/database_source.h"
#include "database/provider_prefix.h"
#include "database/schema_table.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/connection_string.h"
#include "platform/provider/dao_database.h"
#include "platform/provider/dao_engine.h"
#include "platform/provider/provider_classes.h"
#include "sqlexec/i_progress.h"
#include "support/temp_dir.h"

namespace {

using provider::adodb::adModeShareExclusive;
using provider::adodb::adModeUnknown;

// Values that a connection string could read as more than one value, or read short: every
// character that the string's own syntax gives a meaning to, in every place.
const std::vector<std::wstring>& HostileValues()
{
    static const std::vector<std::wstring> values = {
        L"x;Data Source=victim.mdb",
        L"a;b",
        L"\"quoted\"",
        L"it's",
        L"both \" and ' quotes",
        L"'",
        L"\"",
        L"\"\";'';",
        L" leading",
        L"trailing ",
        L"\ttab\t",
        L"key=value",
        L"{braces}",
        L"K\u00f6ln \u20ac",
    };
    return values;
}

std::wstring Wide(const std::filesystem::path& p)
{
    return automation::FromUtf8(p.string());
}

TEST(ProviderPrefixTest, AccdbAtTheEndChoosesAce)
{
    struct Case {
        const wchar_t* path;
        bool ace;
        const wchar_t* dataSource;  // as written after "Data Source="
    };
    const Case cases[] = {
        {L"C:\\data\\DB.ACCDB  \t", true, L"\"C:\\data\\DB.ACCDB  \t\""},
        {L"/x/y.accdb", true, L"/x/y.accdb"},
        {L"/x/y.accdb\r\n", true, L"\"/x/y.accdb\r\n\""},
        {L"/x/y.accdb.mdb", false, L"/x/y.accdb.mdb"},
        {L"/x/y.mdb", false, L"/x/y.mdb"},
        {L"/x/accdb", false, L"/x/accdb"},
        {L"", false, L""},
        {L"/x/y.AcCdB", true, L"/x/y.AcCdB"},
    };
    for (const Case& c : cases) {
        ProviderPrefix p(c.path);
        EXPECT_EQ(p.IsAce(), c.ace) << automation::ToUtf8(c.path);
        std::wstring provider = c.ace ? L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source="
                                      : L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
        // The path follows unchanged: untrimmed and in its own case, quoted where it must be.
        EXPECT_EQ(p.Text(), provider + c.dataSource);
        EXPECT_EQ(CreationString(c.path), provider + c.dataSource);
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
         L"Password=\"p;q\""},
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

// Whatever a path, password, user name or workgroup path holds, the provider reads exactly that
// value under its own key and no other setting from it.
TEST(ConnectionStringTest, EveryValueReadsBackExactlyUnderItsOwnKey)
{
    const wchar_t* keys[] = {L"Data Source", L"Jet OLEDB:System database",
                             L"Jet OLEDB:Database Password", L"User ID", L"Password"};
    for (const std::wstring& value : HostileValues()) {
        for (int slot = 0; slot < 5; ++slot) {
            std::wstring v[5] = {L"db.mdb", L"", L"", L"", L""};
            v[slot] = value;
            ConnectionSettings s;
            s.Assign(v[0], v[1], v[2], v[3], v[4]);
            const provider::ConnectionString parsed(DbConnection::BuildConnectionString(s));
            for (int k = 0; k < 5; ++k)
                EXPECT_EQ(parsed.Get(keys[k]), v[k]) << automation::ToUtf8(value) << " in " << slot;
        }
    }
    // A quote that is not closed, or text after a closing quote, is not read as something else.
    for (const wchar_t* malformed :
         {L"Data Source=\"a.mdb", L"Data Source='a.mdb\"", L"Data Source=\"a\"b.mdb;x=1"})
        EXPECT_THROW(provider::ConnectionString{malformed}, automation::ComError)
            << automation::ToUtf8(malformed);
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

// Databases named with every kind of hostile character, protected by such passwords and opened
// with such a user and workgroup file, open as themselves in every mode and in the comparison's
// schema load; a name that reads as "another database" never reaches that other database.
TEST_F(DbConnectionTest, HostileNamesAndPasswordsOpenTheirOwnDatabase)
{
    ConnectionSettings victimSettings;
    victimSettings.Assign(Wide(dir / "victim.mdb"), L"", L"", L"", L"");
    {
        auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
        catalog->Create(CreationString(victimSettings.path))->Close();
        DbConnection victim(&victimSettings);
        victim.Open()->Execute(L"CREATE TABLE t (id LONG)");
        victim.Open()->Execute(L"INSERT INTO t VALUES (1)");
    }
    int n = 0;
    for (const std::wstring& value : HostileValues()) {
        SCOPED_TRACE(automation::ToUtf8(value));
        // The value as a file name (with no folder part, so that a "Data Source=" in it would
        // name victim.mdb), as the password, the user, the user password and the workgroup file.
        const std::wstring folder = Wide(dir / std::to_string(++n)) + L"/";
        std::filesystem::create_directory(automation::ToUtf8(folder));
        const std::wstring file = folder + value + L".mdb";
        const std::wstring workgroup = folder + value + L".mdw";
        std::ofstream(automation::ToUtf8(workgroup)) << "";
        ConnectionSettings s;
        s.Assign(file, workgroup, value, value, value);
        auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
        catalog
            ->Create(CreationString(file) + L";Jet OLEDB:Database Password=" +
                     provider::QuoteConnectionValue(value))
            ->Close();
        ASSERT_TRUE(std::filesystem::exists(automation::ToUtf8(file)));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(automation::ToUtf8(folder)),
                                std::filesystem::directory_iterator()),
                  2);
        {
            DbConnection db(&s);
            db.Open()->Execute(L"CREATE TABLE own (id LONG)");
            EXPECT_NO_THROW(db.OpenDatabaseDao());
            EXPECT_NO_THROW(db.OpenCatalog()->Tables());
            db.Close();
        }
        DatabaseSource source;
        source.Settings() = s;
        FakeProgress progress;
        ASSERT_TRUE(source.Load(progress)) << automation::ToUtf8(source.ErrorText());
        ASSERT_EQ(source.Schema()->Tables().size(), 1u);
        EXPECT_EQ(source.Schema()->Tables()[0]->Name(), L"own");

        // The password is the whole value: a part of it does not open the database.
        ConnectionSettings part = s;
        part.databasePassword = value.substr(0, value.size() - 1) + L"#";
        DbConnection wrong(&part);
        EXPECT_THROW(wrong.Open(), DbOpenException);
    }
    DbConnection victim(&victimSettings);
    EXPECT_FALSE(victim.Open()->Execute(L"SELECT id FROM t")->IsEOF());

    // A genuine file under such a name is read as itself.
    const auto genuine = testsupport::CopyTestData("nwind.mdb", dir);
    const std::filesystem::path renamed = dir / "n;w'i\"nd.mdb ";
    std::filesystem::rename(genuine, renamed);
    DatabaseSource source;
    source.Settings().Assign(Wide(renamed), L"", L"", L"", L"");
    FakeProgress progress;
    ASSERT_TRUE(source.Load(progress)) << automation::ToUtf8(source.ErrorText());
    EXPECT_EQ(source.Schema()->Tables().size(), 9u);
    DbConnection db(&source.Settings());
    EXPECT_FALSE(db.Open()->Execute(L"SELECT * FROM Shippers")->IsEOF());
}

}  // namespace
