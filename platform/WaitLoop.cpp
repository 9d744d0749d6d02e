#include "WaitLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace platform {

void waitMs(int milliseconds)
{
    const qint64 limit = qMax(0, milliseconds);
    QElapsedTimer clock; // monotonic
    clock.start();

    // Pending events are handled at least once, also by a wait of 0.
    QCoreApplication::processEvents(QEventLoop::AllEvents);

    // The nested loop sleeps until an event arrives or the timer reaches the
    // limit; every event in between is handled as in the main loop.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    qint64 elapsed = clock.elapsed();
    while (elapsed <= limit) {
        timer.start(static_cast<int>(limit - elapsed + 1));
        loop.exec();
        elapsed = clock.elapsed();
    }
}

bool waitUntil(int milliseconds, const std::function<bool()> &done, int pollMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = milliseconds - clock.elapsed();
        if (left <= 0)
            return false;
        waitMs(static_cast<int>(qMin<qint64>(left, qMax(1, pollMs))));
    }
    return true;
}

} // namespace platform
