// The whole road of a comparison through the context alone, as the wizard drives it: two native
// stores made by scripts, both sides loaded as tasks, the pairs built from the loaded schemas,
// the comparison on its threads, then the script and the direct synchronisation made and run
// through the context's tasks.
#include "compare/comparison_context.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "compare/table_result.h"
#include "output/output_tasks.h"
#include "output/sync_fixture.h"
#include "sqlexec/i_progress.h"
#include "sqlexec/mdb_creator.h"
#include "sqlexec/options.h"
#include "sqlexec/script_executor.h"
#include "sqlexec/text_file_writer.h"

namespace synctest {
namespace {

namespace fs = std::filesystem;

// Orders comes first in both creation and name order, so only its foreign key, added last, can
// put Shops before it. Database2 names the code table in other case.
const wchar_t kSchema[] =
    L"CREATE TABLE [Orders] ([oid] LONG NOT NULL CONSTRAINT [pk_orders] PRIMARY KEY, "
    L"[shop] LONG, [amount] DOUBLE, [note] MEMO, [photo] LONGBINARY);\r\n"
    L"CREATE TABLE [Shops] ([id] LONG NOT NULL CONSTRAINT [pk_shops] PRIMARY KEY, "
    L"[name] TEXT(40), [balance] CURRENCY, [opened] DATETIME, [open] BIT);\r\n"
    L"ALTER TABLE [Orders] ADD CONSTRAINT [fk_orders_shops] FOREIGN KEY ([shop]) "
    L"REFERENCES [Shops] ([id]);\r\n"
    L"CREATE TABLE [%CODES%] ([code] TEXT(10) NOT NULL CONSTRAINT [pk_codes] PRIMARY KEY, "
    L"[label] TEXT(20));\r\n";

// Each table holds one equal record, one only here, and one modified (the shop's balance in
// its fourth decimal, the order's note by a line break, the code's label).
const wchar_t kRows1[] =
    L"INSERT INTO [Shops] VALUES (1, \"Ann\", 10.5, #1/2/2020#, TRUE);\r\n"
    L"INSERT INTO [Shops] VALUES (2, \"Bob\", 0.0001, NULL, FALSE);\r\n"
    L"INSERT INTO [Shops] VALUES (3, \"Cy\", NULL, #3/4/2021 10:30:00#, TRUE);\r\n"
    L"INSERT INTO [Orders] VALUES (10, 1, 1.5, \"first\", NULL);\r\n"
    L"INSERT INTO [Orders] VALUES (11, 2, 2.25, NULL, NULL);\r\n"
    L"INSERT INTO [Orders] VALUES (12, 3, 3, \"gone\", NULL);\r\n"
    L"INSERT INTO [Codes] VALUES (\"a\", \"alpha\");\r\n"
    L"INSERT INTO [Codes] VALUES (\"B\", \"beta\");\r\n"
    L"INSERT INTO [Codes] VALUES (\"c\", NULL);\r\n"
    L"CREATE TABLE [Extra] ([x] LONG);\r\n"
    L"INSERT INTO [Extra] VALUES (1);\r\n";

const wchar_t kRows2[] =
    L"INSERT INTO [Shops] VALUES (1, \"Ann\", 10.5, #1/2/2020#, TRUE);\r\n"
    L"INSERT INTO [Shops] VALUES (2, \"Bob\", 0.0002, NULL, FALSE);\r\n"
    L"INSERT INTO [Shops] VALUES (4, \"Dee \"\"quoted\"\"\", 7, #5/6/2022#, FALSE);\r\n"
    L"INSERT INTO [Orders] ([oid], [shop], [amount], [note]) "
    L"VALUES (10, 1, 1.5, \"first\" & chr(13) & chr(10) & \"line\");\r\n"
    L"INSERT INTO [Orders] VALUES (11, 2, 2.25, NULL, NULL);\r\n"
    L"INSERT INTO [Orders] ([oid], [shop], [amount], [note], [photo]) "
    L"VALUES (13, 4, 4.125, \"new\", base64(\"AAECAwT/\r\n\"));\r\n"
    L"INSERT INTO [CODES] VALUES (\"a\", \"alpha\");\r\n"
    L"INSERT INTO [CODES] VALUES (\"B\", \"BETA\");\r\n"
    L"INSERT INTO [CODES] VALUES (\"d\", \"delta\");\r\n";

const std::vector<TableDef> kCompared = {
    {L"Shops",
     {{L"id", L"", 0},
      {L"name", L"", 0},
      {L"balance", L"", 0},
      {L"opened", L"", 0},
      {L"open", L"", 0}},
     {},
     true,
     {}},
    {L"Orders",
     {{L"oid", L"", 0},
      {L"shop", L"", 0},
      {L"amount", L"", 0},
      {L"note", L"", 0},
      {L"photo", L"", 0}},
     {},
     true,
     {}},
    {L"Codes", {{L"code", L"", 0}, {L"label", L"", 0}}, {}, true, {}},
};

std::wstring Replace(std::wstring text, const std::wstring& what, const std::wstring& with)
{
    for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at))
        text.replace(at, what.size(), with);
    return text;
}

