#include "cli/query_command.h"

#include "cli/command_history.h"
#include "cli/json_report.h"
#include "cli/lazy_rdap.h"
#include "cli/printing_frontend.h"
#include "cli/resolve_option.h"
#include "common/app_version.h"
#include "common/event_wait.h"
#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "settings/settings_store.h"
#include "whois/address_book.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <exception>

namespace vesk {

namespace {

// Reports a plain search leaves pending before one of them opens the store and takes them in, and the most that
// may wait when the store cannot take them in.
constexpr qsizetype kPendingBeforeTakingIn = 64;
constexpr qsizetype kMostPending = 1024;
constexpr const char* kNoHistoryFolder = "history is unavailable: no data folder; name a store with --history-file.";
constexpr const char* kProgram = "vesk-query";

const char* const kHelp
    = "Usage: vesk-query [options] QUERY\n"
      "       vesk-query [options] --batch FILE | --watch FILE\n"
      "       vesk-query --history QUERY [--show N] | --history-prune | --history-clear\n"
      "\n"
      "Runs the search of the Vesk search box for QUERY and prints the report as UTF-8, one worksheet line per\n"
      "output line. QUERY is a domain name, an IPv4 or IPv6 address, a prefix (192.0.2.0/24, 2001:db8::/32),\n"
      "an AS number (AS15169) or any text for the .com/.net registry's server; quote it when it holds blanks,\n"
      "and put -- before it when it starts with '-'.\n"
      "\n"
      "The stored Vesk settings are read and never written; these options override them for this run:\n"
      "  --filter-comments, --no-filter-comments   remove (keep) comment lines of the replies\n"
      "  --ip, --no-ip                             resolve a domain's addresses and report their networks\n"
      "  --contacts, --no-contacts                 search the individual contacts of a domain\n"
      "  --reverse, --no-reverse                   resolve the domain name of an address\n"
      "  --rdap       ask RDAP first wherever the bootstrap names an RDAP server for the domain's TLD, the IPv6\n"
      "               network or the AS number (port 43 when it gives no answer)\n"
      "  --no-rdap    ask port 43 only\n"
      "               (by default RDAP is asked where port 43 has no server or gives no answer)\n"
      "\n"
      "Other options:\n"
      "  --status     echo the status line to standard error\n"
      "  --update     update the definition files instead of searching, and print their version before and after\n"
      "  --resolve HOST:PORT:ADDRESS[:PORT2]\n"
      "               connect to ADDRESS (IPv4, or IPv6 in brackets: [2001:db8::1]; on PORT2 when given) whenever\n"
      "               HOST is asked on PORT; repeat it for more hosts. Referral checks do not apply to such a\n"
      "               route: you named it\n"
      "  --json       print the report as one JSON object (with every server exchange); its kind is domain,\n"
      "               address (IPv4), ipv6, cidr, asn or plain\n"
      "  --batch FILE run one search per line of FILE (- for standard input; blank lines and lines starting\n"
      "               with # are skipped; LF, CR LF and CR end a line); reports in input order, separated by a\n"
      "               form-feed line, or JSON Lines with --json. A line that cannot be searched is named on\n"
      "               standard error as \"line N\" and fails. Exit status 0 when every query got an answer\n"
      "  --jobs N     with --batch: run up to N searches at once (default 4, at most 64)\n"
      "  --pace MS    with --batch: start queries at one server at least MS milliseconds apart (default 1100);\n"
      "               a server that answers with a rate-limit notice is paced twice as slowly each time, up\n"
      "               to one start a minute\n"
      "\n"
      "History: every completed search is recorded in history.sqlite in the data folder (setting \"Keep History\").\n"
      "  --no-history         record nothing in this run\n"
      "  --history-file PATH  use the history store at PATH\n"
      "  --changes    end the report with what changed since the previous report of QUERY (\"No earlier report\n"
      "               of QUERY.\" when there is none); with --json a \"changes\" array\n"
      "  --history    list the recorded reports of QUERY (time, outcome, registrar, expiry) without asking any\n"
      "               server\n"
      "  --show N     with --history: print the report at N in that list (1 = newest) as it was written\n"
      "  --history-prune  apply the retention limits now (settings: 100 reports per query, 1 GiB in all)\n"
      "  --history-clear  remove every recorded report\n"
      "  --watch FILE run FILE as --batch does (same pacing, jobs and progress), then print a summary: the queries\n"
      "               whose fields changed since their previous report, the domains that expire within\n"
      "               --expiring DAYS (default 30) and the queries that failed (with --json the summary goes to\n"
      "               standard error). Exit status 0 when nothing changed and nothing failed, 3 when something\n"
      "               changed or expires soon, 1 when a query failed (1 wins over 3)\n"
      "  --expiring DAYS  with --watch: the days ahead in which an expiry date is reported (0 to 36500)\n"
      "\n"
      "  --version    print the version\n"
      "  -h, --help   print this help\n"
      "\n"
      "Ctrl-C stops the search or the batch; a batch lists the queries not run (a second Ctrl-C ends the program\n"
      "at once).\n"
      "Exit status: 0 when at least one server of the report answered (a \"No Match\" answer too), 1 when no\n"
      "server answered, the search was stopped or ended with an error, 2 for a usage error, 3 (--watch only) when\n"
      "a query changed or expires soon and none failed.\n";

struct Toggle
{
    const char* On;
    const char* Off;
    bool TReg::*Field;
};

const Toggle kToggles[] = {
    { "filter-comments", "no-filter-comments", &TReg::FilterComments },
    { "ip", "no-ip", &TReg::InclIP },
    { "contacts", "no-contacts", &TReg::SearchContacts },
    { "reverse", "no-reverse", &TReg::InclDomain },
};

const char* const kPlainOptions[]
    = { "status", "update", "version", "json", "no-history", "changes", "history", "history-prune", "history-clear" };

/// The RDAP options and the mode each one sets for the run.
struct RdapOption
{
    const char* Name;
    const char* Mode;
};
const RdapOption kRdapOptions[] = { { "rdap", texts::kRdapModeFirst }, { "no-rdap", texts::kRdapModeNever } };
constexpr char kResolveOption[] = "resolve";
constexpr int kMaxJobs = 64;
constexpr int kMaxPaceMs = 3600000;
constexpr int kMaxExpiringDays = 36500;
constexpr int kMaxShow = 1000000;

QList<QCommandLineOption> CommandOptions()
{
    QList<QCommandLineOption> options;
    for (const Toggle& toggle : kToggles) {
        options.append(QCommandLineOption(QString::fromLatin1(toggle.On)));
        options.append(QCommandLineOption(QString::fromLatin1(toggle.Off)));
    }
    for (const char* name : kPlainOptions)
        options.append(QCommandLineOption(QString::fromLatin1(name)));
    for (const RdapOption& rdap : kRdapOptions)
        options.append(QCommandLineOption(QString::fromLatin1(rdap.Name)));
    options.append(QCommandLineOption(QString::fromLatin1(kResolveOption), QString(),
                                      QStringLiteral("HOST:PORT:ADDRESS[:PORT2]")));
    options.append(QCommandLineOption(QStringLiteral("batch"), QString(), QStringLiteral("FILE")));
    options.append(QCommandLineOption(QStringLiteral("jobs"), QString(), QStringLiteral("N")));
    options.append(QCommandLineOption(QStringLiteral("pace"), QString(), QStringLiteral("MS")));
    options.append(QCommandLineOption(QStringLiteral("history-file"), QString(), QStringLiteral("PATH")));
    options.append(QCommandLineOption(QStringLiteral("show"), QString(), QStringLiteral("N")));
    options.append(QCommandLineOption(QStringLiteral("watch"), QString(), QStringLiteral("FILE")));
    options.append(QCommandLineOption(QStringLiteral("expiring"), QString(), QStringLiteral("DAYS")));
    options.append(QCommandLineOption(QStringList { QStringLiteral("h"), QStringLiteral("help") }));
    return options;
}

} // namespace

QStringList QueryCommand::OptionNames()
{
    QStringList names;
    for (const QCommandLineOption& option : CommandOptions()) {
        for (const QString& name : option.names())
            names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    }
    return names;
}

QueryCommand::QueryCommand(QueryCommandContext context, QIODevice& out, QIODevice& err)
    : m_context(std::move(context))
    , m_out(out)
    , m_err(err)
{
    m_bootstrap = m_context.Bootstrap != nullptr ? std::make_unique<SharedRdapBootstrap>(m_context.Bootstrap)
                                                 : std::make_unique<SharedRdapBootstrap>(m_context.LoadBootstrap);
}

QueryCommand::~QueryCommand() = default;

int QueryCommand::Run(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(CommandOptions());

    if (!parser.parse(arguments))
        return Usage(parser.errorText());
    // Every route is checked before anything runs, so a typo never leaves a half-routed run.
    QList<ResolveEntry> routes;
    for (const QString& value : parser.values(QString::fromLatin1(kResolveOption))) {
        QString problem;
        const std::optional<ResolveEntry> entry = ParseResolveEntry(value, problem);
        if (!entry)
            return Usage(problem);
        routes.append(*entry);
    }
    if (parser.isSet(QStringLiteral("help"))) {
        m_out.write(kHelp);
        return Success;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        TAppVersion version;
        GetAppVersion(version);
        m_out.write(QStringLiteral("%1 %2.%3.%4.%5\n")
                        .arg(QString::fromLatin1(kProgram))
                        .arg(version.Major)
                        .arg(version.Minor)
                        .arg(version.Release)
                        .arg(version.Build)
                        .toUtf8());
        return Success;
    }

    const QStringList positional = parser.positionalArguments();
    const bool update = parser.isSet(QStringLiteral("update"));
    const bool watch = parser.isSet(QStringLiteral("watch"));
    const bool batch = parser.isSet(QStringLiteral("batch")) || watch;
    const bool changes = parser.isSet(QStringLiteral("changes"));
    const bool history = parser.isSet(QStringLiteral("history"));
    const bool prune = parser.isSet(QStringLiteral("history-prune"));
    const bool clear = parser.isSet(QStringLiteral("history-clear"));
    const bool json = parser.isSet(QStringLiteral("json"));
    BatchOptions batchOptions;
    batchOptions.Json = json;
    batchOptions.OutIsTerminal = m_context.OutIsTerminal;
    batchOptions.ErrIsTerminal = m_context.ErrIsTerminal;
    batchOptions.Clock = m_context.Monotonic;
    batchOptions.MakeRdap = m_context.MakeRdap;
    const auto number = [&parser](const char* name, int low, int high, int& value) {
        const QString text = parser.value(QString::fromLatin1(name));
        if (text.isEmpty())
            return true;
        bool ok = false;
        value = text.toInt(&ok);
        return ok && value >= low && value <= high;
    };
    if (!number("jobs", 1, kMaxJobs, batchOptions.Jobs))
        return Usage(QStringLiteral("--jobs takes a whole number from 1 to %1.").arg(kMaxJobs));
    if (!number("pace", 0, kMaxPaceMs, batchOptions.PaceMs))
        return Usage(QStringLiteral("--pace takes milliseconds from 0 to %1.").arg(kMaxPaceMs));
    if (!batch && (parser.isSet(QStringLiteral("jobs")) || parser.isSet(QStringLiteral("pace"))))
        return Usage(QStringLiteral("--jobs and --pace go with --batch or --watch."));
    int show = 0;
    if (!number("show", 1, kMaxShow, show))
        return Usage(QStringLiteral("--show takes a whole number from 1 (the newest report) to %1.").arg(kMaxShow));
    if (!number("expiring", 0, kMaxExpiringDays, batchOptions.ExpiringDays))
        return Usage(QStringLiteral("--expiring takes days from 0 to %1.").arg(kMaxExpiringDays));
    if (parser.isSet(QStringLiteral("show")) && !history)
        return Usage(QStringLiteral("--show goes with --history."));
    if (parser.isSet(QStringLiteral("expiring")) && !watch)
        return Usage(QStringLiteral("--expiring goes with --watch."));
    if (watch && parser.isSet(QStringLiteral("batch")))
        return Usage(QStringLiteral("Give either --batch or --watch."));
    // The commands that only read or tidy the store run alone.
    const int storeCommands = int(history) + int(prune) + int(clear);
    if (storeCommands > 1 || (storeCommands == 1 && (update || batch || changes || json)))
        return Usage(QStringLiteral("--history, --history-prune and --history-clear each run alone."));
    if (changes && (update || batch))
        return Usage(QStringLiteral("--changes goes with a single query (--watch compares every query)."));
    if ((prune || clear) && !positional.isEmpty())
        return Usage(QStringLiteral("--history-prune and --history-clear take no query."));
    if (update && (batch || json))
        return Usage(QStringLiteral("--update takes neither --batch nor --json."));
    if (batch && !positional.isEmpty())
        return Usage(QStringLiteral("--batch and --watch take no query on the command line."));
    if (update && !positional.isEmpty())
        return Usage(QStringLiteral("--update takes no query."));
    if (!update && !batch && !prune && !clear && positional.isEmpty())
        return Usage(QStringLiteral("No query given."));
    if (positional.size() > 1)
        return Usage(QStringLiteral("Give the query as one argument (quote it when it holds blanks)."));

    const QString historyFile = parser.value(QStringLiteral("history-file"));
    if (parser.isSet(QStringLiteral("history-file")) && historyFile.isEmpty())
        return Usage(QStringLiteral("--history-file takes the path of a history store."));
    m_history
        = HistoryChoice::FromSettings(m_context.Settings, historyFile.isEmpty() ? m_context.HistoryPath : historyFile);
    if (parser.isSet(QStringLiteral("no-history")))
        m_history.Record = false;
    if (history)
        return History(positional.first(), show);
    if (prune || clear)
        return Retention(clear);
    batchOptions.History = m_history;
    batchOptions.Watch = watch;

    if (!routes.isEmpty() && m_context.Routes == nullptr) {
        Error(QStringLiteral("--resolve is not available here."));
        return Failure;
    }
    for (const ResolveEntry& route : std::as_const(routes))
        m_context.Routes->AddServer(route.Host, route.Port, route.Target);

    // Later options win over earlier ones, as users expect from a command line.
    for (const QString& name : parser.optionNames()) {
        for (const Toggle& toggle : kToggles) {
            if (name == QLatin1String(toggle.On))
                m_context.Settings.*toggle.Field = true;
            else if (name == QLatin1String(toggle.Off))
                m_context.Settings.*toggle.Field = false;
        }
        for (const RdapOption& rdap : kRdapOptions) {
            if (name == QLatin1String(rdap.Name))
                m_context.Settings.RdapMode = QString::fromLatin1(rdap.Mode);
        }
    }

    try {
        if (m_context.LoadDefinitions)
            m_context.LoadDefinitions();
    } catch (const std::exception& error) {
        const QString problem
            = QStringLiteral("The definition files cannot be read: ") + QString::fromLocal8Bit(error.what());
        // The update is how a damaged file gets repaired, and it loads the new tables itself.
        if (!update) {
            Error(problem);
            return Failure;
        }
        Error(QStringLiteral("warning: ") + problem);
    }

    if (update)
        return Update();
    // One warning for the whole run, whatever its mode (single search, JSON or batch).
    if (!m_context.Definitions.DefinitionsLoaded())
        Error(QStringLiteral("warning: no definition data; every query goes to the .com/.net registry's server."));
    // A report is printed as it is written: clearing the worksheet first has nothing to clear.
    m_context.Settings.ClearBeforeSearch = false;
    if (batch)
        return Batch(parser.value(watch ? QStringLiteral("watch") : QStringLiteral("batch")), batchOptions);
    return Search(positional.first().toLocal8Bit(), json, parser.isSet(QStringLiteral("status")), changes);
}

int QueryCommand::Search(const QByteArray& query, bool json, bool echoStatus, bool changes)
{
    if (m_stopRequested) {
        Error(QStringLiteral("Stopped before the search began."));
        return Failure;
    }
    PrintingFrontend window(m_out, m_err, echoStatus, m_context.OutIsTerminal, m_context.ErrIsTerminal);
    SearchWatch watch;
    // The text report is printed line by line as it is written; JSON needs the whole outcome first.
    watch.Printer = json ? nullptr : &window;
    watch.OnEngine = [this](LookupEngine* engine) { m_engine = engine; };
    const bool useHistory = (m_history.Record || changes) && !m_history.Path.isEmpty();
    watch.KeepRecord = useHistory;
    // A port-43 search never builds the RDAP road nor reads the bootstrap.
    LazyRdapSource::TransportMaker makeRdap;
    if (m_context.MakeRdap)
        makeRdap = [this] { return m_context.MakeRdap(m_context.Wait); };
    LazyRdapSource rdap(m_bootstrap.get(), m_context.Rdap, std::move(makeRdap));
    SearchOutcome outcome = RunSearch(Setup(), SearchRoad { m_context.Transport, &rdap, m_context.Wait }, query, watch);
    // A stop wins: the report is incomplete whatever did answer.
    outcome.Stopped = outcome.Stopped || m_stopRequested;

    // Opening the store would cost a plain search more than all the rest of recording, so without --changes the
    // report is left pending beside an existing store, for the next program that opens it. Every so many searches
    // one opens it all the same and takes them in, so that they never pile up.
    bool pending = false;
    bool openStore = useHistory;
    if (useHistory && m_history.Record && !changes && QFileInfo(m_history.Path).isFile()) {
        // When the store cannot take them in (a newer program's, or locked for good), pending reports would pile up
        // without end: past a bound the search records in the store as before, which says what is wrong. So does a
        // report that cannot be left pending.
        const qsizetype waiting = CountPendingReports(m_history.Path, kMostPending);
        QString unsaved;
        pending = waiting < kMostPending && SavePendingReport(m_history.Path, RecordOf(outcome, false), unsaved);
        openStore = !pending || waiting + 1 >= kPendingBeforeTakingIn;
    }
    // The store is opened once the search is done: nothing of it stands between the user and the answer.
    QString problem;
    const std::unique_ptr<HistoryStore> store = openStore ? OpenHistory(m_history, problem) : nullptr;
    if (!problem.isEmpty())
        Error(problem);
    else if (changes && store == nullptr)
        Error(QString::fromLatin1(kNoHistoryFolder));
    std::optional<ReportChanges> jsonChanges;
    if (store != nullptr && !pending) {
        const SearchRecord record = RecordOf(outcome);
        std::optional<qint64> id;
        if (m_history.Record && store->Available()) {
            id = store->Record(record);
            if (!id)
                Error(QStringLiteral("history: the report was not recorded: %1").arg(store->Error()));
        }
        if (changes) {
            const ChangesSincePrevious since = CompareWithPrevious(*store, record, id);
            if (json) {
                jsonChanges = ReportChanges { since.Previous ? since.Previous->Started : QDateTime(), since.Changes };
            } else {
                for (const QString& line : since.Section)
                    window.AppendLine(line);
            }
        }
    }
    if (json) {
        WriteJsonReport(m_out, outcome, false, jsonChanges ? &*jsonChanges : nullptr);
        m_out.write("\n");
    }
    const QString message = ClosingMessage(outcome, false);
    if (!message.isEmpty())
        Error(message);
    return outcome.ExitStatus();
}

SearchSetup QueryCommand::Setup() const
{
    return SearchSetup { m_context.Settings, m_context.Log,    m_context.Definitions,
                         m_context.Now,      m_context.Locale, m_context.PauseMilliseconds,
                         m_bootstrap.get() };
}

int QueryCommand::Batch(const QString& file, const BatchOptions& options)
{
    if (!m_context.MakeTransport) {
        Error(QStringLiteral("--batch is not available here."));
        return Failure;
    }
    QFile named(file);
    QIODevice* input = nullptr;
    if (file == QLatin1String("-")) {
        input = m_context.In;
        if (input == nullptr)
            return Usage(QStringLiteral("--batch -: standard input cannot be read here."));
    } else {
        if (!named.open(QIODevice::ReadOnly))
            return Usage(QStringLiteral("--batch %1: %2").arg(file, named.errorString()));
        input = &named;
    }
    const SearchSetup setup = Setup();
    BatchRun run(setup, m_context.MakeTransport, options, m_out, m_err);
    if (m_stopRequested)
        run.RequestStop();
    m_batch = &run;
    const int status = run.Run(*input);
    m_batch = nullptr;
    return status;
}

std::unique_ptr<HistoryStore> QueryCommand::OpenHistoryOrSay()
{
    if (m_history.Path.isEmpty()) {
        Error(QString::fromLatin1(kNoHistoryFolder));
        return nullptr;
    }
    QString problem;
    std::unique_ptr<HistoryStore> store = OpenHistory(m_history, problem);
    if (!store->Available()) {
        Error(problem);
        return nullptr;
    }
    return store;
}

int QueryCommand::History(const QString& query, int show)
{
    const std::unique_ptr<HistoryStore> store = OpenHistoryOrSay();
    if (store == nullptr)
        return Failure;
    // The user names the query only; a name may have been asked as a domain and as plain text.
    const QString key = HistoryKey(query);
    using Kind = LookupEngine::QueryKind;
    QList<ReportSummary> reports;
    for (const Kind kind : { Kind::Domain, Kind::Address, Kind::Plain, Kind::IPv6, Kind::Asn, Kind::Cidr })
        reports += store->List(key, QueryKindName(kind));
    std::sort(reports.begin(), reports.end(),
              [](const ReportSummary& a, const ReportSummary& b) { return a.Id > b.Id; });
    const QString shown = m_context.OutIsTerminal ? TerminalSafeText(query) : query;
    if (reports.isEmpty()) {
        Error(QStringLiteral("No report of %1 is recorded.").arg(TerminalSafeText(query)));
        return Failure;
    }
    if (show > 0) {
        if (show > reports.size()) {
            Error(QStringLiteral("--show %1: %2 has only %3 recorded reports.")
                      .arg(show)
                      .arg(TerminalSafeText(query))
                      .arg(reports.size()));
            return Failure;
        }
        const ReportSummary& wanted = reports.at(show - 1);
        int rank = 0;
        for (int i = 0; i < show; ++i)
            rank += reports.at(i).Kind == wanted.Kind ? 1 : 0;
        const std::optional<StoredReport> report = store->Show(key, wanted.Kind, rank);
        if (!report) {
            Error(QStringLiteral("The report cannot be read: %1").arg(store->Error()));
            return Failure;
        }
        QString text = report->Report + u'\n';
        m_out.write((m_context.OutIsTerminal ? TerminalSafeText(text.chopped(1)) + u'\n' : text).toUtf8());
        return Success;
    }
    QString text = QStringLiteral("Recorded reports of %1 (newest first):\n").arg(shown);
    text += QStringLiteral("%1  %2  %3  %4  %5\n")
                .arg(QStringLiteral("N"), -4)
                .arg(QStringLiteral("Time"), -19)
                .arg(QStringLiteral("Outcome"), -8)
                .arg(QStringLiteral("Expiry"), -24)
                .arg(QStringLiteral("Registrar"));
    for (int i = 0; i < reports.size(); ++i) {
        const ReportSummary& report = reports.at(i);
        const auto cell = [this](const QString& value) {
            const QString shownValue = value.isEmpty() ? QStringLiteral("-") : value;
            return m_context.OutIsTerminal ? TerminalSafeText(shownValue) : shownValue;
        };
        text += QStringLiteral("%1  %2  %3  %4  %5\n")
                    .arg(i + 1, -4)
                    .arg(report.Started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), -19)
                    .arg(RecordedOutcomeName(report.Outcome), -8)
                    .arg(cell(report.Expiry), -24)
                    .arg(cell(report.Registrar));
    }
    m_out.write(text.toUtf8());
    return Success;
}

