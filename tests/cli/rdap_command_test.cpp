#include "cli/query_command.h"
#include "rdap/bootstrap_registry.h"
#include "rdap/rdap_client.h"
#include "support/fake_http_server.h"
#include "support/lookup_world.h"
#include "support/test_data.h"
#include "whois/address_book.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace vesk::test {

namespace {

// vesk-query in-process with a real RDAP client: --resolve routes the RDAP host to a loopback fake, and
// --no-rdap keeps it from being asked.
TEST(RdapCommandTest, ResolveRoutesTheRdapHostAndNoRdapAsksNothing)
{
    FakeHttpServer server;
    server.Serve("rdap/domain/example.zz",
                 ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json")));
    LookupWorld world;
    world.Settings->InclIP = false;
    world.Settings->SearchContacts = false;
    AddressBook routes;
    EventLoopWait wait;
    HttpRdapTransport rdap(wait, [&routes](const QByteArray& host, int port) {
        std::optional<RdapRoute> route;
        if (const std::optional<ServerEndpoint> target = routes.FindServer(host, port))
            route = RdapRoute { target->Address, target->Port };
        return route;
    });
    RdapBootstrap bootstrap;
    bootstrap.Domains.BaseUrls.insert("zz", "http://rdap.identitydigital.services/rdap/");

    const auto run = [&](const QStringList& options) {
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        QueryCommandContext context {
            *world.Settings, *world.Log, world.Definitions, world.Transport, world.Wait, {}, {}
        };
        context.Rdap = &rdap;
        context.Bootstrap = &bootstrap;
        context.Routes = &routes;
        QueryCommand command(context, out, err);
        const int status = command.Run(QStringList { QStringLiteral("vesk-query") } + options);
        return std::make_pair(status, QString::fromUtf8(out.data()));
    };
    const QString resolve = QStringLiteral("rdap.identitydigital.services:80:127.0.0.1:%1").arg(server.Port());

    const auto [status, report] = run({ QStringLiteral("--resolve"), resolve, QStringLiteral("example.zz") });
    EXPECT_EQ(status, QueryCommand::Success);
    EXPECT_TRUE(report.contains(QStringLiteral("source: rdap.identitydigital.services (RDAP)")))
        << report.toStdString();
    EXPECT_EQ(server.Requests("rdap/domain/example.zz"), 1);

    const auto [never, plain] = run({ QStringLiteral("--no-rdap"), QStringLiteral("example.zz") });
    EXPECT_EQ(never, QueryCommand::Failure); // no server was asked
    EXPECT_FALSE(plain.contains(QStringLiteral("RDAP")));
    EXPECT_EQ(server.Requests("rdap/domain/example.zz"), 1);
}

} // namespace

} // namespace vesk::test
