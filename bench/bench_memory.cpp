// Peak memory of a 10,000-query batch and of the largest search the reply budget allows.
//
// Each case runs in a fresh process of this program (started with kCaseFlag), so that neither an earlier case nor
// the fake servers count: the servers live in the benchmark process, the measured engine in the child. The child
// sets everything up (settings, definitions, input file, transport), resets the kernel's high-water mark of its
// resident set, runs the case and reports the growth of that mark over the resident set at the reset, besides the
// whole process's peak. The figures come back as "name value" lines on the child's standard output.
#include "cli/batch_run.h"
#include "cli/json_report.h"
#include "cli/printing_frontend.h"
#include "cli/search_job.h"
#include "common/event_wait.h"
#include "support/fake_whois_server.h"
#include "support/lookup_world.h"
#include "support/test_data.h"
#include "whois/tcp_transport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QTemporaryFile>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace vesk;
using vesk::test::FakeWhoisServer;

constexpr const char* kCaseFlag = "--memory-case";
constexpr int kBatchQueries = 10000;
// The largest reply the transport keeps whole (one byte more is cut): four of them stay just under the search's
// budget, so a fifth is still asked, the most a search can hold.
constexpr qint64 kLargestWholeReply = WhoisClientLimits {}.MaxReplyBytes - 1;
// Addresses the searched domain resolves to: far more networks than the budget lets the search ask about.
constexpr int kDomainAddresses = 100;

// ---- the child: one case, measured ----

// A field of /proc/self/status in KiB; -1 when it cannot be read.
qint64 StatusKib(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets the high-water mark of the resident set back to the resident set now; false when the kernel refuses.
bool ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// Standard output of the search: counted, searched for a mark, kept nowhere.
class CountingSink final : public QIODevice
{
public:
    explicit CountingSink(QByteArray mark)
        : m_mark(std::move(mark))
    {
        open(QIODevice::WriteOnly);
    }

    qint64 Bytes = 0;
    qint64 FormFeeds = 0;
    qint64 Newlines = 0;
    qint64 Marks = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        const QByteArrayView bytes(data, size);
        Bytes += size;
        FormFeeds += bytes.count('\f');
        Newlines += bytes.count('\n');
        if (!m_mark.isEmpty()) {
            // A mark may be cut between two writes: the end of the last write is searched again with this one.
            const QByteArray seam = m_tail + bytes.first(std::min<qsizetype>(size, m_mark.size() - 1)).toByteArray();
            Marks += bytes.count(m_mark) + seam.count(m_mark);
            m_tail = (m_tail + bytes.last(std::min<qsizetype>(size, m_mark.size() - 1)).toByteArray())
                         .right(m_mark.size() - 1);
        }
        return size;
    }

private:
    QByteArray m_mark;
    QByteArray m_tail;
};

// What each case reports besides the memory.
class Figures
{
public:
    void Set(const char* name, double value)
    {
        m_lines += QByteArray(name) + ' ' + QByteArray::number(value, 'f', 0) + '\n';
    }
    int Print() const
    {
        std::fwrite(m_lines.constData(), 1, static_cast<size_t>(m_lines.size()), stdout);
        std::fflush(stdout);
        return 0;
    }

private:
    QByteArray m_lines;
};

ServerEndpoint Loopback(quint16 port)
{
    return ServerEndpoint { QHostAddress(QHostAddress::LocalHost), port };
}

// Brackets the measured part: resets the mark before, reads the growth after.
class PeakWatch
{
public:
    PeakWatch()
        : m_resetWorked(ResetPeak())
        , m_before(StatusKib("VmRSS"))
    {
        m_timer.start();
    }

    /// The growth of the peak so far, in KiB; -1 when the mark could not be reset.
    qint64 GrowthNow() const { return m_resetWorked ? StatusKib("VmHWM") - m_before : -1; }

    void Report(Figures& figures) const
    {
        const qint64 peak = StatusKib("VmHWM");
        figures.Set("seconds_x1000", static_cast<double>(m_timer.elapsed()));
        figures.Set("rss_before_kib", static_cast<double>(m_before));
        figures.Set("peak_kib", static_cast<double>(peak));
        figures.Set("rss_after_kib", static_cast<double>(StatusKib("VmRSS")));
        figures.Set("peak_growth_kib", m_resetWorked ? static_cast<double>(peak - m_before) : -1.0);
    }

private:
    bool m_resetWorked;
    qint64 m_before;
    QElapsedTimer m_timer;
};

