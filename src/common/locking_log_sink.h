/// The locking log sink: one log shared by the search threads of a batch.
#pragma once

#include "common/log_sink.h"

#include <QMutex>

namespace vesk {

/// Passes every record to `target` under a mutex, so records from several threads reach the file whole and one
/// at a time.
class LockingLogSink final : public LogSink
{
public:
    explicit LockingLogSink(LogSink& target)
        : m_target(target)
    { }

    void Write(QByteArrayView message) override
    {
        const QMutexLocker lock(&m_mutex);
        m_target.Write(message);
    }

private:
    LogSink& m_target;
    QMutex m_mutex;
};

} // namespace vesk
