#include "support/lookup_world.h"
#include "support/test_data.h"
#include "whois/reply_parsing.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

class NetworkDetailsTest : public ::testing::Test
{
protected:
    void SetUp() override { world.Options.FilterComments = true; }

    QByteArray Lookup(const QByteArray& address) { return world.Network.Lookup(address); }
    QStringList Wire() const { return WireLog(world.Transport.Exchanges()); }
    static QStringList Section(const char* address, const char* host, const QByteArray& reply)
    {
        return SourceBox(QStringLiteral("NETWORK DETAILS for ") + QString::fromLatin1(address),
                         QStringLiteral("source: ") + QString::fromLatin1(host))
            + SheetLines(reply);
    }

    LookupWorld world;
};

TEST_F(NetworkDetailsTest, SingleRecordGivesItsBlockAndArinRWhoisIsAskedToo)
{
    const QByteArray arin = WhoisFixture("whois.arin.net-single-record-2013.txt");
    const QByteArray rwhois = "%rwhois V-1.5:003fff:00 rwhois.arin.net\nnetwork:ID:NET-4-0-0-0-1\n%ok\n";
    world.Transport.SetReply("whois.arin.net", 43, "4.2.2.1", arin);
    world.Transport.SetReply("rwhois.arin.net", 4321, "4.2.2.1", rwhois);

    EXPECT_EQ(Lookup("4.2.2.1"), "4.0.0.0/8"); // the block behind a "CIDR:" label padded to column 17
    EXPECT_EQ(
        Wire(),
        (QStringList { QStringLiteral("whois.arin.net:43 4.2.2.1"), QStringLiteral("rwhois.arin.net:4321 4.2.2.1") }));
    EXPECT_EQ(world.Window.Lines(),
              Section("4.2.2.1", "whois.arin.net", FilterArinComments(arin))
                  + Section("4.2.2.1", "rwhois.arin.net", "ID:NET-4-0-0-0-1"));
}

TEST_F(NetworkDetailsTest, ListOfNetworksIsAnsweredByTheLastHandle)
{
    const QByteArray record = WhoisFixture("whois.arin.net-single-record-2013.txt");
    world.Transport.SetReply("whois.arin.net", 43, "8.8.8.8",
                             WhoisFixture("whois.arin.net-list-of-networks-crafted.txt"));
    world.Transport.SetReply("whois.arin.net", 43, "NET-8-8-8-0-1", record);

    EXPECT_EQ(Lookup("8.8.8.8"), "4.0.0.0/8");
    EXPECT_EQ(
        Wire(),
        (QStringList { QStringLiteral("whois.arin.net:43 8.8.8.8"), QStringLiteral("whois.arin.net:43 NET-8-8-8-0-1"),
                       QStringLiteral("rwhois.arin.net:4321 8.8.8.8") }));
    EXPECT_EQ(world.Window.Lines(), Section("8.8.8.8", "whois.arin.net", FilterArinComments(record)));
}

TEST_F(NetworkDetailsTest, ListWhoseHandleGoesUnansweredIsWrittenItself)
{
    const QByteArray list = WhoisFixture("whois.arin.net-list-of-networks-crafted.txt");
    world.Transport.SetReply("whois.arin.net", 43, "8.8.8.8", list);
    EXPECT_EQ(Lookup("8.8.8.8"), QByteArray());
    EXPECT_EQ(world.Window.Lines(), Section("8.8.8.8", "whois.arin.net", FilterArinComments(list)));
}

TEST_F(NetworkDetailsTest, WhoisReferralToAKindOneRegistrySuppressesArinsReply)
{
    const QByteArray ripe = WhoisFixture("whois.ripe.net-ip-inetnum-2013.txt");
    world.Transport.SetReply("whois.arin.net", 43, "130.66.76.222",
                             WhoisFixture("whois.arin.net-referral-whois-ripe-2013.txt"));
    world.Transport.SetReply("whois.ripe.net", 43, "130.66.76.222", ripe);

    EXPECT_EQ(Lookup("130.66.76.222"), "130.66.0.0/15");
    EXPECT_EQ(Wire(),
              (QStringList { QStringLiteral("whois.arin.net:43 130.66.76.222"),
                             QStringLiteral("whois.ripe.net:43 130.66.76.222 [referral]") }));
    EXPECT_EQ(world.Window.Lines(), Section("130.66.76.222", "whois.ripe.net", RemovePrefixedLines(ripe, "%")));
}

