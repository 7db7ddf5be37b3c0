// A domain report over RDAP against a zero-latency loopback HTTP fake: the cost of the RDAP road itself (request,
// the responsive wait, JSON reading, rendering and writing the worksheet), with no network time in it.

#include "rdap/bootstrap_registry.h"
#include "rdap/rdap_client.h"
#include "support/fake_http_server.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

#include <benchmark/benchmark.h>

namespace {

void BM_DomainReportOverRdap(benchmark::State& state)
{
    vesk::test::FakeHttpServer server;
    server.Serve("rdap/domain/example.zz",
                 vesk::test::ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json")));
    vesk::EventLoopWait wait;
    vesk::HttpRdapTransport client(wait, [&server](const QByteArray&, int) -> std::optional<vesk::ServerEndpoint> {
        return vesk::ServerEndpoint { QHostAddress(QHostAddress::LocalHost), server.Port() };
    });
    vesk::RdapBootstrap bootstrap;
    bootstrap.Domains.BaseUrls.insert("zz", "http://rdap.identitydigital.services/rdap/");

    vesk::test::LookupWorld world;
    world.Settings->InclIP = false;
    world.Settings->SearchContacts = false;
    world.Settings->ClearBeforeSearch = true;
    world.UseRdap(&client, &bootstrap);
    for (auto _ : state) {
        world.Search("example.zz");
        if (!world.Window.Text().contains(QStringLiteral("(RDAP)")))
            state.SkipWithError("the report has no RDAP record");
    }
}

} // namespace

BENCHMARK(BM_DomainReportOverRdap)->Unit(benchmark::kMillisecond);
