#include "batch/batch_queue.h"

#include "common/pacing_scheduler.h"

#include <algorithm>
#include <tuple>

namespace vesk {

namespace {

SearchOutcome RefusedOutcome(const BatchEntry& entry)
{
    SearchOutcome outcome;
    outcome.Typed = entry.Query;
    outcome.Line = entry.Line;
    outcome.Error = entry.Problem;
    outcome.Refused = true;
    outcome.Ignored = entry.Ignored;
    outcome.Started = outcome.Ended = QDateTime::currentDateTimeUtc();
    return outcome;
}

} // namespace

BatchQueue::BatchQueue(BatchSource source, int window, const PacingScheduler* scheduler, qint64 heldBytes)
    : m_source(std::move(source))
    , m_window(std::max(1, window))
    , m_scheduler(scheduler)
    , m_heldBudget(std::max<qint64>(1, heldBytes))
{ }

bool BatchQueue::OverBudget(qint64 adding, qint64 own) const
{
    // With nothing else held a report is taken in whatever its size: there is nothing to wait for.
    const qint64 others = m_heldBytes + m_runningBytes - own;
    return others > 0 && others + adding > m_heldBudget;
}

bool BatchQueue::ReadOne(QMutexLocker<QMutex>& lock)
{
    if (m_inputEnded || m_reading)
        return false;
    m_reading = true;
    lock.unlock();
    std::optional<BatchEntry> entry = m_source();
    lock.relock();
    m_reading = false;
    m_windowMoved.wakeAll();
    if (!entry) {
        m_inputEnded = true;
        return false;
    }
    m_lastLine = entry->Line;
    const qint64 index = m_base + static_cast<qint64>(m_slots.size());
    const bool refused = !entry->Problem.isEmpty();
    if (refused) {
        SearchOutcome outcome = RefusedOutcome(*entry);
        m_heldBytes += outcome.HeldBytes();
        m_finished.emplace(index, std::move(outcome));
        m_mostHeld = std::max(m_mostHeld, static_cast<int>(m_finished.size()));
        m_mostHeldBytes = std::max(m_mostHeldBytes, m_heldBytes + m_runningBytes);
    }
    m_slots.push_back(Slot { std::move(*entry), refused });
    return true;
}

std::optional<BatchTask> BatchQueue::Take()
{
    QMutexLocker lock(&m_mutex);
    for (;;) {
        if (m_stopped)
            return std::nullopt;
        if (static_cast<int>(m_slots.size()) < m_window && !m_inputEnded && !m_reading) {
            ReadOne(lock);
            continue;
        }
        qsizetype best = -1;
        std::tuple<bool, qint64, qsizetype> bestKey;
        // With the budget used up (the searches under way count) only the report due next may start: it is the one
        // that frees memory.
        const auto slotCount = static_cast<qsizetype>(m_slots.size());
        const qsizetype searchable = OverBudget(0) ? std::min<qsizetype>(1, slotCount) : slotCount;
        for (qsizetype i = 0; i < searchable; ++i) {
            const Slot& slot = m_slots[static_cast<size_t>(i)];
            if (slot.Taken)
                continue;
            const QByteArray& host = slot.Entry.FirstHost;
            const qint64 free = m_scheduler != nullptr ? m_scheduler->NextFree(host) : 0;
            const std::tuple<bool, qint64, qsizetype> key { m_inFlight.value(host) > 0, free, i };
            if (best < 0 || key < bestKey) {
                best = i;
                bestKey = key;
            }
        }
        if (best >= 0) {
            Slot& slot = m_slots[static_cast<size_t>(best)];
            slot.Taken = true;
            ++m_inFlight[slot.Entry.FirstHost];
            ++m_outstanding;
            return BatchTask { m_base + best, slot.Entry.Query, slot.Entry.Line };
        }
        // Over the budget a query may be left that is not handed out yet: wait for room rather than end, or no
        // search thread would be left to run it.
        const bool allTaken = std::all_of(m_slots.begin(), m_slots.end(), [](const Slot& slot) { return slot.Taken; });
        if (m_inputEnded && allTaken)
            return std::nullopt;
        m_windowMoved.wait(&m_mutex);
    }
}

void BatchQueue::Grow(qint64 index, qint64 bytes)
{
    const QMutexLocker lock(&m_mutex);
    m_grown[index] += bytes;
    m_runningBytes += bytes;
    m_mostHeldBytes = std::max(m_mostHeldBytes, m_heldBytes + m_runningBytes);
}

void BatchQueue::Finish(qint64 index, SearchOutcome outcome)
{
    QMutexLocker lock(&m_mutex);
    const qint64 bytes = outcome.HeldBytes();
    // The report due next is always taken in (it is printed at once). Any other waits while it would break the
    // budget and the report due next is under way or finished, so that waiting ends. Were that one not handed out
    // yet, every search thread could end up waiting here with nobody left to run it: the report is taken in, and
    // Take then hands out only the report due next until the budget has room again.
    while (index != m_base && OverBudget(bytes, m_grown.value(index)) && !m_slots.empty() && m_slots.front().Taken)
        m_windowMoved.wait(&m_mutex);
    m_runningBytes -= m_grown.take(index);
    m_heldBytes += bytes;
    m_mostHeldBytes = std::max(m_mostHeldBytes, m_heldBytes + m_runningBytes);
    const qint64 at = index - m_base;
    if (at >= 0 && at < static_cast<qint64>(m_slots.size()))
        --m_inFlight[m_slots[static_cast<size_t>(at)].Entry.FirstHost];
    --m_outstanding;
    m_finished.emplace(index, std::move(outcome));
    m_mostHeld = std::max(m_mostHeld, static_cast<int>(m_finished.size()));
    // A report smaller than the replies counted for it while under way leaves room.
    m_windowMoved.wakeAll();
}

std::optional<SearchOutcome> BatchQueue::NextInOrder()
{
    const QMutexLocker lock(&m_mutex);
    const auto found = m_finished.find(m_base);
    if (found == m_finished.end())
        return std::nullopt;
    SearchOutcome outcome = std::move(found->second);
    m_finished.erase(found);
    m_heldBytes -= outcome.HeldBytes();
    m_slots.pop_front();
    ++m_base;
    m_windowMoved.wakeAll();
    return outcome;
}

std::optional<SearchOutcome> BatchQueue::SkipNotRun(bool readRest)
{
    QMutexLocker lock(&m_mutex);
    if (!m_stopped)
        return std::nullopt;
    if (m_slots.empty() && !(readRest && ReadOne(lock)))
        return std::nullopt;
    if (m_slots.empty() || m_slots.front().Taken)
        return std::nullopt;
    SearchOutcome outcome;
    outcome.Typed = m_slots.front().Entry.Query;
    outcome.Line = m_slots.front().Entry.Line;
    outcome.NotRun = true;
    m_slots.pop_front();
    ++m_base;
    m_windowMoved.wakeAll();
    return outcome;
}

bool BatchQueue::MayGoOn(qint64 index) const
{
    const QMutexLocker lock(&m_mutex);
    return index == m_base || !OverBudget(0) || m_slots.empty() || !m_slots.front().Taken;
}

void BatchQueue::Stop()
{
    const QMutexLocker lock(&m_mutex);
    m_stopped = true;
    m_windowMoved.wakeAll();
}

bool BatchQueue::FrontSkippable() const
{
    return m_stopped && !m_slots.empty() && !m_slots.front().Taken;
}

bool BatchQueue::ReadyToPrint() const
{
    const QMutexLocker lock(&m_mutex);
    return m_finished.contains(m_base) || FrontSkippable();
}

bool BatchQueue::Done(bool readRest) const
{
    const QMutexLocker lock(&m_mutex);
    const bool nothingToRead = m_inputEnded || (m_stopped && !readRest);
    return m_outstanding == 0 && m_finished.empty() && m_slots.empty() && !m_reading && nothingToRead;
}

qint64 BatchQueue::UnreadAfterLine() const
{
    const QMutexLocker lock(&m_mutex);
    return m_inputEnded ? 0 : m_lastLine;
}

int BatchQueue::MostHeld() const
{
    const QMutexLocker lock(&m_mutex);
    return m_mostHeld;
}

qint64 BatchQueue::MostHeldBytes() const
{
    const QMutexLocker lock(&m_mutex);
    return m_mostHeldBytes;
}

} // namespace vesk
