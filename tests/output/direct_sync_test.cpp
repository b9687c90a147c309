// Direct synchronisation on real store files: the backup copy, the run of the script and the
// task's messages.
#include "output/direct_sync.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>

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

// A table without a primary key, compared by a field the user picked.
const TableDef kLoose{
    L"Loose", {{L"code", L"TEXT(10)", 202}, {L"name", L"TEXT(40)", 202}}, {L"code"}, false, {}};

// The rows of a table as a program opening the file sees them, a log beside it included.
std::string Rows(const fs::path& file, const char* table)
{
    sqlite3* db = nullptr;
    std::string rows;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        const std::string sql = std::string("SELECT * FROM [") + table + "] ORDER BY 1";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW)
                for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                    const unsigned char* text = sqlite3_column_text(stmt, i);
                    rows += text ? reinterpret_cast<const char*>(text) : "NULL";
                    rows += i + 1 < sqlite3_column_count(stmt) ? "|" : "\n";
                }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}

// What SQLite's integrity check says of the database file at `path` ("ok" when whole; the
// error when it cannot be opened).
std::string IntegrityCheck(const fs::path& path)
{
    sqlite3* copy = nullptr;
    if (sqlite3_open_v2(path.c_str(), &copy, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(copy);
        return "cannot open " + path.string();
    }
    std::string check;
    sqlite3_exec(
        copy, "PRAGMA integrity_check",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0] ? values[0] : "";
            return 0;
        },
        &check, nullptr);
    sqlite3_close(copy);
    return check;
}

// SQLite's schema counter in the file's header: it moves with every table or index made or
// dropped, so a run that made an index and dropped it again has moved it twice.
uint32_t SchemaCounter(const std::wstring& path)
{
    const std::string bytes = Bytes(automation::ToUtf8(path)).substr(40, 4);
    uint32_t value = 0;
    for (unsigned char c : bytes)
        value = value << 8 | c;
    return value;
}

