// The comparison's threads against each other and against the UI thread: runs started,
// stopped, replaced and let go over and over, progress that must not reach a window after
// its run was let go, and the result store and the records view read while the worker fills
// them. Built normally and under the thread and address sanitizers; every loop is bounded in
// time so that a hang fails the test instead of stalling the suite.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "compare/category_record_list.h"
#include "compare/data_compare_model.h"
#include "compare/data_reader.h"
#include "compare/progress_observer.h"
#include "compare/table_result_node.h"
#include "comparison_fixture.h"

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Rows 1..count with every seventh row changed and every eleventh missing on `side` 2.
std::vector<Row> Rows(int count, int side)
{
    std::vector<Row> rows;
    for (int i = 1; i <= count; ++i) {
        if (side == 2 && i % 11 == 0)
            continue;
        rows.push_back({I(i), T(side == 2 && i % 7 == 0 ? L"changed" : L"v")});
    }
    return rows;
}

// Equal, Database1 only, Database2 only and modified rows of Rows(count, 1) against
// Rows(count, 2).
std::array<int, 4> ExpectedCounts(int count)
{
    std::array<int, 4> counts{};
    for (int i = 1; i <= count; ++i) {
        if (i % 11 == 0)
            counts[1] += 1;
        else if (i % 7 == 0)
            counts[3] += 1;
        else
            counts[0] += 1;
    }
    return counts;
}

void AddTables(ComparisonHarness& h, int tables, int rows)
{
    for (int t = 0; t < tables; ++t)
        h.AddBoth(L"T" + std::to_wstring(t), {L"id", L"v"}, Rows(rows, 1), Rows(rows, 2));
}

// Bounds a loop in time: a hang ends the loop and fails the test instead of stalling it.
class Deadline {
public:
    explicit Deadline(std::chrono::seconds limit) : end_(Clock::now() + limit) {}
    bool Passed() const { return Clock::now() >= end_; }

private:
    Clock::time_point end_;
};

TEST(CompareConcurrencyTest, RunsAreStartedStoppedReplacedAndLetGoOverAndOverThenOneRunsToItsEnd)
{
    ComparisonHarness h;
    AddTables(h, 3, 120);
    h.db1.SetRowDelay(std::chrono::microseconds(20));
    std::mt19937 random(7);
    const Deadline deadline(std::chrono::seconds(20));
    for (int round = 0; round < 60 && !deadline.Passed(); ++round) {
        h.Start();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        switch (round % 6) {
        case 0: {  // stop and wait: must end promptly, never by the stop limit
            const auto asked = Clock::now();
            EXPECT_EQ(h.context->StopAndWait(), ComparisonContext::kWaitObject0);
            EXPECT_LT(Clock::now() - asked, std::chrono::seconds(2)) << "round " << round;
            break;
        }
        case 1:  // stop without waiting: the run is let go while it may still read
            h.context->StopAndWait(milliseconds(0));
            break;
        case 2:  // a new run replaces one that is still going
            h.context->PrepareDataComparison();
            break;
        case 3:  // a new pair list while the run goes on over the old one
            h.context->BuildTablePairs(h.schema1, h.schema2);
            break;
        case 4:  // the window closes: the context goes while its run is going
            h.UseContext(h.NewContext());
            break;
        case 5:  // let go, then a new pair list and a new run at once
            h.context->StopAndWait(milliseconds(0));
            h.context->BuildTablePairs(h.schema1, h.schema2);
            h.context->PrepareDataComparison();
            break;
        }
    }
    EXPECT_FALSE(deadline.Passed()) << "the rounds took too long";
    h.UseContext(h.NewContext());
    h.Run();
    EXPECT_FALSE(h.context->HasError());
    ASSERT_EQ(h.context->Store()->ResultCount(), 3);
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(h.Counts(t), ExpectedCounts(120)) << "table " << t;
}

// What a window sees of one run: calls that arrive after the run was let go.
struct WindowState {
    std::atomic<bool> letGo{false};
    std::atomic<int> late{0};
    std::atomic<int> calls{0};
    void Call()
    {
        calls += 1;
        if (letGo.load())
            late += 1;
        // A call that takes a while: the window must not go while it is inside one.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        if (letGo.load())
            late += 1;
    }
};

