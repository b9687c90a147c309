// The result store: counts, lines, positions, rest ranges, visits and their abort,
// and the incremental delivery to views.
#include <gtest/gtest.h>

#include "compare/record_counter.h"
#include "compare/table_result_node.h"
#include "comparison_fixture.h"

namespace {

using namespace testsupport;

// Database1-only row 1, modified 2/2, equal 3, equal 4, Database2-only 5, rest of
// Database1 rows 6..8.
void Fill(ResultStore& store, const TablePair* pair)
{
    store.AddTableResult(pair, {L"id"}, L"q1", L"q2");
    store.AddToCurrent(std::make_unique<SideRecordItem>(1));
    store.AddToCurrent(std::make_unique<ModifiedDiffItem>(
        2, 2, std::make_shared<const std::vector<int>>(std::vector<int>{0})));
    store.AddToCurrent(std::make_unique<EqualSideRecordItem>(3));
    store.AddToCurrent(std::make_unique<EqualSideRecordItem>(4));
    store.AddToCurrent(std::make_unique<SecondSideRecordItem>(5));
    store.SetRest1(6, 8);
}

std::vector<StoredRow> Collect(const std::vector<RecordDiffItem*>& items)
{
    StoredRowCollector collector;
    for (RecordDiffItem* item : items)
        item->Accept(collector);
    return collector.rows;
}

TEST(ResultStoreTest, CountsLinesAndPositions)
{
    ResultStore store;
    Fill(store, nullptr);
    EXPECT_EQ(store.CountAt(0), 8);
    EXPECT_EQ(store.LineCountAt(0), 9);  // the modified record shows twice
    EXPECT_EQ(store.TableResultAt(1), nullptr);
    EXPECT_EQ(store.CountAt(1), 0);

    struct Locate {
        int line, index, offset;
    };
    for (const Locate& l : {Locate{0, 0, 0}, Locate{1, 1, 0}, Locate{2, 1, 1}, Locate{3, 2, 0},
                            Locate{4, 3, 0}, Locate{5, 4, 0}, Locate{6, 5, 0}, Locate{8, 7, 0}}) {
        int offset = -1;
        EXPECT_EQ(store.LocateLineAt(0, l.line, offset), l.index) << l.line;
        EXPECT_EQ(offset, l.offset) << l.line;
    }

    EXPECT_EQ(Collect(store.GetRowsAt(0, 3, 4)),
              (std::vector<StoredRow>{
                  {'=', 4, 0, {}}, {'2', 0, 5, {}}, {'1', 6, 0, {}}, {'1', 7, 0, {}}}));
    EXPECT_EQ(Collect(store.GetRowsAt(0, 7, 10)), (std::vector<StoredRow>{{'1', 8, 0, {}}}));
    EXPECT_TRUE(store.GetRowsAt(0, 8, 1).empty());
}

TEST(ResultStoreTest, InvertedRestRangeIsNoRest)
{
    ResultStore store;
    store.AddTableResult(nullptr, {}, L"", L"");
    store.SetRest2(5, 3);
    EXPECT_EQ(store.CountAt(0), 0);
    EXPECT_EQ(store.LineCountAt(0), 0);
}

class AbortingVisitor : public StoredRowCollector {
public:
    explicit AbortingVisitor(ResultStore& store, size_t after) : store_(store), after_(after) {}
    void VisitFirstOnly(SideRecordItem& i) override
    {
        StoredRowCollector::VisitFirstOnly(i);
        Check();
    }
    void VisitModified(ModifiedDiffItem& i) override
    {
        StoredRowCollector::VisitModified(i);
        Check();
    }
    void VisitEqual(EqualSideRecordItem& i) override
    {
        StoredRowCollector::VisitEqual(i);
        Check();
    }

private:
    void Check()
    {
        if (rows.size() == after_)
            store_.Abort();
    }
    ResultStore& store_;
    size_t after_;
};

TEST(ResultStoreTest, AbortEndsAVisitAtTheNextItemAndIsClearedForTheNextTask)
{
    ResultStore store;
    Fill(store, nullptr);
    for (size_t after : {1u, 3u, 7u}) {
        store.ResetAbort();
        AbortingVisitor visitor(store, after);
        store.VisitTableResult(store.TableResultAt(0), visitor);
        EXPECT_EQ(visitor.rows.size(), after);
    }
    store.ResetAbort();
    StoredRowCollector all;
    store.VisitTableResult(store.TableResultAt(0), all);
    EXPECT_EQ(all.rows.size(), 8u);
}

TEST(ResultStoreTest, CountSelectedRecordsAddsTheChosenKinds)
{
    ResultStore store;
    int pairTag = 0;
    const TablePair* pair = reinterpret_cast<const TablePair*>(&pairTag);
    Fill(store, pair);
    struct Case {
        bool first, second, modified, equal;
        int expected;
    };
    for (const Case& c : {Case{true, false, false, false, 4}, Case{false, true, false, false, 1},
                          Case{false, false, true, false, 1}, Case{false, false, false, true, 2},
                          Case{true, true, true, true, 8}}) {
        EXPECT_EQ(CountSelectedRecords(pair, store, c.first, c.second, c.modified, c.equal),
                  c.expected);
    }
    EXPECT_EQ(CountSelectedRecords(nullptr, store, true, true, true, true), 0);
}

TEST(ResultStoreTest, ViewsReceiveOnlyNewItemsOfTheirKinds)
{
    ResultStore store;
    store.AddTableResult(nullptr, {L"id"}, L"", L"");
    store.AddToCurrent(std::make_unique<SideRecordItem>(1));
    store.AddToCurrent(std::make_unique<EqualSideRecordItem>(2));

    auto onlyEqual = store.CreateView(0, false, false, false, true);
    auto firstOnly = store.CreateView(0, true, false, false, false);
    EXPECT_EQ(onlyEqual->LineCount(), 1);
    EXPECT_EQ(firstOnly->LineCount(), 1);
    onlyEqual->Update();
    EXPECT_EQ(onlyEqual->LineCount(), 1);  // nothing new, nothing twice

    store.AddToCurrent(std::make_unique<EqualSideRecordItem>(3));
    store.SetRest1(4, 6);
    onlyEqual->Update();
    firstOnly->Update();
    EXPECT_EQ(onlyEqual->LineCount(), 2);
    EXPECT_EQ(firstOnly->LineCount(), 4);  // row 1 and the rest 4..6
    EXPECT_EQ(Collect(onlyEqual->GetRows(0, 5)),
              (std::vector<StoredRow>{{'=', 2, 0, {}}, {'=', 3, 0, {}}}));
}

}  // namespace
