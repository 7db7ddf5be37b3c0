// A server's reply must not make the program talk to this machine or a network that is not the internet: a
// referral that leads there is not asked, and the report goes on as if that server had not answered. Hosts the
// caller routes itself (address-book entries) are trusted. Names are given private addresses through the address
// book only, and the rule refuses them before any connection, so nothing is ever sent to such an address.

#include "common/safe_address.h"
#include "settings/settings_store.h"
#include "support/fake_whois_server.h"
#include "support/lookup_world.h"
#include "support/recording_transport.h"
#include "support/test_data.h"
#include "support/test_waits.h"
#include "whois/tcp_transport.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QTcpServer>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

TEST(SafeAddressTest, RefusesThisMachineAndEveryNetworkThatIsNotTheInternet)
{
    struct Row
    {
        const char* address;
        bool refused;
    };
    const Row rows[] = {
        // This machine, "this network", link-local, multicast and broadcast.
        { "127.0.0.1", true },
        { "127.255.255.254", true },
        { "0.0.0.0", true },
        { "0.1.2.3", true },
        { "169.254.0.1", true },
        { "169.254.255.255", true },
        { "224.0.0.1", true },
        { "239.255.255.250", true },
        { "255.255.255.255", true },
        { "::1", true },
        { "::", true },
        { "fe80::1", true },
        { "ff02::1", true },
        // Private networks and carrier-grade NAT, at both ends of each block.
        { "10.0.0.1", true },
        { "10.255.255.255", true },
        { "172.16.0.0", true },
        { "172.31.255.255", true },
        { "192.168.0.0", true },
        { "192.168.255.255", true },
        { "100.64.0.0", true },
        { "100.127.255.255", true },
        { "fc00::1", true },
        { "fdff:ffff::1", true },
        // The same in IPv4-mapped IPv6 form.
        { "::ffff:127.0.0.1", true },
        { "::ffff:169.254.1.1", true },
        { "::ffff:10.23.0.5", true },
        { "::ffff:192.168.1.1", true },
        // Just outside each block: the internet.
        { "9.255.255.255", false },
        { "11.0.0.0", false },
        { "172.15.255.255", false },
        { "172.32.0.0", false },
        { "192.167.255.255", false },
        { "192.169.0.0", false },
        { "100.63.255.255", false },
        { "100.128.0.0", false },
        { "169.253.255.255", false },
        { "169.255.0.0", false },
        { "223.255.255.255", false },
        { "240.0.0.1", false },
        { "fbff:ffff::1", false },
        { "fe00::1", false },
        { "192.0.2.7", false },
        { "8.8.8.8", false },
        { "2001:db8::1", false },
        { "::ffff:192.0.2.7", false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.address);
        EXPECT_EQ(IsForbiddenReferralAddress(QHostAddress(QString::fromLatin1(row.address))), row.refused);
    }
    EXPECT_TRUE(IsForbiddenReferralAddress(QHostAddress())) << "no address at all";
}

ServerEndpoint Loopback(const FakeWhoisServer& server)
{
    return ServerEndpoint { QHostAddress(QHostAddress::LocalHost), server.Port() };
}

class SafeReferralTest : public ::testing::Test
{
protected:
    SafeReferralTest()
        : m_tcp(LoopWait(), {}, Limits())
        , m_recorder(m_tcp)
        , m_world(m_recorder)
    { }