TEST_F(NetworkDetailsTest, WhoisReferralToAnotherServerWritesBothArinFirst)
{
    const QByteArray arin = WhoisFixture("whois.arin.net-referral-rwhois-servernap-2013.txt");
    const QByteArray referred = "%rwhois V-1.5:003fff:00 rwhois.servernap.net\nnetwork:ID:NET-69-65-0-0\n%ok\n";
    world.Transport.SetReply("whois.arin.net", 43, "69.65.39.166", arin);
    world.Transport.SetReply("rwhois.servernap.net", 4321, "69.65.39.166", referred);

    EXPECT_EQ(Lookup("69.65.39.166"), "69.65.0.0/18");
    // The port of "rwhois://rwhois.servernap.net:4321" is used; ARIN's RWhois server is not asked after a referral.
    EXPECT_EQ(Wire(),
              (QStringList { QStringLiteral("whois.arin.net:43 69.65.39.166"),
                             QStringLiteral("rwhois.servernap.net:4321 69.65.39.166 [referral]") }));
    EXPECT_EQ(world.Window.Lines(),
              Section("69.65.39.166", "whois.arin.net", FilterArinComments(arin))
                  + Section("69.65.39.166", "rwhois.servernap.net",
                            "network:ID:NET-69-65-0-0")); // only "%" lines go here
}

TEST_F(NetworkDetailsTest, RWhoisReferralIsFollowedAndPortZeroIsNot)
{
    const QByteArray arinRWhois
        = WhoisFixture("rwhois.softlayer.com-network-record-2013.txt"); // refers to root.rwhois.net:4321
    const QByteArray root = WhoisFixture("rwhois.shawcable.net-referral-root-2024.txt");
    world.Transport.SetReply("rwhois.arin.net", 4321, "208.43.132.31", arinRWhois);
    world.Transport.SetReply("root.rwhois.net", 4321, "208.43.132.31", "%rwhois V-1.5\nnetwork:Name:ROOT\n%ok\n");

    EXPECT_EQ(Lookup("208.43.132.31"), QByteArray());
    EXPECT_EQ(Wire(),
              (QStringList { QStringLiteral("whois.arin.net:43 208.43.132.31"),
                             QStringLiteral("rwhois.arin.net:4321 208.43.132.31"),
                             QStringLiteral("root.rwhois.net:4321 208.43.132.31 [referral]") }));
    // ARIN's RWhois reply named a referral, so only the referred server's answer is written.
    EXPECT_EQ(world.Window.Lines(), Section("208.43.132.31", "root.rwhois.net", "Name:ROOT"));

    LookupWorld zero;
    zero.Transport.SetReply("rwhois.arin.net", 4321, "174.0.0.1",
                            QByteArray(root).replace("root.rwhois.net:4321", "root.rwhois.net:0"));
    zero.Network.Lookup("174.0.0.1");
    EXPECT_EQ(WireLog(zero.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.arin.net:43 174.0.0.1"),
                             QStringLiteral("rwhois.arin.net:4321 174.0.0.1") }));
    EXPECT_TRUE(zero.Window.Lines().isEmpty());

    LookupWorld impossible;
    impossible.Transport.SetReply("rwhois.arin.net", 4321, "174.0.0.1",
                                  QByteArray(root).replace("root.rwhois.net:4321", "root.rwhois.net:70000"));
    impossible.Network.Lookup("174.0.0.1");
    EXPECT_EQ(WireLog(impossible.Transport.Exchanges()).last(),
              QStringLiteral("root.rwhois.net:70000 174.0.0.1 [referral]"));
}