// The file's tables, indexes and triggers, and the indexes its catalog lists.
std::string Schema(const std::wstring& path)
{
    std::string out;
    const std::string command = "sqlite3 -readonly '" + automation::ToUtf8(path) +
                                "' 'SELECT type, name, sql FROM sqlite_master ORDER BY name; "
                                "SELECT * FROM \"crv.indexes\" ORDER BY 1, 2; "
                                "SELECT * FROM \"crv.index_columns\" ORDER BY 1, 2, 3' 2>&1";
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        pclose(pipe);
    }
    return out;
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

    // Compares and writes the script upgrading Database1, the comparison's connections left open.
    void WriteScript(const std::vector<TableDef>& tables = {kItems})
    {
        stores = std::make_unique<ComparedStores>(path1, path2, tables);
        ScriptFileWriter writer(*stores->schema1, *stores->schema2, stores->Store(),
                                stores->Reader(), stores->Pairs(), script, TextFileWriter::kUtf8, 1,
                                true, true, true);
        FakeProgress progress;
        writer.Run(progress);
        ASSERT_FALSE(writer.Failed()) << automation::ToUtf8(writer.ErrorText());
    }

    // Compares, writes the script upgrading Database1 and keeps the comparison for the task.
    void Compare(const std::vector<TableDef>& tables = {kItems})
    {
        WriteScript(tables);
        if (HasFatalFailure())
            return;
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

TEST(BackupCopyTest, ACopyCutShortLeavesNothingUnderItsName)
{
    // The copy reads from a pipe that delivers part of the file and then kills the program.
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::TempDir dir;
    const std::string source = (dir / "source").string();
    const std::string target = (dir / "shop.mdb.2026.12.11_9-5-3.bkp").string();
    ASSERT_EQ(::mkfifo(source.c_str(), 0600), 0);
    EXPECT_EXIT(
        {
            std::thread writer([&source] {
                const int fd = ::open(source.c_str(), O_WRONLY);
                const std::string block(1 << 16, 'x');
                for (int i = 0; i < 16; ++i)
                    if (::write(fd, block.data(), block.size()) < 0)
                        break;
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                std::raise(SIGKILL);
            });
            CopyToNewFile(source, target);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_FALSE(fs::exists(target));
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "source") << "left behind: " << entry.path();
}

TEST_F(DirectSyncTest, ABackupCopiedBackWithoutTheLeftoverLogGivesTheRowsBeforeTheRun)
{
    Compare();
    const std::string before = Rows(automation::ToUtf8(path1), "Items");
    auto sync = Sync(true);
    FakeProgress progress;
    sync->Run(progress);
    ASSERT_FALSE(sync->Failed()) << automation::ToUtf8(sync->ErrorText());
    const std::string synchronised = Rows(automation::ToUtf8(path1), "Items");
    ASSERT_NE(synchronised, before);
    auto backups = Backups(dir.path());
    ASSERT_EQ(backups.size(), 1u);

    // What a run killed just past its commit leaves: the file as it was, and beside it a log that
    // holds the committed rows. A connection kept open keeps the log from being folded back.
    const fs::path made = dir / "made", killed = dir / "killed";
    fs::create_directories(made);
    fs::create_directories(killed);
    fs::copy_file(backups[0], made / "one.mdb");
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open_v2((made / "one.mdb").c_str(), &writer, SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    const std::string copyRows = "ATTACH '" + automation::ToUtf8(path1) +
                                 "' AS synced; BEGIN; DELETE FROM Items; "
                                 "INSERT INTO Items SELECT * FROM synced.Items; COMMIT;";
    ASSERT_EQ(sqlite3_exec(writer, copyRows.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(writer);
    const fs::path log = dir / "leftover-wal";
    fs::copy_file(made / "one.mdb-wal", log);
    sqlite3_close(writer);
    ASSERT_GT(fs::file_size(log), 0u);

    // The backup copied over the file alone: the log is replayed over it.
    fs::copy_file(backups[0], killed / "one.mdb");
    fs::copy_file(log, killed / "one.mdb-wal");
    EXPECT_EQ(Rows(killed / "one.mdb", "Items"), synchronised);

    // The way back, from the files as the killed run left them: with the database closed, the
    // log and shared-memory files beside it are removed and the backup is copied over it.
    fs::copy_file(log, killed / "one.mdb-wal", fs::copy_options::overwrite_existing);
    fs::remove(killed / "one.mdb-wal");
    fs::remove(killed / "one.mdb-shm");
    fs::copy_file(backups[0], killed / "one.mdb", fs::copy_options::overwrite_existing);
    EXPECT_EQ(Rows(killed / "one.mdb", "Items"), before);
}

TEST_F(DirectSyncTest, AGenuineAccessTargetIsRefusedBeforeAnyBackupIsMade)
{
    Compare();
    const fs::path genuine = testsupport::CopyTestData("nwind.mdb", dir);
    const std::string bytes = Bytes(genuine);
    stores->Context().Source1().Settings().path = automation::FromUtf8(genuine.string());
    auto sync = Sync(true);
    FakeProgress progress;
    sync->Run(progress);
    EXPECT_TRUE(sync->Failed());
    EXPECT_EQ(sync->ErrorText(), L"'" + automation::FromUtf8(genuine.string()) +
                                     L"' is a genuine Access database and is read-only here: the "
                                     L"synchronization cannot change it.");
    EXPECT_TRUE(Backups(dir.path()).empty());
    EXPECT_TRUE(Bytes(genuine) == bytes);
}

TEST_F(DirectSyncTest, AReadOnlyTargetOrFolderIsRefusedBeforeAnyBackupIsMade)
{
    Compare();
    // A file this user may not write, in a folder it may write; and a file it may write in a
    // folder it may not. The superuser writes either, so the run is made as an ordinary user.
    const bool root = ::geteuid() == 0;
    const uid_t user = root ? 65534 : ::geteuid();
    const gid_t group = root ? 65534 : ::getegid();
    const fs::path fileFolder = dir / "file", folderFolder = dir / "folder";
    const fs::path readOnlyFile = fileFolder / "one.mdb",
                   inReadOnlyFolder = folderFolder / "one.mdb";
    for (const fs::path& folder : {fileFolder, folderFolder}) {
        fs::create_directories(folder);
        fs::copy_file(automation::ToUtf8(path1), folder / "one.mdb");
        ASSERT_EQ(::chown(folder.c_str(), user, group), 0);
        ASSERT_EQ(::chown((folder / "one.mdb").c_str(), user, group), 0);
    }
    fs::permissions(dir.path(),
                    fs::perms::all & ~(fs::perms::group_write | fs::perms::others_write));
    fs::permissions(readOnlyFile, fs::perms::owner_read | fs::perms::group_read);
    fs::permissions(folderFolder, fs::perms::owner_read | fs::perms::owner_exec);
    struct Case {
        fs::path target;
        std::wstring text;
    };
    const std::vector<Case> cases = {
        {readOnlyFile, L"'" + automation::FromUtf8(readOnlyFile.string()) +
                           L"' is read-only: the synchronization cannot change it."},
        {inReadOnlyFolder, L"The folder of '" + automation::FromUtf8(inReadOnlyFolder.string()) +
                               L"' is read-only: the synchronization cannot change the database."},
    };
    EXPECT_EXIT(
        {
            if (root &&
                (::setresgid(group, group, group) != 0 || ::setresuid(user, user, user) != 0))
                std::_Exit(100);
            int faults = 0;
            for (const Case& c : cases) {
                stores->Context().Source1().Settings().path =
                    automation::FromUtf8(c.target.string());
                auto sync = Sync(true);
                FakeProgress progress;
                sync->Run(progress);
                if (!sync->Failed() || sync->ErrorText() != c.text) {
                    std::fprintf(stderr, "%s: %s\n", c.target.c_str(),
                                 automation::ToUtf8(sync->ErrorText()).c_str());
                    ++faults;
                }
                if (!Backups(c.target.parent_path()).empty()) {
                    std::fprintf(stderr, "%s: a backup was made\n", c.target.c_str());
                    ++faults;
                }
            }
            std::_Exit(faults);
        },
        ::testing::ExitedWithCode(0), "");
    fs::permissions(folderFolder, fs::perms::owner_all);
}

TEST_F(DirectSyncTest, AKeyWithoutAnIndexIsIndexedForTheRunAloneAndAPrimaryKeyIsNot)
{
    Execute(path1, CreateTableSql(kLoose));
    Execute(path2, CreateTableSql(kLoose));
    std::vector<Row> rows1, rows2;
    for (int i = 0; i < 50; ++i) {
        const std::wstring code = L"c" + std::to_wstring(i);
        rows1.push_back({Variant(code), Variant(L"old")});
        // A third modified, a third only in Database1, a third equal.
        if (i % 3 == 0)
            rows2.push_back({Variant(code), Variant(L"new")});
        else if (i % 3 == 2)
            rows2.push_back({Variant(code), Variant(L"old")});
    }
    InsertRows(path1, kLoose, rows1);
    InsertRows(path2, kLoose, rows2);
    // Items, from the set-up, is keyed on its primary key.
    Compare({kLoose, kItems});
    const uint32_t counter = SchemaCounter(path1);
    const std::string schema = Schema(path1);
    auto sync = Sync(false);
    FakeProgress progress;
    sync->Run(progress);
    ASSERT_FALSE(sync->Failed()) << automation::ToUtf8(sync->ErrorText());
    EXPECT_EQ(DumpTable(path1, kLoose), DumpTable(path2, kLoose));
    EXPECT_EQ(DumpTable(path1, kItems), DumpTable(path2, kItems));
    // One index made and dropped in the run, for the table whose key no index covers.
    EXPECT_EQ(SchemaCounter(path1), counter + 2);
    EXPECT_EQ(Schema(path1), schema);

    // A run that fails takes its index back with everything else.
    std::ofstream(automation::ToUtf8(script), std::ios::binary)
        << "-- Corvina 2.1\r\n\r\n"
        << "DELETE FROM [Loose] WHERE [code]=\"c1\";\r\n"
        << "INSERT INTO [Nowhere] ([id]) VALUES (1);\r\n";
    const std::string loose = DumpTable(path1, kLoose);
    auto failing = Sync(false);
    failing->Run(progress);
    EXPECT_TRUE(failing->Failed());
    EXPECT_EQ(DumpTable(path1, kLoose), loose);
    EXPECT_EQ(SchemaCounter(path1), counter + 2);
    EXPECT_EQ(Schema(path1), schema);
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
    EXPECT_EQ(IntegrityCheck(backups[0]), "ok");
    EXPECT_EQ(DumpTable(path1, kItems), DumpTable(path2, kItems));
}


// A target in SQLite's rollback journal keeps its locks in the file itself, and a descriptor
// of the file that this process opens and closes again takes every lock the process holds
// on it with it. The backup is read without one: while the run applies its changes, another
// program finds the target locked and writes nothing into the middle of the run.
TEST_F(DirectSyncTest, AnotherProgramCannotWriteTheTargetWhileTheRunAppliesItsChanges)
{
    for (const std::wstring& path : {path1, path2}) {
        const std::string command =
            "sqlite3 '" + automation::ToUtf8(path) + "' 'PRAGMA journal_mode = DELETE' >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    ASSERT_NO_FATAL_FAILURE(WriteScript());
    // Each statement of the run tries another program's write, which must find the file locked.
    struct Intruder : FakeProgress {
        std::string path;
        int tries = 0, written = 0;
        void Advance(int) override
        {
            ++tries;
            const std::string command = "sqlite3 '" + path +
                                        "' \"INSERT INTO [Items] VALUES (" +
                                        std::to_string(1000 + tries) +
                                        ", 'intruder')\" >/dev/null 2>&1";
            if (std::system(command.c_str()) == 0)
                ++written;
        }
    } intruder;
    intruder.path = automation::ToUtf8(path1);
    auto sync = Sync(true);
    sync->Run(intruder);
    ASSERT_FALSE(sync->Failed()) << automation::ToUtf8(sync->ErrorText());
    EXPECT_GT(intruder.tries, 0);
    EXPECT_EQ(intruder.written, 0) << "another program wrote the target in the middle of the run";
    EXPECT_EQ(DumpTable(path1, kItems), DumpTable(path2, kItems));
}

// Killed the moment a file of the backup's name appears, either way of copying leaves nothing
// under that name but the whole copy: with a reader of an older state the copy is made by
// SQLite, page by page.
TEST_P(BackupLogTest, AKilledBackupLeavesNothingUnderItsName)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            sqlite3* reader = nullptr;
            sqlite3_open(automation::ToUtf8(path1).c_str(), &reader);
            if (GetParam())
                sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM [Items];", nullptr, nullptr,
                             nullptr);
            sqlite3* foreign = nullptr;
            sqlite3_open(automation::ToUtf8(path1).c_str(), &foreign);
            sqlite3_exec(foreign,
                         "PRAGMA wal_autocheckpoint = 0; "
                         "UPDATE [Items] SET [name] = 'foreign' WHERE [id] = 1",
                         nullptr, nullptr, nullptr);
            Compare();
            const int watch = ::inotify_init1(IN_CLOEXEC);
            ::inotify_add_watch(watch, dir.path().c_str(), IN_CREATE);
            std::thread killer([watch] {
                alignas(inotify_event) char events[4096];
                for (;;) {
                    const ssize_t got = ::read(watch, events, sizeof events);
                    for (ssize_t at = 0; at < got;) {
                        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                        if (event->len > 0 && std::strstr(event->name, ".bkp"))
                            std::raise(SIGKILL);
                        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                    }
                    if (got <= 0)
                        break;
                }
            });
            // The run's first statement waits for the watcher, which a busy machine may
            // give its turn late: the kill comes before anything is applied.
            struct Waiting : FakeProgress {
                bool waited = false;
                void Advance(int) override
                {
                    if (!std::exchange(waited, true))
                        std::this_thread::sleep_for(std::chrono::seconds(3));
                }
            } progress;
            auto sync = Sync(true);
            sync->Run(progress);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    // A backup that has its name is the whole copy.
    for (const fs::path& backup : Backups(dir.path())) {
        EXPECT_EQ(IntegrityCheck(backup), "ok");
        std::string rows, expected;
        EXPECT_NO_THROW(rows = DumpTable(automation::FromUtf8(backup.string()), kItems));
        EXPECT_NO_THROW(expected = DumpTable(path1, kItems));
        EXPECT_EQ(rows, expected);
        EXPECT_NE(rows.find("'foreign'"), std::string::npos) << rows;
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, BackupLogTest, ::testing::Values(false, true),
                         [](const auto& info) {
                             return info.param ? "WithAReaderOfAnOlderState" : "Alone";
                         });

}  // namespace
}  // namespace synctest
