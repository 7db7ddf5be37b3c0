// vesk-query --batch against zero-latency loopback fakes: wall time against the pacing limit and against a loop of
// single runs at the same pace, the peak memory of a batch (it must not grow with the number of queries), and what
// recording in the history adds to a batch.
#include "support/fake_whois_server.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using vesk::test::FakeWhoisServer;

// Eight registry hosts of the shipped definitions, each with the TLD it serves.
const char* const kHosts[8][2] = {
    { "com", "whois.verisign-grs.com" },
    { "org", "whois.publicinterestregistry.org" },
    { "de", "whois.denic.de" },
    { "eu", "whois.eu" },
    { "fr", "whois.nic.fr" },
    { "io", "whois.nic.io" },
    { "it", "whois.nic.it" },
    { "nl", "whois.domain-registry.nl" },
};
constexpr int kPaceMs = 100;

struct Run
{
    double seconds = 0;
    double peakRssMb = 0;
    int status = -1;
};

// Runs vesk-query with `arguments` (stdout to /dev/null) and measures its wall time and peak RSS.
Run RunQuery(const QStringList& arguments, const QString& home)
{
    std::vector<QByteArray> storage { QByteArray(VESK_QUERY_PATH) };
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    const QByteArray homeBytes = home.toLocal8Bit();
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child == 0) {
        setenv("HOME", homeBytes.constData(), 1);
        setenv("XDG_CONFIG_HOME", homeBytes.constData(), 1);
        setenv("XDG_STATE_HOME", homeBytes.constData(), 1);
        if (freopen("/dev/null", "w", stdout) == nullptr)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    wait4(child, &status, 0, &usage);
    return { timer.nsecsElapsed() / 1e9, usage.ru_maxrss / 1024.0, WIFEXITED(status) ? WEXITSTATUS(status) : -1 };
}

struct World
{
    std::vector<std::unique_ptr<FakeWhoisServer>> servers;
    QStringList routes;
    QTemporaryDir home;

    explicit World(int hosts)
    {
        for (int i = 0; i < hosts; ++i) {
            servers.push_back(std::make_unique<FakeWhoisServer>());
            servers.back()->SetDefaultReply("Domain Name: FOUND\r\ndomain: found\r\n");
            routes << QStringLiteral("--resolve")
                   << QStringLiteral("%1:43:127.0.0.1:%2")
                          .arg(QString::fromLatin1(kHosts[i][1]))
                          .arg(servers.back()->Port());
        }
        // The stub registry reply names no registrar server, which would send .com to the registry's RDAP server
        // (outside this loopback world); the benchmark is about port-43 pacing.
        routes << QStringLiteral("--no-ip") << QStringLiteral("--no-contacts") << QStringLiteral("--no-rdap");
    }

