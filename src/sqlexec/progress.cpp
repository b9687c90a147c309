// Widgets live on the application's thread, so that is where every change of the bar runs.
#include "sqlexec/progress.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

Progress::Progress(QProgressBar* bar) : bar_(bar)
{
    SetPosition(0);
}

void Progress::SetTotal(int total)
{
    total = std::max(total, 0);
    done_ = 0;
    total_ = total;
    if (total >= 100) {
        step_ = std::int64_t(total) * 16 / 100;
        rangeTop_ = 100;
    } else {
        step_ = 16;
        rangeTop_ = total;
    }
    threshold_ = step_;
    position_ = 0;
    // A bar whose minimum equals its maximum is Qt's busy indicator: keep the maximum at 1 or
    // more so that an empty job shows an empty bar.
    const int maximum = std::max(rangeTop_, 1);
    OnBar([maximum](QProgressBar& bar) {
        bar.setRange(0, maximum);
        bar.setValue(0);
    });
}

void Progress::Advance(int delta)
{
    done_ += delta;
    if (done_ * 16 >= threshold_ && done_ <= total_ && position_ < rangeTop_) {
        threshold_ += step_;
        SetPosition(position_ + 1);
    }
}

void Progress::Step()
{
    Advance(1);
}

void Progress::Done()
{
    SetPosition(std::min(total_, rangeTop_));
}

void Progress::SetPosition(int position)
{
    position_ = position;
    OnBar([position](QProgressBar& bar) { bar.setValue(position); });
}

void Progress::OnBar(std::function<void(QProgressBar&)> change)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;  // no application, no widgets
    // The guard is tested on the UI thread, where the bar is also destroyed.
    auto apply = [bar = bar_, change = std::move(change)] {
        if (bar)
            change(*bar);
    };
    if (QThread::currentThread() == app->thread())
        apply();
    else
        QMetaObject::invokeMethod(app, std::move(apply), Qt::QueuedConnection);
}
