#include "codecs/utf8_decoder.h"

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype kMiB = 1 << 20;

QByteArray Repeat(QByteArrayView unit)
{
    QByteArray out;
    out.reserve(kMiB + unit.size());
    while (out.size() < kMiB)
        out.append(unit);
    out.truncate(kMiB);
    return out;
}

void Decode(benchmark::State& state, const QByteArray& bytes)
{
    for (auto _ : state) {
        QString text = vesk::Utf8ToWideText(bytes);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// A WHOIS reply in plain ASCII: the fast widening path.
void BM_Utf8ToWideText_Ascii(benchmark::State& state)
{
    Decode(state, Repeat("Registrar WHOIS Server: whois.example.com\r\nName Server: NS1.EXAMPLE.COM\r\n"));
}
BENCHMARK(BM_Utf8ToWideText_Ascii);

// Mostly ASCII with two-, three- and four-byte sequences: the decoding loop.
void BM_Utf8ToWideText_MixedUtf8(benchmark::State& state)
{
    Decode(state,
           Repeat("Registrant: M\xC3\xBCller Stra\xC3\x9F"
                  "e \xE2\x95\x90 \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA"
                  "\xD0\xB2\xD0\xB0 \xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x98\x80\r\n"));
}
BENCHMARK(BM_Utf8ToWideText_MixedUtf8);

// Latin-1 text: every accented byte is an invalid sequence and falls back.
void BM_Utf8ToWideText_Latin1(benchmark::State& state)
{
    Decode(state,
           Repeat("Titulaire: Soci\xE9t\xE9 G\xE9n\xE9rale, M\xFCnchen, Espa\xF1"
                  "a, \xC5rhus\r\n"));
}
BENCHMARK(BM_Utf8ToWideText_Latin1);

} // namespace

BENCHMARK_MAIN();
