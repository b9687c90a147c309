// The comparison worker and its ticker on real threads: the order of notices,
// progress ticks, stopping, errors, and runs that are abandoned or replaced.
#include <gtest/gtest.h>
#include <sched.h>

#include <chrono>
#include <thread>

#include "compare/data_compare_model.h"
#include "comparison_fixture.h"

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class EventLog {
public:
    void Add(std::string event)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
        times_.push_back(Clock::now());
    }
    std::vector<std::string> Events()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::vector<Clock::time_point> Times()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return times_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<Clock::time_point> times_;
};

void Observe(ComparisonHarness& h, DataCompareModel* model, EventLog& log)
{
    ASSERT_TRUE(model);
    model->recordProgress = [&log](int done, int total) {
        log.Add("progress " + std::to_string(done) + "/" + std::to_string(total));
    };
    model->tableDone = [&log](int count) { log.Add("table " + std::to_string(count)); };
    h.context->SetCompletionCallback([&log] { log.Add("finished"); });
}

std::vector<Row> Numbered(int count)
{
    std::vector<Row> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({I(i), T(L"v")});
    return rows;
}

TEST(DataCompareWorkerTest, EmptyTablesReportProgressThenTableDoneThenFinished)
{
    ComparisonHarness h;
    h.AddBoth(L"T", {L"id"}, {}, {});
    h.Pairs();
    EventLog log;
    Observe(h, h.context->PrepareDataComparison(), log);
    h.context->StartThreads();
    for (int i = 0; i < 200 && log.Events().size() < 3; ++i)
        std::this_thread::sleep_for(milliseconds(10));
    EXPECT_EQ(log.Events(), (std::vector<std::string>{"progress 0/0", "table 1", "finished"}));
    EXPECT_FALSE(h.context->HasError());
}

#ifdef CRV_SANITIZED_BUILD
// The sanitizers slow every thread several times over on a busy machine; there this test
// looks for races only, and the plain build checks the cadence.
constexpr bool kCheckCadence = false;
#else
constexpr bool kCheckCadence = true;
#endif

