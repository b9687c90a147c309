// The contract between a progress page and the task it runs on a worker thread.
#include "compare/wizard_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sqlexec/progress.h"

namespace {

// A task over many units of work that honours a stop request between units.
class CountingTask : public WizardTask {
public:
    void Run(IProgress& progress) override
    {
        progress.SetTotal(kUnits);
        for (int i = 0; i < kUnits; ++i) {
            if (stop_.IsRequested())
                return;
            ++units_;
            if (i == 10)
                started_.store(true);
            progress.Step();
        }
        progress.Done();
    }
    bool Failed() const override { return false; }
    std::wstring ErrorText() const override { return {}; }
    void RequestStop() override { stop_.Request(); }

    static constexpr int kUnits = 1'000'000'000;
    std::atomic<bool> started_{false};
    int units_ = 0;

private:
    TaskStopFlag stop_;
};

TEST(WizardTask, StopRequestFromTheUiThreadEndsARunEarlyWithoutAnError)
{
    CountingTask task;
    FakeProgress progress;
    std::thread worker([&] { task.Run(progress); });
    while (!task.started_.load())
        std::this_thread::yield();
    WizardTask& asTask = task;
    asTask.RequestStop();
    worker.join();
    EXPECT_LT(task.units_, CountingTask::kUnits);
    EXPECT_FALSE(asTask.Failed());
    EXPECT_EQ(asTask.ErrorText(), L"");
}

}  // namespace
