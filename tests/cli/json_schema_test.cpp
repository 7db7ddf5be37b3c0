// The JSON report validated against its schema in docs/, by Debian's python3-jsonschema.

#include "cli/json_report.h"
#include "cli/query_command.h"
#include "query_binary_run.h"
#include "rdap/bootstrap_registry.h"
#include "rdap/rdap_client.h"
#include "support/fake_http_server.h"
#include "support/fake_whois_server.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// Debian's python3 by its full path: another python3 on PATH may not see Debian's packages.
constexpr char kDebianPython[] = "/usr/bin/python3";

const char* const kValidator = R"(
import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
count = 0
for number, line in enumerate(open(sys.argv[2], encoding="utf-8"), 1):
    for error in validator.iter_errors(json.loads(line)):
        print("line %d: %s at %s" % (number, error.message, list(error.absolute_path)))
        sys.exit(1)
    count += 1
print(count)
)";

QByteArray RunQuery(const QStringList& arguments, int& status)
{
    const QueryBinaryRun run = RunQueryBinary(arguments);
    status = run.status;
    return run.out;
}

// --json in-process for a TLD served only by RDAP, with the real RDAP client routed to a loopback fake (the
// program's own bootstrap names https servers only): a record, the first server's 404, and 429 twice.
QByteArray RdapReports()
{
    FakeHttpServer server;
    server.Serve("rdap/domain/example.zz",
                 ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json")));
    server.Serve("rdap/domain/limited.zz", QByteArray(), 429);
    LookupWorld world;
    world.Settings->InclIP = false;
    world.Settings->SearchContacts = false;
    EventLoopWait wait;
    HttpRdapTransport rdap(wait, [&server](const QByteArray&, int) {
        return std::optional<ServerEndpoint>(ServerEndpoint { QHostAddress(QHostAddress::LocalHost), server.Port() });
    });
    RdapBootstrap bootstrap;
    bootstrap.Domains.BaseUrls.insert("zz", "http://rdap.identitydigital.services/rdap/");
    QByteArray lines;
    for (const char* query : { "example.zz", "none.zz", "limited.zz" }) {
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        QueryCommandContext context {
            *world.Settings, *world.Log, world.Definitions, world.Transport, world.Wait, {}, {}
        };
        context.Rdap = &rdap;
        context.Bootstrap = &bootstrap;
        QueryCommand command(context, out, err);
        command.Run({ QStringLiteral("vesk-query"), QStringLiteral("--json"), QString::fromLatin1(query) });
        lines += out.data();
    }
    return lines;
}

TEST(JsonSchema, RealReportsValidate)
{
    if (!QFile::exists(QString::fromLatin1(kDebianPython)))
        GTEST_SKIP() << "no /usr/bin/python3 (scripts/install-deps.sh installs python3-jsonschema)";
    FakeWhoisServer registry;
    ASSERT_TRUE(registry.IsListening());
    registry.SetDefaultReply("Domain Name: EXAMPLE.COM\r\nRegistrar: Example\r\n");
    registry.SetReply("domain limited.com", "Query rate exceeded\r\n");
    const QString route = QStringLiteral("whois.verisign-grs.com:43:127.0.0.1:%1").arg(registry.Port());
    const QStringList common { QStringLiteral("--no-ip"), QStringLiteral("--no-contacts"), QStringLiteral("--resolve"),
                               route };

    QByteArray lines;
    int status = -1;
    lines += RunQuery(common + QStringList { QStringLiteral("--json"), QStringLiteral("example.com") }, status);
    EXPECT_EQ(status, 0);
    lines += RunQuery(common + QStringList { QStringLiteral("--json"), QStringLiteral("192.0.2.1") }, status);
    EXPECT_EQ(status, 1); // ARIN is not routed here: refused or not resolved
    QTemporaryDir dir;
    QFile list(dir.filePath(QStringLiteral("list.txt")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("# domains\nexample.com\n\nlimited.com\nsome plain text\n");
    list.close();
    lines += RunQuery(common
                          + QStringList { QStringLiteral("--json"), QStringLiteral("--pace"), QStringLiteral("0"),
                                          QStringLiteral("--batch"), list.fileName() },
                      status);
    EXPECT_EQ(status, 1);
    SearchOutcome notRun;
    notRun.Typed = "never.example";
    notRun.NotRun = true;
    lines += JsonReport(notRun, true) + '\n';
    EXPECT_EQ(lines.count('\n'), 6) << lines.constData();
    EXPECT_TRUE(lines.contains("\"outcome\":\"rate-limited\""));

    // RDAP entries (their fields are checked in exchange_entries_test): the three outcomes, one answer object.
    const QByteArray rdap = RdapReports();
    EXPECT_EQ(rdap.count('\n'), 3);
    for (const char* outcome : { "answered", "no-match", "rate-limited" })
        EXPECT_TRUE(rdap.contains("\"outcome\":\"" + QByteArray(outcome) + "\",\"protocol\":\"rdap\"")) << outcome;
    EXPECT_EQ(rdap.count("\"answer\":{"), 1) << rdap.constData();
    lines += rdap;

    // Exchanges that the search's own limits skipped carry their tokens.
    SearchOutcome limited;
    limited.Typed = limited.Sent = "limits.com";
    limited.Kind = LookupEngine::QueryKind::Domain;
    limited.Started = limited.Ended = QDateTime::currentDateTimeUtc();
    for (const char* token : { "budget", "deadline" }) {
        ExchangeEntry entry;
        entry.Host = "whois.verisign-grs.com";
        entry.Port = 43;
        entry.Request = "domain limits.com";
        entry.Outcome = token;
        entry.FailureText = QStringLiteral("skipped");
        limited.Exchanges.append(entry);
    }
    lines += JsonReport(limited, false) + '\n';

    const QString file = dir.filePath(QStringLiteral("reports.jsonl"));
    QFile reports(file);
    ASSERT_TRUE(reports.open(QIODevice::WriteOnly));
    reports.write(lines);
    reports.close();
    QProcess python;
    python.start(QString::fromLatin1(kDebianPython),
                 { QStringLiteral("-c"), QString::fromLatin1(kValidator),
                   QStringLiteral(VESK_DOCS_DIR "/vesk-query-report.schema.json"), file });
    ASSERT_TRUE(python.waitForFinished(60000));
    const QByteArray said = python.readAllStandardOutput() + python.readAllStandardError();
    if (said.contains("No module named 'jsonschema'"))
        GTEST_SKIP() << "python3-jsonschema is not installed (scripts/install-deps.sh installs it)";
    EXPECT_EQ(python.exitCode(), 0) << said.constData();
    EXPECT_EQ(said.trimmed(), "10");
}

} // namespace
} // namespace vesk::test
