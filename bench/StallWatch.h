#pragma once

#include <QElapsedTimer>
#include <QTimer>

// The longest the event loop went without running a 10 ms timer while the
// watch lives: how long the program left the user without an answer.
class StallWatch
{
public:
    StallWatch()
    {
        clock_.start();
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longestNs_ = qMax(longestNs_, now - lastNs_);
            lastNs_ = now;
        });
        timer_.start(10);
    }

    double longestMs() const { return double(longestNs_) / 1e6; }

private:
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 lastNs_ = 0, longestNs_ = 0;
};
