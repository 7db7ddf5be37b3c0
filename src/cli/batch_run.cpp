#include "cli/batch_run.h"

#include "cli/batch_queue.h"
#include "cli/json_report.h"
#include "cli/printing_frontend.h"
#include "common/event_wait.h"
#include "common/locking_log_sink.h"
#include "lookup/first_server.h"
#include "rdap/rdap_client.h"
#include "whois/transport.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <cmath>

namespace vesk {

namespace {

// The scheduler's turn for a host, waited for on the search's own thread.
class ScheduledPacer final : public HostPacer
{
public:
    ScheduledPacer(PacingScheduler& scheduler, EventWait& wait)
        : m_scheduler(scheduler)
        , m_wait(wait)
    { }

    bool WaitTurn(const QByteArray& host, const StopRequest& stop) override
    {
        const qint64 start = m_scheduler.Reserve(host);
        const qint64 left = start - m_scheduler.Now();
        if (left > 0)
            m_wait.WaitUntil(static_cast<int>(left), {}, stop);
        return !stop.IsRequested();
    }

private:
    PacingScheduler& m_scheduler;
    EventWait& m_wait;
};

// Wakes the printing thread's event loop so that it looks at the queue at once.
void WakePrinter()
{
    if (QCoreApplication::instance() != nullptr)
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
}

} // namespace

/// One search thread: takes queries from the queue until none is left, each with a fresh engine.
class BatchRun::Worker : public QThread
{
public:
    Worker(const SearchSetup& setup, const TransportFactory& makeTransport, const RdapTransportFactory& makeRdap,
           BatchQueue& queue, PacingScheduler& scheduler, const QList<QByteArray>& queries)
        : m_setup(setup)
        , m_makeTransport(makeTransport)
        , m_makeRdap(makeRdap)
        , m_queue(queue)
        , m_scheduler(scheduler)
        , m_queries(queries)
    { }

    /// From the printing thread: the running search (and any that starts later) stops as Stop does.
    void StopSearch()
    {
        const QMutexLocker lock(&m_mutex);
        m_stop = true;
        PostStop();
    }

protected:
    void run() override
    {
        EventLoopWait wait;
        const std::unique_ptr<WhoisTransport> transport = m_makeTransport(wait);
        const std::unique_ptr<RdapTransport> rdap = m_makeRdap ? m_makeRdap(wait) : nullptr;
        ScheduledPacer pacer(m_scheduler, wait);
        QObject context; // lives on this thread: the stop request runs here, between the engine's events
        while (const std::optional<int> index = m_queue.Take()) {
            const auto onEngine = [this, &context](LookupEngine* engine) {
                const QMutexLocker lock(&m_mutex);
                m_engine = engine;
                m_context = engine != nullptr ? &context : nullptr;
                if (m_stop)
                    PostStop();
            };
            // A rate-limited answer (a port-43 notice or an RDAP 429) slows its host down for the rest of the batch.
            const auto onExchange = [this](const ExchangeEntry& entry) {
                if (entry.Outcome == "rate-limited")
                    m_scheduler.SlowDown(entry.Host);
            };
            SearchOutcome outcome
                = RunSearch(m_setup, *transport, rdap.get(), wait, &pacer, m_queries[*index], onEngine, onExchange);
            // A stop posted after the search ended must not reach the next engine.
            QCoreApplication::removePostedEvents(&context);
            m_queue.Finish(*index, std::move(outcome));
            WakePrinter();
        }
    }

private:
    void PostStop()
    {
        if (m_engine != nullptr)
            QMetaObject::invokeMethod(
                m_context, [engine = m_engine] { engine->StopSearch(); }, Qt::QueuedConnection);
    }

