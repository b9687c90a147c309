// A database is one file however it is named: its locks and its log belong to the file, not to
// the name typed.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/provider/file_lock.h"
#include "platform/provider/session.h"
#include "store_fixture.h"

namespace providertest {
namespace {

namespace fs = std::filesystem;

class FileIdentityTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        Run(L"CREATE TABLE t (id LONG)");
        connection->Close();
        hard = dir / "hard.mdb";
        fs::create_hard_link(dir / "test.mdb", hard);
    }

    static Ptr<Connection> OpenShared(const fs::path& name)
    {
        auto c = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
        c->Open(JetString(Wide(name)));
        return c;
    }

    static long Count(const Ptr<Connection>& c)
    {
        auto rs = automation::CreateObjectAs<Recordset>(L"ADODB.Recordset");
        rs->Open(Variant(std::wstring(L"SELECT count(*) FROM t")), c, adOpenStatic,
                 adLockOptimistic, adCmdText);
        long n = rs->Fields()->Item(0L)->Value().lVal();
        rs->Close();
        return n;
    }

    fs::path hard;
};

TEST_F(FileIdentityTest, EveryNameOfAFileMeetsOneLock)
{
    fs::create_symlink(dir / "test.mdb", dir / "link.mdb");
    auto held = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
    held->SetMode(adModeShareExclusive);
    held->Open(JetString(path));
    const std::string folder = dir.path().string();
    for (const std::string& name :
         {(dir / "link.mdb").string(), hard.string(), folder + "/./test.mdb",
          folder + "//test.mdb",
          folder + "/../" + dir.path().filename().string() + "/test.mdb"}) {
        auto other = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
        try {
            other->Open(JetString(automation::FromUtf8(name)));
            ADD_FAILURE() << name << " opened while the file is held";
        } catch (const automation::ComError& e) {
            EXPECT_NE(e.Description().find(L"already in use"), std::wstring::npos) << name;
        }
    }
    held->Close();
    EXPECT_NO_THROW(OpenShared(hard)->Close());
    EXPECT_FALSE(fs::exists(dir / "test.ldb"));
    EXPECT_FALSE(fs::exists(dir / "hard.ldb"));
}

TEST_F(FileIdentityTest, TwoNamesOfAFileWriteOneLog)
{
    auto byName = OpenShared(dir / "test.mdb");
    auto byLink = OpenShared(hard);
    byLink->Execute(L"INSERT INTO t VALUES (1)", nullptr, adCmdText | adExecuteNoRecords);
    byName->Execute(L"INSERT INTO t VALUES (2)", nullptr, adCmdText | adExecuteNoRecords);
    EXPECT_FALSE(fs::exists(dir / "hard.mdb-wal"));
    EXPECT_EQ(Count(byName), 2);
    EXPECT_EQ(Count(byLink), 2);
    byName->Close();
    byLink->Close();
    EXPECT_EQ(Count(OpenShared(hard)), 2);
}

// A writer killed with the file open leaves its log under the name it used; the file opened by
// another name reads what was committed there.
TEST_F(FileIdentityTest, TheLogOfAKilledWriterIsReadByEveryName)
{
    // The writer had the file under its one name; the link is made after it was killed.
    fs::remove(hard);
    pid_t pid = fork();
    if (pid == 0) {
        auto c = OpenShared(dir / "test.mdb");
        for (int i = 0; i < 20; ++i)
            c->Execute(L"INSERT INTO t VALUES (" + std::to_wstring(i) + L")", nullptr,
                       adCmdText | adExecuteNoRecords);
        raise(SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(fs::exists(dir / "test.mdb-wal"));
    fs::create_hard_link(dir / "test.mdb", hard);
    auto byLink = OpenShared(hard);
    EXPECT_EQ(Count(byLink), 20);
    byLink->Execute(L"INSERT INTO t VALUES (99)", nullptr, adCmdText | adExecuteNoRecords);
    byLink->Close();
    EXPECT_FALSE(fs::exists(dir / "hard.mdb-wal"));
    EXPECT_EQ(Count(OpenShared(dir / "test.mdb")), 21);
}

// The lock of a file's identity lives in a folder every user shares: a name put there by
// someone else never leads the open to write into another file.
TEST_F(FileIdentityTest, TheSharedLockFolderFollowsNoLinks)
{
    const std::string identity = provider::FileLock::IdentityLockPathOf(hard.string());
    ASSERT_FALSE(identity.empty());
    const fs::path victim = dir / "victim.txt";
    {
        std::ofstream out(victim);
        out << "keep me";
    }
    fs::remove(identity);
    fs::create_symlink(victim, identity);
    EXPECT_NO_THROW(OpenShared(hard)->Close());
    std::ifstream in(victim);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "keep me");
    fs::remove(identity);
}

// One commit by a program that knows nothing of our lock files, without waiting.
bool ForeignCommit(const fs::path& file)
{
    sqlite3* db = nullptr;
    bool committed = sqlite3_open(file.c_str(), &db) == SQLITE_OK &&
                     sqlite3_exec(db, "INSERT INTO t VALUES (7)", nullptr, nullptr, nullptr) ==
                         SQLITE_OK;
    sqlite3_close(db);
    return committed;
}

// Held by one name, the file takes no commit by another, not even from a program that knows
// nothing of our lock files and writes a log of its own under that name.
TEST_F(FileIdentityTest, NoProgramCommitsByAnotherNameWhileTheFileIsHeld)
{
    auto held = std::make_unique<provider::Session>(provider::NativeStore::Open(path, true, L""));
    held->Hold();
    // Another process of its own (a child of this one would share this process's view of the
    // file's locks): the sqlite3 shell.
    auto commitsElsewhere = [&] {
        const std::string command =
            "sqlite3 -bail '" + hard.string() + "' 'INSERT INTO t VALUES (8)' 2>/dev/null";
        return std::system(command.c_str()) == 0;
    };
    EXPECT_FALSE(commitsElsewhere());
    held->Close();
    EXPECT_TRUE(commitsElsewhere());
}

// The held store of a file goes from its close to the next open of the file, by any name,
// without a moment in which another program could commit; a store nobody takes closes.
TEST_F(FileIdentityTest, AHandedOverStoreIsNeverLetGo)
{
    using provider::NativeStore;
    using provider::Session;
    const fs::path file = dir / "test.mdb";
    {
        auto held = std::make_unique<Session>(NativeStore::Open(path, true, L""));
        held->Hold();
        sqlite3* connection = held->Store().db();
        provider::StoreHandover handover(Wide(hard));
        held->Close();
        EXPECT_FALSE(ForeignCommit(file));
        Session run(NativeStore::Open(Wide(hard), true, L""));
        EXPECT_EQ(run.Store().db(), connection);
        EXPECT_FALSE(ForeignCommit(file));
        run.BeginTransaction();
        run.Execute(L"INSERT INTO t VALUES (1)", {});
        EXPECT_FALSE(ForeignCommit(file));
        run.CommitTransaction();
        EXPECT_TRUE(ForeignCommit(file));
    }
    {
        auto held = std::make_unique<Session>(NativeStore::Open(path, true, L""));
        held->Hold();
        provider::StoreHandover handover(path);
        held->Close();
        EXPECT_FALSE(ForeignCommit(file));
    }
    EXPECT_TRUE(ForeignCommit(file));
    EXPECT_EQ(Count(OpenShared(file)), 3);
}

}  // namespace
}  // namespace providertest
