// The base of a window that receives progress from the comparison's threads. A call
// made on a foreign thread is queued into the window's thread and the caller goes
// on at once: a worker never waits for the UI thread, so the UI thread may wait for
// the worker without a deadlock. A call arriving after the window is gone is
// dropped.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <thread>

// One deferred call, run on the window's thread.
using ProgressCall = std::function<void()>;

class ProgressObserver {
public:
    // Call on the window's (UI) thread.
    explicit ProgressObserver(QObject* window);
    virtual ~ProgressObserver() = default;

    bool IsForeignThread() const { return std::this_thread::get_id() != uiThread_; }

    // Runs the call on the window's thread: at once when already there, else queued.
    void PostToUiThread(ProgressCall call) const;

private:
    QPointer<QObject> window_;
    std::thread::id uiThread_;
};
