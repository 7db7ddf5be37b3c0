// How quickly a stop ends a report, and how long the event loop goes without a turn, while the engine waits for a
// silent loopback server: the window's responsiveness during a query.
#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "support/fake_whois_server.h"
#include "support/temp_settings.h"
#include "whois/tcp_transport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

using vesk::test::FakeWhoisMode;
using vesk::test::FakeWhoisServer;

constexpr int kStopAfterMs = 300;

// Notes when the report ends ("Done"); the rest is not shown.
class TimingFrontend : public vesk::Frontend
{
public:
    void AppendLine(const QString&) override { }
    void ClearLines() override { }
    void ShowStatus(const QString& text) override
    {
        if (text == QLatin1String("Done"))
            doneAt = clock.nsecsElapsed();
    }
    void ProcessPendingEvents() override { QCoreApplication::processEvents(); }
    QByteArray QueryText() const override { return query; }
    void SetQueryText(const QByteArray& text) override { query = text; }
    void SetBusy(bool) override { }

    QElapsedTimer clock;
    qint64 doneAt = 0;
    QByteArray query;
};

void BM_StopDuringSilentQuery(benchmark::State& state)
{
    FakeWhoisServer server;
    server.SetMode(FakeWhoisMode::Silent);
    vesk::AddressBook book;
    book.AddServer(QByteArrayLiteral("whois.verisign-grs.com"),
                   vesk::ServerEndpoint { QHostAddress(QHostAddress::LocalHost), server.Port() });
    vesk::EventLoopWait wait;
    vesk::TcpWhoisTransport transport(wait, book);

    vesk::test::TempSettings store;
    QTemporaryDir logDir;
    vesk::TReg settings(store.Open(), vesk::TReg::WriteBack::Never, vesk::SystemClock());
    settings.ClearBeforeSearch = false;
    vesk::TLogFile log(logDir.path(), QStringLiteral("bench"));
    vesk::DefinitionTables definitions;
    TimingFrontend window;
    vesk::LookupEngine engine(window, log, definitions, transport, nullptr, wait);
    const vesk::SearchOptions options = vesk::SearchOptions().WithSettings(settings);

    double worstStopMs = 0;
    double worstGapMs = 0;
    for (auto _ : state) {
        window.clock.start();
        window.doneAt = 0;
        qint64 stoppedAt = 0;
        qint64 lastTurn = 0;
        qint64 longestGap = 0;
        // A precise 1 ms timer stands for the window's own events: the gap between its turns is how long the
        // window would go without handling a click or a repaint.
        QTimer turn;
        turn.setTimerType(Qt::PreciseTimer);
        turn.setInterval(1);
        QObject::connect(&turn, &QTimer::timeout, [&] {
            const qint64 now = window.clock.nsecsElapsed();
            longestGap = std::max(longestGap, now - lastTurn);
            lastTurn = now;
        });
        QTimer::singleShot(kStopAfterMs, [&] {
            stoppedAt = window.clock.nsecsElapsed();
            engine.StopSearch();
        });
        lastTurn = window.clock.nsecsElapsed();
        turn.start();
        window.SetQueryText("=silent");
        engine.Search(options);
        turn.stop();
        if (stoppedAt == 0 || window.doneAt == 0) {
            state.SkipWithError("the stop did not end the query");
            break;
        }
        worstStopMs = std::max(worstStopMs, static_cast<double>(window.doneAt - stoppedAt) / 1e6);
        worstGapMs = std::max(worstGapMs, static_cast<double>(longestGap) / 1e6);
    }
    state.counters["stop_to_done_ms_max"] = worstStopMs;
    state.counters["longest_loop_gap_ms_max"] = worstGapMs;
}
BENCHMARK(BM_StopDuringSilentQuery)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
