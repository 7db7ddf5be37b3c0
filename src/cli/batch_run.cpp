#include "cli/batch_run.h"

#include "cli/batch_printer.h"
#include "cli/lazy_rdap.h"
#include "common/locking_log_sink.h"
#include "rdap/rdap_client.h"
#include "whois/transport.h"

#include <QBuffer>

namespace vesk {

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
    BatchPrinter printer(m_out, m_err, m_options.Json, m_options.OutIsTerminal, m_options.ErrIsTerminal);
    BatchScheduler scheduler(m_setup.Definitions, makeSearch,
                             BatchSettings { m_options.Jobs, m_options.PaceMs, m_options.Clock }, printer);
    scheduler.StopAfter(m_stopAfter);
    if (m_stopRequested)
        scheduler.RequestStop();
    m_running = &scheduler;
    BatchInput lines(input);
    const int status = scheduler.Run(lines);
    m_running = nullptr;
    m_mostHeld = scheduler.MostHeld();
    return status;
}

void BatchRun::RequestStop()
{
    m_stopRequested = true;
    if (m_running != nullptr)
        m_running->RequestStop();
}

} // namespace vesk