// Arguments: JSON (0/1), the registry's port, the registrar's port. Every query is a .com domain: the registry
// answers with its recorded record, which refers to the registrar, which answers with its recorded record.
int BatchCase(const QStringList& arguments)
{
    const bool json = arguments.value(0) == QLatin1String("1");
    test::LookupWorld world;
    world.Settings->InclIP = false;
    world.Settings->SearchContacts = false;
    AddressBook book;
    book.AddServer("whois.verisign-grs.com", Loopback(static_cast<quint16>(arguments.value(1).toUInt())));
    book.AddServer("whois.markmonitor.com", Loopback(static_cast<quint16>(arguments.value(2).toUInt())));

    QTemporaryFile list;
    if (!list.open())
        return 2;
    for (int i = 0; i < kBatchQueries; ++i)
        list.write("name" + QByteArray::number(i) + ".com\n");
    list.close();
    QFile input(list.fileName());
    if (!input.open(QIODevice::ReadOnly))
        return 2;

    CountingSink out("registrar");
    CountingSink err({});
    const SearchSetup setup { *world.Settings, *world.Log, world.Definitions, test::FixedNow, QLocale(), 0, nullptr };
    BatchOptions options;
    options.Json = json;
    options.PaceMs = 0;
    BatchRun run(
        setup,
        [&book](EventWait& wait) -> std::unique_ptr<WhoisTransport> {
            return std::make_unique<TcpWhoisTransport>(wait, book);
        },
        options, out, err);

    Figures figures;
    const PeakWatch watch;
    const int status = run.Run(input);
    watch.Report(figures);
    figures.Set("exit", status);
    figures.Set("reports", static_cast<double>(json ? out.Newlines : out.FormFeeds + 1));
    figures.Set("output_kib", static_cast<double>(out.Bytes / 1024));
    figures.Set("window_peak_kib", static_cast<double>(run.MostHeldBytes() / 1024));
    figures.Set("window_most_reports", run.MostHeld());
    return figures.Print();
}

// Arguments: the form (0: a single search printed as it goes, 1: a single search with --json, 2: a --batch --json
// run, 3: a --batch run with text reports), the number of queries of a batch, the ports of the servers that answer
// everything with kLargestWholeReply bytes, comma-separated. Every query is a domain whose servers all answer that
// way. Each search thread of a batch has a server of its own (the fake serves one connection at a time).
int LargestSearchCase(const QStringList& arguments)
{
    const int form = arguments.value(0).toInt();
    const int queries = std::max(1, arguments.value(1).toInt());
    QList<AddressBook> books;
    for (const QString& port : arguments.value(2).split(QLatin1Char(','))) {
        const ServerEndpoint server = Loopback(static_cast<quint16>(port.toUInt()));
        AddressBook& book = books.emplace_back();
        for (const char* host : { "whois.verisign-grs.com", "whois.arin.net", "rwhois.arin.net" })
            book.AddServer(host, server);
    }
    test::LookupWorld world;
    world.Settings->InclIP = true;
    world.Settings->InclDomain = false;
    world.Settings->SearchContacts = true;
    QList<uint32_t> addresses;
    for (uint32_t i = 0; i < kDomainAddresses; ++i)
        addresses.append(0x04000001u + (i << 16));
    QList<QByteArray> domains;
    for (int i = 0; i < queries; ++i) {
        domains.append("example" + QByteArray::number(i) + ".com");
        for (AddressBook& book : books)
            book.AddAddresses(domains.back(), addresses);
    }

    CountingSink out("reply budget");
    CountingSink err({});
    const SearchSetup setup { *world.Settings, *world.Log, world.Definitions, test::FixedNow, QLocale(), 0, nullptr };
    Figures figures;
    if (form >= 2) {
        BatchOptions options;
        options.Json = form == 2;
        options.PaceMs = 0;
        options.Jobs = static_cast<int>(books.size());
        std::atomic<int> threads { 0 };
        BatchRun run(
            setup,
            [&books, &threads](EventWait& wait) -> std::unique_ptr<WhoisTransport> {
                return std::make_unique<TcpWhoisTransport>(wait, books.at(threads++ % books.size()));
            },
            options, out, err);
        const PeakWatch watch;
        const int status = run.Run(domains);
        watch.Report(figures);
        figures.Set("exit", status);
        figures.Set("window_peak_kib", static_cast<double>(run.MostHeldBytes() / 1024));
    } else {
        EventLoopWait wait;
        TcpWhoisTransport transport(wait, books.first());
        PrintingFrontend window(out, err, false);
        SearchWatch searchWatch;
        searchWatch.Printer = form == 0 ? &window : nullptr;
        const PeakWatch watch;
        const SearchOutcome outcome
            = RunSearch(setup, SearchRoad { transport, nullptr, wait }, domains.first(), searchWatch);
        // What the search itself held, before the JSON text is made from its outcome.
        figures.Set("search_peak_growth_kib", static_cast<double>(watch.GrowthNow()));
        figures.Set("outcome_held_kib", static_cast<double>(outcome.HeldBytes() / 1024));
        if (form == 1) {
            WriteJsonReport(out, outcome, false);
            out.write("\n");
        }
        watch.Report(figures);
        figures.Set("exit", outcome.ExitStatus());
    }
    figures.Set("output_kib", static_cast<double>(out.Bytes / 1024));
    figures.Set("budget_marks", static_cast<double>(out.Marks));
    return figures.Print();
}

int RunCase(const QStringList& arguments)
{
    if (arguments.value(0) == QLatin1String("batch"))
        return BatchCase(arguments.mid(1));
    if (arguments.value(0) == QLatin1String("largest"))
        return LargestSearchCase(arguments.mid(1));
    return 2;
}

// ---- the benchmark process: servers, the child, its figures ----