// A new store and a script run into it by the script executor, stopping at the first error.
void MakeStore(const std::wstring& path, const std::wstring& script)
{
    provider::RegisterProviderClasses();
    ConnectionSettings settings;
    settings.path = path;
    SQLExecutor::MdbCreator creator(settings);
    ASSERT_TRUE(creator.Create()) << automation::ToUtf8(creator.GetError());
    Options options;
    options.stopOnError = true;
    SQLExecutor::ScriptExecutor executor(settings, script, false, options);
    FakeProgress progress;
    executor.Run(progress);
    ASSERT_FALSE(executor.IsStopped()) << automation::ToUtf8(executor.GetErrorText());
}

std::string Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs a task as a progress page does: on a thread of its own, read once that thread ended.
void RunAsPage(WizardTask* task)
{
    ASSERT_NE(task, nullptr);
    FakeProgress progress;
    std::thread([&] { task->Run(progress); }).join();
    ASSERT_FALSE(task->Failed()) << automation::ToUtf8(task->ErrorText());
}

class ComparisonContextTest : public ::testing::Test {
protected:
    void SetUp() override { MakeStores(); }

    // Two new stores, in place of any made before.
    void MakeStores()
    {
        path1 = Path(dir, "one.mdb");
        path2 = Path(dir, "two.mdb");
        fs::remove(automation::ToUtf8(path1));
        fs::remove(automation::ToUtf8(path2));
        MakeStore(path1, Replace(kSchema, L"%CODES%", L"Codes") + kRows1);
        MakeStore(path2, Replace(kSchema, L"%CODES%", L"CODES") + kRows2);
        context.Source1().Settings().path = path1;
        context.Source2().Settings().path = path2;
    }

    void LoadAndPair()
    {
        RunAsPage(&context.Source1());
        RunAsPage(&context.Source2());
        ASSERT_NE(context.BuildTablePairs(), nullptr);
    }

    void Compare()
    {
        std::promise<void> done;
        context.SetCompletionCallback([&done] { done.set_value(); });
        ASSERT_NE(context.PrepareDataComparison(), nullptr);
        context.StartThreads();
        ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
        ASSERT_EQ(context.StopAndWait(), ComparisonContext::kWaitObject0);
        context.SetCompletionCallback({});
        ASSERT_FALSE(context.HasError()) << automation::ToUtf8(context.ErrorText());
    }

    const TablePair* Pair(const std::wstring& name)
    {
        for (const auto& pair : context.PairList()->Pairs())
            if (pair->First()->Name() == name)
                return pair.get();
        return nullptr;
    }

    testsupport::TempDir dir;
    std::wstring path1, path2;
    OutputTasks outputs;
    ComparisonContext context{&outputs};
};

