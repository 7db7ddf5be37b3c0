// What the transport and the lookup engine add to a search: one exchange through the transport and one plain
// query through the engine over loopback, both against the same exchange on a bare socket; and the work between
// the last byte of a 10 MiB reply and the written report.
#include "common/event_wait.h"
#include "defs/definition_tables.h"
#include "lookup/domain_details.h"
#include "lookup/plain_query.h"
#include "lookup/rdap_details.h"
#include "lookup/server_asker.h"
#include "lookup/worksheet.h"
#include "support/bare_socket.h"
#include "support/fake_whois_server.h"
#include "support/ready_transport.h"
#include "whois/tcp_transport.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

using vesk::test::FakeWhoisServer;

constexpr qint64 kReplyBytes = 3559; // a registry's answer for a registered .com domain
constexpr qint64 kLargeReplyBytes = 10 * 1024 * 1024;

FakeWhoisServer& Server()
{
    static FakeWhoisServer server;
    static const bool scripted = [] {
        server.SetDefaultReply(FakeWhoisServer::GeneratedReply(kReplyBytes));
        return true;
    }();
    (void)scripted;
    return server;
}

// Counts what would be shown instead of keeping it, so the figures are the engine's own.
class CountingFrontend : public vesk::Frontend
{
public:
    void AppendLine(const QString& line) override
    {
        ++lines;
        characters += line.size();
    }
    void ClearLines() override { }
    void ShowStatus(const QString&) override { }
    void ProcessPendingEvents() override { }
    QByteArray QueryText() const override { return query; }
    void SetQueryText(const QByteArray& text) override { query = text; }
    void SetBusy(bool) override { }

    qint64 lines = 0;
    qint64 characters = 0;
    QByteArray query;
};

struct EngineWorld
{
    explicit EngineWorld(vesk::WhoisTransport& transport)
        : sheet(window)
        , asker(window, sheet, transport, nullptr, wait, options)
        , rdap(asker, options)
        , details(asker, rdap, definitions, options)
        , plain(asker, options)
    {
        options.ClearBeforeSearch = false;
        options.InclIP = false;
        options.SearchContacts = false;
        options.FilterComments = true;
        options.PauseMilliseconds = 0;
        definitions.SetTldRows({ { "test", "Testing", "whois.nic.test" } });
    }

    vesk::DefinitionTables definitions;
    CountingFrontend window;
    vesk::EventLoopWait wait;
    vesk::SearchOptions options;
    vesk::Worksheet sheet;
    vesk::ServerAsker asker;
    vesk::RdapDetails rdap;
    vesk::DomainDetails details;
    vesk::PlainQuery plain;
};

long g_baselineKiB = 0;

long MaxRssKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_EnginePlainQuery(benchmark::State& state)
{
    vesk::AddressBook book;
    book.AddServer(QByteArrayLiteral("whois.verisign-grs.com"),
                   vesk::ServerEndpoint { QHostAddress(QHostAddress::LocalHost), Server().Port() });
    vesk::EventLoopWait wait;
    vesk::TcpWhoisTransport transport(wait, book);
    EngineWorld world(transport);
    for (auto _ : state)
        world.plain.Write("=example");
    if (world.window.characters < kReplyBytes * static_cast<qint64>(state.iterations()))
        state.SkipWithError("short reply");
}
BENCHMARK(BM_EnginePlainQuery)->Unit(benchmark::kMicrosecond);

void BM_TransportExchange(benchmark::State& state)
{
    vesk::AddressBook book;
    book.AddServer(QByteArrayLiteral("whois.verisign-grs.com"),
                   vesk::ServerEndpoint { QHostAddress(QHostAddress::LocalHost), Server().Port() });
    vesk::EventLoopWait wait;
    vesk::TcpWhoisTransport transport(wait, book);
    const vesk::StopRequest never;
    for (auto _ : state) {
        const QByteArray reply = transport
                                     .Exchange(QByteArrayLiteral("whois.verisign-grs.com"), 43,
                                               QByteArrayLiteral("=example"), vesk::HostSource::Fixed, never)
                                     .Reply;
        if (reply.size() != kReplyBytes)
            state.SkipWithError("short reply");
        benchmark::DoNotOptimize(reply.constData());
    }
}
BENCHMARK(BM_TransportExchange)->Unit(benchmark::kMicrosecond);

// The floor: connect, send, read to the close, with nothing around it.
void BM_BareSocketExchange(benchmark::State& state)
{
    const quint16 port = Server().Port();
    for (auto _ : state) {
        const QByteArray reply = vesk::test::BareSocketExchange(port, QByteArrayLiteral("=example\r\n"));
        if (reply.size() != kReplyBytes)
            state.SkipWithError("short reply");
        benchmark::DoNotOptimize(reply.constData());
    }
}
BENCHMARK(BM_BareSocketExchange)->Unit(benchmark::kMicrosecond);

// A 10 MiB reply, from its last byte to the report written: the plain query writes it as it is; the domain
// details of a directly answering server filter it, cut it by its profile and decode it as UTF-8.
void LargeReply(benchmark::State& state, bool domain)
{
    vesk::test::ReadyTransport transport(FakeWhoisServer::GeneratedReply(kLargeReplyBytes));
    EngineWorld world(transport);
    for (auto _ : state) {
        if (domain)
            world.details.Lookup("big.test", "whois.nic.test");
        else
            world.plain.Write("big.test");
    }
    // The peak only grows: it counts from the program's start and includes the 10 MiB reply itself. Run one
    // large-reply benchmark per process (--benchmark_filter) for a figure that is its own.
    state.counters["peak_rss_growth_MiB"] = static_cast<double>(MaxRssKiB() - g_baselineKiB) / 1024.0;
    state.counters["lines_per_report"]
        = static_cast<double>(world.window.lines) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(kLargeReplyBytes * static_cast<int64_t>(state.iterations()));
}

void BM_LargeReplyPlainQuery(benchmark::State& state)
{
    LargeReply(state, false);
}
BENCHMARK(BM_LargeReplyPlainQuery)->Unit(benchmark::kMillisecond);

void BM_LargeReplyDomainDetails(benchmark::State& state)
{
    LargeReply(state, true);
}
BENCHMARK(BM_LargeReplyDomainDetails)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    g_baselineKiB = MaxRssKiB();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
