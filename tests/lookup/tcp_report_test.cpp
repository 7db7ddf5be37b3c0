// Reports end to end over real sockets: the production transport, with its address book sending every server
// name to one loopback fake that answers by query line.

#include "support/fake_whois_server.h"
#include "support/lookup_world.h"
#include "support/test_data.h"
#include "support/test_waits.h"
#include "whois/reply_parsing.h"
#include "whois/tcp_transport.h"

#include <QHostAddress>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

class TcpReportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.IsListening());
        const ServerEndpoint fake { QHostAddress(QHostAddress::LocalHost), server.Port() };
        for (const char* host : { "whois.verisign-grs.com", "whois.markmonitor.com", "whois.arin.net",
                                  "rwhois.arin.net", "whois.ripe.net" })
            transport.Book().AddServer(host, fake);
        world.Settings->InclIP = false;
        world.Settings->SearchContacts = false;
        world.Settings->FilterComments = true;
    }

    FakeWhoisServer server;
    TcpWhoisTransport transport { test::LoopWait() };
    LookupWorld world { transport };
};

TEST_F(TcpReportTest, RegistryAndRegistrarOverTheWire)
{
    const QByteArray registrar = WhoisFixture("whois.markmonitor.com-com-registered.txt");
    server.SetReply("domain google.com", WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt"));
    server.SetReply("google.com", registrar);

    world.Search("google.com");

    EXPECT_EQ(server.ReceivedQueries(), (QList<QByteArray> { "domain google.com\r\n", "google.com\r\n" }));
    QStringList expected = HeaderBox(QStringLiteral("DOMAIN REPORT FOR: GOOGLE.COM"));
    expected << QStringLiteral("TLD .COM is for COMMERCIAL ORGANIZATIONS.") << QString()
             << SourceBox(QStringLiteral("DOMAIN DETAILS for GOOGLE.COM"),
                          QStringLiteral("source: whois.markmonitor.com"))
             << SheetLines(TrimByHostMark(world.Definitions.FindHostMark("whois.markmonitor.com"), registrar))
             << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
}

TEST_F(TcpReportTest, AddressReportFollowsArinsReferralToAnotherServer)
{
    FakeWhoisServer ripeServer;
    ASSERT_TRUE(ripeServer.IsListening());
    transport.Book().AddServer("whois.ripe.net",
                               ServerEndpoint { QHostAddress(QHostAddress::LocalHost), ripeServer.Port() });
    world.Settings->InclDomain = false;
    const QByteArray ripe = WhoisFixture("whois.ripe.net-ip-inetnum-2013.txt");
    server.SetReply("130.66.76.222", WhoisFixture("whois.arin.net-referral-whois-ripe-2013.txt"));
    ripeServer.SetReply("130.66.76.222", ripe);

    world.Search("130.66.76.222");

    EXPECT_EQ(server.ReceivedQueries(), QList<QByteArray> { "130.66.76.222\r\n" });
    EXPECT_EQ(ripeServer.ReceivedQueries(), QList<QByteArray> { "130.66.76.222\r\n" });
    QStringList expected = HeaderBox(QStringLiteral("REPORT FOR IP Address: 130.66.76.222"));
    expected << SourceBox(QStringLiteral("NETWORK DETAILS for 130.66.76.222"), QStringLiteral("source: whois.ripe.net"))
             << SheetLines(RemovePrefixedLines(ripe, "%")) << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
}

TEST_F(TcpReportTest, ReferralToAnImpossiblePortConnectsNowhere)
{
    FakeWhoisServer ripeServer;
    ASSERT_TRUE(ripeServer.IsListening());
    transport.Book().AddServer("whois.ripe.net",
                               ServerEndpoint { QHostAddress(QHostAddress::LocalHost), ripeServer.Port() });
    world.Settings->InclDomain = false;
    server.SetReply("130.66.76.222",
                    "NetRange: 130.66.0.0 - 130.66.255.255\n"
                    "ReferralServer: whois://whois.ripe.net:70000\n");
    ripeServer.SetReply("130.66.76.222", "inetnum: 130.66.0.0 - 130.66.255.255\n");

    world.Search("130.66.76.222");

    EXPECT_TRUE(ripeServer.ReceivedQueries().isEmpty());
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("source: whois.ripe.net")));
    EXPECT_EQ(world.Window.Status(), "Done");
}

TEST_F(TcpReportTest, ServerThatClosesAtOnceIsNoAnswerNotNoMatch)
{
    server.SetMode(FakeWhoisMode::CloseAtOnce);
    world.Search("example.com");
    QStringList expected = HeaderBox(QStringLiteral("DOMAIN REPORT FOR: EXAMPLE.COM"));
    expected << QStringLiteral("TLD .COM is for COMMERCIAL ORGANIZATIONS.") << QString();
    const QStringList lines = world.Window.Lines();
    ASSERT_EQ(lines.size(), expected.size() + 2);
    EXPECT_EQ(lines.first(expected.size()), expected);
    // Whether the close or the reset that answers the unread query line is seen first is up to the network.
    EXPECT_TRUE(lines[expected.size()]
                    == QStringLiteral("No answer from whois.verisign-grs.com: closed without a reply")
                || lines[expected.size()] == QStringLiteral("No answer from whois.verisign-grs.com: connection reset"))
        << lines[expected.size()].toStdString();
    EXPECT_EQ(lines.last(), QString());
    EXPECT_EQ(world.Window.Status(), "Done");
}

} // namespace
} // namespace vesk::test