TEST_F(NetworkDetailsTest, WhoisReferralPortTextDecidesThePort)
{
    struct Row
    {
        const char* line;
        const char* asked;
    };
    const Row rows[] = {
        { "ReferralServer: whois://whois.example.net\n", "whois.example.net:43 192.0.2.1 [referral]" },
        { "ReferralServer: whois://Whois.Example.NET:4321/\n", "whois.example.net:4321 192.0.2.1 [referral]" },
        { "ReferralServer: whois://whois.example.net:x1\n", "whois.example.net:43 192.0.2.1 [referral]" },
        // A number is the port even where no server can listen; the transport answers nothing for it.
        { "ReferralServer: whois://whois.example.net:99999\n", "whois.example.net:99999 192.0.2.1 [referral]" },
        { "ReferralServer: whois://whois.example.net:0\n", "whois.example.net:0 192.0.2.1 [referral]" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        LookupWorld w;
        w.Transport.SetReply("whois.arin.net", 43, "192.0.2.1", QByteArray("NetRange: x\n") + row.line);
        w.Network.Lookup("192.0.2.1");
        EXPECT_EQ(WireLog(w.Transport.Exchanges()).last(), QString::fromLatin1(row.asked));
    }
}

TEST_F(NetworkDetailsTest, UnfilteredRWhoisKeepsCommentsButWhoisReferralsLoseThem)
{
    world.Options.FilterComments = false;
    const QByteArray rwhois = "%rwhois V-1.5:003fff:00 rwhois.arin.net\nnetwork:ID:NET-1\n%ok\n";
    world.Transport.SetReply("rwhois.arin.net", 4321, "192.0.2.1", rwhois);
    Lookup("192.0.2.1");
    EXPECT_EQ(world.Window.Lines(), Section("192.0.2.1", "rwhois.arin.net", rwhois));

    LookupWorld referral;
    referral.Options.FilterComments = false;
    referral.Transport.SetReply("whois.arin.net", 43, "192.0.2.1", "# note\nReferralServer: whois://whois.apnic.net\n");
    referral.Transport.SetReply("whois.apnic.net", 43, "192.0.2.1", "% comment\ninetnum: 192.0.2.0 - 192.0.2.255\n");
    referral.Network.Lookup("192.0.2.1");
    // APNIC is of kind 1: ARIN's reply is suppressed, and the referral's "%" lines go whatever the option says.
    EXPECT_EQ(referral.Window.Lines(), Section("192.0.2.1", "whois.apnic.net", "inetnum: 192.0.2.0 - 192.0.2.255"));
}

TEST_F(NetworkDetailsTest, EveryServerDownWritesNothing)
{
    EXPECT_EQ(Lookup("192.0.2.1"), QByteArray());
    EXPECT_EQ(Wire(),
              (QStringList { QStringLiteral("whois.arin.net:43 192.0.2.1"),
                             QStringLiteral("rwhois.arin.net:4321 192.0.2.1") }));
    EXPECT_TRUE(world.Window.Lines().isEmpty());
}

// IPv6 networks take the path of IPv4 ones: ARIN's record, ARIN's referral to the registry that holds the block,
// each server asked for the address in its canonical text.
TEST_F(NetworkDetailsTest, IPv6AddressesFollowArinLikeIPv4)
{
    const QByteArray google = WhoisFixture("layout-faithful/whois.arin.net-ipv6-single-record.txt");
    world.Transport.SetReply("whois.arin.net", 43, "2001:4860:4860::8888", google);
    EXPECT_EQ(Lookup("2001:4860:4860::8888"), "2001:4860::/32");
    EXPECT_EQ(world.Window.Lines(), Section("2001:4860:4860::8888", "whois.arin.net", FilterArinComments(google)));
    EXPECT_FALSE(world.Window.Lines().join(u'\n').contains(u"#"));

    LookupWorld ripeWorld;
    ripeWorld.Options.FilterComments = true;
    const QByteArray ripe = WhoisFixture("whois.ripe.net-ip6-inet6num-2015.txt");
    ripeWorld.Transport.SetReply("whois.arin.net", 43, "2a00:2381:ffff::1",
                                 WhoisFixture("layout-faithful/whois.arin.net-ipv6-referral-ripe.txt"));
    ripeWorld.Transport.SetReply("whois.ripe.net", 43, "2a00:2381:ffff::1", ripe);
    EXPECT_EQ(ripeWorld.Network.Lookup("2a00:2381:ffff::1"), "2A00::/12");
    EXPECT_EQ(WireLog(ripeWorld.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.arin.net:43 2a00:2381:ffff::1"),
                             QStringLiteral("whois.ripe.net:43 2a00:2381:ffff::1 [referral]") }));
    // RIPE holds the full record, so ARIN's summary is left out; the title keeps the lower-case address.
    EXPECT_EQ(ripeWorld.Window.Lines(), Section("2a00:2381:ffff::1", "whois.ripe.net", RemovePrefixedLines(ripe, "%")));
    EXPECT_TRUE(ripeWorld.Window.Lines().join(u'\n').contains(u"inet6num:       2a00:2381:ffff::/64"));
}

