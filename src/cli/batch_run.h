/// vesk-query --batch: the batch scheduler running the command line's searches, with the batch printer.
#pragma once

#include "batch/batch_scheduler.h"
#include "cli/search_job.h"

#include <QIODevice>
#include <QList>

namespace vesk {

struct BatchOptions
{
    bool Json = false; ///< JSON Lines instead of text reports separated by a form-feed line
    int Jobs = 4; ///< searches at once
    int PaceMs = 1100; ///< least time between two starts at one host
    bool OutIsTerminal = false; ///< control characters from servers are masked in text reports
    bool ErrIsTerminal = false; ///< the progress line is shown
    MonotonicClock Clock = SteadyClock();
    /// Each search thread's RDAP road (with the setup's bootstrap), made at the thread's first RDAP exchange; null:
    /// the batch asks port 43 only.
    RdapTransportFactory MakeRdap = nullptr;
};

/// Runs the queries of a batch as RunSearch runs one, each search thread with its own transports; the (locked)
/// log is shared. Prints through BatchPrinter.
class BatchRun
{
public:
    BatchRun(const SearchSetup& setup, TransportFactory makeTransport, BatchOptions options, QIODevice& out,
             QIODevice& err);
    ~BatchRun();

    /// Runs one search per line of `input`, read as the batch goes; 0 when every one got an answer from at least
    /// one server, 1 otherwise (also when a line cannot be searched or the batch was stopped).
    int Run(QIODevice& input);
    /// Runs `queries` as the lines of an input.
    int Run(const QList<QByteArray>& queries);
    /// Stops the batch: the searches in flight stop and are printed; the queries not begun are listed as not run.
    void RequestStop();
    /// Also stops the batch before it runs, once `count` reports were printed (for tests of the stop).
    void StopAfter(int count) { m_stopAfter = count; }
    /// The most finished reports held at once in the last run.
    int MostHeld() const { return m_mostHeld; }

private:
    const SearchSetup& m_setup;
    TransportFactory m_makeTransport;
    BatchOptions m_options;
    QIODevice& m_out;
    QIODevice& m_err;
    BatchScheduler* m_running = nullptr;
    bool m_stopRequested = false;
    int m_stopAfter = -1;
    int m_mostHeld = 0;
};

} // namespace vesk