TEST(DataCompareWorkerTest, TicksComeAfterOneSecondThenEveryHalfSecond)
{
    ComparisonHarness h;
    h.AddBoth(L"T", {L"id", L"v"}, Numbered(8000), Numbered(8000));
    h.db1.SetRowDelay(std::chrono::microseconds(500));  // about 4 s of rows
    h.Pairs();
    EventLog log;
    Observe(h, h.context->PrepareDataComparison(), log);
    const auto start = Clock::now();
    h.context->StartThreads();
    while (log.Events().size() < 3 && Clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(milliseconds(10));
    const auto stopAsked = Clock::now();
    EXPECT_EQ(h.context->StopAndWait(), ComparisonContext::kWaitObject0);
    EXPECT_LT(Clock::now() - stopAsked, milliseconds(500));

    const auto times = log.Times();
    ASSERT_GE(times.size(), 3u);
    auto ms = [](auto d) { return std::chrono::duration_cast<milliseconds>(d).count(); };
    if (kCheckCadence) {
        EXPECT_NEAR(ms(times[0] - start), 1000, 250);
        EXPECT_NEAR(ms(times[1] - times[0]), 500, 250);
        EXPECT_NEAR(ms(times[2] - times[1]), 500, 250);
    }
    // Stopped: no completion notice, and nothing flushed after the stop.
    const size_t seen = log.Events().size();
    std::this_thread::sleep_for(milliseconds(700));
    EXPECT_EQ(log.Events().size(), seen);
    for (const auto& event : log.Events())
        EXPECT_NE(event, "finished");
}

struct ErrorCase {
    const char* what;
    std::wstring failOn;  // statement fragment that fails on Database1
    std::wstring description;
    std::wstring expected;
    int results;  // table results added before the failure
};

// A case is named by what it tries, so that the test's name is readable and the same in every
// build (not the bytes of the parameter).
void PrintTo(const ErrorCase& c, std::ostream* os)
{
    *os << c.what;
}

class WorkerErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(WorkerErrorTest, EndsTheRunWithTheErrorText)
{
    const ErrorCase& c = GetParam();
    ComparisonHarness h;
    h.AddBoth(L"A", {L"id"}, Numbered(3), Numbered(3));
    h.AddBoth(L"B", {L"id"}, Numbered(3), Numbered(3));
    h.db1.FailOn(c.failOn, c.description);
    h.Run();
    EXPECT_EQ(h.Finished(), 1);
    EXPECT_TRUE(h.context->HasError());
    EXPECT_EQ(h.context->ErrorText(), c.expected) << c.what;
    EXPECT_EQ(h.context->Store()->ResultCount(), c.results) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorkerErrorTest,
    testing::Values(ErrorCase{"count fails", L"count(*) from [A]", L"Disk gone.", L"Disk gone.", 0},
                    ErrorCase{"count fails without a description", L"count(*) from [A]", L"",
                              L"Database error.", 0},
                    ErrorCase{"open fails on the second table", L"from [B] order",
                              L"No such table.", L"No such table.", 2}));

TEST(DataCompareWorkerTest, AReadFailureInTheMiddleOfATableEndsTheRun)
{
    ComparisonHarness h;
    h.AddBoth(L"T", {L"id", L"v"}, Numbered(2000), Numbered(2000));
    h.db2.failAfterRows = 700;
    h.Run();
    EXPECT_EQ(h.Finished(), 1);
    EXPECT_TRUE(h.context->HasError());
    EXPECT_EQ(h.context->ErrorText(), L"The disk went away.");
}

// Runs what the test does next on the first `count` processors this thread may use; the
// threads it starts inherit them. Restores the old set when it goes.
class OnProcessors {
public:
    explicit OnProcessors(int count)
    {
        CPU_ZERO(&old_);
        sched_getaffinity(0, sizeof old_, &old_);
        cpu_set_t fewer;
        CPU_ZERO(&fewer);
        for (int cpu = 0, taken = 0; cpu < CPU_SETSIZE && taken < count; ++cpu)
            if (CPU_ISSET(cpu, &old_)) {
                CPU_SET(cpu, &fewer);
                ++taken;
            }
        sched_setaffinity(0, sizeof fewer, &fewer);
    }
    ~OnProcessors() { sched_setaffinity(0, sizeof old_, &old_); }
    OnProcessors(const OnProcessors&) = delete;
    OnProcessors& operator=(const OnProcessors&) = delete;

private:
    cpu_set_t old_;
};

// Rows 1..count, some changed, some left out of one side, with the read window's
// borders and batches crossed many times over.
void AddMixedTable(ComparisonHarness& h, int count)
{
    std::vector<Row> rows1, rows2;
    for (int i = 1; i <= count; ++i) {
        if (i % 7 != 2)
            rows1.push_back({I(i), T(L"v")});
        if (i % 11 != 3)
            rows2.push_back({I(i), T(i % 13 == 5 ? L"w" : L"v")});
    }
    h.AddBoth(L"T", {L"id", L"v"}, rows1, rows2);
}

TEST(DataCompareWorkerTest, OneOrTwoProcessorsGiveTheSameResultAsMany)
{
    // With few processors the merge reads one side or both itself instead of on reading
    // threads: every outcome must stay where the threaded read puts it.
    constexpr int kRows = 20000;
    std::vector<StoredRow> expected;
    std::array<int, 4> counts{};
    {
        ComparisonHarness h;
        AddMixedTable(h, kRows);
        h.Run();
        ASSERT_FALSE(h.context->HasError());
        expected = h.StoredRows(0);
        counts = h.Counts(0);
    }
    EXPECT_GT(counts[1], 0);
    EXPECT_GT(counts[2], 0);
    EXPECT_GT(counts[3], 0);
    for (int processors : {1, 2}) {
        OnProcessors few(processors);
        ComparisonHarness h;
        AddMixedTable(h, kRows);
        h.Run();
        EXPECT_FALSE(h.context->HasError()) << processors;
        EXPECT_EQ(h.Counts(0), counts) << processors;
        EXPECT_EQ(h.StoredRows(0), expected) << processors;
    }
}

TEST(DataCompareWorkerTest, AReadFailureOnOneOrTwoProcessorsEndsTheRun)
{
    // A side the merge reads itself fails as a side read by its own thread does: the run
    // ends with the reader's error, never as a finished comparison.
    for (int processors : {1, 2}) {
        for (int failing : {1, 2}) {
            OnProcessors few(processors);
            ComparisonHarness h;
            h.AddBoth(L"T", {L"id", L"v"}, Numbered(2000), Numbered(2000));
            (failing == 1 ? h.db1 : h.db2).failAfterRows = 700;
            h.Run();
            EXPECT_EQ(h.Finished(), 1) << processors << " " << failing;
            EXPECT_TRUE(h.context->HasError()) << processors << " " << failing;
            EXPECT_EQ(h.context->ErrorText(), L"The disk went away.")
                << processors << " " << failing;
        }
    }
}

TEST(DataCompareWorkerTest, AConversionFailureInTheMergeBecomesTheRunsError)
{
    ComparisonHarness h;
    h.AddBoth(L"T", {L"k"}, {{T(L"a")}}, {{automation::Variant::FromError(automation::E_FAIL)}});
    h.Run();
    EXPECT_TRUE(h.context->HasError());
    // The conversion's own text, without a caption or line end around it.
    const std::wstring text = h.context->ErrorText();
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.rfind(L"Error: ", 0), 0u);
    EXPECT_NE(text.back(), L'\n');
}

