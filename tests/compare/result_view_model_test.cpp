// The records page's models: lines by kind, the filter, the window cache, the page
// cache, and re-reading rows after the record sources were closed and reopened.
#include <gtest/gtest.h>

#include "compare/data_compare_model.h"
#include "compare/data_reader.h"
#include "compare/record_reader.h"
#include "compare/row_page_cache.h"
#include "comparison_fixture.h"

namespace {

using namespace testsupport;

std::string Describe(const RecordLines& lines)
{
    std::string out;
    for (const RecordLine* line : lines) {
        out += std::to_string(line->kind) + ":";
        for (const auto& cell : line->cells) {
            for (wchar_t ch : cell.text)
                out += ch == L'\r' ? '~' : static_cast<char>(ch);
            if (cell.changed)
                out += "*";
            out += ",";
        }
        out += " ";
    }
    return out;
}

class ResultViewModelTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Database1 only 3, modified 2, Database2 only 4, equal 1 and 5.
        h.AddBoth(L"T", {L"id", L"name"},
                  {{I(1), T(L"a")}, {I(2), T(L"b")}, {I(3), T(L"x\r\ny")}, {I(5), T(L"e")}},
                  {{I(1), T(L"a")}, {I(2), T(L"B")}, {I(4), T(L"d")}, {I(5), T(L"e")}});
        h.Run();
        model = h.context->Model();
    }
    RecordRowSource* Source()
    {
        RecordRowSource* source = model->GetRecordSource(0);
        source->Refresh();
        return source;
    }

    ComparisonHarness h;
    DataCompareModel* model = nullptr;
};

TEST_F(ResultViewModelTest, LinesFollowTheKindsSwitchedOn)
{
    struct Case {
        bool first, second, modified, equal;
        int first_line;
        std::string expected;
    };
    const Case cases[] = {
        {true, true, true, false, 0, "2:2,b*, 3:2,B*, 0:3,x~y, 1:4,d, "},
        {true, true, true, false, 2, "0:3,x~y, 1:4,d, "},
        // A window that starts at the Database2 line of a modified record.
        {true, true, true, false, 1, "3:2,B*, 0:3,x~y, 1:4,d, "},
        {false, false, false, true, 0, "4:1,a, 4:5,e, "},
        {true, true, true, true, 0, "4:1,a, 2:2,b*, 3:2,B*, 0:3,x~y, 1:4,d, 4:5,e, "},
    };
    for (const Case& c : cases) {
        model->SetCategoryFilter(c.first, c.second, c.modified, c.equal);
        RecordRowSource* source = Source();
        EXPECT_TRUE(source->IsReady());
        EXPECT_EQ(*source->ColumnCaptions(), (CaptionList{L"id", L"name"}));
        EXPECT_EQ(Describe(source->GetLines(c.first_line, 50)), c.expected);
    }
}

TEST_F(ResultViewModelTest, OnlyEqualSwitchedOnShowsNothingOfATableThatAllDiffers)
{
    ComparisonHarness all;
    all.AddBoth(L"T", {L"id"}, {{I(1)}}, {{I(2)}});
    all.Run();
    DataCompareModel* m = all.context->Model();
    m->SetCategoryFilter(false, false, false, true);
    RecordRowSource* source = m->GetRecordSource(0);
    source->Refresh();
    EXPECT_EQ(source->LineCount(), 0);
    EXPECT_TRUE(source->GetLines(0, 50).empty());
}

TEST_F(ResultViewModelTest, TheSameTableKeepsItsSourceUntilTheFilterChanges)
{
    RecordRowSource* source = model->GetRecordSource(0);
    EXPECT_EQ(model->GetRecordSource(0), source);
    int started = 0;
    const std::vector<TableRow> rows = model->BuildTableRows(started);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].current);
    EXPECT_EQ(rows[0].counts[0], L"2");  // equal
    EXPECT_EQ(rows[0].counts[1], L"1");  // Database1 only
    EXPECT_EQ(rows[0].counts[2], L"1");  // Database2 only
    EXPECT_EQ(rows[0].counts[3], L"1");  // modified
}

