#include "common/pacing_scheduler.h"

#include <QElapsedTimer>
#include <algorithm>

namespace vesk {

MonotonicClock SteadyClock()
{
    return [] {
        static const QElapsedTimer start = [] {
            QElapsedTimer timer;
            timer.start();
            return timer;
        }();
        return start.elapsed();
    };
}

PacingScheduler::PacingScheduler(int paceMs, MonotonicClock clock)
    : m_paceMs(std::max(0, paceMs))
    , m_clock(std::move(clock))
{ }

qint64 PacingScheduler::Reserve(QByteArrayView host)
{
    const qint64 now = m_clock();
    const QMutexLocker lock(&m_mutex);
    HostState& state = StateOf(host);
    const qint64 start = state.Started ? std::max(now, state.NextStart) : now;
    state.Started = true;
    state.LastStart = start;
    state.NextStart = start + state.PaceMs;
    return start;
}

qint64 PacingScheduler::NextFree(QByteArrayView host) const
{
    const qint64 now = m_clock();
    const QMutexLocker lock(&m_mutex);
    const auto found = m_hosts.constFind(host.toByteArray().toLower());
    if (found == m_hosts.constEnd() || !found->Started)
        return now;
    return std::max(now, found->NextStart);
}

void PacingScheduler::SlowDown(QByteArrayView host)
{
    const QMutexLocker lock(&m_mutex);
    HostState& state = StateOf(host);
    // In 64 bits: the doubling itself must not overflow on the way to the ceiling.
    const qint64 doubled = std::clamp<qint64>(2 * static_cast<qint64>(state.PaceMs), kMinBackoffMs, kMaxBackoffMs);
    state.PaceMs = static_cast<int>(std::max<qint64>(state.PaceMs, doubled));
    if (state.Started)
        state.NextStart = std::max(state.NextStart, state.LastStart + state.PaceMs);
}

int PacingScheduler::PaceFor(QByteArrayView host) const
{
    const QMutexLocker lock(&m_mutex);
    const auto found = m_hosts.constFind(host.toByteArray().toLower());
    return found == m_hosts.constEnd() ? m_paceMs : found->PaceMs;
}

PacingScheduler::HostState& PacingScheduler::StateOf(QByteArrayView host)
{
    const QByteArray key = host.toByteArray().toLower();
    auto found = m_hosts.find(key);
    if (found == m_hosts.end())
        found = m_hosts.insert(key, HostState { 0, 0, m_paceMs, false });
    return *found;
}

} // namespace vesk
