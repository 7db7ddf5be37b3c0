#include "codecs/utf8_decoder.h"
#include "lookup/contact_handles.h"
#include "support/lookup_world.h"
#include "support/test_data.h"
#include "whois/reply_parsing.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// The RFC 2167 domain record as an RWhois 1.5 server sends it: banner first, then the record; the billing line
// and the handles are set by each test.
QByteArray RWhoisDomainReply(const QByteArray& admin, const QByteArray& tech, const QByteArray& billing)
{
    const QByteArray banner
        = WhoisFixture("master.rwhois.net-rfc2167-example-successful-query.txt").split('\r').first();
    QByteArray record = WhoisFixture("master.rwhois.net-rfc2167-example-domain-and-network-no-banner.txt");
    record.truncate(record.indexOf("\r\n\r\n") + 2); // the domain record only
    record.replace("TW1234.COM", admin).replace("BN123.NET", tech);
    record += "domain:Billing-Contact;I:" + billing + "\r\n%ok\r\n";
    return banner + "\r\n" + record;
}

QByteArray RWhoisContactReply(const QByteArray& handle)
{
    return "%rwhois V-1.5:00ffff:00 master.rwhois.net (Network Solutions V-1.5)\r\n"
           "contact:ID:"
        + handle + "\r\ncontact:Name:Person " + handle + "\r\ncontact:Class-Name:contact\r\n\r\n%ok\r\n";
}

class DomainReportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        world.Settings->InclIP = false;
        world.Settings->SearchContacts = true;
        world.Settings->FilterComments = true;
        world.Settings->ClearBeforeSearch = true;
    }

    QStringList Head(const char* domain, const char* tldLine)
    {
        QStringList lines = HeaderBox(QStringLiteral("DOMAIN REPORT FOR: ") + QString::fromLatin1(domain).toUpper());
        lines << QString::fromLatin1(tldLine) << QString();
        return lines;
    }

    THostMark Profile(const char* host) const { return world.Definitions.FindHostMark(host); }

    LookupWorld world;
};

TEST_F(DomainReportTest, RegistryReferralIsFollowedUnderTheOldAndTheNewLabel)
{
    struct Row
    {
        const char* name;
        const char* domain;
        const char* registryFixture;
        const char* tldLine;
    };
    const Row rows[] = {
        { "old label Whois Server:", "google.net", "whois.verisign-grs.com-net-registered-oldformat-2014.txt",
          "TLD .NET is for NETWORK PROVIDERS." },
        { "new label Registrar WHOIS Server:", "google.com", "whois.verisign-grs.com-com-registered-newformat-2020.txt",
          "TLD .COM is for COMMERCIAL ORGANIZATIONS." },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LookupWorld w;
        w.Settings->InclIP = false;
        const QByteArray domain(row.domain);
        const QByteArray registrarReply = WhoisFixture("whois.markmonitor.com-com-registered.txt");
        w.Transport.SetReply("whois.verisign-grs.com", 43, "domain " + domain, WhoisFixture(row.registryFixture));
        w.Transport.SetReply("whois.markmonitor.com", 43, domain, registrarReply);

        w.Search(domain);

        EXPECT_EQ(WireLog(w.Transport.Exchanges()),
                  (QStringList { QStringLiteral("whois.verisign-grs.com:43 domain ") + QString::fromLatin1(domain),
                                 QStringLiteral("whois.markmonitor.com:43 ") + QString::fromLatin1(domain)
                                     + QStringLiteral(" [referral]") }));
        QStringList expected = Head(row.domain, row.tldLine);
        expected << SourceBox(QStringLiteral("DOMAIN DETAILS for ") + QString::fromLatin1(domain).toUpper(),
                              QStringLiteral("source: whois.markmonitor.com"))
                 << SheetLines(TrimByHostMark(w.Definitions.FindHostMark("whois.markmonitor.com"), registrarReply))
                 << QString();
        EXPECT_EQ(w.Window.Lines(), expected);
        // The registrar's record is cut by its profile: from its first field to before its closing line.
        EXPECT_EQ(w.Window.Lines()[13], QStringLiteral("Domain Name: google.com"));
        EXPECT_FALSE(w.Window.Text().contains(QStringLiteral(">>> Last update of WHOIS database")));
        EXPECT_EQ(w.Window.Status(), "Done");
    }
}

