// What the transport adds to one WHOIS exchange over loopback, against the same exchange on a bare socket.
#include "support/bare_socket.h"
#include "support/fake_whois_server.h"
#include "whois/whois_client.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

using vesk::test::FakeWhoisServer;

// About the size of a registry's answer for a registered .com domain.
constexpr qint64 kReplyBytes = 3559;

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

void BM_TransportExchange(benchmark::State& state)
{
    vesk::AddressBook book;
    book.AddServer(QByteArrayLiteral("whois.example.net"),
                   vesk::ServerEndpoint { QHostAddress(QHostAddress::LocalHost), Server().Port() });
    vesk::TcpWhoisTransport transport(book);
    for (auto _ : state) {
        const QByteArray reply = transport.Exchange(QByteArrayLiteral("whois.example.net"), 43,
                                                    QByteArrayLiteral("example.com"), vesk::HostSource::Fixed);
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
        const QByteArray reply = vesk::test::BareSocketExchange(port, QByteArrayLiteral("example.com\r\n"));
        if (reply.size() != kReplyBytes)
            state.SkipWithError("short reply");
        benchmark::DoNotOptimize(reply.constData());
    }
}
BENCHMARK(BM_BareSocketExchange)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
