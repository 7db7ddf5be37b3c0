// Turning an RDAP answer into report text: the largest recorded domain answer (a thick registry with contacts,
// redaction remarks and a long terms-of-service notice) and the largest recorded network answer, from the body's
// bytes to the written text; and a bootstrap lookup in the shipped domain registry.
#include "rdap/bootstrap_registry.h"
#include "rdap/domain_text.h"
#include "rdap/network_text.h"
#include "support/test_data.h"

#include <QFile>
#include <benchmark/benchmark.h>

namespace {

QByteArray Fixture(const char* name)
{
    return vesk::test::ReadTestData(QStringLiteral("rdap/") + QString::fromLatin1(name));
}

void BM_RenderDomainRecord_ThickRegistry(benchmark::State& state)
{
    const QByteArray body = Fixture("registry-uniregistry-microsoft.click-ABRIDGED.json");
    for (auto _ : state) {
        QByteArray text = vesk::RenderDomainRecord(vesk::ParseRdapAnswer(body), false);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(BM_RenderDomainRecord_ThickRegistry);

void BM_RenderNetworkRecord_Arin(benchmark::State& state)
{
    const QByteArray body = Fixture("rir-arin-ip-network-192.198.0.0.json");
    for (auto _ : state) {
        QByteArray text = vesk::RenderNetworkRecord(vesk::ParseRdapAnswer(body), false);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(BM_RenderNetworkRecord_Arin);

void BM_FindDomainBaseUrl(benchmark::State& state)
{
    QFile file(QStringLiteral(VESK_SOURCE_DATA "/rdap/dns.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("data/rdap/dns.json missing");
        return;
    }
    const vesk::DomainBootstrap registry = vesk::ParseDomainBootstrap(file.readAll());
    for (auto _ : state) {
        QByteArray url = vesk::FindDomainBaseUrl(registry, "www.Example.INFO");
        benchmark::DoNotOptimize(url);
    }
}
BENCHMARK(BM_FindDomainBaseUrl);

} // namespace

BENCHMARK_MAIN();