TEST(CompareConcurrencyTest, NoProgressReachesTheWindowOnceTheStopHasReturned)
{
    ComparisonHarness h;
    AddTables(h, 150, 2);  // a notice per table: the worker calls back most of the time
    std::mt19937 random(11);
    std::vector<std::shared_ptr<WindowState>> windows;
    const Deadline deadline(std::chrono::seconds(20));
    for (int round = 0; round < 30 && !deadline.Passed(); ++round) {
        auto window = std::make_shared<WindowState>();
        windows.push_back(window);
        h.Pairs();
        DataCompareModel* model = h.context->PrepareDataComparison();
        model->recordProgress = [window](int, int) { window->Call(); };
        model->tableDone = [window](int) { window->Call(); };
        h.context->StartThreads();
        // Stop while the notices flow: after the first, at a random point of the run.
        const Deadline first(std::chrono::seconds(2));
        while (window->calls.load() == 0 && !first.Passed())
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        switch (round % 3) {
        case 0:
            h.context->StopAndWait(milliseconds(0));
            break;
        case 1:
            h.context->PrepareDataComparison();
            break;
        case 2:
            h.UseContext(h.NewContext());
            break;
        }
        window->letGo = true;  // the window may go from here on
    }
    // Runs that were let go end at their next table.
    std::this_thread::sleep_for(milliseconds(300));
    int calls = 0;
    for (const auto& window : windows) {
        EXPECT_EQ(window->late.load(), 0);
        calls += window->calls.load();
    }
    EXPECT_GT(calls, 0);
}

