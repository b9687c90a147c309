// Key fields that do not identify rows: the comparison notes a key value held by more than one
// row of a side, and neither the script writer nor the direct synchronisation writes or runs a
// statement for such a table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "output/direct_sync.h"
#include "output/excel_report_writer.h"
#include "output/html_report_writer.h"
#include "output/key_refusal.h"
#include "output/script_file_writer.h"
#include "output/sync_fixture.h"
#include "platform/spreadsheet/excel_application.h"
#include "sqlexec/progress.h"
#include "sqlexec/text_file_writer.h"
#include "support/spreadsheet_readers.h"

namespace synctest {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool HasBackup(const fs::path& folder)
{
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".bkp")
            return true;
    return false;
}

Variant L(int32_t v)
{
    return Variant(v);
}

// A table without a primary key, compared by the key fields the user chose.
TableDef Unkeyed(std::vector<std::wstring> keys)
{
    return {L"Dup",
            {{L"A", L"LONG", 3}, {L"B", L"TEXT(10)", 202}, {L"V", L"TEXT(10)", 202}},
            std::move(keys),
            false,
            {}};
}

struct DuplicateCase {
    const char* what;
    std::vector<std::wstring> keys;
    std::vector<Row> rows1, rows2;
    int side;            // 0 Database1, 1 Database2
    std::wstring value;  // the duplicated key value as the message shows it
};

void PrintTo(const DuplicateCase& c, std::ostream* os)
{
    *os << c.what;
}

class DuplicateKeyTest : public ::testing::TestWithParam<DuplicateCase> {
protected:
    void SetUp() override
    {
        const DuplicateCase& c = GetParam();
        table = Unkeyed(c.keys);
        path1 = Path(dir, "one.mdb");
        path2 = Path(dir, "two.mdb");
        CreateStore(path1, {table});
        CreateStore(path2, {table});
        InsertRows(path1, table, c.rows1);
        InsertRows(path2, table, c.rows2);
        stores = std::make_unique<ComparedStores>(path1, path2, std::vector<TableDef>{table});
    }

    testsupport::TempDir dir;
    TableDef table;
    std::wstring path1, path2;
    std::unique_ptr<ComparedStores> stores;
};