    QString WriteList(const QList<QByteArray>& domains)
    {
        const QString path = home.filePath(QStringLiteral("list.txt"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(domains.join('\n') + '\n');
        return path;
    }
};

QList<QByteArray> Interleaved(int perHost, int hosts)
{
    QList<QByteArray> domains;
    for (int n = 0; n < perHost; ++n) {
        for (int h = 0; h < hosts; ++h)
            domains.append("name" + QByteArray::number(n) + "." + kHosts[h][0]);
    }
    return domains;
}

void BM_Batch240OverEightHosts(benchmark::State& state)
{
    World world(8);
    const QList<QByteArray> domains = Interleaved(30, 8);
    const QString list = world.WriteList(domains);
    Run batch;
    for (auto _ : state) {
        batch = RunQuery(
            world.routes
                + QStringList { QStringLiteral("--pace"), QString::number(kPaceMs), QStringLiteral("--batch"), list },
            world.home.path());
        state.SetIterationTime(batch.seconds);
    }
    const double limit = 29 * kPaceMs / 1000.0;
    state.counters["wall_s"] = batch.seconds;
    state.counters["x_pacing_limit"] = batch.seconds / limit;
    state.counters["peak_rss_mb"] = batch.peakRssMb;
    state.counters["exit"] = batch.status;
}

// The same 240 domains, one vesk-query per domain. Arg 0: a shell loop that sleeps the pace after each run
// (`for d in ...; do vesk-query $d; sleep 0.1; done`), the way a shell keeps a pace; arg 1: a loop that knows the
// hosts and sleeps only when the next query's host was asked less than the pace ago.
void BM_Loop240SingleRuns(benchmark::State& state)
{
    const bool perHost = state.range(0) == 1;
    World world(8);
    const QList<QByteArray> domains = Interleaved(30, 8);
    double seconds = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        std::vector<qint64> lastStart(8, -kPaceMs);
        for (int i = 0; i < domains.size(); ++i) {
            const int host = i % 8;
            const qint64 wait = lastStart[host] + kPaceMs - timer.elapsed();
            if (perHost && wait > 0)
                QThread::msleep(static_cast<unsigned long>(wait));
            lastStart[host] = timer.elapsed();
            RunQuery(world.routes + QStringList { QString::fromLatin1(domains[i]) }, world.home.path());
            if (!perHost)
                QThread::msleep(kPaceMs);
        }
        seconds = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
    }
    state.counters["wall_s"] = seconds;
}

// One host, no pacing: the peak memory must not grow with the number of queries.
void BM_BatchOneHostUnpaced(benchmark::State& state)
{
    World world(1);
    QList<QByteArray> domains;
    for (int n = 0; n < state.range(0); ++n)
        domains.append("name" + QByteArray::number(n) + ".com");
    const QString list = world.WriteList(domains);
    Run batch;
    for (auto _ : state) {
        batch = RunQuery(
            world.routes
                + QStringList { QStringLiteral("--pace"), QStringLiteral("0"), QStringLiteral("--batch"), list },
            world.home.path());
        state.SetIterationTime(batch.seconds);
    }
    state.counters["wall_s"] = batch.seconds;
    state.counters["peak_rss_mb"] = batch.peakRssMb;
    state.counters["exit"] = batch.status;
}

// What recording in the history adds to a 1,000-query batch: runs with and without recording alternate, each
// recording into a store of its own, and the medians compare. Arg 0: one host, no pacing, so that nothing hides
// the cost; arg 1: eight hosts at the pace of 100 ms, as a batch over several registries runs.
void BM_BatchRecordingCost(benchmark::State& state)
{
    const bool paced = state.range(0) == 1;
    const int hosts = paced ? 8 : 1;
    World world(hosts);
    const QString list = world.WriteList(Interleaved(1000 / hosts, hosts));
    const QStringList batch = world.routes
        + QStringList { QStringLiteral("--pace"), QString::number(paced ? kPaceMs : 0), QStringLiteral("--batch"),
                        list };
    std::vector<double> with;
    std::vector<double> without;
    int failures = 0;
    for (auto _ : state) {
        const QString store = world.home.filePath(QStringLiteral("history-%1.sqlite").arg(with.size()));
        const Run off = RunQuery(batch + QStringList { QStringLiteral("--no-history") }, world.home.path());
        const Run on = RunQuery(batch + QStringList { QStringLiteral("--history-file"), store }, world.home.path());
        failures += (off.status != 0) + (on.status != 0) + !QFileInfo(store).isFile();
        without.push_back(off.seconds);
        with.push_back(on.seconds);
        state.SetIterationTime(on.seconds);
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    state.counters["with_s"] = median(with);
    state.counters["without_s"] = median(without);
    state.counters["added_pct"] = 100 * (median(with) / median(without) - 1);
    state.counters["failures"] = failures;
}

} // namespace

BENCHMARK(BM_Batch240OverEightHosts)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Loop240SingleRuns)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_BatchOneHostUnpaced)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_BatchRecordingCost)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
