/// The pacing scheduler: when the searches of a batch may next start a query at each server host.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QMutex>
#include <functional>

namespace vesk {

/// Milliseconds on a clock that never goes back; tests pass their own.
using MonotonicClock = std::function<qint64()>;

/// The production monotonic clock.
MonotonicClock SteadyClock();

/// Keeps the starts of queries at one host (the lower-cased host name) at least the pace apart. Thread-safe:
/// every search thread of a batch reserves its starts here.
class PacingScheduler
{
public:
    /// A rate-limited host is paced at twice the pace, and at least this much...
    static constexpr int kMinBackoffMs = 1000;
    /// ... but doubling stops here, so that a server that keeps refusing cannot stall a batch for hours (a pace
    /// given above it stays as given).
    static constexpr int kMaxBackoffMs = 60000;

    PacingScheduler(int paceMs, MonotonicClock clock = SteadyClock());

    /// Reserves the next start at `host`: the earliest moment (clock milliseconds, never before now) that is at
    /// least the host's pace after the start reserved before it. The caller waits until then and starts.
    qint64 Reserve(QByteArrayView host);
    /// When `host` could start next, without reserving it.
    qint64 NextFree(QByteArrayView host) const;
    /// The host answered with a rate-limit notice: its pace becomes twice the pace, at least kMinBackoffMs and at
    /// most kMaxBackoffMs (never less than it was), for the rest of the run, also for the start already reserved
    /// after it.
    void SlowDown(QByteArrayView host);
    /// The pace in force at `host`.
    int PaceFor(QByteArrayView host) const;
    qint64 Now() const { return m_clock(); }

private:
    struct HostState
    {
        qint64 LastStart = 0;
        qint64 NextStart = 0;
        int PaceMs = 0;
        bool Started = false;
    };

    /// The state of `host` (any letter case), created with the batch's pace; the mutex is held.
    HostState& StateOf(QByteArrayView host);

    int m_paceMs;
    MonotonicClock m_clock;
    mutable QMutex m_mutex;
    QHash<QByteArray, HostState> m_hosts;
};

} // namespace vesk