TEST_P(DuplicateKeyTest, TheComparisonNotesItAndNoStatementIsWrittenOrRun)
{
    const DuplicateCase& c = GetParam();
    const std::wstring refusal = KeyRefusal(stores->Store(), &stores->Reader(), stores->Pairs());
    const TableResult* result = stores->Store().TableResultAt(0);
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->DuplicateKey(c.side)) << c.what;
    EXPECT_EQ(*result->DuplicateKey(c.side), c.value);
    EXPECT_FALSE(result->DuplicateKey(1 - c.side)) << c.what;

    const std::wstring side = c.side == 0 ? L"Database1" : L"Database2";
    EXPECT_NE(refusal.find(L"table Dup"), std::wstring::npos) << automation::ToUtf8(refusal);
    EXPECT_NE(refusal.find(side), std::wstring::npos) << automation::ToUtf8(refusal);
    EXPECT_NE(refusal.find(L" " + c.value + L" "), std::wstring::npos)
        << automation::ToUtf8(refusal);

    // Both directions, every choice: refused, and a script of the same name written before
    // keeps its content.
    const std::wstring script = Path(dir, "sync.sql");
    std::ofstream(automation::ToUtf8(script)) << "-- an older script\n";
    for (int direction : {1, 2}) {
        ScriptFileWriter writer(*stores->schema1, *stores->schema2, stores->Store(),
                                stores->Reader(), stores->Pairs(), script, TextFileWriter::kUtf8,
                                direction, true, true, true);
        FakeProgress progress;
        writer.Run(progress);
        EXPECT_TRUE(writer.Failed()) << c.what << ", direction " << direction;
        EXPECT_EQ(writer.ErrorText(), refusal);
        EXPECT_EQ(Bytes(automation::ToUtf8(script)), "-- an older script\n");
    }

    // The direct synchronisation of a script that was written anyway runs nothing and backs
    // nothing up.
    std::ofstream(automation::ToUtf8(script)) << "DELETE FROM [Dup] WHERE [A]=2;\n";
    const std::string before1 = Bytes(automation::ToUtf8(path1));
    DirectSync sync(1, script, true, stores->Context());
    FakeProgress progress;
    sync.Run(progress);
    EXPECT_TRUE(sync.Failed());
    EXPECT_EQ(sync.ErrorText(), refusal);
    EXPECT_EQ(Bytes(automation::ToUtf8(path1)), before1);
    EXPECT_FALSE(HasBackup(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(Cases, DuplicateKeyTest,
                         testing::Values(
                             // The rows past the end of Database2 are not read by the comparison;
                             // the first of them meets its twin that was matched.
                             DuplicateCase{"a repeat in Database1 past the end of Database2",
                                           {L"A"},
                                           {{L(1), Variant(L"x"), Variant(L"a")},
                                            {L(2), Variant(L"x"), Variant(L"b")},
                                            {L(2), Variant(L"x"), Variant(L"c")}},
                                           {{L(1), Variant(L"x"), Variant(L"a")},
                                            {L(2), Variant(L"x"), Variant(L"b")}},
                                           0,
                                           L"2"},
                             DuplicateCase{"a repeat in Database2 between matched rows",
                                           {L"A"},
                                           {{L(1), Variant(L"x"), Variant(L"a")},
                                            {L(5), Variant(L"x"), Variant(L"b")},
                                            {L(9), Variant(L"x"), Variant(L"c")}},
                                           {{L(1), Variant(L"x"), Variant(L"a")},
                                            {L(5), Variant(L"x"), Variant(L"b")},
                                            {L(5), Variant(L"y"), Variant(L"b")},
                                            {L(9), Variant(L"x"), Variant(L"c")}},
                                           1,
                                           L"5"},
                             DuplicateCase{"a repeat of both fields of a two-field key",
                                           {L"A", L"B"},
                                           {{L(1), Variant(L"x"), Variant(L"a")},
                                            {L(1), Variant(L"y"), Variant(L"a")},
                                            {L(3), Variant(L"x"), Variant(L"a")}},
                                           {{L(1), Variant(L"y"), Variant(L"a")},
                                            {L(1), Variant(L"y"), Variant(L"b")},
                                            {L(3), Variant(L"x"), Variant(L"a")}},
                                           1,
                                           L"1, 'y'"},
                             // Rows that only one side has past the other's last key are not read
                             // by the comparison; the writers read their keys before they write.
                             DuplicateCase{"a repeat inside the unread tail of Database1",
                                           {L"A"},
                                           {{L(1), Variant(L"x"), Variant(L"a")},
                                            {L(7), Variant(L"x"), Variant(L"b")},
                                            {L(7), Variant(L"x"), Variant(L"c")},
                                            {L(8), Variant(L"x"), Variant(L"d")}},
                                           {{L(1), Variant(L"x"), Variant(L"a")}},
                                           0,
                                           L"7"},
                             DuplicateCase{"a repeat in Database2 against an empty Database1 table",
                                           {L"A", L"B"},
                                           {},
                                           {{L(3), Variant(L"q"), Variant(L"a")},
                                            {L(3), Variant(L"r"), Variant(L"a")},
                                            {L(3), Variant(L"r"), Variant(L"b")}},
                                           1,
                                           L"3, 'r'"},
                             DuplicateCase{"two rows whose key is Null",
                                           {L"A"},
                                           {{Variant::Null(), Variant(L"x"), Variant(L"a")},
                                            {Variant::Null(), Variant(L"x"), Variant(L"b")},
                                            {L(4), Variant(L"x"), Variant(L"c")}},
                                           {{L(4), Variant(L"x"), Variant(L"c")}},
                                           0,
                                           L"NULL"}));

TEST(KeyRefusalTest, KeysThatHoldOnBothSidesAreNotRefused)
{
    testsupport::TempDir dir;
    const TableDef table = Unkeyed({L"A", L"B"});
    const std::wstring path1 = Path(dir, "one.mdb"), path2 = Path(dir, "two.mdb");
    CreateStore(path1, {table});
    CreateStore(path2, {table});
    // A repeats, but never together with B.
    InsertRows(path1, table,
               {{L(1), Variant(L"x"), Variant(L"a")}, {L(1), Variant(L"y"), Variant(L"a")}});
    InsertRows(path2, table,
               {{L(1), Variant(L"y"), Variant(L"b")}, {L(2), Variant(L"y"), Variant(L"a")}});
    ComparedStores stores(path1, path2, {table});
    EXPECT_EQ(KeyRefusal(stores.Store(), &stores.Reader(), stores.Pairs()), L"");
    EXPECT_TRUE(stores.Store().TableResultAt(0)->KeyIsUnique());
}

TEST(KeyReportTest, BothReportsSayWhichTableHasAKeyThatIsNotUnique)
{
    testsupport::TempDir dir;
    const TableDef table = Unkeyed({L"A"});
    const std::wstring path1 = Path(dir, "one.mdb"), path2 = Path(dir, "two.mdb");
    CreateStore(path1, {table});
    CreateStore(path2, {table});
    // 7 twice in Database1's tail, which the comparison itself does not read.
    InsertRows(path1, table,
               {{L(1), Variant(L"x"), Variant(L"a")},
                {L(7), Variant(L"x"), Variant(L"b")},
                {L(7), Variant(L"x"), Variant(L"c")}});
    InsertRows(path2, table, {{L(1), Variant(L"x"), Variant(L"a")}});
    ComparedStores stores(path1, path2, {table});
    FakeProgress progress;

    const fs::path html = dir / "report.html";
    HtmlReportWriter htmlWriter(automation::FromUtf8(html.string()), path1, path2, stores.Store(),
                                stores.Reader(), stores.Pairs(), true, true, true, true);
    htmlWriter.Run(progress);
    ASSERT_FALSE(htmlWriter.Failed()) << automation::ToUtf8(htmlWriter.ErrorText());
    const std::string text = Bytes(html);
    // In the table list in place of the number of records, and under the table's caption.
    EXPECT_NE(text.find("Dup</a></td><td>Key not unique in Db1: 7</td>"), std::string::npos)
        << text;
    EXPECT_NE(text.find("<b>Key not unique in Db1: 7</b>"), std::string::npos) << text;

    excel::RegisterSpreadsheetClasses();
    const fs::path xls = dir / "report.xls";
    ExcelReportWriter excelWriter(automation::FromUtf8(xls.string()), path1, path2, stores.Store(),
                                  stores.Reader(), stores.Pairs(), true, true, true, true);
    excelWriter.Run(progress);
    ASSERT_FALSE(excelWriter.Failed()) << automation::ToUtf8(excelWriter.ErrorText());
    const auto book = testsupport::ReadXls(xls);
    if (!book.error.empty())
        GTEST_SKIP() << book.error;
    const auto* cell = book.Cell(0, 8, 1);  // B9
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->text.rfind("Key not unique in Db1: 7", 0), 0u) << cell->text;
}

}  // namespace
}  // namespace synctest