int QueryCommand::Retention(bool clear)
{
    const std::unique_ptr<HistoryStore> store = OpenHistoryOrSay();
    if (store == nullptr)
        return Failure;
    if (!(clear ? store->Clear() : store->Prune())) {
        Error(QStringLiteral("The history could not be %1: %2")
                  .arg(clear ? QStringLiteral("cleared") : QStringLiteral("pruned"), store->Error()));
        return Failure;
    }
    m_out.write(
        QStringLiteral("%1 %2 (%3 bytes of reports kept).\n")
            .arg(clear ? QStringLiteral("Cleared") : QStringLiteral("Pruned"), QDir::toNativeSeparators(store->Path()))
            .arg(store->StoredBytes())
            .toUtf8());
    return Success;
}

int QueryCommand::Update()
{
    if (!m_context.UpdateDefinitions) {
        Error(QStringLiteral("The definition update is not available."));
        return Failure;
    }
    UpdateOutcome outcome;
    try {
        outcome = m_context.UpdateDefinitions();
    } catch (const std::exception& error) {
        Error(QStringLiteral("The definition update failed: ") + QString::fromLocal8Bit(error.what()));
        return Failure;
    }
    const auto describe = [](const DefinitionSet& set) {
        return QStringLiteral("version %1 in %2").arg(DescribeVersion(set.Version), QDir::toNativeSeparators(set.Dir));
    };
    // The bootstrap refresh is reported either way; its failure does not fail the update.
    const QString bootstrap = outcome.BootstrapLines.isEmpty() ? QString() : outcome.BootstrapLines.join(u'\n') + u'\n';
    if (!outcome.Succeeded) {
        Error(QStringLiteral("The definition update failed: %1. The definitions in use are still %2.")
                  .arg(outcome.Failure, describe(outcome.Before)));
        m_out.write(bootstrap.toUtf8());
        return Failure;
    }
    QString report = QStringLiteral("Before: %1\nAfter:  %2\n").arg(describe(outcome.Before), describe(outcome.After));
    if (outcome.Installed)
        report += QStringLiteral("Installed the new definitions: %1 top-level domains, %2 server profiles.\n")
                      .arg(m_context.Definitions.TldCount())
                      .arg(m_context.Definitions.HostMarks().size());
    else
        report += QStringLiteral("Already current: the update location has version %1.\n")
                      .arg(DescribeVersion(outcome.ServerVersion));
    m_out.write((report + bootstrap).toUtf8());
    return Success;
}

void QueryCommand::RequestStop()
{
    m_stopRequested = true;
    if (m_batch != nullptr)
        m_batch->RequestStop();
    if (m_engine != nullptr)
        m_engine->StopSearch();
}

int QueryCommand::Usage(const QString& message)
{
    Error(message);
    m_err.write(QStringLiteral("Usage: %1 [options] QUERY | --batch FILE | --watch FILE   (%1 --help for more)\n")
                    .arg(QString::fromLatin1(kProgram))
                    .toUtf8());
    return UsageError;
}

void QueryCommand::Error(const QString& message)
{
    m_err.write((QString::fromLatin1(kProgram) + QStringLiteral(": ") + message + u'\n').toUtf8());
}

} // namespace vesk
