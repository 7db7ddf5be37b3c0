// The history store: what recording adds to a search, and how fast a query's past reports come back from a store
// of 100,000 reports (1,000 queries with 100 reports each, the per-query limit). The big store is built once, in a
// temporary folder, by the same Record call a search uses.

#include "history/history_store.h"
#include "history/report_changes.h"
#include "history/report_fields.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int kQueries = 1000;
constexpr int kReportsPerQuery = 100;

// A filtered registry record under its header and source box, as a search writes it.
vesk::SearchRecord DomainSearch(const QString& domain, int generation)
{
    QByteArray reply = vesk::test::WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt");
    reply.truncate(reply.indexOf(">>>"));
    reply.replace("2028-09-14", QByteArray::number(2028 + generation % 50) + "-09-14");
    QStringList lines = vesk::test::HeaderBox(QStringLiteral("DOMAIN REPORT FOR: ") + domain.toUpper());
    lines << vesk::test::SourceBox(QStringLiteral("DOMAIN DETAILS for ") + domain.toUpper(),
                                   QStringLiteral("source: whois.verisign-grs.com"))
          << vesk::test::SheetLines(reply) << QString();

    vesk::SearchRecord search;
    search.Typed = domain;
    search.Sent = domain;
    search.Kind = QStringLiteral("domain");
    search.Started = QDateTime::currentDateTimeUtc();
    search.Ended = search.Started.addMSecs(800);
    search.Report = lines.join(u'\n');
    search.Fields = vesk::ExtractReportFields(lines);
    search.Exchanges = { { QStringLiteral("whois"), QStringLiteral("whois.verisign-grs.com"),
                           QStringLiteral("answered"), reply.size() } };
    return search;
}

QString QueryName(int i)
{
    return QStringLiteral("domain%1.com").arg(i);
}

// The big store, made on first use and kept for the whole run.
const QString& BigStorePath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("history.sqlite"));
        vesk::HistoryStore store(file);
        QElapsedTimer timer;
        timer.start();
        for (int generation = 0; generation < kReportsPerQuery; ++generation) {
            for (int i = 0; i < kQueries; ++i)
                store.Record(DomainSearch(QueryName(i), generation));
        }
        std::fprintf(stderr, "built a store of %d reports in %lld ms (%lld MB of text)\n", kQueries * kReportsPerQuery,
                     static_cast<long long>(timer.elapsed()), static_cast<long long>(store.StoredBytes() >> 20));
        return file;
    }();
    return path;
}

void BM_RecordOneReport(benchmark::State& state)
{
    vesk::HistoryStore store(BigStorePath());
    vesk::SearchRecord search = DomainSearch(QStringLiteral("recorded.example"), 0);
    const QStringList lines = search.Report.split(u'\n');
    for (auto _ : state) {
        // Reading the fields is part of what recording adds to a search.
        search.Fields = vesk::ExtractReportFields(lines);
        if (!store.Record(search))
            state.SkipWithError("the report was not recorded");
    }
}

// What one vesk-query run adds: open the store the earlier runs left, record the search, close.
void BM_OpenRecordCloseAsOneRun(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    vesk::SearchRecord search = DomainSearch(QStringLiteral("recorded.example"), 0);
    const QStringList lines = search.Report.split(u'\n');
    vesk::HistoryStore(path).Record(search);
    for (auto _ : state) {
        search.Fields = vesk::ExtractReportFields(lines);
        vesk::HistoryStore store(path);
        if (!store.Record(search))
            state.SkipWithError("the report was not recorded");
    }
}

// The part of recording that is not SQLite: reading the report's fields and writing them as the stored JSON.
void BM_ReadAndWriteReportFields(benchmark::State& state)
{
    const vesk::SearchRecord search = DomainSearch(QStringLiteral("recorded.example"), 0);
    const QStringList lines = search.Report.split(u'\n');
    for (auto _ : state) {
        const vesk::ReportFields fields = vesk::ExtractReportFields(lines);
        benchmark::DoNotOptimize(vesk::FieldsToJson(fields));
    }
}

void BM_ListHundredReportsOfAQuery(benchmark::State& state)
{
    vesk::HistoryStore store(BigStorePath());
    int n = 0;
    for (auto _ : state) {
        const QList<vesk::ReportSummary> list = store.List(QueryName(n++ % kQueries), QStringLiteral("domain"));
        if (list.size() != kReportsPerQuery)
            state.SkipWithError("a query does not have its 100 reports");
    }
}

void BM_PreviousReportAndChanges(benchmark::State& state)
{
    vesk::HistoryStore store(BigStorePath());
    const vesk::SearchRecord now = DomainSearch(QueryName(0), kReportsPerQuery);
    int n = 0;
    for (auto _ : state) {
        const auto previous = store.Previous(QueryName(n++ % kQueries), QStringLiteral("domain"));
        if (!previous) {
            state.SkipWithError("no previous report");
            break;
        }
        benchmark::DoNotOptimize(vesk::CompareFields(previous->Fields, now.Fields));
    }
}

void BM_FilterAllSearches(benchmark::State& state)
{
    vesk::HistoryStore store(BigStorePath());
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Search(QStringLiteral("main99"), 1000));
}

} // namespace

BENCHMARK(BM_RecordOneReport)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenRecordCloseAsOneRun)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadAndWriteReportFields)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListHundredReportsOfAQuery)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviousReportAndChanges)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterAllSearches)->Unit(benchmark::kMillisecond);
