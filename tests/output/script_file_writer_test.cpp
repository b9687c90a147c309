// The script writer as a task: the file it writes for a comparison, its order of tables and
// passes, its progress, its cancel and its failures.
#include "output/script_file_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "output/direct_sync.h"
#include "output/sync_fixture.h"
#include "sqlexec/progress.h"
#include "sqlexec/text_file_writer.h"

namespace synctest {
namespace {

// Child is first in schema order, so only the foreign key puts Parent before it.
const std::vector<TableDef> kTables = {
    {L"Child",
     {{L"cid", L"LONG", 3}, {L"pid", L"LONG", 3}},
     {L"cid"},
     true,
     {{L"pid", L"Parent", L"id"}}},
    {L"Parent", {{L"id", L"LONG", 3}, {L"name", L"TEXT(20)", 202}}, {L"id"}, true, {}},
};

std::string Utf8File(const std::wstring& path)
{
    std::ifstream in(automation::ToUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CountingProgress : public IProgress {
public:
    void SetTotal(int total) override { this->total = total; }
    void Advance(int delta) override { done += delta; }
    void Step() override { ++done; }
    void Done() override { ++completions; }
    int total = -1;
    int done = 0;
    int completions = 0;
};

class ScriptFileWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path1 = Path(dir, "one.mdb");
        path2 = Path(dir, "two.mdb");
        CreateStore(path1, kTables);
        CreateStore(path2, kTables);
        InsertRows(path1, kTables[1],
                   {{Variant(int32_t(1)), Variant(L"a")}, {Variant(int32_t(2)), Variant(L"b")}});
        InsertRows(
            path2, kTables[1],
            {{Variant(int32_t(1)), Variant(L"A")}, {Variant(int32_t(3)), Variant(L"c\u0411")}});
        InsertRows(path1, kTables[0],
                   {{Variant(int32_t(10)), Variant(int32_t(1))},
                    {Variant(int32_t(11)), Variant(int32_t(2))}});
        InsertRows(path2, kTables[0],
                   {{Variant(int32_t(10)), Variant(int32_t(3))},
                    {Variant(int32_t(12)), Variant(int32_t(1))}});
        stores = std::make_unique<ComparedStores>(path1, path2, kTables);
    }

    std::unique_ptr<ScriptFileWriter> Writer(const std::wstring& path, int direction, bool insert,
                                             bool update, bool erase,
                                             int encoding = TextFileWriter::kUtf8)
    {
        return std::make_unique<ScriptFileWriter>(
            *stores->schema1, *stores->schema2, stores->Store(), stores->Reader(), stores->Pairs(),
            path, encoding, direction, insert, update, erase);
    }

    testsupport::TempDir dir;
    std::wstring path1, path2;
    std::unique_ptr<ComparedStores> stores;
};

TEST_F(ScriptFileWriterTest, WritesInsertsInDependencyOrderThenUpdatesAndDeletesInReverse)
{
    const std::string bom = "\xEF\xBB\xBF";
    const std::string header = "-- Corvina 2.1\r\n\r\n";
    struct Case {
        int direction;
        std::string body;
    } cases[] = {
        {1,
         "INSERT INTO [Parent] ([id], [name]) VALUES (3, \"c\xD0\x91\");\r\n"
         "INSERT INTO [Child] ([cid], [pid]) VALUES (12, 1);\r\n"
         "UPDATE [Child] SET [pid]=3 WHERE [cid]=10;\r\n"
         "UPDATE [Parent] SET [name]=\"A\" WHERE [id]=1;\r\n"
         "DELETE FROM [Child] WHERE [cid]=11;\r\n"
         "DELETE FROM [Parent] WHERE [id]=2;\r\n"},
        {2,
         "INSERT INTO [Parent] ([id], [name]) VALUES (2, \"b\");\r\n"
         "INSERT INTO [Child] ([cid], [pid]) VALUES (11, 2);\r\n"
         "UPDATE [Child] SET [pid]=1 WHERE [cid]=10;\r\n"
         "UPDATE [Parent] SET [name]=\"a\" WHERE [id]=1;\r\n"
         "DELETE FROM [Child] WHERE [cid]=12;\r\n"
         "DELETE FROM [Parent] WHERE [id]=3;\r\n"},
    };
    for (const auto& c : cases) {
        std::wstring path = Path(dir, "sync.sql");
        auto writer = Writer(path, c.direction, true, true, true);
        CountingProgress progress;
        writer->Run(progress);
        ASSERT_FALSE(writer->Failed()) << automation::ToUtf8(writer->ErrorText());
        EXPECT_EQ(Utf8File(path), bom + header + c.body) << "direction " << c.direction;
        // Six stored items (per table one modified and one only on each side), three kinds.
        EXPECT_EQ(progress.total, 18);
        EXPECT_EQ(progress.done, 18);
        EXPECT_EQ(progress.completions, 1);
    }
}

TEST(ScriptFileWriterOrderTest, TheScriptAppliesWhereTheStoreEnforcesTheForeignKey)
{
    testsupport::TempDir dir;
    std::wstring path1 = Path(dir, "one.mdb"), path2 = Path(dir, "two.mdb");
    for (const auto& path : {path1, path2}) {
        CreateStore(path, {kTables[1]});
        Execute(path,
                L"CREATE TABLE [Child] ([cid] LONG, [pid] LONG, CONSTRAINT [pk_Child] "
                L"PRIMARY KEY ([cid]), CONSTRAINT [fk] FOREIGN KEY ([pid]) REFERENCES "
                L"[Parent] ([id]))");
    }
    InsertRows(path1, kTables[1],
               {{Variant(int32_t(1)), Variant(L"a")}, {Variant(int32_t(2)), Variant(L"b")}});
    InsertRows(path2, kTables[1],
               {{Variant(int32_t(1)), Variant(L"A")}, {Variant(int32_t(3)), Variant(L"c")}});
    InsertRows(path1, kTables[0], {{Variant(int32_t(11)), Variant(int32_t(2))}});
    InsertRows(path2, kTables[0], {{Variant(int32_t(12)), Variant(int32_t(3))}});
    // A child row of a missing parent is refused, so the order of the statements matters.
    EXPECT_THROW(Execute(path1, L"INSERT INTO [Child] ([cid], [pid]) VALUES (99, 42)"),
                 automation::ComError);
    for (int direction : {1, 2}) {
        std::wstring target = direction == 1 ? path1 : path2;
        std::wstring copy = Path(dir, "copy.mdb");
        std::filesystem::copy_file(automation::ToUtf8(target), automation::ToUtf8(copy),
                                   std::filesystem::copy_options::overwrite_existing);
        ComparedStores stores(path1, path2, kTables);
        std::wstring script = Path(dir, "ordered.sql");
        ScriptFileWriter writer(*stores.schema1, *stores.schema2, stores.Store(), stores.Reader(),
                                stores.Pairs(), script, TextFileWriter::kUtf8, direction, true,
                                true, true);
        FakeProgress progress;
        writer.Run(progress);
        ASSERT_FALSE(writer.Failed());
        // The synchronisation takes its target from the context's source of that side.
        DatabaseSource& side =
            direction == 1 ? stores.Context().Source1() : stores.Context().Source2();
        side.Settings().path = copy;
        DirectSync sync(direction, script, false, stores.Context());
        sync.Run(progress);
        EXPECT_FALSE(sync.Failed()) << automation::ToUtf8(sync.ErrorText());
        const std::wstring& source = direction == 1 ? path2 : path1;
        for (const auto& table : kTables)
            EXPECT_EQ(DumpTable(copy, table), DumpTable(source, table));
    }
}

TEST_F(ScriptFileWriterTest, WithNoKindEnabledTheFileHoldsOnlyTheHeader)
{
    std::wstring path = Path(dir, "empty.sql");
    auto writer = Writer(path, 1, false, false, false, TextFileWriter::kAnsi);
    CountingProgress progress;
    writer->Run(progress);
    EXPECT_FALSE(writer->Failed());
    EXPECT_EQ(Utf8File(path), "-- Corvina 2.1\r\n\r\n");
    EXPECT_EQ(progress.total, 0);
}

TEST_F(ScriptFileWriterTest, EachEncodingWritesItsMarkAndTheSameStatements)
{
    // Direction 2 writes only characters of code page 1252.
    const std::string body =
        "-- Corvina 2.1\r\n\r\nINSERT INTO [Parent] ([id], [name]) VALUES (2, \"b\");";
    struct Case {
        int encoding;
        std::string start;
    } cases[] = {
        {TextFileWriter::kAnsi, body},
        {TextFileWriter::kUtf8, "\xEF\xBB\xBF" + body},
        {TextFileWriter::kUtf16, std::string("\xFF\xFE-\0-\0 \0C\0", 10)},
    };
    for (const auto& c : cases) {
        std::wstring path = Path(dir, "encoded.sql");
        auto writer = Writer(path, 2, true, false, false, c.encoding);
        CountingProgress progress;
        writer->Run(progress);
        ASSERT_FALSE(writer->Failed()) << automation::ToUtf8(writer->ErrorText());
        EXPECT_EQ(Utf8File(path).substr(0, c.start.size()), c.start) << c.encoding;
    }
}

TEST_F(ScriptFileWriterTest, ATableWithoutCounterpartWritesNothing)
{
    const TableDef only{L"Only1", {{L"id", L"LONG", 3}}, {L"id"}, true, {}};
    std::wstring one = Path(dir, "only1.mdb"), two = Path(dir, "only2.mdb");
    CreateStore(one, {only});
    CreateStore(two, {});
    InsertRows(one, only, {{Variant(int32_t(1))}});
    std::vector<TableDef> none;
    ComparedStores lonely(one, two, {only}, &none);
    for (int direction : {1, 2}) {
        std::wstring path = Path(dir, "lonely.sql");
        ScriptFileWriter writer(*lonely.schema1, *lonely.schema2, lonely.Store(), lonely.Reader(),
                                lonely.Pairs(), path, TextFileWriter::kAnsi, direction, true, true,
                                true);
        CountingProgress progress;
        writer.Run(progress);
        EXPECT_FALSE(writer.Failed()) << automation::ToUtf8(writer.ErrorText());
        EXPECT_EQ(Utf8File(path), "-- Corvina 2.1\r\n\r\n");
        EXPECT_EQ(progress.total, 0);
    }
}

TEST_F(ScriptFileWriterTest, RowsGoneSinceTheComparisonFailTheTaskInsteadOfWritingEmptyStatements)
{
    stores->Context().CloseConnections();
    Execute(path2, L"DELETE FROM [Parent]");
    std::wstring path = Path(dir, "stale.sql");
    auto writer = Writer(path, 1, true, true, true);
    CountingProgress progress;
    writer->Run(progress);
    EXPECT_TRUE(writer->Failed());
    EXPECT_FALSE(writer->ErrorText().empty());
    EXPECT_FALSE(std::filesystem::exists(automation::ToUtf8(path)));
}

TEST_F(ScriptFileWriterTest, ACancelledRunKeepsWhatWasWrittenWithoutErrorOrCompletion)
{
    std::wstring path = Path(dir, "cancelled.sql");
    auto writer = Writer(path, 1, true, true, true);
    writer->RequestStop();
    CountingProgress progress;
    writer->Run(progress);
    EXPECT_FALSE(writer->Failed());
    EXPECT_EQ(progress.completions, 0);
    EXPECT_EQ(Utf8File(path), "\xEF\xBB\xBF-- Corvina 2.1\r\n\r\n");
    // The next task over the same result is not cut short by the cancelled one.
    auto next = Writer(Path(dir, "next.sql"), 1, true, false, false);
    next->Run(progress);
    EXPECT_EQ(progress.completions, 1);
    EXPECT_NE(Utf8File(Path(dir, "next.sql")).find("INSERT INTO [Child]"), std::string::npos);
}

TEST_F(ScriptFileWriterTest, FailuresAreTheTasksErrorNeverAScriptReportedAsWritten)
{
    struct Case {
        std::wstring path;
        int encoding;
        std::wstring error;
    } cases[] = {
        {Path(dir, "missing/folder/sync.sql"), TextFileWriter::kUtf8, L"Can't create file."},
        // Every write to /dev/full fails with "no space left on the device".
        {L"/dev/full", TextFileWriter::kUtf8, L"Can't write file"},
        // Direction 1 inserts a Cyrillic letter that code page 1252 does not hold.
        {Path(dir, "ansi.sql"), TextFileWriter::kAnsi,
         L"Can't write file: the character U+0411 cannot be written in the ANSI encoding "
         L"(Windows-1252). Save the script as UTF-8 to keep every character."},
    };
    for (const auto& c : cases) {
        auto writer = Writer(c.path, 1, true, true, true, c.encoding);
        CountingProgress progress;
        writer->Run(progress);
        EXPECT_TRUE(writer->Failed()) << automation::ToUtf8(c.path);
        EXPECT_EQ(writer->ErrorText(), c.error);
        EXPECT_EQ(progress.completions, 0);
    }
    // No partial script is left behind, and the device is still there.
    EXPECT_FALSE(std::filesystem::exists(automation::ToUtf8(Path(dir, "ansi.sql"))));
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));

    // A failed save over an earlier script leaves that script whole.
    const std::string earlier = "-- an earlier script\r\n";
    const std::string earlierPath = automation::ToUtf8(Path(dir, "earlier.sql"));
    std::ofstream(earlierPath, std::ios::binary) << earlier;
    auto writer = Writer(Path(dir, "earlier.sql"), 1, true, true, true, TextFileWriter::kAnsi);
    CountingProgress progress;
    writer->Run(progress);
    EXPECT_TRUE(writer->Failed());
    std::ifstream in(earlierPath, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), earlier);
}

}  // namespace
}  // namespace synctest
