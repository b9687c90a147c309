// The long-running work of the comparison program outside the data comparison itself (loading a
// schema, writing the script or a report, the direct synchronisation): a progress page runs a
// task's Run on a worker thread and reads its outcome once that thread has ended.
#pragma once

#include <atomic>
#include <string>

class IProgress;

class WizardTask {
public:
    WizardTask() = default;
    WizardTask(const WizardTask&) = delete;
    WizardTask& operator=(const WizardTask&) = delete;
    virtual ~WizardTask() = default;

    // Does the whole work on the calling thread; returns when it is done, failed or stopped.
    // Throws nothing: every failure becomes the task's error flag and text.
    virtual void Run(IProgress& progress) = 0;

    // Read on the UI thread after the worker has ended.
    virtual bool Failed() const = 0;
    virtual std::wstring ErrorText() const = 0;
    // What the user must still know of a task that succeeded (what it left as it was), for the
    // page that ends the branch; empty by default.
    virtual std::wstring Notice() const { return {}; }

    // Called from the UI thread while Run runs. A task that honours it tests its stop flag
    // between units of work and returns early without setting its error flag. By default a
    // task runs to its end.
    virtual void RequestStop() {}
};

// The stop flag of a task that honours RequestStop: written by the UI thread and read by the
// worker while the task runs, so it must be atomic. Relaxed order suffices: it guards no other
// data, and the page joins the worker before reading any result.
class TaskStopFlag {
public:
    void Request() { requested_.store(true, std::memory_order_relaxed); }
    bool IsRequested() const { return requested_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> requested_{false};
};