TEST_F(ComparisonContextTest, ComparesWritesAndSynchronisesEachDirectionThroughItsTasks)
{
    for (int direction : {1, 2}) {
        SCOPED_TRACE(direction);
        if (direction == 2) {
            // Fresh stores, the first direction made them equal; the same context loads them
            // again, as when the user goes back to the database pages.
            context.CloseConnections();
            MakeStores();
        }
        LoadAndPair();
        // Pairing ignores case; a table of one side only takes no part; keys come from
        // Database1's primary keys.
        ASSERT_NE(Pair(L"Codes"), nullptr);
        EXPECT_EQ(Pair(L"Codes")->Second()->Name(), L"CODES");
        ASSERT_NE(Pair(L"Extra"), nullptr);
        EXPECT_FALSE(Pair(L"Extra")->IsMatched());
        for (const auto& table : kCompared) {
            const TablePair* pair = Pair(table.name);
            ASSERT_NE(pair, nullptr) << automation::ToUtf8(table.name);
            ASSERT_TRUE(pair->IsMatched());
            EXPECT_TRUE(pair->Fields().GetPair(0)->IsKey());
            EXPECT_FALSE(pair->Fields().GetPair(1)->IsKey());
        }

        Compare();
        for (const auto& table : kCompared) {
            const TableResult* result = context.Store()->FindTableResult(Pair(table.name));
            ASSERT_NE(result, nullptr);
            // Equal, only in Database1, only in Database2, modified.
            EXPECT_EQ(result->Counts(), (std::array<int, 4>{1, 1, 1, 1}))
                << automation::ToUtf8(table.name);
        }

        const std::wstring script = Path(dir, "sync.sql");
        WizardTask* writer =
            context.CreateScriptWriter(script, TextFileWriter::kUtf8, direction, true, true, true);
        EXPECT_EQ(context.ScriptTask(), writer);
        RunAsPage(writer);
        // The foreign key read from the target puts the referenced table's inserts first and
        // its deletes last.
        const std::string text = Bytes(automation::ToUtf8(script));
        EXPECT_EQ(text.find("-- Corvina 2.1\r\n\r\nINSERT INTO [Shops]"), 3u) << text;
        EXPECT_LT(text.find("INSERT INTO [Orders]"), text.find("UPDATE "));
        EXPECT_LT(text.find("DELETE FROM [Orders]"), text.find("DELETE FROM [Shops]"));
        EXPECT_NE(text.find("DELETE FROM [Shops]"), std::string::npos);

        const std::wstring& target = direction == 1 ? path1 : path2;
        const std::wstring& source = direction == 1 ? path2 : path1;
        const std::string oldTarget = Bytes(automation::ToUtf8(target));
        WizardTask* sync = context.CreateSynchronizer(script, direction, true);
        EXPECT_EQ(context.SyncTask(), sync);
        RunAsPage(sync);

        std::vector<fs::path> backups;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().extension() == ".bkp")
                backups.push_back(entry.path());
        ASSERT_EQ(backups.size(), 1u);
        EXPECT_EQ(backups[0].string().rfind(automation::ToUtf8(target) + ".", 0), 0u);
        EXPECT_EQ(Bytes(backups[0]), oldTarget);
        fs::remove(backups[0]);
        for (const auto& table : kCompared) {
            const std::string rows = DumpTable(target, table);
            EXPECT_EQ(rows, DumpTable(source, table)) << automation::ToUtf8(table.name);
            // Three rows each side, read without error.
            EXPECT_EQ(rows.find("rror"), std::string::npos) << rows;
            EXPECT_GE(std::count(rows.begin(), rows.end(), '\n'), 3) << rows;
        }
        const TableDef extra{L"Extra", {{L"x", L"", 0}}, {}, false, {}};
        EXPECT_EQ(DumpTable(path1, extra), "1\n");

        context.ReleaseSynchronizer();
        EXPECT_EQ(context.SyncTask(), nullptr);
    }
}

TEST_F(ComparisonContextTest, TasksAreMadeOnlyFromWhatTheyCanUse)
{
    // The script writer and both reports: how many were made, how many the context holds.
    auto make = [&] {
        int made =
            context.CreateScriptWriter(Path(dir, "a.sql"), 2, 1, true, true, true) != nullptr;
        made += context.CreateHtmlReport(Path(dir, "a.html"), true, true, true, false) != nullptr;
        made += context.CreateExcelReport(Path(dir, "a.xls"), true, true, true, false) != nullptr;
        return made;
    };
    auto held = [&] {
        return int(context.ScriptTask() != nullptr) + int(context.HtmlReportTask() != nullptr) +
               int(context.ExcelReportTask() != nullptr);
    };
    // No schema loaded yet: no pairs; no run: no task that writes from results.
    EXPECT_EQ(context.BuildTablePairs(), nullptr);
    EXPECT_EQ(make(), 0);

    LoadAndPair();
    EXPECT_EQ(make(), 0);
    Compare();
    ASSERT_EQ(make(), 3);
    EXPECT_EQ(held(), 3);
    // The tasks read the results of their run: a new run or new pairs take them away.
    context.PrepareDataComparison();
    EXPECT_EQ(held(), 0);
    context.StopAndWait();
    Compare();
    ASSERT_EQ(make(), 3);
    context.BuildTablePairs();
    EXPECT_EQ(held(), 0);
    EXPECT_EQ(make(), 0);

    // The synchronisation needs only the context; a bad direction leaves none behind.
    ASSERT_NE(context.CreateSynchronizer(Path(dir, "a.sql"), 2, false), nullptr);
    for (int direction : {0, 3}) {
        try {
            context.CreateSynchronizer(Path(dir, "a.sql"), direction, false);
            ADD_FAILURE() << direction;
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), "Incorrect synchronization direction");
        }
        EXPECT_EQ(context.SyncTask(), nullptr);
    }

    // Without a maker of output tasks none is made.
    ComparisonContext bare;
    EXPECT_EQ(bare.CreateSynchronizer(Path(dir, "a.sql"), 1, false), nullptr);
}

TEST_F(ComparisonContextTest, AFailedLoadLeavesNoSchemaToPair)
{
    context.Source2().Settings().path = path2 + L".missing";
    RunAsPage(&context.Source1());
    FakeProgress progress;
    WizardTask& load = context.Source2();
    std::thread([&] { load.Run(progress); }).join();
    EXPECT_TRUE(load.Failed());
    EXPECT_EQ(load.ErrorText().rfind(path2 + L".missing\n", 0), 0u)
        << automation::ToUtf8(load.ErrorText());
    EXPECT_EQ(context.BuildTablePairs(), nullptr);
    EXPECT_EQ(context.PairList(), nullptr);
}

}  // namespace
}  // namespace synctest