TEST_F(DomainReportTest, SilentRegistrarLeavesTheRegistryRecord)
{
    const QByteArray registry = WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt");
    world.Transport.SetReply("whois.verisign-grs.com", 43, "domain google.com", registry);

    world.Search("google.com");

    EXPECT_EQ(WireLog(world.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.verisign-grs.com:43 domain google.com"),
                             QStringLiteral("whois.markmonitor.com:43 google.com [referral]") }));
    QStringList expected = Head("google.com", "TLD .COM is for COMMERCIAL ORGANIZATIONS.");
    expected << SourceBox(QStringLiteral("DOMAIN DETAILS for GOOGLE.COM"),
                          QStringLiteral("source: whois.verisign-grs.com"))
             << SheetLines(TrimByHostMark(Profile("whois.verisign-grs.com"), registry)) << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
    // The connecting message showed the registrar that was tried, and the line was blanked afterwards.
    EXPECT_TRUE(world.Window.Statuses().contains("Wait....  Connecting whois.markmonitor.com:43 for google.com"));
    EXPECT_EQ(world.Window.Status(), "Done");
}

TEST_F(DomainReportTest, UnknownDomainWritesOnlyTheNoMatchLine)
{
    world.Transport.SetReply("whois.verisign-grs.com", 43, "domain zx5v7d4v2k50l3pq.com",
                             WhoisFixture("whois.verisign-grs.com-com-notfound-newformat-2020.txt"));

    world.Search("zx5v7d4v2k50l3pq.com");

    QStringList expected = Head("zx5v7d4v2k50l3pq.com", "TLD .COM is for COMMERCIAL ORGANIZATIONS.");
    expected << QStringLiteral("No Match For Domain: zx5v7d4v2k50l3pq.com") << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
    EXPECT_EQ(world.Transport.Exchanges().size(), 1);
}

TEST_F(DomainReportTest, DirectCountryReplyIsCutByItsProfile)
{
    const QByteArray reply = WhoisFixture("whois.nic.uk-uk-registered.txt");
    world.Transport.SetReply("whois.nic.uk", 43, "google.co.uk", reply);

    world.Search("www.google.co.uk");

    EXPECT_EQ(world.Window.QueryText(), "google.co.uk");
    QStringList expected = Head("google.co.uk", "TLD .UK is for UNITED KINGDOM.");
    expected << SourceBox(QStringLiteral("DOMAIN DETAILS for GOOGLE.CO.UK"), QStringLiteral("source: whois.nic.uk"))
             << SheetLines(Utf8ToWideText(TrimByHostMark(Profile("whois.nic.uk"), FilterRWhoisReply(reply))))
             << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
    EXPECT_EQ(world.Window.Lines()[13], QStringLiteral("Domain name:"));
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("WHOIS lookup made at")));
}

// A name typed with an East Asian full stop is a domain, and its ASCII form goes on the wire; a name that UTS #46
// refuses sends nothing and says which rule it breaks.
TEST_F(DomainReportTest, InternationalNamesGoOutAsALabelsOrAreRefusedWithTheirRule)
{
    world.Transport.SetReply("whois.nic.fr", 43, "xn--bcher-kva.fr", "domain: xn--bcher-kva.fr\r\n");
    world.Search("bücher\u3002fr");
    EXPECT_EQ(world.Window.QueryText(), "bücher.fr");
    EXPECT_EQ(WireLog(world.Transport.Exchanges()), QStringList { QStringLiteral("whois.nic.fr:43 xn--bcher-kva.fr") });

    world.Search("a\u200Db.fr");
    EXPECT_EQ(world.Transport.Exchanges().size(), 1) << "something was sent for a name without an ASCII form";
    EXPECT_TRUE(
        world.Window.Lines().contains(QString::fromUtf8("Cannot convert a\u200Db.fr to an ASCII name: a zero-width "
                                                        "joiner or non-joiner stands where it is not allowed.")))
        << world.Window.Text().toStdString();
}

