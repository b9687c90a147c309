// Direct synchronisation on real store files: the backup copy, the run of the script and the
// task's messages.
#include "output/direct_sync.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "output/script_file_writer.h"
#include "output/sync_fixture.h"
#include "platform/provider/adox_catalog.h"
#include "sqlexec/progress.h"
#include "sqlexec/text_file_writer.h"

namespace synctest {
namespace {

namespace fs = std::filesystem;

const TableDef kItems{
    L"Items", {{L"id", L"LONG", 3}, {L"name", L"TEXT(40)", 202}}, {L"id"}, true, {}};

std::string Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<fs::path> Backups(const fs::path& folder)
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".bkp")
            found.push_back(entry.path());
    return found;
}

class DirectSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path1 = Path(dir, "one.mdb");
        path2 = Path(dir, "two.mdb");
        CreateStore(path1, {kItems});
        CreateStore(path2, {kItems});
        InsertRows(
            path1, kItems,
            {{Variant(int32_t(1)), Variant(L"old")}, {Variant(int32_t(2)), Variant(L"gone")}});
        InsertRows(path2, kItems,
                   {{Variant(int32_t(1)), Variant(L"new\r\nline")},
                    {Variant(int32_t(3)), Variant(L"added")}});
        script = Path(dir, "sync.sql");
    }

    // Compares, writes the script upgrading Database1 and keeps the comparison for the task.
    void Compare()
    {
        stores = std::make_unique<ComparedStores>(path1, path2, std::vector<TableDef>{kItems});
        ScriptFileWriter writer(*stores->schema1, *stores->schema2, stores->Store(),
                                stores->Reader(), stores->Pairs(), script, TextFileWriter::kUtf8, 1,
                                true, true, true);
        FakeProgress progress;
        writer.Run(progress);
        ASSERT_FALSE(writer.Failed()) << automation::ToUtf8(writer.ErrorText());
        stores->Context().CloseConnections();
        oldTarget = Bytes(automation::ToUtf8(path1));
    }

    std::unique_ptr<DirectSync> Sync(bool backup, int direction = 1)
    {
        return std::make_unique<DirectSync>(direction, script, backup, stores->Context());
    }

    testsupport::TempDir dir;
    std::wstring path1, path2, script;
    std::unique_ptr<ComparedStores> stores;
    std::string oldTarget;
};

