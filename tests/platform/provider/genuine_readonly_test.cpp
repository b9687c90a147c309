// Genuine Access files are read-only here: every change through ADO, ADOX or
// DAO fails with an error that says so, and the file keeps its bytes and
// modification time (GenuineCopy checks both). Locks and the private snapshot
// behave as for any open.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "genuine_test_support.h"
#include "support/read_only.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/adox_views.h"
#include "platform/provider/dao_database.h"
#include "platform/provider/dao_engine.h"
#include "platform/provider/process_lock.h"

namespace genuinetest {
namespace {

using namespace provider;
using namespace provider::adodb;

constexpr const wchar_t* kReadOnly = L"is a genuine Access database and is read-only here";

std::wstring ErrorOf(const std::function<void()>& attempt)
{
    try {
        attempt();
    } catch (const automation::ComError& e) {
        return e.Description();
    }
    return {};
}

TEST(GenuineReadOnly, EveryStatementThatWouldChangeTheFileIsRefused)
{
    const wchar_t* const statements[] = {
        L"INSERT INTO Shippers (ShipperID, CompanyName) VALUES (99, 'x')",
        L"UPDATE Shippers SET Phone = '1' WHERE ShipperID = 1",
        L"DELETE FROM [Order Details]",
        L"CREATE TABLE Extra (id LONG)",
        L"DROP TABLE Shippers",
        L"CREATE INDEX byPhone ON Shippers (Phone)",
        L"DROP INDEX PrimaryKey ON Shippers",
        L"ALTER TABLE Shippers ADD COLUMN extra TEXT(10)",
        L"ALTER TABLE Orders DROP CONSTRAINT CustomersOrders",
        L"CREATE VIEW V AS SELECT * FROM Shippers",
        L"DROP VIEW [Current Product List]",
        L"CREATE PROCEDURE P AS DELETE FROM Shippers",
        L"LINK TABLE L TO [Shippers] SRC \"other.mdb\"",
    };
    for (const char* file : {"nwind.mdb", "ASampleDatabase.accdb"}) {
        GenuineCopy copy(file);
        auto c = copy.Open();
        for (const wchar_t* sql : statements) {
            SCOPED_TRACE(automation::ToUtf8(sql));
            std::wstring error = ErrorOf([&] {
                Variant affected;
                c->Execute(sql, &affected, adCmdText | adExecuteNoRecords);
            });
            EXPECT_NE(error.find(kReadOnly), std::wstring::npos) << automation::ToUtf8(error);
            EXPECT_NE(error.find(copy.WidePath()), std::wstring::npos);
        }
        if (std::string(file) == "nwind.mdb") {
            EXPECT_EQ(Count(c, L"Shippers"), 3);
        }
        c->Close();
    }
}

TEST(GenuineReadOnly, CatalogAndDaoChangesAreRefused)
{
    GenuineCopy copy("nwind.mdb");
    auto c = copy.Open();
    auto catalog = std::make_shared<adox::Catalog>();
    catalog->SetActiveConnection(c);
    auto link = std::make_shared<adox::Table>();
    link->SetName(L"Linked");
    link->SetParentCatalog(catalog);
    link->Properties()->Item(L"Jet OLEDB:Create Link")->SetValue(Variant(true));
    link->Properties()->Item(L"Jet OLEDB:Link Datasource")->SetValue(Variant(L"other.mdb"));
    link->Properties()->Item(L"Jet OLEDB:Remote Table Name")->SetValue(Variant(L"T"));
    EXPECT_NE(ErrorOf([&] { catalog->Tables()->Append(link); }).find(kReadOnly),
              std::wstring::npos);
    auto command = std::make_shared<Command>();
    command->SetCommandText(L"SELECT * FROM Shippers");
    EXPECT_NE(ErrorOf([&] { catalog->Views()->Append(L"V", command); }).find(kReadOnly),
              std::wstring::npos);
    c->Close();

    dao::DBEngine engine;
    auto db = engine.OpenDatabase(copy.WidePath(), Variant(true));
    EXPECT_NE(ErrorOf([&] { db->Execute(L"DELETE FROM Shippers"); }).find(kReadOnly),
              std::wstring::npos);
    auto r = db->CreateRelation(L"r", L"Shippers", L"Orders");
    auto f = r->CreateField(L"ShipperID");
    f->SetForeignName(L"ShipVia");
    r->Fields()->Append(f);
    EXPECT_NE(ErrorOf([&] { db->Relations()->Append(r); }).find(kReadOnly), std::wstring::npos);
    EXPECT_NE(ErrorOf([&] { db->NewPassword(L"", L"pw"); }).find(kReadOnly),
              std::wstring::npos);
    EXPECT_EQ(db->Relations()->Count(), 7);
    db->Close();
}

TEST(GenuineReadOnly, AnExclusiveOpenKeepsEveryOtherOpenOut)
{
    GenuineCopy copy("indexTestV2003.mdb");
    auto exclusive = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
    exclusive->SetMode(adModeShareExclusive);
    exclusive->Open(JetString(copy.WidePath()));
    EXPECT_NE(ErrorOf([&] { copy.Open(); }).find(L"already in use"), std::wstring::npos);
    exclusive->Close();
    auto shared = copy.Open();
    auto second = copy.Open();
    EXPECT_EQ(Count(second, L"Table1"), 4);
    second->Close();
    shared->Close();
    // The lock file goes with the last open.
    EXPECT_FALSE(std::filesystem::exists(copy.path().parent_path() / "indexTestV2003.ldb"));
}

TEST(GenuineReadOnly, OpensShareOnePrivateSnapshotThatGoesWithTheLast)
{
    testsupport::TempDir temp;
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    ::setenv("TMPDIR", temp.path().c_str(), 1);
    auto snapshots = [&] {
        std::vector<std::filesystem::path> found;
        for (const auto& e : std::filesystem::directory_iterator(temp.path()))
            if (e.path().filename().string().rfind("crv-genuine-", 0) == 0)
                found.push_back(e.path());
        return found;
    };
    {
        GenuineCopy copy("nwind.mdb");
        auto a = copy.Open();
        auto b = copy.Open();
        auto found = snapshots();
        ASSERT_EQ(found.size(), 1u);
        struct stat st;
        ASSERT_EQ(::stat(found[0].c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);  // private to its owner
        a->Close();
        EXPECT_EQ(snapshots().size(), 1u);
        b->Close();
        EXPECT_TRUE(snapshots().empty());
    }
    if (old)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

// RC4, as the Jet header is scrambled from offset 0x18 with the fixed key
// C7 DA 39 6B (the format's documentation); the same call unscrambles.
void Rc4(std::vector<char>& bytes, size_t from, size_t length)
{
    const uint8_t key[] = {0xC7, 0xDA, 0x39, 0x6B};
    uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        bytes[from + n] = static_cast<char>(bytes[from + n] ^ s[(s[i] + s[j]) & 0xFF]);
    }
}

TEST(GenuineReadOnly, TheDatabasePasswordOfAJet3FileIsCheckedOnOpen)
{
    testsupport::TempDir dir;
    auto path = dir.path() / "secret.mdb";
    // A Jet 3 file keeps its password as plain bytes at 0x42 of the scrambled header.
    std::vector<char> bytes = mdbtest::FileBytes(testsupport::TestDataDir() / "nwind.mdb");
    Rc4(bytes, 0x18, 126);
    std::memcpy(bytes.data() + 0x42, "s3cret", 6);
    Rc4(bytes, 0x18, 126);
    std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
    provider::RegisterProviderClasses();
    auto c = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
    const std::wstring base = JetString(Wide(path));
    EXPECT_EQ(ErrorOf([&] { c->Open(base); }), L"Not a valid password.");
    EXPECT_EQ(ErrorOf([&] { c->Open(base + L";Jet OLEDB:Database Password=S3CRET"); }),
              L"Not a valid password.");
    c->Open(base + L";Jet OLEDB:Database Password=s3cret");
    EXPECT_EQ(Count(c, L"Shippers"), 3);
    c->Close();
    EXPECT_TRUE(mdbtest::FileBytes(path) == bytes);
}

TEST(GenuineReadOnly, AFileInAReadOnlyFolderIsLockedWithinTheProcess)
{
    GenuineCopy copy("indexTestV2003.mdb");
    testsupport::ReadOnlyMark readOnly(copy.path().parent_path());
    if (!readOnly.Held())
        GTEST_SKIP() << "no folder can be made read-only for this user here";
    auto exclusive = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
    exclusive->SetMode(adModeShareExclusive);
    exclusive->Open(JetString(copy.WidePath()));
    EXPECT_NE(ErrorOf([&] { copy.Open(); }).find(L"already in use"), std::wstring::npos);
    exclusive->Close();
    copy.Open()->Close();
    EXPECT_FALSE(std::filesystem::exists(copy.path().parent_path() / "indexTestV2003.ldb"));
}

TEST(GenuineReadOnly, TheInProcessLockKeepsSharedAndExclusiveOpensApart)
{
    auto shared1 = ProcessLock::Acquire("/data/a.mdb", false);
    auto shared2 = ProcessLock::Acquire("/data/a.mdb", false);
    ASSERT_TRUE(shared1 && shared2);
    EXPECT_FALSE(ProcessLock::Acquire("/data/a.mdb", true));
    EXPECT_TRUE(ProcessLock::Acquire("/data/b.mdb", true));  // another file
    shared1.reset();
    EXPECT_FALSE(ProcessLock::Acquire("/data/a.mdb", true));
    shared2.reset();
    auto exclusive = ProcessLock::Acquire("/data/a.mdb", true);
    ASSERT_TRUE(exclusive);
    EXPECT_FALSE(ProcessLock::Acquire("/data/a.mdb", false));
    EXPECT_FALSE(ProcessLock::Acquire("/data/a.mdb", true));
    exclusive.reset();
    EXPECT_TRUE(ProcessLock::Acquire("/data/a.mdb", false));
}

}  // namespace
}  // namespace genuinetest
