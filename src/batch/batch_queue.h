/// The batch queue: which query of a batch runs next, and the reorder buffer that gives the reports back in
/// input order.
#pragma once

#include "batch/search_outcome.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QWaitCondition>
#include <map>
#include <optional>

namespace vesk {

class PacingScheduler;

/// Shared by the search threads (Take, Finish) and the printing thread (NextInOrder, Stop). Only queries within
/// the window after the first one not yet printed are handed out, so at most `window` finished reports are ever
/// held. Among those it prefers a query whose first host has no search in flight and is free soonest, so hosts
/// run side by side; ties go to the earlier query.
class BatchQueue
{
public:
    /// `firstHosts[i]` is the first host of query i (see FirstServerFor); `scheduler` may be null (no pacing).
    BatchQueue(QList<QByteArray> firstHosts, int window, const PacingScheduler* scheduler);

    /// The index of the next query to run; blocks while the window is used up; nothing when every query has
    /// been handed out or the batch was stopped.
    std::optional<int> Take();
    /// The finished outcome of query `index`.
    void Finish(int index, SearchOutcome outcome);
    /// The outcome of the next query in input order when it is finished, which frees its place in the window.
    std::optional<SearchOutcome> NextInOrder();
    /// After Stop: the index of the next query in input order when it was never handed out (it is passed over).
    std::optional<int> SkipNotRun();
    /// Hands out nothing more; wakes the threads waiting in Take.
    void Stop();

    /// The queries never handed out (after Stop and the last Finish: those not run), in input order.
    QList<int> NotTaken() const;
    /// True when NextInOrder or SkipNotRun has something to give.
    bool ReadyToPrint() const;
    /// Index of the next query to be printed.
    int NextToPrint() const;
    /// True when every query handed out has been finished and printed and none is left to hand out.
    bool Drained() const;
    /// The most finished reports held at once so far.
    int MostHeld() const;

private:
    QList<QByteArray> m_hosts;
    int m_window;
    const PacingScheduler* m_scheduler;
    mutable QMutex m_mutex;
    QWaitCondition m_windowMoved;
    QList<bool> m_taken;
    QHash<QByteArray, int> m_inFlight;
    std::map<int, SearchOutcome> m_finished;
    int m_nextToPrint = 0;
    int m_outstanding = 0; ///< handed out, not finished
    int m_mostHeld = 0;
    bool m_stopped = false;
};

} // namespace vesk
