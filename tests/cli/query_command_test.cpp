#include "cli/query_command.h"
#include "history/pending_reports.h"
#include "support/lookup_world.h"
#include "support/test_files.h"
#include "whois/address_book.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdexcept>

namespace vesk::test {
namespace {

// vesk-query run in-process on the lookup tests' world: its settings, definitions and in-memory transport.
class QueryCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        world.Settings->InclIP = true;
        world.Settings->SearchContacts = true;
        world.Settings->InclDomain = true;
    }

    QueryCommandContext Context()
    {
        QueryCommandContext context {
            *world.Settings, *world.Log, world.Definitions, world.Transport, world.Wait, {}, {}
        };
        context.LoadDefinitions = [this] { ++loads; };
        context.UpdateDefinitions = [this] { return updateResult; };
        context.Routes = &routes;
        context.Now = FixedNow;
        context.PauseMilliseconds = 0;
        context.Locale = QLocale::c(); // the lookup tests' reports are dated in English
        return context;
    }

    int Run(QStringList arguments)
    {
        arguments.prepend(QStringLiteral("vesk-query"));
        QueryCommand command(Context(), out, err);
        running = &command;
        const int status = command.Run(arguments);
        running = nullptr;
        return status;
    }

    QString Out() const { return QString::fromUtf8(out.data()); }
    QString Err() const { return QString::fromUtf8(err.data()); }

    LookupWorld world;
    QBuffer out;
    QBuffer err;
    int loads = 0;
    UpdateOutcome updateResult {
        true, true, 45100, { QStringLiteral("/defs"), 45000 }, { QStringLiteral("/defs"), 45100 }, {}
    };
    AddressBook routes;
    QueryCommand* running = nullptr;
};

TEST_F(QueryCommandTest, UsageErrorsGiveTwoAndSearchNothing)
{
    const QStringList cases[] = {
        {},
        { QStringLiteral("--bogus"), QStringLiteral("example.com") },
        { QStringLiteral("example.com"), QStringLiteral("second") },
        { QStringLiteral("--update"), QStringLiteral("example.com") },
        { QStringLiteral("--status") },
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        err.buffer().clear();
        err.seek(0);
        EXPECT_EQ(Run(arguments), QueryCommand::UsageError);
        EXPECT_TRUE(Err().contains(QStringLiteral("Usage: vesk-query [options] QUERY"))) << Err().toStdString();
    }
    EXPECT_TRUE(out.data().isEmpty());
    EXPECT_TRUE(world.Transport.Exchanges().isEmpty());
    EXPECT_EQ(loads, 0);
}

TEST_F(QueryCommandTest, HelpAndVersionGoToStandardOutput)
{
    EXPECT_EQ(Run({ QStringLiteral("--help") }), QueryCommand::Success);
    EXPECT_TRUE(Out().startsWith(QStringLiteral("Usage: vesk-query [options] QUERY\n")));
    EXPECT_TRUE(Out().contains(QStringLiteral("--no-reverse")));
    out.buffer().clear();
    out.seek(0);
    EXPECT_EQ(Run({ QStringLiteral("--version") }), QueryCommand::Success);
    EXPECT_TRUE(Out().startsWith(QStringLiteral("vesk-query "))) << Out().toStdString();
    EXPECT_TRUE(Err().isEmpty());
}

TEST_F(QueryCommandTest, PrintsExactlyWhatTheEngineWrites)
{
    const auto script = [](InMemoryTransport& t) {
        t.SetAddresses("example.com", { 0xC0000207u, 0xC0000208u });
        t.SetReply("whois.verisign-grs.com", 43, "domain example.com",
                   "Domain Name: EXAMPLE.COM\r\n   Whois Server: whois.registrar.com\r\n"
                   ">>> Last update of whois database: x <<<\r\n");
        t.SetReply("whois.registrar.com", 43, "example.com",
                   QStringLiteral("Domain Name: example.com\r\nRegistrant Name: J\u00F6rg \u2502\r\n").toUtf8());
        t.SetDefaultReply("whois.arin.net", "NetRange: 192.0.2.0 - 192.0.2.255\nCIDR:           192.0.2.0/24\n");
    };
    script(world.Transport);
    EXPECT_EQ(Run({ QStringLiteral("--no-contacts"), QStringLiteral("www.example.com") }), QueryCommand::Success);

    LookupWorld window;
    window.Settings->InclIP = true;
    window.Settings->SearchContacts = false;
    script(window.Transport);
    window.Search("www.example.com");

    EXPECT_EQ(Out(), window.Window.Lines().join(u'\n') + u'\n');
    EXPECT_EQ(WireLog(world.Transport.Exchanges()), WireLog(window.Transport.Exchanges()));
    EXPECT_TRUE(Out().contains(QStringLiteral("\nDomain Name: example.com\nRegistrant Name: J\u00F6rg \u2502\n")));
    EXPECT_EQ(loads, 1);
    EXPECT_TRUE(Err().isEmpty()) << Err().toStdString();
}

