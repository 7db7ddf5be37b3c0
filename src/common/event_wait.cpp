#include "common/event_wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace vesk {

void Delay(int milliseconds)
{
    if (QCoreApplication::instance() == nullptr) {
        // Nothing to keep responsive; just let the time pass.
        if (milliseconds > 0)
            QThread::msleep(static_cast<unsigned long>(milliseconds));
        return;
    }
    if (milliseconds <= 0) {
        QCoreApplication::processEvents();
        return;
    }

    // A nested loop sleeps until an event or the timer arrives, so the wait costs no CPU. A precise timer
    // never fires early, and the deadline loop covers a nested loop quit by someone else (e.g. the
    // application quitting): the wait still lasts the full time.
    const QDeadlineTimer deadline(milliseconds, Qt::PreciseTimer);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    while (!deadline.hasExpired()) {
        timer.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        loop.exec();
    }
}

WaitOutcome EventLoopWait::WaitUntil(int milliseconds, const std::function<bool()>& done, const StopRequest& stop)
{
    const QDeadlineTimer deadline(std::max(0, milliseconds), Qt::PreciseTimer);
    // The slice timer only wakes the loop; events of any kind end a turn, and each turn checks everything again.
    QTimer slice;
    slice.setSingleShot(true);
    slice.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (stop.IsRequested())
            return WaitOutcome::Stopped;
        if (done && done())
            return WaitOutcome::Done;
        if (deadline.hasExpired())
            return WaitOutcome::TimedOut;
        const int turn = static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 1, kSliceMs));
        if (QCoreApplication::instance() == nullptr) {
            QThread::msleep(static_cast<unsigned long>(turn));
            continue;
        }
        slice.start(turn);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

QString FileNameNoExt(const QString& path)
{
    qsizetype start = 0;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path.at(i);
        if (c == u'/' || c == u'\\' || c == u':') {
            start = i + 1;
            break;
        }
    }
    QString name = path.mid(start);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

} // namespace vesk