namespace synctest {
namespace {

// A single key against a double key pairs at a single's precision; the script finds each row
// of the target by the target's own key value, so the row of the pair is changed whichever
// side's value the other one's literal would miss.
TEST(MixedKeyTypesTest, ASingleKeyAgainstADoubleKeySynchronisesBothWays)
{
    const TableDef singles{
        L"T", {{L"k", L"SINGLE", 4}, {L"v", L"TEXT(10)", 202}}, {L"k"}, true, {}};
    const TableDef doubles{
        L"T", {{L"k", L"DOUBLE", 5}, {L"v", L"TEXT(10)", 202}}, {L"k"}, true, {}};
    for (int direction : {1, 2}) {
        SCOPED_TRACE(direction);
        testsupport::TempDir dir;
        const std::wstring path1 = Path(dir, "one.mdb"), path2 = Path(dir, "two.mdb");
        CreateStore(path1, {singles});
        CreateStore(path2, {doubles});
        InsertRows(path1, singles,
                   {{Variant(0.1f), Variant(L"old")},
                    {Variant(1.1f), Variant(L"same")},
                    {Variant(2.5f), Variant(L"one")}});
        InsertRows(path2, doubles,
                   {{Variant(0.1000000001), Variant(L"new")},
                    {Variant(1.1), Variant(L"same")},
                    {Variant(7.25), Variant(L"two")}});
        const std::wstring script = Path(dir, "sync.sql");
        const std::vector<TableDef> side2{doubles};
        {
            ComparedStores stores(path1, path2, {singles}, &side2);
            EXPECT_EQ(stores.Store().TableResultAt(0)->Counts(), (std::array<int, 4>{1, 1, 1, 1}));
            ScriptFileWriter writer(*stores.schema1, *stores.schema2, stores.Store(),
                                    stores.Reader(), stores.Pairs(), script,
                                    TextFileWriter::kUtf8, direction, true, true, true);
            FakeProgress progress;
            writer.Run(progress);
            ASSERT_FALSE(writer.Failed()) << automation::ToUtf8(writer.ErrorText());
            DirectSync sync(direction, script, false, stores.Context());
            sync.Run(progress);
            ASSERT_FALSE(sync.Failed()) << automation::ToUtf8(sync.ErrorText());
        }
        ComparedStores again(path1, path2, {singles}, &side2);
        EXPECT_EQ(again.Store().TableResultAt(0)->Counts(), (std::array<int, 4>{3, 0, 0, 0}));
    }
}

}  // namespace
}  // namespace synctest
