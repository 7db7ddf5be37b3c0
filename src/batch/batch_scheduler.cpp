#include "batch/batch_scheduler.h"

#include "batch/batch_queue.h"
#include "common/event_wait.h"
#include "lookup/first_server.h"
#include "lookup/search_dispatch.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <exception>

namespace vesk {

namespace {

// The scheduler's turn for a host, waited for on the search's own thread; first, room in the reorder window.
class ScheduledPacer final : public HostPacer
{
public:
    /// `running`: the index of the search that this thread runs now.
    ScheduledPacer(PacingScheduler& scheduler, EventWait& wait, const BatchQueue& queue, const qint64& running)
        : m_scheduler(scheduler)
        , m_wait(wait)
        , m_queue(queue)
        , m_running(running)
    { }

    bool WaitTurn(const QByteArray& host, const StopRequest& stop) override
    {
        // A search that would add to a window already beyond its budget waits until the reports before it are out;
        // the one due next never waits, so the wait always ends.
        while (!stop.IsRequested() && !m_queue.MayGoOn(m_running))
            m_wait.WaitUntil(
                kRoomWaitMs, [this] { return m_queue.MayGoOn(m_running); }, stop);
        const qint64 start = m_scheduler.Reserve(host);
        const qint64 left = start - m_scheduler.Now();
        if (left > 0)
            m_wait.WaitUntil(static_cast<int>(left), {}, stop);
        return !stop.IsRequested();
    }

private:
    static constexpr int kRoomWaitMs = 60000;

    PacingScheduler& m_scheduler;
    EventWait& m_wait;
    const BatchQueue& m_queue;
    const qint64& m_running;
};

// Wakes the reporting thread's event loop so that it looks at the queue at once.
void WakeReporter()
{
    if (QCoreApplication::instance() != nullptr)
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
}

} // namespace

/// One search thread: takes queries from the queue until none is left, each searched afresh.
class BatchScheduler::Worker : public QThread
{
public:
    Worker(const BatchSearchFactory& makeSearch, BatchQueue& queue, PacingScheduler& scheduler)
        : m_makeSearch(makeSearch)
        , m_queue(queue)
        , m_scheduler(scheduler)
    { }

    /// From the reporting thread: the running search (and any that starts later) stops as Stop does.
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
        const BatchSearch search = m_makeSearch(wait);
        qint64 running = -1;
        ScheduledPacer pacer(m_scheduler, wait, m_queue, running);
        QObject context; // lives on this thread: the stop request runs here, between the engine's events
        const auto onEngine = [this, &context](LookupEngine* engine) {
            const QMutexLocker lock(&m_mutex);
            m_engine = engine;
            m_context = engine != nullptr ? &context : nullptr;
            if (m_stop)
                PostStop();
        };
        // A rate-limited answer (a port-43 notice or an RDAP 429) slows its host down for the rest of the batch.
        // Every reply counts against the window's budget as soon as it is in, not only once the report is done.
        const auto onExchange = [this, &running](const ExchangeEntry& entry) {
            if (entry.Outcome == "rate-limited")
                m_scheduler.SlowDown(entry.Host);
            m_queue.Grow(running, entry.BytesReceived + entry.Answer.size());
        };
        while (const std::optional<BatchTask> task = m_queue.Take()) {
            running = task->Index;
            SearchOutcome outcome = search(task->Query, pacer, onEngine, onExchange);
            outcome.Line = task->Line;
            // A stop posted after the search ended must not reach the next engine.
            QCoreApplication::removePostedEvents(&context);
            m_queue.Finish(task->Index, std::move(outcome));
            WakeReporter();
        }
    }

private:
    void PostStop()
    {
        if (m_engine != nullptr)
            QMetaObject::invokeMethod(
                m_context, [engine = m_engine] { engine->StopSearch(); }, Qt::QueuedConnection);
    }