TEST_F(QueryCommandTest, ControlCharactersFromServersReachOnlyPipesUnmasked)
{
    world.Settings->InclIP = false;
    world.Transport.SetReply("whois.verisign-grs.com", 43, "=x", "Name: \x1B]0;owned\x07\x1B[2J\r\n");

    EXPECT_EQ(Run({ QStringLiteral("=x") }), QueryCommand::Success);
    EXPECT_TRUE(out.data().contains("\nName: \x1B]0;owned\x07\x1B[2J\n"));

    out.buffer().clear();
    out.seek(0);
    QueryCommandContext terminal = Context();
    terminal.OutIsTerminal = true;
    QueryCommand command(terminal, out, err);
    EXPECT_EQ(command.Run({ QStringLiteral("vesk-query"), QStringLiteral("=x") }), QueryCommand::Success);
    EXPECT_FALSE(out.data().contains('\x1B'));
    EXPECT_TRUE(Out().contains(QStringLiteral("\nName: \uFFFD]0;owned\uFFFD\uFFFD[2J\n")));
}

TEST_F(QueryCommandTest, HeaderDateIsInTheUsersLanguageAsInTheWindow)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale before;
    QLocale::setDefault(german);
    QueryCommandContext context { *world.Settings, *world.Log, world.Definitions, world.Transport, world.Wait, {}, {} };
    QLocale::setDefault(before);
    context.Now = FixedNow;
    context.PauseMilliseconds = 0;
    world.Settings->InclIP = false;

    QueryCommand command(context, out, err);
    EXPECT_EQ(command.Run({ QStringLiteral("vesk-query"), QStringLiteral("example.com") }), QueryCommand::Success);
    const QString date = german.monthName(3, QLocale::ShortFormat) + QStringLiteral(" 07, 2024");
    EXPECT_TRUE(Out().contains(date)) << Out().toStdString();
}

TEST_F(QueryCommandTest, OptionsOverrideTheSettingsAndTheLastOneWins)
{
    struct Row
    {
        QStringList options;
        bool resolves;
    };
    const Row rows[] = {
        { { QStringLiteral("--no-ip") }, false },
        { { QStringLiteral("--no-ip"), QStringLiteral("--ip") }, true },
        { { QStringLiteral("--ip"), QStringLiteral("--no-ip") }, false },
        { {}, true }, // the stored setting
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.options.join(u' ').toStdString());
        world.Settings->InclIP = true;
        world.Transport.ClearLog();
        EXPECT_EQ(Run(row.options + QStringList { QStringLiteral("example.com") }), QueryCommand::Success);
        EXPECT_EQ(!world.Transport.Resolutions().isEmpty(), row.resolves);
    }

    world.Transport.SetReverseName(0xC0000207u, "host.example.net");
    out.buffer().clear();
    out.seek(0);
    Run({ QStringLiteral("--no-reverse"), QStringLiteral("192.0.2.7") });
    EXPECT_FALSE(Out().contains(QStringLiteral("host.example.net")));
    out.buffer().clear();
    out.seek(0);
    Run({ QStringLiteral("--reverse"), QStringLiteral("192.0.2.7") });
    EXPECT_TRUE(Out().contains(QStringLiteral("Domain Name for 192.0.2.7\nhost.example.net\n")));

    world.Transport.SetReply("whois.verisign-grs.com", 43, "=x", "% kept\r\n");
    out.buffer().clear();
    out.seek(0);
    Run({ QStringLiteral("--filter-comments"), QStringLiteral("=x") }); // plain queries are never filtered
    EXPECT_TRUE(Out().contains(QStringLiteral("\n% kept\n")));
}

TEST_F(QueryCommandTest, NoMatchIsAReportAndStatusIsEchoed)
{
    world.Settings->InclIP = false;
    EXPECT_EQ(Run({ QStringLiteral("--status"), QStringLiteral("example.com") }), QueryCommand::Success);
    EXPECT_TRUE(Out().contains(QStringLiteral("\nNo Match For Domain: example.com\n")));
    EXPECT_EQ(Err(), QStringLiteral("Wait....  Connecting whois.verisign-grs.com:43 for domain example.com\nDone\n"));
}