TEST_F(ResultViewModelTest, PageCacheHandsOutCellTexts)
{
    RowPageCache pages(Source());
    ASSERT_TRUE(pages.GetCellText(1, 1));
    EXPECT_EQ(*pages.GetCellText(1, 1), L"B");
    EXPECT_EQ(pages.GetCellText(1, 2), nullptr);
    EXPECT_EQ(pages.GetLine(4), nullptr);
    EXPECT_EQ(pages.GetLine(0)->kind, RecordLine::kModifiedFirst);
}

TEST(LineWindowCacheTest, ScrollingBySmallStepsReadsOnlyAtTheEdges)
{
    ComparisonHarness h;
    std::vector<Row> rows;
    for (int i = 1; i <= 2000; ++i)
        rows.push_back({I(i)});
    h.AddBoth(L"T", {L"id"}, rows, rows);
    h.Run();
    DataCompareModel* model = h.context->Model();
    model->SetCategoryFilter(false, false, false, true);
    RecordRowSource* source = model->GetRecordSource(0);
    source->Refresh();
    ASSERT_EQ(source->LineCount(), 2000);

    // The window holds a margin of 50 lines on each side of the first request.
    EXPECT_EQ(source->GetLines(1000, 50).front()->cells[0].text, L"1001");
    int before = h.db1.rowsRead.load();
    for (int first = 950; first <= 1000; first += 7)
        EXPECT_EQ(source->GetLines(first, 50).front()->cells[0].text, std::to_wstring(first + 1));
    EXPECT_EQ(h.db1.rowsRead.load(), before);  // inside the window: nothing read
    // One line further reads the lines behind the window only, not the window again.
    EXPECT_EQ(source->GetLines(1001, 50).back()->cells[0].text, L"1051");
    EXPECT_GT(h.db1.rowsRead.load(), before);
    EXPECT_LE(h.db1.rowsRead.load(), before + 60);
    before = h.db1.rowsRead.load();
    EXPECT_EQ(source->GetLines(1002, 50).back()->cells[0].text, L"1052");
    EXPECT_EQ(h.db1.rowsRead.load(), before);
    EXPECT_EQ(source->GetLines(990, 50).front()->cells[0].text, L"991");
    EXPECT_EQ(source->GetLines(1980, 50).size(), 20u);
}

TEST(DataReaderTest, RowsStayRightAfterTheirResultsWereClosedAndReopened)
{
    ComparisonHarness h;
    const int tables = 33;
    for (int t = 0; t < tables; ++t) {
        std::vector<Row> rows;
        for (int r = 1; r <= 3; ++r)
            rows.push_back(
                {I(r), T((L"t" + std::to_wstring(t) + L"r" + std::to_wstring(r)).c_str())});
        h.AddBoth(L"T" + std::to_wstring(t), {L"id", L"v"}, rows, rows);
    }
    h.Run();
    DataReader& reader = *h.context->Reader();
    ASSERT_EQ(reader.PairCount(), tables);

    auto read = [&](int table, int row) {
        EqualSideRecordItem item(row);
        auto records = reader.ReadRecords(table, {&item});
        return static_cast<FirstOnlyRecordItem&>(*records.at(0)).Record().ValueAt(1).ToText();
    };
    EXPECT_EQ(read(0, 2), L"t0r2");  // table 0 reopens; its cursor now stands at row 3
    for (int t = 1; t < tables; ++t)
        read(t, 1);  // 32 more pairs: table 0 is closed again
    const int executions = h.db1.executions.load();
    EXPECT_EQ(read(0, 3), L"t0r3");  // reopened at row 1: the row must be sought again
    EXPECT_EQ(h.db1.executions.load(), executions + 1);
    EXPECT_THROW(reader.GetPairAt(tables), std::out_of_range);
    try {
        reader.GetPairAt(tables);
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "incorrect index");
    }
}