TEST(CompareConcurrencyTest, StoppingWhileTheUiThreadDoesNotTakeItsPostsEndsPromptly)
{
    ComparisonHarness h;
    AddTables(h, 40, 20);
    h.db1.SetRowDelay(std::chrono::microseconds(50));
    std::atomic<int> shownAfterClose{0};
    std::atomic<bool> closed{false};
    for (int round = 0; round < 6; ++round) {
        auto window = std::make_unique<QWidget>();
        ProgressObserver observer(window.get());
        h.Pairs();
        DataCompareModel* model = h.context->PrepareDataComparison();
        closed = false;
        auto post = [&] {
            observer.PostToUiThread([&] {
                if (closed)
                    shownAfterClose += 1;
            });
        };
        model->recordProgress = [post](int, int) { post(); };
        model->tableDone = [post](int) { post(); };
        model->tablesChanged = post;
        h.context->StartThreads();
        // The UI thread is busy: the worker's posts pile up untaken meanwhile.
        std::this_thread::sleep_for(milliseconds(20 + 15 * round));
        const auto asked = Clock::now();
        if (round % 2 == 0) {
            EXPECT_EQ(h.context->StopAndWait(), ComparisonContext::kWaitObject0);
        } else {
            h.UseContext(h.NewContext());  // closing the window stops and lets go at once
        }
        EXPECT_LT(Clock::now() - asked, milliseconds(1500)) << "round " << round;
        closed = true;
        window.reset();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(shownAfterClose.load(), 0);
}

// A side whose row count takes a while and that notices being closed while in use.
class SlowCountSide : public MemoryDatabase {
public:
    explicit SlowCountSide(std::shared_ptr<std::atomic<int>> closedInUse)
        : closedInUse_(std::move(closedInUse))
    {
        AddTable(L"T", {L"id"}, {{I(1)}});
    }
    automation::Variant ExecuteScalar(const std::wstring& statement) override
    {
        inUse_ = true;
        std::this_thread::sleep_for(milliseconds(300));
        inUse_ = false;
        return MemoryDatabase::ExecuteScalar(statement);
    }
    void Close() override
    {
        if (inUse_)
            *closedInUse_ += 1;
    }

private:
    std::shared_ptr<std::atomic<int>> closedInUse_;  // outlives the test with the run
    bool inUse_ = false;  // the reading thread's own: a close from another races with it
};

TEST(CompareConcurrencyTest, TheConnectionsOfARunThatWasLetGoStayItsOwn)
{
    auto closedInUse = std::make_shared<std::atomic<int>>(0);
    DatabaseSchema schema1(L"1"), schema2(L"2");
    AddTable(schema1, L"T", {L"id"}, {L"id"});
    AddTable(schema2, L"T", {L"id"}, {L"id"});
    ComparisonContext context(
        [closedInUse](int) { return std::make_unique<SlowCountSide>(closedInUse); });
    context.BuildTablePairs(schema1, schema2);
    context.PrepareDataComparison();
    context.StartThreads();
    std::this_thread::sleep_for(milliseconds(50));  // the worker counts rows now
    ASSERT_EQ(context.StopAndWait(milliseconds(10)), ComparisonContext::kWaitTimeout);
    context.CloseConnections();  // before the databases are written to
    std::this_thread::sleep_for(milliseconds(400));
    EXPECT_EQ(closedInUse->load(), 0);
}

TEST(CompareConcurrencyTest, TheCompletionNoticeMayBeReplacedWhileARunEnds)
{
    ComparisonHarness h;
    AddTables(h, 1, 3);
    std::atomic<int> notices{0};
    for (int round = 0; round < 20; ++round) {
        h.Start();
        const Deadline deadline(std::chrono::seconds(5));
        const int before = notices.load();
        while (notices.load() == before && !deadline.Passed())
            h.context->SetCompletionCallback([&notices] { notices += 1; });
        EXPECT_EQ(h.context->StopAndWait(), ComparisonContext::kWaitObject0);
    }
    EXPECT_EQ(notices.load(), 20);
}

TEST(CompareConcurrencyTest, TheResultStoreServesReadersWhileTheWorkerFillsIt)
{
    ComparisonHarness h;
    constexpr int kTables = 4, kRows = 1500;
    AddTables(h, kTables, kRows);
    h.db1.SetRowDelay(std::chrono::microseconds(40));
    h.Start();
    ResultStore* store = h.context->Store();
    DataCompareWorker* worker = h.context->Worker();
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    const Deadline deadline(std::chrono::seconds(30));

    std::vector<std::thread> readers;
    // Early flushes: the current result grows while the readers look at it.
    readers.emplace_back([&] {
        while (!done && !deadline.Passed()) {
            worker->WantFlush();
            std::this_thread::sleep_for(milliseconds(2));
        }
    });
    // Lines and counts only grow; a visit sees whole items.
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&] {
            std::vector<int> lastLines(kTables, 0);
            while (!done && !deadline.Passed()) {
                for (int t = 0; t < store->ResultCount(); ++t) {
                    const int lines = store->LineCountAt(t);
                    if (lines < lastLines[t])
                        failures += 1;
                    lastLines[t] = lines;
                    int offset = 0;
                    if (lines > 0 && store->LocateLineAt(t, lines - 1, offset) < 0)
                        failures += 1;
                    TableResult* result = store->TableResultAt(t);
                    StoredRowCollector collector;
                    store->VisitTableResult(result, collector);
                    if (static_cast<int>(collector.rows.size()) > store->CountAt(t))
                        failures += 1;
                    ObjectLock lock(result->Mutex());
                    const auto counts = result->Counts();
                    if (counts[0] < 0 || counts[1] < 0 || counts[2] < 0 || counts[3] < 0)
                        failures += 1;
                }
            }
        });
    }
    // A view of its own, fed as the result grows, and rows handed out by position.
    readers.emplace_back([&] {
        std::unique_ptr<TableResultNode> node;
        int table = 0, lastLines = 0;
        while (!done && !deadline.Passed()) {
            if (!node && store->ResultCount() > table) {
                node = store->CreateView(table, true, true, true, true);
                lastLines = 0;
            }
            if (!node) {
                std::this_thread::yield();
                continue;
            }
            node->Update();
            {
                ObjectLock lock(node->Mutex());
                const int lines = node->LineCount();
                if (lines < lastLines)
                    failures += 1;
                lastLines = lines;
                if (lines > 0 && node->GetRows(node->LocateLine(lines - 1), 1).size() != 1)
                    failures += 1;
            }
            if (store->ResultCount() > table + 1) {
                table += 1;
                node.reset();
            }
        }
    });

    EXPECT_TRUE(h.WaitFinished(std::chrono::seconds(30)));
    done = true;
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(h.context->StopAndWait(), ComparisonContext::kWaitObject0);
    EXPECT_EQ(failures.load(), 0);
    ASSERT_EQ(store->ResultCount(), kTables);
    for (int t = 0; t < kTables; ++t)
        EXPECT_EQ(h.Counts(t), ExpectedCounts(kRows)) << "table " << t;
}