    const SearchSetup& m_setup;
    const TransportFactory& m_makeTransport;
    const RdapTransportFactory& m_makeRdap;
    BatchQueue& m_queue;
    PacingScheduler& m_scheduler;
    const QList<QByteArray>& m_queries;
    QMutex m_mutex;
    LookupEngine* m_engine = nullptr;
    QObject* m_context = nullptr;
    bool m_stop = false;
};

BatchRun::BatchRun(const SearchSetup& setup, TransportFactory makeTransport, BatchOptions options, QIODevice& out,
                   QIODevice& err)
    : m_setup(setup)
    , m_makeTransport(std::move(makeTransport))
    , m_options(std::move(options))
    , m_out(out)
    , m_err(err)
{ }

BatchRun::~BatchRun() = default;

int BatchRun::Run(const QList<QByteArray>& queries)
{
    m_total = static_cast<int>(queries.size());
    m_printed = m_answered = m_failed = 0;
    m_startMs = m_options.Clock();
    m_lastProgressMs = -1;
    m_stop.Clear();

    // The log is the one object besides the scheduler that every search thread writes.
    LockingLogSink log(m_setup.Log);
    const SearchSetup setup { m_setup.Settings,    log,
                              m_setup.Definitions, m_setup.Now,
                              m_setup.Locale,      m_setup.PauseMilliseconds,
                              m_setup.Bootstrap };
    PacingScheduler scheduler(m_options.PaceMs, m_options.Clock);
    QList<QByteArray> hosts;
    for (const QByteArray& query : queries)
        hosts.append(FirstServerFor(m_setup.Definitions, query));
    const int jobs = std::max(1, std::min(m_options.Jobs, std::max(1, m_total)));
    BatchQueue queue(hosts, 4 * jobs, &scheduler);

    m_workers.clear();
    for (int i = 0; i < jobs; ++i) {
        m_workers.push_back(
            std::make_unique<Worker>(setup, m_makeTransport, m_options.MakeRdap, queue, scheduler, queries));
        m_workers.back()->start();
    }

    EventLoopWait wait;
    bool stopSent = false;
    bool allAnswered = true;
    const StopRequest never;
    for (;;) {
        if (m_stopAfter >= 0 && m_printed >= m_stopAfter)
            m_stop.Request();
        if (m_stop.IsRequested() && !stopSent) {
            stopSent = true;
            queue.Stop();
            for (const auto& worker : m_workers)
                worker->StopSearch();
        }
        bool progressed = false;
        while (std::optional<SearchOutcome> outcome = queue.NextInOrder()) {
            allAnswered = allAnswered && outcome->GotAnswer();
            Print(*outcome);
            progressed = true;
            if (m_stopAfter >= 0 && m_printed >= m_stopAfter)
                break;
        }
        while (const std::optional<int> skipped = queue.SkipNotRun()) {
            allAnswered = false;
            PrintNotRun(queries[*skipped]);
            progressed = true;
        }
        if (progressed)
            ShowProgress(false);
        if (queue.Drained() && queue.NextToPrint() >= m_total)
            break;
        if (!progressed)
            wait.WaitUntil(
                200, [&] { return m_stop.IsRequested() || queue.ReadyToPrint(); }, never);
    }
    for (const auto& worker : m_workers)
        worker->wait();
    m_workers.clear();
    m_mostHeld = queue.MostHeld();
    ShowProgress(true);
    return allAnswered && !stopSent ? 0 : 1;
}

void BatchRun::RequestStop()
{
    m_stop.Request();
}

void BatchRun::Print(const SearchOutcome& outcome)
{
    const bool answered = outcome.GotAnswer();
    answered ? ++m_answered : ++m_failed;
    if (m_options.Json) {
        m_out.write(JsonReport(outcome, true) + '\n');
    } else {
        QByteArray text;
        if (m_printed > 0)
            text += "\f\n";
        for (const QString& line : outcome.Lines)
            text += (m_options.OutIsTerminal ? TerminalSafeText(line) : line).toUtf8() + '\n';
        m_out.write(text);
        const QString complaint = outcome.Complaint(true);
        if (!complaint.isEmpty()) {
            ShowProgress(true);
            m_err.write(QStringLiteral("vesk-query: %1: %2\n")
                            .arg(TerminalSafeText(QString::fromLocal8Bit(outcome.Typed)), complaint)
                            .toUtf8());
        }
    }
    ++m_printed;
}

void BatchRun::PrintNotRun(const QByteArray& query)
{
    ++m_failed;
    ++m_printed;
    if (m_options.Json) {
        SearchOutcome notRun;
        notRun.Typed = query;
        notRun.NotRun = true;
        m_out.write(JsonReport(notRun, true) + '\n');
    } else {
        ShowProgress(true);
        m_err.write(
            QStringLiteral("vesk-query: not run: %1\n").arg(TerminalSafeText(QString::fromLocal8Bit(query))).toUtf8());
    }
}

void BatchRun::ShowProgress(bool last)
{
    if (!m_options.ErrIsTerminal)
        return;
    const qint64 now = m_options.Clock();
    if (last) {
        // Clears the line so that a message or the shell prompt starts on an empty line.
        if (m_lastProgressMs >= 0)
            m_err.write("\r\x1b[K");
        m_lastProgressMs = -1;
        return;
    }
    if (m_lastProgressMs >= 0 && now - m_lastProgressMs < 100 && m_printed < m_total)
        return;
    m_lastProgressMs = now;
    const double minutes = static_cast<double>(std::max<qint64>(1, now - m_startMs)) / 60000.0;
    const double perMinute = m_printed / minutes;
    QString eta = QStringLiteral("--:--");
    if (perMinute > 0) {
        const qint64 seconds = std::llround((m_total - m_printed) / perMinute * 60.0);
        eta = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    m_err.write(QStringLiteral("\r\x1b[K%1/%2 done, %3 answered, %4 failed, %5/min, %6 left")
                    .arg(m_printed)
                    .arg(m_total)
                    .arg(m_answered)
                    .arg(m_failed)
                    .arg(static_cast<qint64>(std::llround(perMinute)))
                    .arg(eta)
                    .toUtf8());
}

} // namespace vesk
