#include "cli/batch_run.h"

#include "cli/batch_printer.h"
#include "cli/lazy_rdap.h"
#include "common/locking_log_sink.h"
#include "rdap/rdap_client.h"
#include "whois/transport.h"

#include <QBuffer>
#include <optional>

namespace vesk {

namespace {

// Hands each outcome to the history and then to the printer; in a watch, after comparing it with its previous report.
class HistoryOutput final : public BatchOutput
{
public:
    HistoryOutput(BatchPrinter& printer, HistoryRecorder* recorder, bool record, WatchSummary* summary)
        : m_printer(printer)
        , m_recorder(recorder)
        , m_record(record)
        , m_summary(summary)
    { }

    void Report(const SearchOutcome& outcome, const BatchProgress& progress) override
    {
        const bool recordable = IsRecordable(outcome);
        if (m_summary == nullptr) {
            // Written on the history thread while the batch goes on; the outcome's texts are shared, not copied.
            if (recordable && m_record)
                m_recorder->Submit([outcome] { return RecordOf(outcome); }, false);
            m_printer.Report(outcome, progress);
            return;
        }
        if (!recordable) {
            m_summary->Note(outcome, nullptr);
            m_printer.Report(outcome, progress);
            return;
        }
        ChangesSincePrevious changes;
        if (m_recorder != nullptr)
            changes = *m_recorder->Submit([&outcome] { return RecordOf(outcome); }, true).get().Changes;
        const bool attention = m_summary->Note(outcome, &changes);
        const ReportChanges json { changes.Previous ? changes.Previous->Started : QDateTime(), changes.Changes,
                                   attention };
        m_printer.Report(outcome, progress, &json);
    }
    void Finished(const BatchProgress& progress) override { m_printer.Finished(progress); }

private:
    BatchPrinter& m_printer;
    HistoryRecorder* m_recorder; ///< null: the run has no store
    bool m_record; ///< record each search (else a watch only compares)
    WatchSummary* m_summary;
};

} // namespace

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
    QByteArray text;
    for (const QByteArray& query : queries)
        text += query + '\n';
    QBuffer input(&text);
    input.open(QIODevice::ReadOnly);
    return Run(input);
}

int BatchRun::Run(QIODevice& input)
{
    // Every search thread writes the log: its records must reach the file whole.
    LockingLogSink log(m_setup.Log);
    const SearchSetup setup { m_setup.Settings,    log,
                              m_setup.Definitions, m_setup.Now,
                              m_setup.Locale,      m_setup.PauseMilliseconds,
                              m_setup.Bootstrap };
    BatchPrinter printer(m_out, m_err, m_options.Json, m_options.OutIsTerminal, m_options.ErrIsTerminal);
    // One connection on a thread of its own records the batch's searches as they are printed, so the search
    // threads never wait for the store. It opens (and repairs) the store before the first search.
    const std::unique_ptr<HistoryRecorder> recorder = StartRecorder(m_options.History);
    if (recorder != nullptr) {
        const QString problem = OpenProblem(recorder->Available(), recorder->Error(), recorder->SetAsidePath());
        if (!problem.isEmpty())
            m_err.write(QStringLiteral("vesk-query: %1\n").arg(problem).toUtf8());
    }
    const bool record = recorder != nullptr && recorder->Available() && m_options.History.Record;
    const BatchSearchFactory makeSearch = [this, &setup](EventWait& wait) -> BatchSearch {
        std::shared_ptr<WhoisTransport> transport = m_makeTransport(wait);
        // The thread's RDAP transport is made at its first RDAP exchange, on this thread.
        std::shared_ptr<RdapSource> rdap;
        if (m_options.MakeRdap)
            rdap = std::make_shared<LazyRdapSource>(setup.Bootstrap, nullptr,
                                                    [make = m_options.MakeRdap, &wait] { return make(wait); });
        return [&setup, &wait, transport, rdap](const QByteArray& query, HostPacer& pacer,
                                                const std::function<void(LookupEngine*)>& onEngine,
                                                const std::function<void(const ExchangeEntry&)>& onExchange) {
            return RunSearch(setup, SearchRoad { *transport, rdap.get(), wait }, query,
                             SearchWatch { nullptr, &pacer, onEngine, onExchange });
        };
    };
    std::optional<WatchSummary> summary;
    if (m_options.Watch)
        summary.emplace(m_options.ExpiringDays, m_setup.Now ? m_setup.Now() : QDateTime::currentDateTimeUtc());
    HistoryOutput output(printer, recorder.get(), record, summary ? &*summary : nullptr);
    BatchScheduler scheduler(m_setup.Definitions, makeSearch,
                             BatchSettings { m_options.Jobs, m_options.PaceMs, m_options.Clock }, output);
    scheduler.StopAfter(m_stopAfter);
    if (m_stopRequested)
        scheduler.RequestStop();
    m_running = &scheduler;
    BatchInput lines(input);
    const int status = scheduler.Run(lines);
    m_running = nullptr;
    m_mostHeld = scheduler.MostHeld();
    m_mostHeldBytes = scheduler.MostHeldBytes();
    if (!summary)
        return status;
    // JSON Lines hold reports only: the summary then goes with the other messages.
    const QByteArray text = summary->Lines().join(u'\n').toUtf8() + '\n';
    if (m_options.Json)
        m_err.write(text);
    else
        m_out.write("\f\n" + text);
    return status != 0 ? status : summary->ExitStatus();
}

void BatchRun::RequestStop()
{
    m_stopRequested = true;
    if (m_running != nullptr)
        m_running->RequestStop();
}

} // namespace vesk