    const BatchSearchFactory& m_makeSearch;
    BatchQueue& m_queue;
    PacingScheduler& m_scheduler;
    QMutex m_mutex;
    LookupEngine* m_engine = nullptr;
    QObject* m_context = nullptr;
    bool m_stop = false;
};

BatchScheduler::BatchScheduler(const DefinitionTables& definitions, BatchSearchFactory makeSearch,
                               BatchSettings settings, BatchOutput& output)
    : m_definitions(definitions)
    , m_makeSearch(std::move(makeSearch))
    , m_settings(std::move(settings))
    , m_output(output)
{ }

BatchScheduler::~BatchScheduler() = default;

int BatchScheduler::Run(BatchInput& input)
{
    m_done = m_answered = m_failed = 0;
    m_startMs = m_settings.Clock();

    PacingScheduler scheduler(m_settings.PaceMs, m_settings.Clock);
    const BatchSource source = [this, &input]() -> std::optional<BatchEntry> {
        std::optional<BatchLine> line = input.Next();
        if (!line)
            return std::nullopt;
        BatchEntry entry { std::move(line->Query), line->Number, {}, std::move(line->Problem), line->Ignored };
        if (entry.Problem.isEmpty()) {
            // The search refuses such a query in its dispatch (a query too long to classify): say so for its line.
            try {
                DispatchQuery(m_definitions, SearchText(entry.Query));
                entry.FirstHost = FirstServerFor(m_definitions, entry.Query);
            } catch (const std::exception& error) {
                entry.Problem = QString::fromLocal8Bit(error.what());
            }
        }
        return entry;
    };
    const int jobs = std::max(1, m_settings.Jobs);
    BatchQueue queue(source, 4 * jobs, &scheduler, m_settings.HeldBytes);
    // The rest of a file is read after a stop to list its queries as not run; a pipe may never end.
    const bool readRest = input.Bounded();

    // A stop that came before the run (Ctrl-C during start-up) must keep every query from starting.
    bool stopSent = m_stop.IsRequested();
    if (stopSent)
        queue.Stop();
    m_workers.clear();
    for (int i = 0; i < jobs; ++i) {
        m_workers.push_back(std::make_unique<Worker>(m_makeSearch, queue, scheduler));
        m_workers.back()->start();
    }

    EventLoopWait wait;
    bool allAnswered = true;
    const StopRequest never;
    for (;;) {
        if (m_stopAfter >= 0 && m_done >= m_stopAfter)
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
            Hand(*outcome);
            progressed = true;
            if (m_stopAfter >= 0 && m_done >= m_stopAfter && !stopSent)
                break;
        }
        while (std::optional<SearchOutcome> notRun = queue.SkipNotRun(readRest)) {
            allAnswered = false;
            Hand(*notRun);
            progressed = true;
        }
        if (queue.Done(readRest))
            break;
        if (!progressed)
            wait.WaitUntil(
                200, [&] { return m_stop.IsRequested() || queue.ReadyToPrint(); }, never);
    }
    for (const auto& worker : m_workers)
        worker->wait();
    m_workers.clear();
    m_mostHeld = queue.MostHeld();
    m_mostHeldBytes = queue.MostHeldBytes();
    m_stop.Clear();
    BatchProgress last = Progress();
    last.UnreadAfterLine = queue.UnreadAfterLine();
    last.ReadError = input.ReadError();
    m_output.Finished(last);
    return allAnswered && !stopSent && last.ReadError.isEmpty() ? 0 : 1;
}

void BatchScheduler::RequestStop()
{
    m_stop.Request();
}

void BatchScheduler::Hand(const SearchOutcome& outcome)
{
    outcome.GotAnswer() ? ++m_answered : ++m_failed;
    ++m_done;
    m_output.Report(outcome, Progress());
}

BatchProgress BatchScheduler::Progress() const
{
    return BatchProgress { m_done, m_answered, m_failed, m_settings.Clock() - m_startMs, 0, {} };
}

} // namespace vesk
