#include "compare/progress_observer.h"

#include <QCoreApplication>
#include <QMetaObject>

ProgressObserver::ProgressObserver(QObject* window)
    : window_(window), uiThread_(std::this_thread::get_id())
{
}

void ProgressObserver::PostToUiThread(ProgressCall call) const
{
    if (!IsForeignThread()) {
        if (window_)
            call();
        return;
    }
    // The application object outlives every window, so it carries the call; the
    // guard is tested on arrival, on the UI thread, where the window is deleted.
    QPointer<QObject> window = window_;
    QObject* carrier = QCoreApplication::instance();
    if (!carrier)
        return;
    QMetaObject::invokeMethod(
        carrier,
        [window, call = std::move(call)] {
            if (window)
                call();
        },
        Qt::QueuedConnection);
}
