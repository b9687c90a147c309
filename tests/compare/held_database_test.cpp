// The comparison holds its databases: nobody else writes them while it reads, by whatever name
// or program, and every reader of a side reads one state of it.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "compare/data_compare_model.h"
#include "compare/data_reader.h"
#include "comparison_fixture.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"
#include "support/temp_dir.h"

namespace {

using namespace testsupport;
namespace adodb = provider::adodb;

std::wstring JetString(const std::wstring& path)
{
    return L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path;
}

// A store with T(id, v) of `rows` rows, v = 0 throughout.
void CreateStore(const std::wstring& path, int rows)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    catalog->Create(JetString(path))->Close();
    auto connection = automation::CreateObjectAs<adodb::Connection>(L"ADODB.Connection");
    connection->Open(JetString(path));
    const long options = adodb::adCmdText | adodb::adExecuteNoRecords;
    connection->Execute(L"CREATE TABLE T (id LONG PRIMARY KEY, v LONG)", nullptr, options);
    connection->BeginTrans();
    for (int i = 1; i <= rows; ++i)
        connection->Execute(L"INSERT INTO T VALUES (" + std::to_wstring(i) + L", 0)", nullptr,
                            options);
    connection->CommitTrans();
    connection->Close();
}

// A program that knows nothing of our lock files: SQLite alone.
class ForeignWriter {
public:
    explicit ForeignWriter(const std::wstring& path)
    {
        sqlite3_open_v2(automation::ToUtf8(path).c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~ForeignWriter() { sqlite3_close(db_); }

    // One commit of `sql`, waiting at most `waitMs` for the write lock.
    bool Commit(const char* sql, int waitMs = 0)
    {
        sqlite3_busy_timeout(db_, waitMs);
        if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            return false;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }

private:
    sqlite3* db_ = nullptr;
};

class HeldDatabaseTest : public testing::Test {
protected:
    void Prepare(int rows)
    {
        provider::RegisterProviderClasses();
        settings1.path = automation::FromUtf8((dir / "one.mdb").string());
        settings2.path = automation::FromUtf8((dir / "two.mdb").string());
        CreateStore(settings1.path, rows);
        CreateStore(settings2.path, rows);
        for (DatabaseSchema* schema : {&h.schema1, &h.schema2})
            AddTable(*schema, L"T", {L"id", L"v"}, {L"id"});
    }

    // A comparison from the start, in a context of its own.
    void Compare()
    {
        h.UseContext(std::make_unique<ComparisonContext>());
        h.context->Source1().Settings() = settings1;
        h.context->Source2().Settings() = settings2;
        h.Run();
    }

    int Equal() { return h.Counts(0)[0]; }

    TempDir dir;
    ConnectionSettings settings1, settings2;
    ComparisonHarness h;
};

TEST_F(HeldDatabaseTest, NoOtherProgramByAnyNameChangesADatabaseWhileTheComparisonHoldsIt)
{
    Prepare(10);
    const std::string one = automation::ToUtf8(settings1.path);
    const std::string link = (dir / "link.mdb").string(), hard = (dir / "hard.mdb").string();
    std::filesystem::create_symlink(one, link);
    std::filesystem::create_hard_link(one, hard);
    Compare();
    ASSERT_FALSE(h.context->HasError()) << automation::ToUtf8(h.context->ErrorText());
    ASSERT_EQ(Equal(), 10);

    // Our own programs, by every name of the file.
    for (const std::string& name :
         {one, link, hard, dir.path().string() + "/./one.mdb", dir.path().string() + "//one.mdb",
          dir.path().string() + "/../" + dir.path().filename().string() + "/one.mdb"}) {
        auto other = automation::CreateObjectAs<adodb::Connection>(L"ADODB.Connection");
        EXPECT_THROW(other->Open(JetString(automation::FromUtf8(name))), automation::ComError)
            << name;
    }
    // SQLite alone, by the name and by its hard link.
    ForeignWriter foreign(settings1.path), foreignHard(automation::FromUtf8(hard));
    EXPECT_FALSE(foreign.Commit("UPDATE T SET v = 1"));
    EXPECT_FALSE(foreignHard.Commit("UPDATE T SET v = 1"));

    h.context->CloseConnections();
    EXPECT_TRUE(foreign.Commit("UPDATE T SET v = 1 WHERE id = 1", 2000));
    // Rows read again by position would now come from another state: they are refused.
    EXPECT_THROW(h.context->Reader()->GetPairAt(0).reader1->GetRecordAt(0, nullptr),
                 automation::ComError);
    auto other = automation::CreateObjectAs<adodb::Connection>(L"ADODB.Connection");
    EXPECT_NO_THROW(other->Open(JetString(automation::FromUtf8(hard))));
    other->Close();
}

TEST_F(HeldDatabaseTest, EveryReaderOfASideReadsOneStateWhileAnotherProgramKeepsWriting)
{
    // Enough rows for the long read to go on by stretches on threads of their own.
#ifdef CRV_SANITIZED_BUILD
    constexpr int kRows = 12000;
#else
    constexpr int kRows = 30000;
#endif
    Prepare(kRows);
    std::atomic<bool> stop{false};
    std::atomic<int> commits{0};
    std::thread writer([&] {
        ForeignWriter foreign(settings1.path);
        while (!stop) {
            if (foreign.Commit("UPDATE T SET v = 1 - v", 5))
                ++commits;
            // A writer that never pauses would keep the comparison from ever opening the file.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    for (int run = 0; run < 20; ++run) {
        Compare();
        if (h.context->HasError()) {
            ADD_FAILURE() << automation::ToUtf8(h.context->ErrorText());
            break;
        }
        const int equal = Equal();
        EXPECT_TRUE(equal == 0 || equal == kRows) << "run " << run << ": " << equal << " equal";
        // The writer goes on between the comparisons.
        h.context->CloseConnections();
        const int before = commits;
        for (int wait = 0; commits == before && wait < 2000; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop = true;
    writer.join();
    EXPECT_GE(commits, 20);
}

}  // namespace