TEST_F(QueryCommandTest, PlainSearchesLeaveReportsPendingButNeverPileThemUp)
{
    world.Settings->InclIP = false;
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("history.sqlite"));
    for (int i = 0; i < 70; ++i) {
        ASSERT_EQ(Run({ QStringLiteral("--history-file"), store, QStringLiteral("example.com") }),
                  QueryCommand::Success)
            << Err().toStdString();
        ASSERT_LT(CountPendingReports(store, 1000), 64) << i;
    }
    EXPECT_TRUE(Err().isEmpty() || !Err().contains(QStringLiteral("history"))) << Err().toStdString();
    {
        HistoryStore history(store);
        EXPECT_EQ(history.List(QStringLiteral("example.com"), QStringLiteral("domain")).size(), 70);
    }
    EXPECT_EQ(CountPendingReports(store, 1000), 0);

    // A store no one can take them in (a newer program's): past a bound, a search says so and adds none.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(store).constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version = 99;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    for (int i = 0; i < 1024; ++i)
        WriteWholeFile(PendingFolder(store) + QStringLiteral("/%1.report").arg(i), "x");
    err.buffer().clear();
    err.seek(0);
    EXPECT_EQ(Run({ QStringLiteral("--history-file"), store, QStringLiteral("example.com") }), QueryCommand::Success);
    EXPECT_TRUE(Err().contains(QStringLiteral("newer version"))) << Err().toStdString();
    EXPECT_EQ(CountPendingReports(store, 2000), 1024);
}

TEST_F(QueryCommandTest, QueryTooLongFailsWithAClearMessage)
{
    EXPECT_EQ(Run({ QString(256, u'a') }), QueryCommand::Failure);
    EXPECT_TRUE(out.data().isEmpty());
    EXPECT_EQ(Err(),
              QStringLiteral("vesk-query: The query is too long to search: it has 256 characters, and at "
                             "most 255 are accepted.\n"));
    EXPECT_EQ(Run({ QString(255, u'a') }), QueryCommand::Success);
}

TEST_F(QueryCommandTest, StopRequestEndsTheSearchWithStatusOne)
{
    world.Settings->InclIP = true;
    world.Transport.SetAddresses("example.com", { 0xC0000207u });
    world.Transport.SetExchangeHook([this](const ExchangeRecord&) {
        if (running != nullptr)
            running->RequestStop();
    });
    EXPECT_EQ(Run({ QStringLiteral("example.com") }), QueryCommand::Failure);
    EXPECT_EQ(world.Transport.Exchanges().size(), 1); // nothing asked after the stop
    EXPECT_TRUE(Out().endsWith(QStringLiteral("No answer from whois.verisign-grs.com: search stopped\n\n")));
    EXPECT_EQ(Err(), QStringLiteral("vesk-query: Search stopped; the report is incomplete.\n"));
}

TEST_F(QueryCommandTest, DefinitionProblemsAndTheUpdate)
{
    QueryCommandContext broken = Context();
    broken.LoadDefinitions = [] { throw std::runtime_error("Invalid file format"); };
    QueryCommand command(broken, out, err);
    EXPECT_EQ(command.Run({ QStringLiteral("vesk-query"), QStringLiteral("example.com") }), QueryCommand::Failure);
    EXPECT_EQ(Err(), QStringLiteral("vesk-query: The definition files cannot be read: Invalid file format\n"));

    err.buffer().clear();
    err.seek(0);
    world.Definitions = DefinitionTables();
    EXPECT_EQ(Run({ QStringLiteral("example.com") }), QueryCommand::Success);
    EXPECT_TRUE(Err().contains(QStringLiteral("warning: no definition data")));
    err.buffer().clear();
    err.seek(0);
    EXPECT_EQ(Run({ QStringLiteral("--json"), QStringLiteral("example.com") }), QueryCommand::Success);
    EXPECT_EQ(Err().count(QStringLiteral("warning: no definition data")), 1);

    world.Definitions = TestDefinitions();
    out.buffer().clear();
    out.seek(0);
    EXPECT_EQ(Run({ QStringLiteral("--update") }), QueryCommand::Success);
    EXPECT_EQ(Out(),
              QStringLiteral("Before: version 45000 (2023-03-15) in /defs\n"
                             "After:  version 45100 (2023-06-23) in /defs\n"
                             "Installed the new definitions: 6 top-level domains, 8 server profiles.\n"));
    updateResult = UpdateOutcome { false, false, {}, { QStringLiteral("/defs"), 45000 }, {}, QStringLiteral("why") };
    EXPECT_EQ(Run({ QStringLiteral("--update") }), QueryCommand::Failure);
    EXPECT_TRUE(Err().endsWith(QStringLiteral(
        "The definition update failed: why. The definitions in use are still version 45000 (2023-03-15) in /defs.\n")));
}

