/// The batch queue: which query of a batch runs next, and the reorder buffer that gives the reports back in
/// input order.
#pragma once

#include "batch/search_outcome.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QWaitCondition>
#include <deque>
#include <functional>
#include <map>
#include <optional>

namespace vesk {

class PacingScheduler;

/// One query of a batch as the queue reads it.
struct BatchEntry
{
    QByteArray Query;
    qint64 Line = 0; ///< its line in the input
    QByteArray FirstHost; ///< see FirstServerFor
    QString Problem; ///< why it cannot be searched; empty: search it
    bool Ignored = false; ///< only named as an error, never reported as a query
};

/// Gives the batch's entries in input order, one per call; nothing at the end of the input. Called with no lock
/// held, by one thread at a time.
using BatchSource = std::function<std::optional<BatchEntry>()>;

/// A query handed to a search thread.
struct BatchTask
{
    qint64 Index = 0;
    QByteArray Query;
    qint64 Line = 0;
};

/// Shared by the search threads (Take, Grow, Finish) and the reporting thread (NextInOrder, SkipNotRun, Stop). The
/// queue reads no more of the input than the window after the first query not yet reported, so at most `window`
/// entries and finished reports are ever held, however long the input; and the reports held stay within a memory
/// budget, counting both the finished reports and the replies that the searches under way have received so far:
/// over it only the report due next may start or ask further servers (MayGoOn), and a finished report waits in
/// Finish until the reports before it are taken (only when the report due next had not even started may the reports
/// finished meanwhile go beyond it). Among those it hands out first a query whose first host has no search in flight
/// and is free soonest, so hosts run side by side; ties go to the earlier query. An entry that cannot be searched is
/// finished as it is read.
class BatchQueue
{
public:
    /// `scheduler` may be null (no pacing). `heldBytes`: the budget of finished reports (SearchOutcome::HeldBytes).
    BatchQueue(BatchSource source, int window, const PacingScheduler* scheduler,
               qint64 heldBytes = qint64(256) * 1024 * 1024);

    /// The next query to run; blocks while the window is used up; nothing when the input is used up or the batch
    /// was stopped.
    std::optional<BatchTask> Take();
    /// The search of the query handed out as `index` received `bytes` more of replies, which its report will hold:
    /// they count against the budget from now on. Never blocks.
    void Grow(qint64 index, qint64 bytes);
    /// The finished outcome of the query handed out as `index` (what it held while under way is counted as the
    /// outcome instead). Blocks while it would take the reports held beyond the budget and the report due next is
    /// under way or finished (nothing is dropped).
    void Finish(qint64 index, SearchOutcome outcome);
    /// The outcome of the next entry in input order when it is finished, which frees its place in the window.
    std::optional<SearchOutcome> NextInOrder();
    /// After Stop: the next entry in input order when it was never handed out, as a not-run outcome. With
    /// `readRest`, the input not yet read is read for it too.
    std::optional<SearchOutcome> SkipNotRun(bool readRest);
    /// True when the search handed out as `index` may ask its next server: the reports held, those under way
    /// included, are within the budget; or it is the report due next; or the report due next has not started (a
    /// search thread must come free to run it).
    bool MayGoOn(qint64 index) const;
    /// Hands out nothing more; wakes the threads waiting in Take.
    void Stop();

    /// True when NextInOrder or SkipNotRun has something to give.
    bool ReadyToPrint() const;
    /// True when every entry read has been reported, no search is in flight, and nothing more is to be read: the
    /// input has ended, or the batch was stopped (with `readRest`: only once the input has ended).
    bool Done(bool readRest) const;
    /// The last line read of an input that was not read to its end (0: it was).
    qint64 UnreadAfterLine() const;
    /// The most finished reports held at once so far.
    int MostHeld() const;
    /// The most memory that reports held at once so far, the replies of the searches under way included.
    qint64 MostHeldBytes() const;

private:
    struct Slot
    {
        BatchEntry Entry;
        bool Taken = false;
    };

    /// Reads one more entry into the window (the lock is released meanwhile); false at the end of the input.
    bool ReadOne(QMutexLocker<QMutex>& lock);
    bool FrontSkippable() const;
    /// True when `adding` more bytes may not be held now: they would take what is held beyond the budget. `own`:
    /// bytes already counted for the same report (a finishing search's replies), which `adding` replaces.
    bool OverBudget(qint64 adding, qint64 own = 0) const;

    BatchSource m_source;
    int m_window;
    const PacingScheduler* m_scheduler;
    mutable QMutex m_mutex;
    QWaitCondition m_windowMoved;
    std::deque<Slot> m_slots; ///< the entries read and not yet reported, from index m_base on
    qint64 m_base = 0;
    QHash<QByteArray, int> m_inFlight;
    std::map<qint64, SearchOutcome> m_finished;
    qint64 m_lastLine = 0;
    qint64 m_heldBudget;
    qint64 m_heldBytes = 0; ///< by finished reports
    qint64 m_runningBytes = 0; ///< by the searches under way (Grow)
    QHash<qint64, qint64> m_grown; ///< by each search under way
    qint64 m_mostHeldBytes = 0;
    int m_outstanding = 0; ///< handed out, not finished
    int m_mostHeld = 0;
    bool m_reading = false;
    bool m_inputEnded = false;
    bool m_stopped = false;
};

} // namespace vesk