// A list of IPv6 networks names its handles "(NET6-...)": the last is asked for, as with IPv4 lists.
TEST_F(NetworkDetailsTest, IPv6ListOfNetworksIsAnsweredByTheLastHandle)
{
    const QByteArray list
        = "Google LLC GOOGLE-IPV6 (NET6-2001-4860-1) 2001:4860:: - 2001:4860:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF\n"
          "Google LLC GOOGLE-IPV6-DNS (NET6-2001-4860-4860-1) 2001:4860:4860:: - "
          "2001:4860:4860:FFFF:FFFF:FFFF:FFFF:FFFF\n";
    const QByteArray record = WhoisFixture("layout-faithful/whois.arin.net-ipv6-single-record.txt");
    world.Transport.SetReply("whois.arin.net", 43, "2001:4860:4860::8888", list);
    world.Transport.SetReply("whois.arin.net", 43, "NET6-2001-4860-4860-1", record);
    EXPECT_EQ(Lookup("2001:4860:4860::8888"), "2001:4860::/32");
    EXPECT_EQ(Wire().mid(0, 2),
              (QStringList { QStringLiteral("whois.arin.net:43 2001:4860:4860::8888"),
                             QStringLiteral("whois.arin.net:43 NET6-2001-4860-4860-1") }));
}

// A prefix: ARIN is asked for its first address, the registry it refers to for the prefix as typed; the report
// names the prefix and resolves no name.
TEST_F(NetworkDetailsTest, PrefixReportAsksArinByAddressAndTheRegistryByPrefix)
{
    const QByteArray ripe = WhoisFixture("whois.ripe.net-ip6-inet6num-2015.txt");
    world.Settings->FilterComments = true;
    world.Settings->InclDomain = true;
    world.Transport.SetReply("whois.arin.net", 43,
                             "2a00:2381:ff00::", WhoisFixture("layout-faithful/whois.arin.net-ipv6-referral-ripe.txt"));
    world.Transport.SetReply("whois.ripe.net", 43, "2a00:2381:ff00::/40", ripe);
    world.Search("2A00:2381:FF00::/40");
    EXPECT_EQ(world.Window.QueryText(), "2a00:2381:ff00::/40");
    EXPECT_EQ(world.Engine->LastQueryKind(), QueryKind::Cidr);
    EXPECT_EQ(Wire(),
              (QStringList { QStringLiteral("whois.arin.net:43 2a00:2381:ff00::"),
                             QStringLiteral("whois.ripe.net:43 2a00:2381:ff00::/40 [referral]") }));
    QStringList expected = HeaderBox(QStringLiteral("REPORT FOR IP Network: 2a00:2381:ff00::/40"));
    expected << Section("2a00:2381:ff00::/40", "whois.ripe.net", RemovePrefixedLines(ripe, "%")) << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
    EXPECT_TRUE(world.Transport.ReverseLookups().isEmpty());

    // An IPv4 prefix that ARIN holds itself: its record under the prefix's name.
    const QByteArray arin = WhoisFixture("whois.arin.net-single-record-2013.txt");
    world.Transport.ClearLog();
    world.Transport.SetReply("whois.arin.net", 43, "4.0.0.0", arin);
    world.Search("4.0.0.0/8");
    EXPECT_EQ(Wire().value(0), QStringLiteral("whois.arin.net:43 4.0.0.0"));
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("NETWORK DETAILS for 4.0.0.0/8")));
}

} // namespace
} // namespace vesk::test
