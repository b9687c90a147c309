// Opening stores: locks (in this process and from another), passwords,
// missing and foreign files, creation over an existing file.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/provider/file_lock.h"
#include "store_fixture.h"
#include "support/read_only.h"

namespace providertest {
namespace {

namespace fs = std::filesystem;
using automation::ToUtf8;

// The description raised by opening `path` with `mode`; empty on success.
std::wstring OpenError(const std::wstring& connect, long mode, Ptr<Connection>* keep = nullptr)
{
    auto c = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
    c->SetMode(mode);
    try {
        c->Open(connect);
    } catch (const automation::ComError& e) {
        EXPECT_EQ(c->Errors()->Count(), 1);
        return e.Description();
    }
    if (keep)
        *keep = c;
    return {};
}

TEST_F(StoreTest, ExclusiveOpenKeepsEveryOtherOpenOutUntilItCloses)
{
    connection->Close();
    Ptr<Connection> first;
    ASSERT_EQ(OpenError(JetString(path), adModeShareExclusive, &first), L"");
    for (long mode : {adModeShareExclusive, adModeUnknown}) {
        std::wstring error = OpenError(JetString(path), mode);
        EXPECT_NE(error.find(L"file already in use"), std::wstring::npos) << ToUtf8(error);
    }
    first->Close();
    Ptr<Connection> shared1, shared2;
    EXPECT_EQ(OpenError(JetString(path), adModeUnknown, &shared1), L"");
    EXPECT_EQ(OpenError(JetString(path), adModeUnknown, &shared2), L"");
    EXPECT_NE(OpenError(JetString(path), adModeShareExclusive).find(L"already in use"),
              std::wstring::npos);
    shared1->Close();
    shared2.reset();  // releasing the last reference closes as well
    EXPECT_FALSE(fs::exists(dir / "test.ldb"));
    EXPECT_EQ(OpenError(JetString(path), adModeShareExclusive), L"");
}

TEST_F(StoreTest, ExclusiveOpenKeepsAnotherProcessOut)
{
    connection->Close();
    Ptr<Connection> held;
    ASSERT_EQ(OpenError(JetString(path), adModeShareExclusive, &held), L"");
    auto tryInChild = [&](long mode) {
        pid_t pid = fork();
        if (pid == 0) {
            // The child only tries the open and reports through its exit status.
            std::wstring error = OpenError(JetString(path), mode);
            _exit(error.find(L"already in use") != std::wstring::npos ? 7 : error.empty() ? 0 : 9);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(tryInChild(adModeShareExclusive), 7);
    EXPECT_EQ(tryInChild(adModeUnknown), 7);
    held->Close();
    EXPECT_EQ(tryInChild(adModeShareExclusive), 0);
}

TEST_F(StoreTest, OpenFailuresSayWhatWentWrong)
{
    connection->Close();
    std::ofstream(dir / "junk.mdb") << "not a database at all";
    fs::copy_file(testsupport::TestDataDir() / "nwind.mdb", dir / "nwind.mdb");
    std::ofstream(dir / "system.mdw") << "";
    struct Case {
        std::wstring connect;
        const wchar_t* fragment;
    };
    const Case cases[] = {
        {JetString(Wide(dir / "missing.mdb")), L"Could not find file"},
        {JetString(Wide(dir / "junk.mdb")), L"Unrecognized database format"},
        {JetString(Wide(dir / "nwind.mdb")), L""},  // genuine files open, read-only
        {JetString(path, L";Jet OLEDB:System database=" + Wide(dir / "none.mdw")),
         L"workgroup information file is missing"},
        {L"Provider=SQLOLEDB;Data Source=" + path, L"Provider cannot be found"},
        {JetString(path, L";Jet OLEDB:System database=" + Wide(dir / "system.mdw") +
                             L";User ID=Admin;Password=x"),
         L""},
        {JetString(path, L";Jet OLEDB:System database=" + Wide(dir.path())), L"is a folder"},
        {JetString(Wide(dir.path())), L"Could not read file"},
    };
    for (const Case& c : cases) {
        std::wstring error = OpenError(c.connect, adModeUnknown);
        if (*c.fragment == 0)
            EXPECT_EQ(error, L"") << ToUtf8(c.connect);
        else
            EXPECT_NE(error.find(c.fragment), std::wstring::npos)
                << ToUtf8(c.connect) << " -> " << ToUtf8(error);
    }
}

TEST_F(StoreTest, DatabasePasswordIsCheckedOnOpen)
{
    std::wstring locked = Wide(dir / "locked.accdb");
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    catalog
        ->Create(L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + locked +
                 L";Jet OLEDB:Database Password=s3cret")
        ->Close();
    const std::wstring base = L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + locked;
    EXPECT_EQ(OpenError(base, adModeUnknown), L"Not a valid password.");
    EXPECT_EQ(OpenError(base + L";Jet OLEDB:Database Password=wrong", adModeUnknown),
              L"Not a valid password.");
    EXPECT_EQ(OpenError(base + L";Jet OLEDB:Database Password=s3cret", adModeUnknown), L"");
    // The password is not kept in the file as written.
    std::ifstream in(dir / "locked.accdb", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.find("s3cret"), std::string::npos);
}

TEST_F(StoreTest, CreatingOverAnExistingFileFailsAndKeepsIt)
{
    connection->Close();
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto before = fs::file_size(dir / "test.mdb");
    try {
        catalog->Create(JetString(path));
        FAIL() << "created over an existing file";
    } catch (const automation::ComError& e) {
        EXPECT_NE(e.Description().find(L"already exists"), std::wstring::npos);
    }
    EXPECT_EQ(fs::file_size(dir / "test.mdb"), before);
    EXPECT_EQ(OpenError(JetString(path), adModeUnknown), L"");
}

TEST_F(StoreTest, AKilledWriterLeavesTheFileWholeAndItsStatementUndone)
{
    Run(L"CREATE TABLE big (a LONG, b TEXT(50))");
    for (int i = 0; i < 100; ++i)
        Run(L"INSERT INTO big VALUES (" + std::to_wstring(i) + L", 'some text to write')");
    for (int i = 0; i < 9; ++i)
        Run(L"INSERT INTO big SELECT a + 1000, b FROM big");
    const long base = 100 << 9;
    connection->Close();
    pid_t pid = fork();
    if (pid == 0) {
        // Doubles the table, statement after statement, until it is killed.
        auto c = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
        c->Open(JetString(path));
        for (;;)
            c->Execute(L"INSERT INTO big SELECT a + 1000, b FROM big", nullptr,
                       adCmdText | adExecuteNoRecords);
    }
    usleep(300 * 1000);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    Ptr<Connection> after;
    ASSERT_EQ(OpenError(JetString(path), adModeShareExclusive, &after), L"");
    auto rs = automation::CreateObjectAs<Recordset>(L"ADODB.Recordset");
    rs->Open(Variant(L"SELECT count(*) FROM big"), after, adOpenStatic, adLockOptimistic, 1);
    long count = rs->Fields()->Item(0L)->Value().lVal();
    // Every finished statement doubled the rows; the killed one left none of its own.
    EXPECT_EQ(count % base, 0) << count;
    EXPECT_EQ((count / base) & (count / base - 1), 0) << count;
}

TEST(FileLockTest, LockFilesAreNamedAsAccessNamesThem)
{
    EXPECT_EQ(provider::FileLock::LockPathOf("/a/b.mdb"), "/a/b.ldb");
    EXPECT_EQ(provider::FileLock::LockPathOf("/a/b.ACCDB"), "/a/b.laccdb");
    EXPECT_EQ(provider::FileLock::LockPathOf("/a.d/b"), "/a.d/b.ldb");
}

// Files this user may read but not write, in folders where no lock file can be made, are read;
// a file that cannot be read says so.
TEST_F(StoreTest, ReadOnlyStoresAndFoldersAreReadAndUnreadableFilesSaySo)
{
    Run(L"CREATE TABLE t (id LONG)");
    Run(L"INSERT INTO t VALUES (1)");
    connection->Close();
    const fs::path folder = dir / "ro";
    fs::create_directory(folder);
    fs::copy_file(ToUtf8(path), folder / "a.mdb");
    fs::copy_file(ToUtf8(path), dir / "b.mdb");
    fs::copy_file(ToUtf8(path), dir / "c.mdb");
    {
        testsupport::ReadOnlyMark readOnlyFile(dir / "b.mdb"), readOnlyFolder(folder);
        if (!readOnlyFile.Held() || !readOnlyFolder.Held())
            GTEST_SKIP() << "no file can be made read-only for this user here";
        for (const fs::path& readable : {folder / "a.mdb", dir / "b.mdb"}) {
            Ptr<Connection> kept;
            ASSERT_EQ(OpenError(JetString(Wide(readable)), adModeUnknown, &kept), L"")
                << readable;
            auto rs = automation::CreateObjectAs<Recordset>(L"ADODB.Recordset");
            rs->Open(Variant(std::wstring(L"SELECT id FROM t")), kept, adOpenStatic,
                     adLockOptimistic, adCmdText);
            EXPECT_FALSE(rs->IsEOF()) << readable;
            rs->Close();
            // A change is refused, and leaves the file as it was.
            EXPECT_THROW(kept->Execute(L"INSERT INTO t VALUES (2)", nullptr,
                                       adCmdText | adExecuteNoRecords),
                         automation::ComError)
                << readable;
            // Within this program the lock still keeps an exclusive open out.
            EXPECT_NE(OpenError(JetString(Wide(readable)), adModeShareExclusive), L"")
                << readable;
            kept->Close();
        }
    }
    // Permissions do not keep the superuser from reading a file.
    if (::geteuid() == 0)
        return;
    fs::permissions(dir / "c.mdb", fs::perms::none);
    EXPECT_NE(OpenError(JetString(Wide(dir / "c.mdb")), adModeUnknown)
                  .find(L"Could not read file '" + Wide(dir / "c.mdb") + L"': Permission denied."),
              std::wstring::npos);
}

}  // namespace
}  // namespace providertest
