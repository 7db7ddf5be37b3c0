/// The batch scheduler: many searches, each on its own thread, paced per server host, handed back in input order.
#pragma once

#include "batch/batch_input.h"
#include "batch/search_outcome.h"
#include "common/pacing_scheduler.h"
#include "common/stop_request.h"

#include <QList>
#include <functional>
#include <memory>
#include <vector>

namespace vesk {

class DefinitionTables;
class EventWait;
class HostPacer;
class LookupEngine;

/// One search of a batch on its search thread: runs `query` waiting for `pacer`'s turns, calls `onEngine` with its
/// engine before the search starts and with null once it has ended (so that a stop can reach it), and
/// `onExchange` with every exchange as it ends.
using BatchSearch = std::function<SearchOutcome(const QByteArray& query, HostPacer& pacer,
                                                const std::function<void(LookupEngine*)>& onEngine,
                                                const std::function<void(const ExchangeEntry&)>& onExchange)>;
/// Makes a search thread's BatchSearch, on that thread, with transports that wait through its `wait`.
using BatchSearchFactory = std::function<BatchSearch(EventWait& wait)>;

/// Where a batch stands, for the progress line.
struct BatchProgress
{
    qint64 Done = 0; ///< outcomes handed out, the not-run ones included
    qint64 Answered = 0;
    qint64 Failed = 0;
    qint64 ElapsedMs = 0;
    /// At the end: the last line read of an input that a stop kept from being read to its end; 0 when it was.
    qint64 UnreadAfterLine = 0;
    /// At the end: why the input could not be read to its end; empty when it could.
    QString ReadError;
};

/// What the scheduler hands its outcomes to, on the thread that runs it. Printing lives behind it.
class BatchOutput
{
public:
    virtual ~BatchOutput() = default;
    /// The next outcome in input order (NotRun for a query that a stop kept from starting, Refused for a line that
    /// cannot be searched).
    virtual void Report(const SearchOutcome& outcome, const BatchProgress& progress) = 0;
    /// The batch has ended: nothing more follows.
    virtual void Finished(const BatchProgress& progress) = 0;
};

struct BatchSettings
{
    int Jobs = 4; ///< searches at once
    int PaceMs = 1100; ///< least time between two starts at one host
    MonotonicClock Clock = SteadyClock();
    /// The memory that the reports waiting for their turn in the output, and the searches under way, may hold (see
    /// BatchQueue).
    qint64 HeldBytes = qint64(256) * 1024 * 1024;
};

/// Runs the queries of a batch: up to Jobs searches at once, each made by the factory on its own thread; the
/// pacing scheduler is shared. Outcomes reach the output in input order as soon as they can, on the thread that
/// calls Run, which also handles that thread's events (the Ctrl-C watch).
class BatchScheduler
{
public:
    /// `definitions` name each query's first host, so that hosts run side by side.
    BatchScheduler(const DefinitionTables& definitions, BatchSearchFactory makeSearch, BatchSettings settings,
                   BatchOutput& output);
    ~BatchScheduler();

    /// Runs the queries of `input` as it reads them; 0 when every one got an answer from at least one server, 1
    /// otherwise (also when a line could not be searched, the input could not be read, or the batch was stopped).
    int Run(BatchInput& input);
    /// Stops the batch (from Run's thread, e.g. the Ctrl-C watch): the searches in flight stop as Stop does and
    /// are reported; the queries not begun are reported as not run.
    void RequestStop();
    /// Also stops the batch once `count` outcomes were reported (for tests of the stop).
    void StopAfter(int count) { m_stopAfter = count; }

    /// The most finished reports held at once in the last run.
    int MostHeld() const { return m_mostHeld; }
    /// The most memory that reports held at once in the last run (SearchOutcome::HeldBytes; for the searches under
    /// way, the replies received so far).
    qint64 MostHeldBytes() const { return m_mostHeldBytes; }

private:
    class Worker;

    void Hand(const SearchOutcome& outcome);
    BatchProgress Progress() const;

    const DefinitionTables& m_definitions;
    BatchSearchFactory m_makeSearch;
    BatchSettings m_settings;
    BatchOutput& m_output;
    std::vector<std::unique_ptr<Worker>> m_workers;
    StopRequest m_stop;
    int m_stopAfter = -1;
    qint64 m_done = 0;
    qint64 m_answered = 0;
    qint64 m_failed = 0;
    qint64 m_startMs = 0;
    int m_mostHeld = 0;
    qint64 m_mostHeldBytes = 0;
};

} // namespace vesk