TEST_F(DomainReportTest, RWhoisContactsAreFetchedOncePerDistinctHandle)
{
    struct Row
    {
        const char* name;
        QByteArray admin, tech, billing;
        QStringList asked;
        QStringList labels;
    };
    const Row rows[] = {
        { "three handles",
          "TW1234.COM",
          "BN123.NET",
          "XY9.ORG",
          { QStringLiteral("TW1234.COM"), QStringLiteral("BN123.NET"), QStringLiteral("XY9.ORG") },
          { QStringLiteral("Admin-Contact:"), QStringLiteral("Tech-Contact:"), QStringLiteral("Billing-Contact:") } },
        { "A, B, A",
          "TW1234.COM",
          "BN123.NET",
          "TW1234.COM",
          { QStringLiteral("TW1234.COM"), QStringLiteral("BN123.NET") },
          { QStringLiteral("Admin-Contact:"), QStringLiteral("Tech-Contact:") } },
        { "one handle three times",
          "TW1234.COM",
          "TW1234.COM",
          "TW1234.COM",
          { QStringLiteral("TW1234.COM") },
          { QStringLiteral("Admin-Contact:") } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LookupWorld w;
        w.Settings->InclIP = false;
        const QByteArray reply = RWhoisDomainReply(row.admin, row.tech, row.billing);
        w.Transport.SetReply("master.rwhois.net", 43, "ibmlifepro.test", reply);
        for (const QString& handle : row.asked)
            w.Transport.SetReply("master.rwhois.net", 43, handle.toLatin1(), RWhoisContactReply(handle.toLatin1()));

        w.Search("ibmlifepro.test");

        QStringList wire { QStringLiteral("master.rwhois.net:43 ibmlifepro.test") };
        for (const QString& handle : row.asked)
            wire << QStringLiteral("master.rwhois.net:43 ") + handle;
        EXPECT_EQ(WireLog(w.Transport.Exchanges()), wire);

        QStringList expected = Head("ibmlifepro.test", "TLD .TEST is for TESTING.");
        expected << SourceBox(QStringLiteral("DOMAIN DETAILS for IBMLIFEPRO.TEST"),
                              QStringLiteral("source: master.rwhois.net"));
        const QStringList record = SheetLines(Utf8ToWideText(FilterRWhoisReply(reply)));
        EXPECT_EQ(record.first(), QStringLiteral("ID:IBMLIFEPRO-DOM.com")); // "domain:" and "%" lines are gone
        expected << record;
        for (qsizetype i = 0; i < row.asked.size(); ++i) {
            const QByteArray handle = row.asked[i].toLatin1();
            expected << QString() << row.labels[i] << QStringLiteral("ID:") + row.asked[i]
                     << QStringLiteral("Name:Person ") + row.asked[i] << QStringLiteral("Class-Name:contact");
        }
        expected << QString();
        EXPECT_EQ(w.Window.Lines(), expected);
    }
}

TEST_F(DomainReportTest, UnfilteredRWhoisRepliesKeepCommentsAndPrefixes)
{
    world.Settings->FilterComments = false;
    const QByteArray reply = RWhoisDomainReply("TW1234.COM", "TW1234.COM", "TW1234.COM");
    world.Transport.SetReply("master.rwhois.net", 43, "ibmlifepro.test", reply);
    world.Transport.SetReply("master.rwhois.net", 43, "TW1234.COM", RWhoisContactReply("TW1234.COM"));

    world.Search("ibmlifepro.test");

    const QString text = world.Window.Text();
    EXPECT_TRUE(text.contains(QStringLiteral("\n%rwhois V-1.5:00ffff:00 master.rwhois.net")));
    EXPECT_TRUE(text.contains(QStringLiteral("\ndomain:ID:IBMLIFEPRO-DOM.com\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nAdmin-Contact:\n%rwhois V-1.5")));
    EXPECT_TRUE(text.contains(QStringLiteral("\ncontact:ID:TW1234.COM\n")));
}

TEST_F(DomainReportTest, ContactSearchAsksForHandlesTheRecordDoesNotHold)
{
    const QByteArray reply = WhoisFixture("whois.nic.fr-fr-registered.txt");
    const QByteArray contact = "%% This is the AFNIC Whois server.\n\nnic-hdl:     NFC1-FRNIC\ntype:        ROLE\n"
                               "contact:     NFC Hostmaster\n";
    world.Transport.SetReply("whois.nic.fr", 43, "google.fr", reply);
    world.Transport.SetReply("whois.nic.fr", 43, "NFC1-FRNIC", contact);

    world.Search("google.fr");

    // holder-c, admin-c and tech-c are in the record already; only the zone contact is asked for.
    EXPECT_EQ(
        WireLog(world.Transport.Exchanges()),
        (QStringList { QStringLiteral("whois.nic.fr:43 google.fr"), QStringLiteral("whois.nic.fr:43 NFC1-FRNIC") }));
    QStringList tail
        = SourceBox(QStringLiteral("CONTACT DETAILS for NFC1-FRNIC"), QStringLiteral("source: whois.nic.fr"));
    tail << QStringLiteral("zone-c: NFC1-FRNIC") << QStringLiteral("nic-hdl:     NFC1-FRNIC")
         << QStringLiteral("type:        ROLE") << QStringLiteral("contact:     NFC Hostmaster") << QString();
    ASSERT_GT(world.Window.Lines().size(), tail.size());
    EXPECT_EQ(world.Window.Lines().mid(world.Window.Lines().size() - tail.size()), tail);

    // Off, no handle is asked for and nothing is written for contacts.
    LookupWorld off;
    off.Settings->InclIP = false;
    off.Settings->SearchContacts = false;
    off.Transport.SetReply("whois.nic.fr", 43, "google.fr", reply);
    off.Search("google.fr");
    EXPECT_EQ(off.Transport.Exchanges().size(), 1);
    EXPECT_FALSE(off.Window.Text().contains(QStringLiteral("CONTACT DETAILS")));
}

TEST_F(DomainReportTest, ContactFloodFromTheServerAsksOnlyTheCap)
{
    // Anyone can serve a referral, so a reply may name handles by the hundred thousand.
    QByteArray reply = WhoisFixture("whois.nic.fr-fr-registered.txt");
    for (int i = 0; i < 200000; ++i)
        reply += "admin-c: H" + QByteArray::number(i) + "\n";
    world.Transport.SetReply("whois.nic.fr", 43, "google.fr", reply);

    world.Search("google.fr");

    // The record's own zone contact comes first, then the flood's first nine.
    const QList<ExchangeRecord>& asked = world.Transport.Exchanges();
    ASSERT_EQ(asked.size(), 1 + kMaxContactHandles);
    EXPECT_EQ(asked[1].Query, "NFC1-FRNIC");
    EXPECT_EQ(asked[2].Query, "H0");
    EXPECT_EQ(asked.last().Query, "H8");
}

TEST_F(DomainReportTest, ContactSearchFollowsTheRegistrarThatAnswered)
{
    QByteArray registrarReply = WhoisFixture("whois.markmonitor.com-com-registered.txt");
    registrarReply.replace("Registry Admin ID: ", "Registry Admin ID: MMR-2383");
    world.Transport.SetReply("whois.verisign-grs.com", 43, "domain google.com",
                             WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt"));
    world.Transport.SetReply("whois.markmonitor.com", 43, "google.com", registrarReply);
    world.Transport.SetReply("whois.markmonitor.com", 43, "MMR-2383", "Contact: DNS Admin\r\n");

    world.Search("google.com");

    EXPECT_EQ(WireLog(world.Transport.Exchanges()).last(),
              QStringLiteral("whois.markmonitor.com:43 MMR-2383 [referral]"));
    QStringList tail
        = SourceBox(QStringLiteral("CONTACT DETAILS for MMR-2383"), QStringLiteral("source: whois.markmonitor.com"));
    tail << QStringLiteral("Registry Admin ID: MMR-2383") << QStringLiteral("Contact: DNS Admin") << QString();
    ASSERT_GT(world.Window.Lines().size(), tail.size());
    EXPECT_EQ(world.Window.Lines().mid(world.Window.Lines().size() - tail.size()), tail);
}

TEST_F(DomainReportTest, TldRowWithoutServerOrDescription)
{
    world.Search("example.zz");
    QStringList expected = Head("example.zz", "TLD .ZZ is for .");
    expected << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
    EXPECT_TRUE(world.Transport.Exchanges().isEmpty());
}

class AddressBlockTest : public DomainReportTest
{
protected:
    void SetUp() override
    {
        DomainReportTest::SetUp();
        world.Settings->InclIP = true;
        world.Settings->SearchContacts = false;
    }
};

TEST_F(AddressBlockTest, FullReportInItsOrder)
{
    const QByteArray registry = WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt");
    const QByteArray registrar = WhoisFixture("whois.markmonitor.com-com-registered.txt");
    const QByteArray arin = WhoisFixture("whois.arin.net-single-record-2013.txt");
    const QByteArray arinToRipe = WhoisFixture("whois.arin.net-referral-whois-ripe-2013.txt");
    const QByteArray ripe = WhoisFixture("whois.ripe.net-ip-inetnum-2013.txt");
    world.Transport.SetAddresses("google.com", { 0x04020201u, 0x04020202u, 0x82420101u });
    world.Transport.SetReply("whois.verisign-grs.com", 43, "domain google.com", registry);
    world.Transport.SetReply("whois.markmonitor.com", 43, "google.com", registrar);
    world.Transport.SetReply("whois.arin.net", 43, "4.2.2.1", arin);
    world.Transport.SetReply("whois.arin.net", 43, "130.66.1.1", arinToRipe);
    world.Transport.SetReply("whois.ripe.net", 43, "130.66.1.1", ripe);

    world.Search("www.google.com");

    EXPECT_EQ(world.Transport.Resolutions(), (QList<QByteArray> { "google.com" }));
    EXPECT_EQ(WireLog(world.Transport.Exchanges()),
              (QStringList {
                  QStringLiteral("whois.verisign-grs.com:43 domain google.com"),
                  QStringLiteral("whois.markmonitor.com:43 google.com [referral]"),
                  QStringLiteral("whois.arin.net:43 4.2.2.1"),
                  QStringLiteral("rwhois.arin.net:4321 4.2.2.1"), // no referral in ARIN's record
                  // 4.2.2.2 lies in 4.0.0.0/8, reported for 4.2.2.1
                  QStringLiteral("whois.arin.net:43 130.66.1.1"),
                  QStringLiteral("whois.ripe.net:43 130.66.1.1 [referral]"),
              }));

    QStringList expected = Head("google.com", "TLD .COM is for COMMERCIAL ORGANIZATIONS.");
    expected << QStringLiteral("IP Address for google.com") << QStringLiteral("4.2.2.1") << QStringLiteral("4.2.2.2")
             << QStringLiteral("130.66.1.1");
    expected << SourceBox(QStringLiteral("DOMAIN DETAILS for GOOGLE.COM"),
                          QStringLiteral("source: whois.markmonitor.com"))
             << SheetLines(TrimByHostMark(Profile("whois.markmonitor.com"), registrar));
    expected << SourceBox(QStringLiteral("NETWORK DETAILS for 4.2.2.1"), QStringLiteral("source: whois.arin.net"))
             << SheetLines(FilterArinComments(arin));
    // RIPE is a registry of kind 1: ARIN's summary of its block is left out.
    expected << SourceBox(QStringLiteral("NETWORK DETAILS for 130.66.1.1"), QStringLiteral("source: whois.ripe.net"))
             << SheetLines(RemovePrefixedLines(ripe, "%"));
    expected << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
    EXPECT_EQ(world.Window.Statuses().first(), "Wait....  Searching IP Addresses for GOOGLE.COM");
    EXPECT_EQ(world.Window.Status(), "Done");
}

TEST_F(AddressBlockTest, WwwFormIsResolvedWhenTheNameIsNot)
{
    world.Transport.SetAddresses("www.example.com", { 0xC0000207u });
    world.Search("example.com");
    EXPECT_EQ(world.Transport.Resolutions(), (QList<QByteArray> { "example.com", "www.example.com" }));
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("\nIP Address for www.example.com\n192.0.2.7\n")));
    EXPECT_EQ(WireLog(world.Transport.Exchanges()).mid(1),
              (QStringList { QStringLiteral("whois.arin.net:43 192.0.2.7"),
                             QStringLiteral("rwhois.arin.net:4321 192.0.2.7") }));
}

