#include "common/event_wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace vesk {

bool LoopWait::WaitFor(int milliseconds, const Condition& done)
{
    const auto finished = [&done] { return done && done(); };
    if (finished())
        return true;
    if (QCoreApplication::instance() == nullptr) {
        // Nothing to keep responsive; let the time pass in slices so the condition is still seen.
        const QDeadlineTimer deadline(std::max(0, milliseconds), Qt::PreciseTimer);
        while (!deadline.hasExpired()) {
            QThread::msleep(static_cast<unsigned long>(std::min<qint64>(kSliceMilliseconds, deadline.remainingTime())));
            if (finished())
                return true;
        }
        return false;
    }
    if (milliseconds <= 0) {
        QCoreApplication::processEvents();
        return finished();
    }

    // A nested loop sleeps until an event or the timer arrives, so the wait costs no CPU. A precise timer
    // never fires early, and the deadline loop covers a nested loop quit by someone else (e.g. the
    // application quitting): the wait still lasts the full time. Slices bound how late the condition is seen.
    const QDeadlineTimer deadline(milliseconds, Qt::PreciseTimer);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    while (!deadline.hasExpired()) {
        timer.start(static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 1, kSliceMilliseconds)));
        loop.exec();
        if (finished())
            return true;
    }
    return false;
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
