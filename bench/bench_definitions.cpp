#include "defs/definition_file.h"
#include "defs/definition_tables.h"

#include <QFile>
#include <benchmark/benchmark.h>

// Reads the definition files that the build puts beside the executables.
#ifndef VESK_BIN_DIR
#error "bench_definitions needs VESK_BIN_DIR (from the test support library)"
#endif

namespace {

QByteArray ReadShipped(const QByteArray& name)
{
    QFile file(QStringLiteral(VESK_BIN_DIR "/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The whole start-up load: both files read, decrypted and parsed into the tables.
void BM_LoadShippedDefinitions(benchmark::State& state)
{
    vesk::DefinitionTables defs;
    for (auto _ : state) {
        defs.LoadAll(QStringLiteral(VESK_BIN_DIR));
        benchmark::DoNotOptimize(defs.TldRows().size());
    }
    if (!defs.DefinitionsLoaded())
        state.SkipWithError("shipped definition files missing: build vesk_definition_files first");
}
BENCHMARK(BM_LoadShippedDefinitions)->Unit(benchmark::kMicrosecond);

void BM_DecryptTldFile(benchmark::State& state)
{
    const QByteArray file = ReadShipped(vesk::kTldFileName.Text());
    const vesk::DefinitionKey key = vesk::UnscrambleKey();
    for (auto _ : state)
        benchmark::DoNotOptimize(vesk::DecryptDefinitionFile(file, key));
    state.SetBytesProcessed(state.iterations() * file.size());
}
BENCHMARK(BM_DecryptTldFile)->Unit(benchmark::kMicrosecond);

void BM_ParseTldRows(benchmark::State& state)
{
    const QByteArray plain = vesk::DecryptDefinitionFile(ReadShipped(vesk::kTldFileName.Text()), vesk::UnscrambleKey());
    for (auto _ : state)
        benchmark::DoNotOptimize(vesk::ParseTldRows(plain));
    state.SetBytesProcessed(state.iterations() * plain.size());
}
BENCHMARK(BM_ParseTldRows)->Unit(benchmark::kMicrosecond);

// One lookup near the end of the table: the cost of the first-match scan.
void BM_FindTldLastRow(benchmark::State& state)
{
    vesk::DefinitionTables defs;
    defs.LoadAll(QStringLiteral(VESK_BIN_DIR));
    const QByteArray last = defs.TldRows().isEmpty() ? QByteArray("zz") : defs.TldRows().last().Tld;
    for (auto _ : state)
        benchmark::DoNotOptimize(defs.FindTld(last));
}
BENCHMARK(BM_FindTldLastRow);

} // namespace

BENCHMARK_MAIN();