// A side whose connection owns its own data, so an abandoned run can outlive the test's
// objects.
std::unique_ptr<RecordConnection> SlowSide(int rows, std::chrono::microseconds delay)
{
    auto db = std::make_unique<MemoryDatabase>();
    db->AddTable(L"T", {L"id", L"v"}, Numbered(rows));
    db->SetRowDelay(delay);
    return db;
}

TEST(DataCompareWorkerTest, AnAbandonedRunOutlivesItsContextAndPairs)
{
    auto schema1 = std::make_unique<DatabaseSchema>(L"1");
    auto schema2 = std::make_unique<DatabaseSchema>(L"2");
    AddTable(*schema1, L"T", {L"id", L"v"}, {L"id"});
    AddTable(*schema2, L"T", {L"id", L"v"}, {L"id"});
    auto context = std::make_unique<ComparisonContext>(
        [](int) { return SlowSide(3, std::chrono::milliseconds(600)); });
    bool finished = false;
    context->SetCompletionCallback([&finished] { finished = true; });
    context->BuildTablePairs(*schema1, *schema2);
    context->PrepareDataComparison();
    context->StartThreads();
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(context->StopAndWait(milliseconds(20)), ComparisonContext::kWaitTimeout);
    EXPECT_TRUE(context->IsWorkerAbandoned());
    // Everything the abandoned worker could reach outside its run goes now.
    context->BuildTablePairs(*schema1, *schema2);
    context.reset();
    schema1.reset();
    schema2.reset();
    std::this_thread::sleep_for(milliseconds(1500));
    EXPECT_FALSE(finished);
}

TEST(DataCompareWorkerTest, StartStopRestartAndAbandonRepeatedly)
{
    ComparisonHarness h;
    h.AddBoth(L"A", {L"id", L"v"}, Numbered(300), Numbered(290));
    h.AddBoth(L"B", {L"id", L"v"}, Numbered(50), Numbered(60));
    h.db1.SetRowDelay(std::chrono::microseconds(20));
    for (int round = 0; round < 20; ++round) {
        h.Start();
        std::this_thread::sleep_for(milliseconds(round % 4));
        if (round % 5 == 4) {
            h.context->PrepareDataComparison();  // replaces a run that may still go
            continue;
        }
        const int wait =
            h.context->StopAndWait(round % 3 == 0 ? milliseconds(0) : milliseconds(10000));
        if (round % 3 != 0) {
            EXPECT_EQ(wait, ComparisonContext::kWaitObject0);
        }
    }
    h.Run();
    EXPECT_FALSE(h.context->HasError());
    EXPECT_EQ(h.Counts(0), (std::array<int, 4>{290, 10, 0, 0}));
    EXPECT_EQ(h.Counts(1), (std::array<int, 4>{50, 0, 10, 0}));
    // Runs let go without waiting may still read: they keep the databases alive.
}

}  // namespace