TEST_F(AddressBlockTest, ResolutionFailureWritesTheMessageAndSkipsNetworks)
{
    world.Search("example.com");
    QStringList expected = Head("example.com", "TLD .COM is for COMMERCIAL ORGANIZATIONS.");
    expected << QStringLiteral("Host name could not be resolved.") << QStringLiteral("No Match For Domain: example.com")
             << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
    EXPECT_EQ(WireLog(world.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.verisign-grs.com:43 domain example.com") }));
}

TEST_F(AddressBlockTest, SeveralAddressesOfOneNetworkAreLookedUpOnce)
{
    const QList<uint32_t> four { 0x04020201u, 0x04020202u, 0x04020203u, 0x04020204u };
    world.Transport.SetAddresses("example.com", four);
    world.Transport.SetDefaultReply("whois.arin.net", WhoisFixture("whois.arin.net-single-record-2013.txt"));
    world.Search("example.com");
    EXPECT_EQ(
        WireLog(world.Transport.Exchanges()),
        (QStringList { QStringLiteral("whois.verisign-grs.com:43 domain example.com"),
                       QStringLiteral("whois.arin.net:43 4.2.2.1"), QStringLiteral("rwhois.arin.net:4321 4.2.2.1") }));
    EXPECT_EQ(world.Window.Text().count(QStringLiteral("NETWORK DETAILS for")), 1);

    // Without a block in ARIN's answer, every address is looked up.
    LookupWorld noBlock;
    noBlock.Settings->InclIP = true;
    noBlock.Transport.SetAddresses("example.com", four);
    noBlock.Transport.SetDefaultReply("whois.arin.net", "NetName: NO-CIDR-HERE\n");
    noBlock.Search("example.com");
    int arinQueries = 0;
    for (const ExchangeRecord& e : noBlock.Transport.Exchanges())
        arinQueries += e.Host == "whois.arin.net" ? 1 : 0;
    EXPECT_EQ(arinQueries, 4);
}

TEST_F(AddressBlockTest, AllServersDown)
{
    world.Transport.SetAddresses("example.com", { 0xC0000207u });
    world.Search("example.com");
    QStringList expected = Head("example.com", "TLD .COM is for COMMERCIAL ORGANIZATIONS.");
    expected << QStringLiteral("IP Address for example.com") << QStringLiteral("192.0.2.7")
             << QStringLiteral("No Match For Domain: example.com") << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
    EXPECT_EQ(WireLog(world.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.verisign-grs.com:43 domain example.com"),
                             QStringLiteral("whois.arin.net:43 192.0.2.7"),
                             QStringLiteral("rwhois.arin.net:4321 192.0.2.7") }));
    EXPECT_EQ(world.Window.Status(), "Done");
}

// IPv6 addresses follow the IPv4 ones in the list, in their canonical text, and their networks follow the IPv4
// networks, with the same skipping of an address inside a block already shown.
TEST_F(AddressBlockTest, BothFamiliesAreListedAndTheirNetworksShown)
{
    const QByteArray registry = WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt");
    const QByteArray registrar = WhoisFixture("whois.markmonitor.com-com-registered.txt");
    const QByteArray arin = WhoisFixture("whois.arin.net-single-record-2013.txt");
    const QByteArray arin6 = WhoisFixture("layout-faithful/whois.arin.net-ipv6-single-record.txt");
    const QByteArray arin6ToRipe = WhoisFixture("layout-faithful/whois.arin.net-ipv6-referral-ripe.txt");
    const QByteArray ripe6 = WhoisFixture("whois.ripe.net-ip6-inet6num-2015.txt");
    world.Transport.SetAddresses("google.com", { 0x04020201u });
    world.Transport.SetAddresses6("google.com",
                                  { "2001:4860:4860:0:0:0:0:8888", "2A00:2381:FFFF::1", "2001:4860:4860::8844" });
    world.Transport.SetReply("whois.verisign-grs.com", 43, "domain google.com", registry);
    world.Transport.SetReply("whois.markmonitor.com", 43, "google.com", registrar);
    world.Transport.SetReply("whois.arin.net", 43, "4.2.2.1", arin);
    world.Transport.SetReply("whois.arin.net", 43, "2001:4860:4860::8888", arin6);
    world.Transport.SetReply("whois.arin.net", 43, "2a00:2381:ffff::1", arin6ToRipe);
    world.Transport.SetReply("whois.ripe.net", 43, "2a00:2381:ffff::1", ripe6);

    world.Search("google.com");

    EXPECT_EQ(WireLog(world.Transport.Exchanges()),
              (QStringList {
                  QStringLiteral("whois.verisign-grs.com:43 domain google.com"),
                  QStringLiteral("whois.markmonitor.com:43 google.com [referral]"),
                  QStringLiteral("whois.arin.net:43 4.2.2.1"), QStringLiteral("rwhois.arin.net:4321 4.2.2.1"),
                  QStringLiteral("whois.arin.net:43 2001:4860:4860::8888"),
                  QStringLiteral("rwhois.arin.net:4321 2001:4860:4860::8888"),
                  QStringLiteral("whois.arin.net:43 2a00:2381:ffff::1"),
                  QStringLiteral("whois.ripe.net:43 2a00:2381:ffff::1 [referral]"),
                  // 2001:4860:4860::8844 lies in 2001:4860::/32, shown for ::8888
              }));
    QStringList expected = Head("google.com", "TLD .COM is for COMMERCIAL ORGANIZATIONS.");
    expected << QStringLiteral("IP Address for google.com") << QStringLiteral("4.2.2.1")
             << QStringLiteral("2001:4860:4860::8888") << QStringLiteral("2a00:2381:ffff::1")
             << QStringLiteral("2001:4860:4860::8844");
    expected << SourceBox(QStringLiteral("DOMAIN DETAILS for GOOGLE.COM"),
                          QStringLiteral("source: whois.markmonitor.com"))
             << SheetLines(TrimByHostMark(Profile("whois.markmonitor.com"), registrar));
    expected << SourceBox(QStringLiteral("NETWORK DETAILS for 4.2.2.1"), QStringLiteral("source: whois.arin.net"))
             << SheetLines(FilterArinComments(arin));
    expected << SourceBox(QStringLiteral("NETWORK DETAILS for 2001:4860:4860::8888"),
                          QStringLiteral("source: whois.arin.net"))
             << SheetLines(FilterArinComments(arin6));
    expected << SourceBox(QStringLiteral("NETWORK DETAILS for 2a00:2381:ffff::1"),
                          QStringLiteral("source: whois.ripe.net"))
             << SheetLines(RemovePrefixedLines(ripe6, "%"));
    expected << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
}

// A name with only IPv6 addresses is resolved (no retry with www) and its networks are shown; the IPv4 ones that
// fill the cap of 100 leave room for as many IPv6 ones as remain.
TEST_F(AddressBlockTest, IPv6AloneCountsAsResolvedAndSharesTheCap)
{
    world.Transport.SetAddresses6("example.com", { "2001:db8::7" });
    world.Transport.SetDefaultReply("whois.arin.net",
                                    WhoisFixture("layout-faithful/whois.arin.net-ipv6-single-record.txt"));
    world.Search("example.com");
    EXPECT_EQ(world.Transport.Resolutions(), (QList<QByteArray> { "example.com" }));
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("\nIP Address for example.com\n2001:db8::7\n")));
    EXPECT_EQ(world.Window.Text().count(QStringLiteral("NETWORK DETAILS for 2001:db8::7")), 1);

    struct Row
    {
        const char* name;
        int ipv4;
        int ipv6;
        qsizetype listedIPv6;
        bool askedIPv6;
    };
    const Row rows[] = {
        { "room left", 98, 5, 2, true },
        { "cap filled by IPv4", 100, 5, 0, false },
        { "more IPv4 than the cap", 130, 5, 0, false },
        { "IPv6 alone beyond the cap", 0, 130, 100, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LookupWorld w;
        QList<uint32_t> ipv4;
        for (int i = 0; i < row.ipv4; ++i)
            ipv4.append(0xC6336400u + static_cast<uint32_t>(i)); // 198.51.100.0 on
        QList<QByteArray> ipv6;
        for (int i = 0; i < row.ipv6; ++i)
            ipv6.append("2001:db8::" + QByteArray::number(i + 1, 16));
        w.Transport.SetAddresses("many.example", ipv4);
        w.Transport.SetAddresses6("many.example", ipv6);
        QList<QByteArray> addresses;
        EXPECT_EQ(w.Asker.ResolveHostAddresses("many.example", addresses), QByteArray());
        EXPECT_EQ(addresses.size(), std::min(row.ipv4 + row.ipv6, 100));
        const auto listed6
            = std::count_if(addresses.cbegin(), addresses.cend(), [](const QByteArray& a) { return a.contains(':'); });
        EXPECT_EQ(listed6, row.listedIPv6);
        EXPECT_EQ(w.Transport.Resolutions6().size(), row.askedIPv6 ? 1 : 0);
        if (row.listedIPv6 > 0) {
            EXPECT_EQ(addresses[row.ipv4], "2001:db8::1") << "IPv6 after every IPv4 address";
        }
    }
}

} // namespace
} // namespace vesk::test
