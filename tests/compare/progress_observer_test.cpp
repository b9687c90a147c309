// Progress calls from the comparison's threads reach the window on the UI thread,
// never block the caller, and are dropped once the window is gone.
#include "compare/progress_observer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <thread>

#include "compare/data_compare_model.h"
#include "comparison_fixture.h"

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;

TEST(ProgressObserverTest, ForeignCallsRunOnTheUiThreadAndNotAfterTheWindowIsGone)
{
    auto window = std::make_unique<QWidget>();
    ProgressObserver observer(window.get());
    EXPECT_FALSE(observer.IsForeignThread());

    const auto uiThread = std::this_thread::get_id();
    std::atomic<int> ran{0};
    std::atomic<bool> onUiThread{true};
    auto post = [&] {
        std::thread([&] {
            EXPECT_TRUE(observer.IsForeignThread());
            observer.PostToUiThread([&] {
                onUiThread = onUiThread && std::this_thread::get_id() == uiThread;
                ran += 1;
            });
        }).join();  // returns without the UI thread having run anything
    };
    post();
    EXPECT_EQ(ran.load(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran.load(), 1);
    EXPECT_TRUE(onUiThread);

    post();
    window.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(ran.load(), 1);
}

TEST(ProgressObserverTest, StoppingWhileTheWorkerPostsToTheWaitingUiThreadEndsPromptly)
{
    auto window = std::make_unique<QWidget>();
    ProgressObserver observer(window.get());
    ComparisonHarness h;
    std::vector<Row> rows;
    for (int i = 1; i <= 10000; ++i)
        rows.push_back({I(i), T(L"v")});
    h.AddBoth(L"T", {L"id", L"v"}, rows, rows);
    h.db1.SetRowDelay(std::chrono::milliseconds(1));  // about 10 s of rows
    h.Pairs();
    DataCompareModel* model = h.context->PrepareDataComparison();
    std::atomic<int> posted{0};
    std::atomic<int> shown{0};
    model->recordProgress = [&](int, int) {
        posted += 1;
        observer.PostToUiThread([&] { shown += 1; });
    };
    model->tableDone = [&](int) { observer.PostToUiThread([&] { shown += 1; }); };
    const auto started = Clock::now();
    h.context->StartThreads();
    // Wait for the first ticks to be posted (later on a busy machine or under a sanitizer).
    while (posted.load() < 2 && Clock::now() - started < std::chrono::seconds(8))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_GE(posted.load(), 1);
    const auto start = Clock::now();
    EXPECT_EQ(h.context->StopAndWait(), ComparisonContext::kWaitObject0);
#ifdef CRV_SANITIZED_BUILD
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
#else
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
#endif
    EXPECT_EQ(h.Finished(), 0);  // it was still running: stopped, not finished
    QCoreApplication::processEvents();
    EXPECT_GE(shown.load(), 1);
}

}  // namespace