TEST_F(DirectSyncTest, BacksUpTheTargetThenMakesItEqualTheSource)
{
    Compare();
    std::time_t before = std::time(nullptr);
    auto sync = Sync(true);
    FakeProgress progress;
    sync->Run(progress);
    std::time_t after = std::time(nullptr);
    ASSERT_FALSE(sync->Failed()) << automation::ToUtf8(sync->ErrorText());

    auto backups = Backups(dir.path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(Bytes(backups[0]), oldTarget);
    bool named = false;
    for (std::time_t t = before; t <= after; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        named = named ||
                automation::FromUtf8(backups[0].string()) == DirectSync::BackupName(path1, local);
    }
    EXPECT_TRUE(named) << backups[0];
    EXPECT_EQ(DumpTable(path1, kItems), DumpTable(path2, kItems));
}

TEST_F(DirectSyncTest, BackupNameIsPathDateAndTimeWithoutLeadingZeros)
{
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 14;
    local.tm_min = 7;
    local.tm_sec = 9;
    EXPECT_EQ(DirectSync::BackupName(L"/data/shop.mdb", local),
              L"/data/shop.mdb.2024.3.5_14-7-9.bkp");
}

TEST_F(DirectSyncTest, AnExistingBackupIsNeverOverwrittenAndNothingRuns)
{
    Compare();
    // Whatever second the run falls in, a file of that backup name already exists.
    std::time_t now = std::time(nullptr);
    std::vector<fs::path> planted;
    for (std::time_t t = now; t <= now + 5; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        fs::path name = automation::ToUtf8(DirectSync::BackupName(path1, local));
        std::ofstream(name, std::ios::binary) << "earlier backup";
        planted.push_back(name);
    }
    auto sync = Sync(true);
    FakeProgress progress;
    sync->Run(progress);
    EXPECT_TRUE(sync->Failed());
    EXPECT_EQ(sync->ErrorText(), L"Can't create backup. File exists.");
    for (const auto& name : planted)
        EXPECT_EQ(Bytes(name), "earlier backup");
    EXPECT_EQ(Bytes(automation::ToUtf8(path1)), oldTarget);
}

TEST_F(DirectSyncTest, AFailingStatementUndoesTheWholeRunWithTheExecutorsTextAndKeepsTheBackup)
{
    Compare();
    std::ofstream(automation::ToUtf8(script), std::ios::binary)
        << "-- Corvina 2.1\r\n\r\n"
        << "INSERT INTO [Items] ([id], [name]) VALUES (10, \"first\");\r\n"
        << "UPDATE [Items] SET [name]=\"changed\" WHERE [id]=1;\r\n"
        << "DELETE FROM [Items] WHERE [id]=2;\r\n"
        << "INSERT INTO [Nowhere] ([id]) VALUES (1);\r\n"
        << "INSERT INTO [Items] ([id], [name]) VALUES (11, \"never\");\r\n";
    // The script runner keeps going statement by statement: what ran before the failure stays.
    std::wstring copy = Path(dir, "console.mdb");
    fs::copy_file(automation::ToUtf8(path1), automation::ToUtf8(copy));
    EXPECT_NE(ApplyWithConsole(dir, script, copy), L"");
    std::string byConsole = DumpTable(copy, kItems);
    EXPECT_NE(byConsole.find("'first'"), std::string::npos) << byConsole;
    EXPECT_EQ(byConsole.find("'never'"), std::string::npos) << byConsole;
    const std::string before = DumpTable(path1, kItems);
    auto sync = Sync(true);
    FakeProgress progress;
    sync->Run(progress);
    EXPECT_TRUE(sync->Failed());
    EXPECT_EQ(sync->ErrorText().rfind(L"\r\nError: ", 0), 0u)
        << automation::ToUtf8(sync->ErrorText());
    auto backups = Backups(dir.path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(Bytes(backups[0]), oldTarget);
    // The direct synchronisation is all or nothing: the target is exactly as it was.
    EXPECT_EQ(DumpTable(path1, kItems), before);
}

TEST_F(DirectSyncTest, WithoutBackupNoCopyIsMadeAndAHeaderOnlyScriptRunsClean)
{
    Compare();
    std::ofstream(automation::ToUtf8(script), std::ios::binary) << "-- Corvina 2.1\r\n\r\n";
    auto sync = Sync(false);
    FakeProgress progress;
    sync->Run(progress);
    EXPECT_FALSE(sync->Failed()) << automation::ToUtf8(sync->ErrorText());
    EXPECT_TRUE(Backups(dir.path()).empty());
    EXPECT_EQ(Bytes(automation::ToUtf8(path1)), oldTarget);
}

TEST_F(DirectSyncTest, AnUnreadableScriptIsReportedAndNothingRuns)
{
    Compare();
    fs::remove(automation::ToUtf8(script));
    auto sync = Sync(false);
    FakeProgress progress;
    sync->Run(progress);
    EXPECT_TRUE(sync->Failed());
    EXPECT_EQ(sync->ErrorText(), L"Can't read SQL script file");
}

TEST_F(DirectSyncTest, OnlyDirectionsOneAndTwoAreAccepted)
{
    Compare();
    for (int direction : {0, 3, -1}) {
        try {
            Sync(false, direction);
            ADD_FAILURE() << "direction " << direction;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "Incorrect synchronization direction");
        }
    }
    EXPECT_EQ(Sync(false, 2)->TargetPath(), path2);
}

TEST_F(DirectSyncTest, TheTargetOpensWithTheUsersCredentials)
{
    // A target with a database password: opened by path alone it would refuse every statement.
    std::wstring locked = Path(dir, "locked.mdb");
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    catalog
        ->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + locked +
                 L";Jet OLEDB:Database Password=secret")
        ->Close();
    catalog.reset();
    auto connection = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
    connection->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + locked +
                     L";Jet OLEDB:Database Password=secret");
    connection->Execute(CreateTableSql(kItems), nullptr, provider::adodb::adCmdText);
    connection->Close();
    Compare();
    ConnectionSettings& settings = stores->Context().Source1().Settings();
    settings.path = locked;
    settings.databasePassword = L"secret";
    DirectSync sync(1, script, false, stores->Context());
    FakeProgress progress;
    sync.Run(progress);
    EXPECT_FALSE(sync.Failed()) << automation::ToUtf8(sync.ErrorText());
    settings.databasePassword.clear();
    DirectSync withoutPassword(1, script, false, stores->Context());
    withoutPassword.Run(progress);
    EXPECT_TRUE(withoutPassword.Failed());
    EXPECT_EQ(withoutPassword.ErrorText().rfind(L"Can't open database '", 0), 0u);
}