    static WhoisClientLimits Limits()
    {
        WhoisClientLimits limits;
        limits.ReadTimeoutMs = 500;
        limits.ConnectTimeoutMs = 500;
        limits.ExchangeTimeoutMs = 2000;
        return limits;
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_fixed.IsListening());
        ASSERT_TRUE(m_trap.IsListening());
        ASSERT_TRUE(m_rwhois.IsListening());
        for (const char* host : { "whois.verisign-grs.com", "whois.arin.net" })
            m_tcp.Book().AddServer(host, Loopback(m_fixed));
        m_tcp.Book().AddServer("rwhois.arin.net", Loopback(m_rwhois));
        // Names that a reply may carry and that resolve to addresses a referral must never reach.
        m_tcp.Book().AddAddresses("whois.trap.com", { 0x7F000001u }); // 127.0.0.1
        m_tcp.Book().AddAddresses("whois.zero.com", { 0x00000000u });
        m_tcp.Book().AddAddresses("whois.multicast.com", { 0xE0000001u }); // 224.0.0.1
        m_tcp.Book().AddAddresses("whois.private.com", { 0x0A170005u }); // 10.23.0.5
        m_tcp.Book().AddAddresses("whois.mixed.com", { 0x08080808u, 0xC0A80001u }); // 8.8.8.8 and 192.168.0.1
        m_world.Settings->FilterComments = false;
        m_world.Settings->SearchContacts = false;
        m_world.Settings->InclIP = false;
        m_world.Settings->InclDomain = false;
    }

    /// The exchanges made with a host taken from a reply; each must be marked so and have been refused.
    void ExpectReferralsRefused(const QByteArray& host)
    {
        const QList<ExchangeRecord> arrivals = m_recorder.ExchangesWith(host);
        for (const ExchangeRecord& arrival : arrivals) {
            EXPECT_EQ(arrival.Source, HostSource::Referral);
            EXPECT_TRUE(arrival.Reply.isEmpty());
            EXPECT_EQ(arrival.Failure, ExchangeFailure::ReferralRefused);
        }
    }

    QByteArray TrapPort() const { return QByteArray::number(m_trap.Port()); }

    FakeWhoisServer m_fixed; ///< the registry and ARIN's WHOIS server
    FakeWhoisServer m_rwhois; ///< ARIN's RWhois server
    FakeWhoisServer m_trap; ///< listens where a forbidden referral would lead
    TcpWhoisTransport m_tcp;
    RecordingTransport m_recorder;
    LookupWorld m_world;
};

TEST_F(SafeReferralTest, RegistrarOnThisMachineOrAPrivateNetworkIsNotAskedAndTheRegistryReplyStands)
{
    const QByteArray original = WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt");
    // The private names are refused before any connection is made; should the rule ever let one through, stop here
    // rather than send anything there.
    ASSERT_TRUE(IsRefusedReferralAddress(QHostAddress(0x0A170005u)));
    ASSERT_TRUE(IsRefusedReferralAddress(QHostAddress(0xC0A80001u)));
    const struct
    {
        const char* registrar;
        bool tried; // a name without a known TLD is no registrar server and never reaches the transport
    } rows[] = {
        { "localhost", false },      { "127.0.0.1", false },          { "whois.trap.com", true },
        { "whois.zero.com", true },  { "whois.multicast.com", true }, { "whois.private.com", true },
        { "whois.mixed.com", true },
    };
    for (const auto& [registrar, tried] : rows) {
        SCOPED_TRACE(registrar);
        const QByteArray registry = QByteArray(original).replace("whois.markmonitor.com", QByteArray(registrar));
        m_fixed.SetReply("domain google.com", registry);
        m_world.Window.ClearLines();

        m_world.Search("google.com");

        EXPECT_EQ(m_recorder.ExchangesWith(registrar).isEmpty(), !tried);
        ExpectReferralsRefused(registrar);
        QStringList expected = HeaderBox(QStringLiteral("DOMAIN REPORT FOR: GOOGLE.COM"));
        expected << QStringLiteral("TLD .COM is for COMMERCIAL ORGANIZATIONS.") << QString()
                 << SourceBox(QStringLiteral("DOMAIN DETAILS for GOOGLE.COM"),
                              QStringLiteral("source: whois.verisign-grs.com"))
                 << SheetLines(registry) << QString();
        EXPECT_EQ(m_world.Window.Lines(), expected);
        EXPECT_EQ(m_world.Window.Status(), "Done");
    }
    EXPECT_EQ(m_trap.ConnectionCount(), 0);
}