struct ChildRun
{
    std::map<std::string, double> Figures;
    double MaxRssKib = 0;
    int Status = -1;
};

// Runs this program on one case and collects what it reports.
ChildRun RunChild(const QStringList& arguments)
{
    std::vector<QByteArray> storage { QCoreApplication::applicationFilePath().toLocal8Bit(), kCaseFlag };
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);

    ChildRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return run;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    QByteArray text;
    char buffer[4096];
    for (ssize_t got = 0; (got = read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0)
            text.append(buffer, got);
        else if (errno != EINTR)
            break;
    }
    close(pipeEnds[0]);
    int status = 0;
    rusage usage {};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        run.MaxRssKib = static_cast<double>(usage.ru_maxrss);
        run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            run.Figures[parts[0].toStdString()] = parts[1].toDouble();
    }
    return run;
}

double Figure(const ChildRun& run, const char* name)
{
    const auto found = run.Figures.find(name);
    return found == run.Figures.end() ? -1 : found->second;
}

constexpr double kKibPerMib = 1024;

void SetMemoryCounters(benchmark::State& state, const ChildRun& run)
{
    if (run.Status != 0 || Figure(run, "peak_growth_kib") < 0)
        state.SkipWithError("the measured process failed or could not reset its peak");
    state.SetIterationTime(Figure(run, "seconds_x1000") / 1000);
    state.counters["peak_growth_mib"] = Figure(run, "peak_growth_kib") / kKibPerMib;
    state.counters["rss_before_mib"] = Figure(run, "rss_before_kib") / kKibPerMib;
    state.counters["process_peak_mib"] = run.MaxRssKib / kKibPerMib;
    state.counters["exit"] = Figure(run, "exit");
}

// 10,000 .com domains through the batch (reader, queue, scheduler with four searches at once, engine, printer),
// no pacing. Arg: 0 text reports, 1 JSON Lines.
void BM_Batch10000(benchmark::State& state)
{
    FakeWhoisServer registry;
    FakeWhoisServer registrar;
    registry.SetDefaultReply(test::WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt"));
    registrar.SetDefaultReply(test::WhoisFixture("whois.markmonitor.com-com-registered.txt"));
    ChildRun run;
    for (auto _ : state) {
        run = RunChild({ QStringLiteral("batch"), QString::number(state.range(0)), QString::number(registry.Port()),
                         QString::number(registrar.Port()) });
        SetMemoryCounters(state, run);
    }
    state.counters["reports"] = Figure(run, "reports");
    state.counters["exchanges"] = registry.ConnectionCount() + registrar.ConnectionCount();
    state.counters["window_peak_mib"] = Figure(run, "window_peak_kib") / kKibPerMib;
    state.counters["window_most_reports"] = Figure(run, "window_most_reports");
    state.counters["output_mib"] = Figure(run, "output_kib") / kKibPerMib;
}

// A domain whose every server answers with the largest reply kept whole, and which resolves to 100 addresses:
// the replies use up the search's budget, and every later exchange is skipped. Args: the form (0: a single search
// printed as it goes, 1: a single search with --json, 2: a --batch --json run, 3: a --batch run with text reports),
// the number of such domains in the batch, and its searches at once.
void BM_LargestSearch(benchmark::State& state)
{
    std::vector<std::unique_ptr<FakeWhoisServer>> servers;
    QStringList ports;
    for (int64_t i = 0; i < std::max<int64_t>(1, state.range(2)); ++i) {
        servers.push_back(std::make_unique<FakeWhoisServer>());
        servers.back()->SetGeneratedDefaultReply(kLargestWholeReply);
        ports << QString::number(servers.back()->Port());
    }
    ChildRun run;
    for (auto _ : state) {
        run = RunChild({ QStringLiteral("largest"), QString::number(state.range(0)), QString::number(state.range(1)),
                         ports.join(QLatin1Char(',')) });
        SetMemoryCounters(state, run);
    }
    int exchanges = 0;
    for (const auto& server : servers)
        exchanges += server->ConnectionCount();
    state.counters["replies_mib"] = exchanges * static_cast<double>(kLargestWholeReply) / (1 << 20);
    state.counters["exchanges"] = exchanges;
    state.counters["budget_marks"] = Figure(run, "budget_marks");
    state.counters["output_mib"] = Figure(run, "output_kib") / kKibPerMib;
    if (state.range(0) >= 2) {
        state.counters["window_peak_mib"] = Figure(run, "window_peak_kib") / kKibPerMib;
    } else {
        state.counters["search_peak_growth_mib"] = Figure(run, "search_peak_growth_kib") / kKibPerMib;
        state.counters["outcome_held_mib"] = Figure(run, "outcome_held_kib") / kKibPerMib;
    }
}

} // namespace

BENCHMARK(BM_Batch10000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_LargestSearch)
    ->Args({ 0, 1, 1 })
    ->Args({ 1, 1, 1 })
    ->Args({ 2, 1, 1 })
    ->Args({ 3, 1, 1 })
    ->Args({ 2, 8, 4 })
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], kCaseFlag) == 0)
        return RunCase(QCoreApplication::arguments().mid(2));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