// A target that another program has open cannot be held: the run says so before anything is
// copied or changed.
TEST_F(DirectSyncTest, ATargetInUseElsewhereIsRefusedBeforeAnyBackup)
{
    Compare();
    auto other = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
    other->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path1);
    auto sync = Sync(true);
    FakeProgress progress;
    sync->Run(progress);
    other->Close();
    EXPECT_TRUE(sync->Failed());
    EXPECT_EQ(sync->ErrorText().rfind(L"Can't open database '" + path1 + L"'\n", 0), 0u)
        << automation::ToUtf8(sync->ErrorText());
    EXPECT_TRUE(Backups(dir.path()).empty());
    EXPECT_EQ(Bytes(automation::ToUtf8(path1)), oldTarget);
}

// The backup is taken from the target as the run holds it: what another program committed
// before the comparison and left in the log is in it, and the copy is a whole database.
// With a reader of an older state keeping part of the log out of the file, the copy is made
// page by page, to the same effect.
class BackupLogTest : public DirectSyncTest, public ::testing::WithParamInterface<bool> {};

TEST_P(BackupLogTest, TheBackupHoldsTheTargetsCommittedStateLogIncluded)
{
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(automation::ToUtf8(path1).c_str(), &reader), SQLITE_OK);
    if (GetParam()) {
        ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM [Items];", nullptr, nullptr,
                               nullptr),
                  SQLITE_OK);
    }
    sqlite3* foreign = nullptr;
    ASSERT_EQ(sqlite3_open(automation::ToUtf8(path1).c_str(), &foreign), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(foreign,
                           "PRAGMA wal_autocheckpoint = 0; "
                           "UPDATE [Items] SET [name] = 'foreign' WHERE [id] = 1",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const std::string before = DumpTable(path1, kItems);
    ASSERT_NE(before.find("'foreign'"), std::string::npos) << before;
    // The comparison's connections stay open: the run takes the target over from them.
    stores = std::make_unique<ComparedStores>(path1, path2, std::vector<TableDef>{kItems});
    ScriptFileWriter writer(*stores->schema1, *stores->schema2, stores->Store(), stores->Reader(),
                            stores->Pairs(), script, TextFileWriter::kUtf8, 1, true, true, true);
    FakeProgress progress;
    writer.Run(progress);
    ASSERT_FALSE(writer.Failed()) << automation::ToUtf8(writer.ErrorText());
    auto sync = Sync(true);
    sync->Run(progress);
    ASSERT_FALSE(sync->Failed()) << automation::ToUtf8(sync->ErrorText());
    sqlite3_close(foreign);
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);

    auto backups = Backups(dir.path());
    ASSERT_EQ(backups.size(), 1u);
    const std::wstring backup = automation::FromUtf8(backups[0].string());
    EXPECT_EQ(DumpTable(backup, kItems), before);
    sqlite3* copy = nullptr;
    ASSERT_EQ(sqlite3_open_v2(backups[0].c_str(), &copy, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    std::string check;
    sqlite3_exec(
        copy, "PRAGMA integrity_check",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0];
            return 0;
        },
        &check, nullptr);
    sqlite3_close(copy);
    EXPECT_EQ(check, "ok");
    EXPECT_EQ(DumpTable(path1, kItems), DumpTable(path2, kItems));
}

INSTANTIATE_TEST_SUITE_P(Readers, BackupLogTest, ::testing::Values(false, true),
                         [](const auto& info) {
                             return info.param ? "WithAReaderOfAnOlderState" : "Alone";
                         });

}  // namespace
}  // namespace synctest
