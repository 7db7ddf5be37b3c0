#include "cli/query_command.h"
#include "cli/resolve_option.h"
#include "defs/bootstrap_files.h"
#include "defs/definition_sets.h"
#include "rdap/bootstrap_registry.h"
#include "rdap/rdap_client.h"
#include "settings/data_locations.h"
#include "support/fake_http_server.h"
#include "support/lookup_world.h"
#include "support/test_data.h"
#include "whois/address_book.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace vesk::test {

namespace {

// vesk-query in-process with a real RDAP client that follows the routes of --resolve, as main builds it.
struct RdapCommand
{
    explicit RdapCommand(const QList<QSslCertificate>& extraRoots = {})
        : rdap(wait, RdapRoutesOf(routes), {}, extraRoots)
    {
        world.Settings->InclIP = false;
        world.Settings->SearchContacts = false;
    }

    // The exit status and the report.
    std::pair<int, QString> Run(const QStringList& options)
    {
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        QueryCommandContext context { *world.Settings, *world.Log, world.Definitions, world.Transport, world.Wait,
                                      LoadDefinitions, {} };
        context.Rdap = &rdap;
        context.Bootstrap = &bootstrap;
        context.Routes = &routes;
        QueryCommand command(context, out, err);
        const int status = command.Run(QStringList { QStringLiteral("vesk-query") } + options);
        return { status, QString::fromUtf8(out.data()) };
    }

    LookupWorld world;
    AddressBook routes;
    EventLoopWait wait;
    HttpRdapTransport rdap;
    RdapBootstrap bootstrap;
    std::function<void()> LoadDefinitions;
};

// --resolve routes the RDAP host, and --no-rdap keeps it from being asked.
TEST(RdapCommandTest, ResolveRoutesTheRdapHostAndNoRdapAsksNothing)
{
    FakeHttpServer server;
    server.Serve("rdap/domain/example.zz",
                 ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json")));
    RdapCommand vesk;
    vesk.bootstrap.Domains.BaseUrls.insert("zz", "http://rdap.identitydigital.services/rdap/");
    const QString resolve = QStringLiteral("rdap.identitydigital.services:80:127.0.0.1:%1").arg(server.Port());

    const auto [status, report] = vesk.Run({ QStringLiteral("--resolve"), resolve, QStringLiteral("example.zz") });
    EXPECT_EQ(status, QueryCommand::Success);
    EXPECT_TRUE(report.contains(QStringLiteral("source: rdap.identitydigital.services (RDAP)")))
        << report.toStdString();
    EXPECT_EQ(server.Requests("rdap/domain/example.zz"), 1);

    const auto [never, plain] = vesk.Run({ QStringLiteral("--no-rdap"), QStringLiteral("example.zz") });
    EXPECT_EQ(never, QueryCommand::Failure); // no server was asked
    EXPECT_FALSE(plain.contains(QStringLiteral("RDAP")));
    EXPECT_EQ(server.Requests("rdap/domain/example.zz"), 1);
}

// Only a usable RDAP record, or the first server's 404, is an answer for the exit status; the failure line says
// what the server's error object says.
TEST(RdapCommandTest, ErrorsAndBodiesThatAreNoRdapAreNoAnswer)
{
    const struct
    {
        const char* name;
        QByteArray body;
        int httpStatus;
        int status;
        const char* line;
    } cases[] = {
        { "record.zz", ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json")), 200,
          QueryCommand::Success, "source: rdap.example (RDAP)" },
        { "none.zz", QByteArray(), 404, QueryCommand::Success, "No Match For Domain: none.zz" },
        { "html.zz", "<html>welcome</html>", 200, QueryCommand::Failure,
          "No answer from rdap.example: not a valid RDAP answer" },
        { "wrong.zz", R"({"objectClassName":"entity","handle":"X"})", 200, QueryCommand::Failure,
          "No answer from rdap.example: not a valid RDAP answer" },
        { "bad.zz", R"({"errorCode":400,"title":"Invalid domain name"})", 400, QueryCommand::Failure,
          "No answer from rdap.example: HTTP 400 Bad Request: Invalid domain name" },
        { "down.zz", QByteArray(), 503, QueryCommand::Failure,
          "No answer from rdap.example: HTTP 503 Service Unavailable" },
    };
    FakeHttpServer server;
    RdapCommand vesk;
    vesk.bootstrap.Domains.BaseUrls.insert("zz", "http://rdap.example/");
    const QString resolve = QStringLiteral("rdap.example:80:127.0.0.1:%1").arg(server.Port());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.Serve(QByteArray("domain/") + c.name, c.body, c.httpStatus);
        const auto [status, report] = vesk.Run({ QStringLiteral("--resolve"), resolve, QString::fromLatin1(c.name) });
        EXPECT_EQ(status, c.status);
        EXPECT_TRUE(report.contains(QString::fromLatin1(c.line))) << report.toStdString();
    }
}

// `vesk-query example.info` on the shipped tables (.info has no port-43 server) and the shipped https bootstrap,
// the registry's host routed to the loopback TLS fake, whose certificate authority the client trusts.
TEST(RdapCommandTest, ExampleInfoOverHttpsWithTheShippedBootstrap)
{
    const struct
    {
        const char* certificate;
        int status;
        QStringList lines; ///< in this order in the report
    } cases[] = {
        { "server.pem",
          QueryCommand::Success,
          { QStringLiteral("DOMAIN REPORT FOR: EXAMPLE.INFO"), QStringLiteral("TLD .INFO is for INFORMATIONAL SITES."),
            QStringLiteral("DOMAIN DETAILS for EXAMPLE.INFO"),
            QStringLiteral("source: rdap.identitydigital.services (RDAP)"),
            QStringLiteral("Domain Name: identity.digital"), QStringLiteral("Registrar: Name.com, Inc."),
            QStringLiteral("Domain Status: clientTransferProhibited"),
            QStringLiteral("Name Server: ns-525.awsdns-01.net"), QStringLiteral("DNSSEC: unsigned") } },
        // The certificate names another host: no record, the TLS failure said.
        { "other-name.pem",
          QueryCommand::Failure,
          { QStringLiteral("TLD .INFO is for INFORMATIONAL SITES."),
            QStringLiteral("No answer from rdap.identitydigital.services: TLS: ") } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.certificate);
        FakeHttpServer server(TestServerTls(c.certificate));
        server.Serve("rdap/domain/example.info",
                     ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json")));
        RdapCommand vesk(TestCaRoots());
        // The build puts the shipped definition set and bootstrap files beside vesk-query, as for portable use.
        vesk.LoadDefinitions = [&vesk] {
            const DataLocations shipped = DataLocations::InOneFolder(QStringLiteral(VESK_BIN_DIR));
            LoadCurrentDefinitions(vesk.world.Definitions, shipped);
            vesk.bootstrap = LoadRdapBootstrap(shipped);
        };
        const auto [status, report]
            = vesk.Run({ QStringLiteral("--resolve"),
                         QStringLiteral("rdap.identitydigital.services:443:127.0.0.1:%1").arg(server.Port()),
                         QStringLiteral("example.info") });
        EXPECT_EQ(status, c.status);
        qsizetype at = 0;
        for (const QString& line : c.lines) {
            at = report.indexOf(line, at);
            EXPECT_GE(at, 0) << line.toStdString() << " in\n" << report.toStdString();
        }
        EXPECT_EQ(report.contains(QStringLiteral("Domain Name:")), c.status == QueryCommand::Success);
    }
}

} // namespace

} // namespace vesk::test
