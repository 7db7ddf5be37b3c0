#include "common/event_wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace vesk {

WaitOutcome EventLoopWait::WaitUntil(int milliseconds, const std::function<bool()>& done, const StopRequest& stop)
{
    const QDeadlineTimer deadline(std::max(0, milliseconds), Qt::PreciseTimer);
    // The slice timer only wakes the loop; events of any kind end a turn, and each turn checks everything again.
    QTimer slice;
    slice.setSingleShot(true);
    slice.setTimerType(Qt::PreciseTimer);
    // Even a wait of no time lets the pending events through once, so a window stays painted between queries.
    bool turned = false;
    for (;;) {
        if (stop.IsRequested())
            return WaitOutcome::Stopped;
        if (done && done())
            return WaitOutcome::Done;
        if (deadline.hasExpired()) {
            if (turned || QCoreApplication::instance() == nullptr)
                return WaitOutcome::TimedOut;
            QCoreApplication::processEvents();
            turned = true;
            continue;
        }
        turned = true;
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
