// Progress sinks: how a long operation (a schema load, an output task, a script run) reports how
// far it has come, to a progress bar or to nothing.
#pragma once

#include <QPointer>
#include <QProgressBar>
#include <cstdint>
#include <functional>

#include "sqlexec/i_progress.h"

// Drives a QProgressBar that lives on the UI thread from whichever thread runs the task. The
// counting happens on the calling thread; each change reaches the bar as a queued call, in
// order, so a worker never waits for the UI thread. Calls made on the UI thread apply at once.
// A change arriving after the bar is gone does nothing.
//
// The bar moves by whole steps: up to 100 steps for a total of 100 or more, one step per unit
// below that, at most one step per call. It never goes beyond its range, and a total of 0 shows
// an empty bar rather than Qt's busy animation.
class Progress : public IProgress {
public:
    explicit Progress(QProgressBar* bar);

    void SetTotal(int total) override;
    void Advance(int delta) override;
    void Step() override;
    void Done() override;

private:
    void SetPosition(int position);
    void OnBar(std::function<void(QProgressBar&)> change);

    QPointer<QProgressBar> bar_;  // not owned; copied, never dereferenced, off the UI thread
    int total_ = 0;
    // 64-bit so that totals above 2^31/16 neither overflow the step nor the work counted.
    std::int64_t step_ = 10;
    std::int64_t done_ = 0;
    std::int64_t threshold_ = 0;
    int rangeTop_ = 0;  // the bar's range is 0..max(rangeTop_, 1)
    int position_ = 0;  // the last position sent to the bar
};
