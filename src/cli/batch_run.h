/// vesk-query --batch: many searches, each on its own thread, paced per server host, printed in input order.
#pragma once

#include "cli/search_job.h"
#include "common/pacing_scheduler.h"
#include "common/stop_request.h"

#include <QIODevice>
#include <QList>
#include <atomic>
#include <functional>
#include <memory>

namespace vesk {

class RdapTransport;
class WhoisTransport;

/// Makes a search thread's own transport, waiting through that thread's `wait`.
using TransportFactory = std::function<std::unique_ptr<WhoisTransport>(EventWait& wait)>;
/// Makes a search thread's own RDAP transport (its network access lives on that thread), waiting through `wait`.
using RdapTransportFactory = std::function<std::unique_ptr<RdapTransport>(EventWait& wait)>;

struct BatchOptions
{
    bool Json = false; ///< JSON Lines instead of text reports separated by a form-feed line
    int Jobs = 4; ///< searches at once
    int PaceMs = 1100; ///< least time between two starts at one host
    bool OutIsTerminal = false; ///< control characters from servers are masked in text reports
    bool ErrIsTerminal = false; ///< the progress line is shown
    MonotonicClock Clock = SteadyClock();
    /// Each search thread's RDAP road (with the setup's bootstrap); null: the batch asks port 43 only.
    RdapTransportFactory MakeRdap = nullptr;
};

/// Runs the queries of a batch: up to Jobs searches at once, each with its own engine, transport and wait on its
/// own thread; the pacing scheduler and the (locked) log are shared. Reports are printed in input order as soon
/// as they can be, from the thread that calls Run, which also handles that thread's events (the Ctrl-C watch).
class BatchRun
{
public:
    BatchRun(const SearchSetup& setup, TransportFactory makeTransport, BatchOptions options, QIODevice& out,
             QIODevice& err);
    ~BatchRun();

    /// Runs `queries`; 0 when every one got an answer from at least one server, 1 otherwise (also when stopped).
    int Run(const QList<QByteArray>& queries);
    /// Stops the batch (from Run's thread, e.g. the Ctrl-C watch): the searches in flight stop as Stop does and
    /// are printed; the queries not begun are listed as not run.
    void RequestStop();
    /// Also stops the batch before it runs, once `count` reports were printed (for tests of the stop).
    void StopAfter(int count) { m_stopAfter = count; }

    /// The most finished reports held at once in the last run.
    int MostHeld() const { return m_mostHeld; }

private:
    class Worker;

    void Print(const SearchOutcome& outcome);
    void PrintNotRun(const QByteArray& query);
    void ShowProgress(bool last);

    const SearchSetup& m_setup;
    TransportFactory m_makeTransport;
    BatchOptions m_options;
    QIODevice& m_out;
    QIODevice& m_err;
    std::vector<std::unique_ptr<Worker>> m_workers;
    StopRequest m_stop;
    int m_stopAfter = -1;
    int m_printed = 0;
    int m_total = 0;
    int m_answered = 0;
    int m_failed = 0;
    qint64 m_startMs = 0;
    qint64 m_lastProgressMs = -1;
    int m_mostHeld = 0;
};

} // namespace vesk
