#include "batch/batch_queue.h"

#include "common/pacing_scheduler.h"

#include <algorithm>
#include <tuple>

namespace vesk {

BatchQueue::BatchQueue(QList<QByteArray> firstHosts, int window, const PacingScheduler* scheduler)
    : m_hosts(std::move(firstHosts))
    , m_window(std::max(1, window))
    , m_scheduler(scheduler)
    , m_taken(m_hosts.size(), false)
{ }

std::optional<int> BatchQueue::Take()
{
    QMutexLocker lock(&m_mutex);
    for (;;) {
        if (m_stopped)
            return std::nullopt;
        const int end = std::min<int>(static_cast<int>(m_hosts.size()), m_nextToPrint + m_window);
        int best = -1;
        std::tuple<bool, qint64, int> bestKey;
        bool anyLeft = false;
        for (int i = m_nextToPrint; i < static_cast<int>(m_hosts.size()); ++i) {
            if (m_taken[i])
                continue;
            anyLeft = true;
            if (i >= end)
                break;
            const QByteArray& host = m_hosts[i];
            const qint64 free = m_scheduler != nullptr ? m_scheduler->NextFree(host) : 0;
            const std::tuple<bool, qint64, int> key { m_inFlight.value(host) > 0, free, i };
            if (best < 0 || key < bestKey) {
                best = i;
                bestKey = key;
            }
        }
        if (best >= 0) {
            m_taken[best] = true;
            ++m_inFlight[m_hosts[best]];
            ++m_outstanding;
            return best;
        }
        if (!anyLeft)
            return std::nullopt;
        m_windowMoved.wait(&m_mutex);
    }
}

void BatchQueue::Finish(int index, SearchOutcome outcome)
{
    const QMutexLocker lock(&m_mutex);
    --m_inFlight[m_hosts[index]];
    --m_outstanding;
    m_finished.emplace(index, std::move(outcome));
    m_mostHeld = std::max(m_mostHeld, static_cast<int>(m_finished.size()));
}

std::optional<SearchOutcome> BatchQueue::NextInOrder()
{
    const QMutexLocker lock(&m_mutex);
    const auto found = m_finished.find(m_nextToPrint);
    if (found == m_finished.end())
        return std::nullopt;
    SearchOutcome outcome = std::move(found->second);
    m_finished.erase(found);
    ++m_nextToPrint;
    m_windowMoved.wakeAll();
    return outcome;
}

std::optional<int> BatchQueue::SkipNotRun()
{
    const QMutexLocker lock(&m_mutex);
    if (!m_stopped || m_nextToPrint >= m_hosts.size() || m_taken[m_nextToPrint])
        return std::nullopt;
    return m_nextToPrint++;
}

void BatchQueue::Stop()
{
    const QMutexLocker lock(&m_mutex);
    m_stopped = true;
    m_windowMoved.wakeAll();
}

QList<int> BatchQueue::NotTaken() const
{
    const QMutexLocker lock(&m_mutex);
    QList<int> indices;
    for (int i = 0; i < m_taken.size(); ++i) {
        if (!m_taken[i])
            indices.append(i);
    }
    return indices;
}

bool BatchQueue::ReadyToPrint() const
{
    const QMutexLocker lock(&m_mutex);
    return m_finished.contains(m_nextToPrint)
        || (m_stopped && m_nextToPrint < m_hosts.size() && !m_taken[m_nextToPrint]);
}

int BatchQueue::NextToPrint() const
{
    const QMutexLocker lock(&m_mutex);
    return m_nextToPrint;
}

bool BatchQueue::Drained() const
{
    const QMutexLocker lock(&m_mutex);
    return m_outstanding == 0 && m_finished.empty()
        && (m_stopped || std::all_of(m_taken.begin(), m_taken.end(), [](bool taken) { return taken; }));
}

int BatchQueue::MostHeld() const
{
    const QMutexLocker lock(&m_mutex);
    return m_mostHeld;
}

} // namespace vesk