TEST(DataReaderTest, AReaderSeeksOnlyWhenItsCursorStandsElsewhere)
{
    MemoryDatabase db;
    db.AddTable(L"T", {L"id"}, {{I(1)}, {I(2)}, {I(3)}, {I(4)}, {I(5)}, {I(6)}});
    RecordReader reader(db, L"select [id] from [T] order by [id]");
    ASSERT_EQ(reader.GetRecordAt(4)->RowNumber(), 4);
    const int seeks = db.seeks.load();
    EXPECT_EQ(reader.GetRecordAt(5)->ValueAt(0).ToText(), L"5");
    EXPECT_EQ(db.seeks.load(), seeks);
    EXPECT_EQ(reader.GetRecordAt(3)->ValueAt(0).ToText(), L"3");
    EXPECT_EQ(db.seeks.load(), seeks + 1);
    EXPECT_EQ(reader.GetRecordAt(RecordCursor::kPositionEof), nullptr);

    MemoryDatabase empty;
    empty.AddTable(L"E", {L"id"}, {});
    RecordReader none(empty, L"select [id] from [E] order by [id]");
    EXPECT_EQ(none.NextPosition(), RecordCursor::kPositionEof);
    RecordStream stream(none);
    EXPECT_EQ(stream.Next(), nullptr);
}

TEST(DataReaderTest, ImagesReadManyAtATimeKeepTheirPositionsAndTheRowsBeforeAFailure)
{
    // Rows read as images go many to a batch: each keeps its own position, a batch
    // stops short at the end, and a row that fails leaves the rows before it read,
    // then the error, then the stream standing on the failing row.
    MemoryDatabase db;
    std::vector<Row> rows;
    for (int i = 1; i <= 150; ++i)
        rows.push_back({I(i)});
    db.AddTable(L"T", {L"id"}, rows);
    const std::vector<provider::RowImage::Kind> kinds = {provider::RowImage::Value};
    {
        RecordReader reader(db, L"select [id] from [T] order by [id]");
        RecordStream stream(reader, kinds);
        std::vector<std::unique_ptr<DbRecord>> out, reusable;
        EXPECT_TRUE(stream.NextBatch(out, 64, reusable));
        EXPECT_TRUE(stream.NextBatch(out, 64, reusable));
        EXPECT_FALSE(stream.NextBatch(out, 64, reusable));
        ASSERT_EQ(out.size(), 150u);
        for (int i = 0; i < 150; ++i) {
            ASSERT_EQ(out[i]->RowNumber(), i + 1);
            ASSERT_TRUE(out[i]->IsImage());
            const auto& image = out[i]->Image();
            ASSERT_EQ(image.ValueOf(image.columns[0]).lVal(), i + 1);
        }
        // The records a batch did not fill come back, and so do all at the end.
        const size_t records = reusable.size() + out.size();
        for (auto& record : out)
            reusable.push_back(std::move(record));
        out.clear();
        EXPECT_FALSE(stream.NextBatch(out, 64, reusable));
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(reusable.size(), records);
    }
    db.rowsRead = 0;
    db.failAfterRows = 100;
    RecordReader reader(db, L"select [id] from [T] order by [id]");
    RecordStream stream(reader, kinds);
    std::vector<std::unique_ptr<DbRecord>> out, reusable;
    EXPECT_TRUE(stream.NextBatch(out, 64, reusable));
    EXPECT_THROW(stream.NextBatch(out, 64, reusable), automation::ComError);
    ASSERT_EQ(out.size(), 100u);
    EXPECT_EQ(out.back()->RowNumber(), 100);
    EXPECT_EQ(reusable.size(), 28u);  // the batch's unfilled records come back
    db.failAfterRows = -1;
    auto next = stream.Next();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->RowNumber(), 101);
}

TEST(DataReaderTest, ACountThatIsNotALongIsZero)
{
    struct WideCount : MemoryDatabase {
        automation::Variant ExecuteScalar(const std::wstring&) override
        {
            return automation::Variant(int64_t(5));
        }
    } db;
    EXPECT_EQ(DataReader::CountRows(L"T", db), 0);
}

}  // namespace
