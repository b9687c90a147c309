// A worker's progress reaches a real progress bar on the UI thread, in order, within its range.
#include "sqlexec/progress.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>
#include <memory>
#include <thread>
#include <vector>

namespace {

void DeliverQueuedCalls()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

std::vector<int> Upto(int last)
{
    std::vector<int> v;
    for (int i = 1; i <= last; ++i)
        v.push_back(i);
    return v;
}

TEST(Progress, WorkerProgressReachesTheBarInOrderWithinItsRange)
{
    struct Case {
        const char* name;
        int total;
        int advances;  // this many calls of Advance(delta), or of Step when delta is 1
        int delta;
        bool done;                  // Done at the end
        int maximum;                // the bar's range is 0..maximum
        std::vector<int> expected;  // the values the bar takes, from 0
    };
    const Case cases[] = {
        {"fifty units step once each", 50, 50, 1, false, 50, Upto(50)},
        {"a thousand units step every ten", 1000, 1000, 1, false, 100, Upto(100)},
        // 101 units would take 101 one-unit steps: the bar stops at its end.
        {"never more steps than the range", 101, 101, 1, false, 100, Upto(100)},
        // One big advance moves one step; completion fills the bar, not past its end.
        {"one large advance, then done", 1000, 1, 1000, true, 100, {1, 100}},
        {"done below a hundred fills the bar", 40, 1, 3, true, 40, {1, 40}},
        // Above 2^31/16 the step arithmetic must not overflow: half the work, half the bar.
        {"a huge total", 1'000'000'000, 500, 1'000'000, false, 100, Upto(50)},
        // Nothing to do: an empty bar (not the busy animation), and nothing moves it.
        {"a total of zero", 0, 2, 5, true, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProgressBar bar;
        bar.setRange(0, 7);
        bar.setValue(3);
        auto progress =
            std::make_unique<Progress>(&bar);  // made on the UI thread, as the page does
        EXPECT_EQ(bar.value(), 0);

        std::vector<int> values;
        QObject::connect(&bar, &QProgressBar::valueChanged,
                         [&values](int v) { values.push_back(v); });
        // The UI thread does not run its event loop until the worker has finished: a worker
        // that waited on the UI thread would hang here.
        std::thread worker([&] {
            IProgress& sink = *progress;
            sink.SetTotal(c.total);
            for (int i = 0; i < c.advances; ++i) {
                if (c.delta == 1)
                    sink.Step();
                else
                    sink.Advance(c.delta);
            }
            if (c.done)
                sink.Done();
        });
        worker.join();
        EXPECT_TRUE(values.empty());  // nothing touched the bar from the worker
        DeliverQueuedCalls();

        EXPECT_EQ(bar.minimum(), 0);
        EXPECT_EQ(bar.maximum(), c.maximum);
        EXPECT_EQ(values, c.expected);
        EXPECT_LE(bar.value(), bar.maximum());
    }
}

TEST(Progress, CallsOnTheUiThreadApplyAtOnce)
{
    QProgressBar bar;
    Progress progress(&bar);
    progress.SetTotal(20);
    progress.Step();
    EXPECT_EQ(bar.maximum(), 20);
    EXPECT_EQ(bar.value(), 1);
    progress.Done();
    EXPECT_EQ(bar.value(), 20);
}

TEST(Progress, CallsAfterTheBarIsGoneDoNothing)
{
    auto bar = std::make_unique<QProgressBar>();
    Progress progress(bar.get());
    std::thread([&] {
        progress.SetTotal(10);
        progress.Step();
    }).join();
    bar.reset();  // queued changes are still waiting
    DeliverQueuedCalls();
    std::thread([&] { progress.Done(); }).join();
    DeliverQueuedCalls();
    progress.Step();  // and on the UI thread
    SUCCEED();
}

}  // namespace
