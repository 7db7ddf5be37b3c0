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