TEST(CompareConcurrencyTest, TheRecordsViewReadsRowsWhileTheWorkerFillsTheStore)
{
    ComparisonHarness h;
    constexpr int kTables = 3, kRows = 1200;
    AddTables(h, kTables, kRows);
    h.db1.SetRowDelay(std::chrono::microseconds(40));
    h.Pairs();
    DataCompareModel* model = h.context->PrepareDataComparison();
    std::atomic<int> refreshes{0};
    model->recordsChanged = [&] { refreshes += 1; };
    h.context->StartThreads();
    DataCompareWorker* worker = h.context->Worker();
    const Deadline deadline(std::chrono::seconds(30));
    int round = 0;
    // The UI thread: the tables list, the records of the started tables and the filter,
    // while the worker and the ticker fill the store and refresh the shown source.
    while (h.Finished() == 0 && !deadline.Passed()) {
        worker->WantFlush();
        int started = 0;
        const std::vector<TableRow> rows = model->BuildTableRows(started);
        EXPECT_EQ(rows.size(), static_cast<size_t>(kTables));
        const int table = started > 0 ? round % started : 0;
        if (round % 25 == 24)
            model->SetCategoryFilter(true, true, true, round % 50 == 49);
        RecordRowSource* source = model->GetRecordSource(table);
        if (round % 5 == 0)
            source->Refresh();  // as the page does when it shows a table
        const int lines = source->LineCount();
        for (const RecordLine* line : source->GetLines(0, 30))
            EXPECT_EQ(line->cells.size(), 2u);
        if (lines > 40) {
            for (const RecordLine* line : source->GetLines(lines - 40, 40))
                EXPECT_EQ(line->cells.size(), 2u);
        }
        ++round;
        std::this_thread::sleep_for(milliseconds(1));
    }
    EXPECT_FALSE(deadline.Passed());
    EXPECT_EQ(h.context->StopAndWait(), ComparisonContext::kWaitObject0);
    // The finished result, seen through new sources: modified records show two lines.
    const std::array<int, 4> expected = ExpectedCounts(kRows);
    model->SetCategoryFilter(true, true, true, false);
    for (int t = 0; t < kTables; ++t) {
        RecordRowSource* source = model->GetRecordSource(t);
        source->Refresh();
        EXPECT_EQ(source->LineCount(), expected[1] + expected[2] + 2 * expected[3]);
        const RecordLines lines = source->GetLines(0, source->LineCount());
        ASSERT_EQ(lines.size(), static_cast<size_t>(source->LineCount()));
        // Row 7 is the first modified row, row 11 the first that Database2 lacks.
        EXPECT_EQ(lines[0]->kind, RecordLine::kModifiedFirst);
        EXPECT_EQ(lines[0]->cells[0].text, L"7");
        EXPECT_EQ(lines[1]->cells[1].text, L"changed");
        EXPECT_EQ(lines[2]->kind, RecordLine::kFirstOnly);
        EXPECT_EQ(lines[2]->cells[0].text, L"11");
    }
    EXPECT_GT(round, 3);
}

TEST(CompareConcurrencyTest, EarlierTablesAreReadAgainWhileTheWorkerOpensNewOnes)
{
    // More tables than the reader keeps open: the view reopens what the worker closed.
    ComparisonHarness h;
    const int tables = static_cast<int>(DataReader::kMaxOpenPairs) + 9;
    AddTables(h, tables, 30);
    h.db1.SetRowDelay(std::chrono::microseconds(100));
    h.Pairs();
    DataCompareModel* model = h.context->PrepareDataComparison();
    h.context->StartThreads();
    const std::array<int, 4> expected = ExpectedCounts(30);
    const Deadline deadline(std::chrono::seconds(30));
    int round = 0, checked = 0;
    while (h.Finished() == 0 && !deadline.Passed()) {
        int started = 0;
        model->BuildTableRows(started);
        // A table whose run has ended: all its lines are there.
        const int done = h.context->Store()->ResultCount() - 1;
        if (done > 0) {
            RecordRowSource* source = model->GetRecordSource(round % done);
            source->Refresh();
            const RecordLines lines = source->GetLines(0, source->LineCount());
            EXPECT_EQ(static_cast<int>(lines.size()),
                      expected[1] + expected[2] + 2 * expected[3]);
            ++checked;
        }
        ++round;
    }
    EXPECT_FALSE(deadline.Passed());
    EXPECT_EQ(h.context->StopAndWait(), ComparisonContext::kWaitObject0);
    EXPECT_GT(checked, 0);
}

}  // namespace