TEST_F(SafeReferralTest, ArinReferralsToThisMachineAreNotAskedAndArinsSectionStays)
{
    const QByteArray arinWhois = WhoisFixture("whois.arin.net-referral-whois-ripe-2013.txt");
    const QByteArray arinRWhois = WhoisFixture("rwhois.softlayer.com-network-record-2013.txt");
    const struct
    {
        const char* name;
        QByteArray host; // the referral's host as the reply names it
        bool rwhois; // the referral comes from ARIN's RWhois server instead of its WHOIS server
    } rows[] = {
        { "WHOIS referral to a loopback literal", "127.0.0.1", false },
        { "WHOIS referral to a name on loopback", "whois.trap.com", false },
        { "RWhois referral to a loopback literal", "127.0.0.1", true },
        { "RWhois referral to a name on loopback", "whois.trap.com", true },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray target = row.host + ':' + TrapPort();
        QByteArray whois = arinWhois;
        whois.replace("ReferralServer: whois://whois.ripe.net:43", "ReferralServer: whois://" + target);
        QByteArray rwhois = arinRWhois;
        if (row.rwhois) {
            whois = WhoisFixture("whois.arin.net-single-record-2013.txt");
            rwhois.replace("root.rwhois.net:4321", target);
        }
        m_fixed.SetReply("130.66.76.222", whois);
        m_rwhois.SetReply("130.66.76.222", rwhois);
        m_world.Window.ClearLines();

        m_world.Search("130.66.76.222");

        QStringList expected = HeaderBox(QStringLiteral("REPORT FOR IP Address: 130.66.76.222"));
        expected << SourceBox(QStringLiteral("NETWORK DETAILS for 130.66.76.222"),
                              QStringLiteral("source: whois.arin.net"))
                 << SheetLines(whois);
        // The referral that was not followed is named with its reason, after ARIN's section.
        const QStringList lines = m_world.Window.Lines();
        EXPECT_EQ(lines.mid(0, expected.size()), expected);
        ASSERT_EQ(lines.size(), expected.size() + 2) << lines.join(u'\n').toStdString();
        EXPECT_TRUE(lines[expected.size()].startsWith(QStringLiteral("No answer from ") + QLatin1String(row.host)))
            << lines[expected.size()].toStdString();
        EXPECT_EQ(lines.last(), QString());
        EXPECT_EQ(m_world.Window.Status(), "Done");
    }
    EXPECT_EQ(m_trap.ConnectionCount(), 0);
}

TEST_F(SafeReferralTest, ReferralHostsTheCallerRoutesAreAsked)
{
    // The same loopback server is reached when the caller's own address book sends the referral there.
    m_tcp.Book().AddServer("whois.ripe.net", Loopback(m_trap));
    const QByteArray ripe = WhoisFixture("whois.ripe.net-ip-inetnum-2013.txt");
    m_trap.SetDefaultReply(ripe);
    m_fixed.SetReply("130.66.76.222", WhoisFixture("whois.arin.net-referral-whois-ripe-2013.txt"));

    m_world.Search("130.66.76.222");

    EXPECT_EQ(m_trap.ReceivedQueries(), QList<QByteArray> { "130.66.76.222\r\n" });
    const QList<ExchangeRecord> asked = m_recorder.ExchangesWith("whois.ripe.net");
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].Source, HostSource::Referral);
    EXPECT_EQ(asked[0].Reply, ripe);
    EXPECT_TRUE(m_world.Window.Lines().contains(QStringLiteral("inetnum:        128.79.0.0 - 128.79.63.0")));
}

// A name in a reply may resolve to one of this machine's own network addresses instead of loopback; a service
// listening on every interface would be reached that way just the same.
TEST(OwnAddressReferralTest, ReferralToAnAddressOfThisMachineIsNotAsked)
{
    QHostAddress own;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            own = address;
            break;
        }
    }
    if (own.isNull())
        GTEST_SKIP() << "this machine has no address beside loopback";
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::AnyIPv4, 0));
    const int port = listener.serverPort();
    WhoisClientLimits limits;
    limits.ReadTimeoutMs = 200;
    limits.ConnectTimeoutMs = 1000;
    limits.ExchangeTimeoutMs = 1000;
    TcpWhoisTransport transport(LoopWait(), {}, limits);
    transport.Book().AddAddresses("whois.own.com", { own.toIPv4Address() });
    const QByteArray literal = own.toString().toLatin1();

    EXPECT_TRUE(transport.Exchange(literal, port, "x", HostSource::Referral, test::NeverStop()).Reply.isEmpty());
    EXPECT_TRUE(
        transport.Exchange("whois.own.com", port, "x", HostSource::Referral, test::NeverStop()).Reply.isEmpty());
    EXPECT_FALSE(listener.waitForNewConnection(0)) << "a referral reached this machine";

    // The engine's own fixed hosts may point there.
    transport.Exchange(literal, port, "x", HostSource::Fixed, test::NeverStop());
    // The listener may already have taken the connection while the exchange let the events run.
    EXPECT_TRUE(listener.hasPendingConnections() || listener.waitForNewConnection(1000));
}

} // namespace
} // namespace vesk::test