TEST_F(QueryCommandTest, ResolveRoutesEachNamedHostAndPortAndRefusesBadSyntax)
{
    const struct
    {
        const char* value;
        const char* problem; // nullptr: accepted
    } rows[] = {
        { "whois.example:43:127.0.0.1", nullptr },
        { "Whois.Other:4321:10.0.0.2:43", nullptr },
        { "whois.example:43", "it needs three or four fields" },
        { "whois.example:43:127.0.0.1:43:1", "it needs three or four fields" },
        { ":43:127.0.0.1", "\"\" is not a host name" },
        { "who is:43:127.0.0.1", "\"who is\" is not a host name" },
        { "whois.example:0:127.0.0.1", "\"0\" is not a port from 1 to 65535" },
        { "whois.example:65536:127.0.0.1", "\"65536\" is not a port" },
        { "whois.example:4x:127.0.0.1", "\"4x\" is not a port" },
        { "whois.example:43:127.1", "\"127.1\" is not an IPv4 address" },
        { "whois.example:43:256.0.0.1", "\"256.0.0.1\" is not an IPv4 address" },
        { "whois.example:43:::1", "it needs three or four fields" },
        { "whois.example:43:127.0.0.1:", "\"\" is not a port" },
        { "whois.example:43:[::1]", nullptr },
        { "whois.example:43:[2001:DB8:0:0:0:0:0:1]:4343", nullptr },
        { "whois.example:43:[::ffff:192.0.2.1]", nullptr },
        { "whois.example:43:2001:db8::1",
          "it needs three or four fields separated by ':', so an IPv6 address goes in brackets: [2001:db8::1]" },
        { "whois.example:43:[::1", "the '[' of an IPv6 address has no ']'" },
        { "whois.example:43:[fe80::1%eth0]", "\"[fe80::1%eth0]\" is not an IPv6 address" },
        { "whois.example:43:[192.0.2.1]", "\"[192.0.2.1]\" is not an IPv6 address" },
        { "whois.example:43:[]", "\"[]\" is not an IPv6 address" },
        { "whois.example:43:[::1]:", "\"\" is not a port" },
        { "whois.example:43:[::1]:43:43", "it needs three or four fields" },
        { "whois.example:43:[::1]43", "an address in brackets must be the third field" },
        { "whois.example:[::1]:43", "it needs three or four fields" },
        { "whois.example:43:x[::1]", "an address in brackets must be the third field" },
        { "[::1]:43:127.0.0.1", "an address in brackets must be the third field" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        err.buffer().clear();
        err.seek(0);
        const int status
            = Run({ QStringLiteral("--resolve"), QString::fromLatin1(row.value), QStringLiteral("--help") });
        if (row.problem == nullptr) {
            EXPECT_EQ(status, QueryCommand::Success) << Err().toStdString();
            continue;
        }
        EXPECT_EQ(status, QueryCommand::UsageError);
        EXPECT_TRUE(Err().startsWith(QStringLiteral("vesk-query: --resolve %1: %2")
                                         .arg(QString::fromLatin1(row.value), QString::fromLatin1(row.problem))))
            << Err().toStdString();
    }

    // --help ends the run before any route is added; a search adds them all.
    EXPECT_FALSE(routes.FindServer("whois.example", 43));
    EXPECT_EQ(Run({ QStringLiteral("--resolve=whois.example:43:127.0.0.1"), QStringLiteral("--resolve"),
                    QStringLiteral("Whois.Other:4321:10.0.0.2:43"), QStringLiteral("example.com") }),
              QueryCommand::Success);
    const std::optional<ServerEndpoint> first = routes.FindServer("whois.example", 43);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Address, QHostAddress(QStringLiteral("127.0.0.1")));
    EXPECT_EQ(first->Port, 43);
    EXPECT_FALSE(routes.FindServer("whois.example", 4343)) << "only the named port is routed";
    const std::optional<ServerEndpoint> second = routes.FindServer("whois.other", 4321);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Address, QHostAddress(QStringLiteral("10.0.0.2")));
    EXPECT_EQ(second->Port, 43);
    EXPECT_EQ(Run({ QStringLiteral("--resolve=whois.six:43:[2001:DB8::1]:4343"), QStringLiteral("example.com") }),
              QueryCommand::Success);
    const std::optional<ServerEndpoint> six = routes.FindServer("whois.six", 43);
    ASSERT_TRUE(six);
    EXPECT_EQ(six->Address, QHostAddress(QStringLiteral("2001:db8::1")));
    EXPECT_EQ(six->Port, 4343);
}

} // namespace
} // namespace vesk::test
