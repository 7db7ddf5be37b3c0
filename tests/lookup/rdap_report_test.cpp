#include "lookup/exchange_observer.h"
#include "rdap/bootstrap_registry.h"
#include "rdap/rdap_client.h"
#include "support/fake_http_server.h"
#include "support/in_memory_rdap.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

#include <QRegularExpression>
#include <functional>
#include <gtest/gtest.h>

namespace vesk::test {

namespace {

class RdapReportTest : public ::testing::Test
{
protected:
    RdapReportTest()
    {
        bootstrap.Domains.BaseUrls.insert("zz", "https://rdap.identitydigital.services/rdap/");
        bootstrap.Domains.BaseUrls.insert("com", "https://rdap.verisign.com/com/v1/");
        world.UseRdap(&rdap, &bootstrap);
        world.Settings->InclIP = false;
        world.Settings->SearchContacts = false;
        world.Settings->ClearBeforeSearch = true;
    }
    QStringList Lines() const { return world.Window.Lines(); }

    LookupWorld world;
    InMemoryRdap rdap;
    RdapBootstrap bootstrap;
};

const char kGoogle[] = "https://rdap.verisign.com/com/v1/domain/google.com";
const char kMarkMonitor[] = "https://rdap.markmonitor.com/rdap/domain/GOOGLE.COM";

TEST_F(RdapReportTest, ATldWithoutPort43ServerGetsItsDetailsFromRdap)
{
    rdap.Answer(QStringLiteral("https://rdap.identitydigital.services/rdap/domain/example.zz"),
                ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json")));
    world.Search("example.zz");
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("source: rdap.identitydigital.services (RDAP)")));
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("Domain Name: ")));
    EXPECT_TRUE(world.Engine->AnyServerAnswered());

    // 404 from the first RDAP server: the no-match line. Bad JSON: a failure, never a record.
    rdap.Answer(QStringLiteral("https://rdap.identitydigital.services/rdap/domain/none.zz"), QByteArray(), 404);
    world.Search("none.zz");
    EXPECT_TRUE(Lines().contains(QStringLiteral("No Match For Domain: none.zz")));
    rdap.Answer(QStringLiteral("https://rdap.identitydigital.services/rdap/domain/bad.zz"), "{\"objectClassName\":");
    world.Search("bad.zz");
    EXPECT_TRUE(
        Lines().contains(QStringLiteral("No answer from rdap.identitydigital.services: not a valid RDAP answer")));

    // Neither protocol: said so. RDAP off: exactly the port-43 report (nothing under the TLD line).
    bootstrap.Domains.BaseUrls.remove("zz");
    world.Search("other.zz");
    EXPECT_TRUE(Lines().contains(QStringLiteral("No WHOIS or RDAP server is known for .ZZ")));
    world.Settings->RdapMode = QStringLiteral("never");
    world.Search("other.zz");
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("RDAP")));
}

TEST_F(RdapReportTest, RegistryBranchFollowsTheRegistrarLinkAndFallsBackToThePort43Record)
{
    // The registry names no registrar server: its RDAP answer leads to the registrar's RDAP record.
    world.Transport.SetDefaultReply("whois.verisign-grs.com", "Domain Name: GOOGLE.COM\r\n");
    rdap.Answer(QString::fromLatin1(kGoogle), ReadTestData(QStringLiteral("rdap/verisign-com-google.com.json")));
    rdap.Answer(QString::fromLatin1(kMarkMonitor),
                ReadTestData(QStringLiteral("rdap/registrar-markmonitor-google.com.json")));
    world.Search("google.com");
    EXPECT_EQ(rdap.Asked, QStringList({ QString::fromLatin1(kGoogle), QString::fromLatin1(kMarkMonitor) }));
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("source: rdap.markmonitor.com (RDAP)")));

    // The registrar fails on port 43 and over RDAP (even with a 404): the port-43 registry record, no no-match.
    world.Transport.SetDefaultReply("whois.verisign-grs.com",
                                    "Domain Name: GOOGLE.COM\r\n   Registrar WHOIS Server: whois.markmonitor.com\r\n");
    world.Transport.SetFailure("whois.markmonitor.com", ExchangeFailure::Refused);
    rdap.Answer(QString::fromLatin1(kMarkMonitor), QByteArray(), 404);
    world.Search("google.com");
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("source: whois.verisign-grs.com ")));
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("No Match")));

    // --no-rdap: RDAP is never asked.
    rdap.Asked.clear();
    world.Settings->RdapMode = QStringLiteral("never");
    world.Search("google.com");
    EXPECT_TRUE(rdap.Asked.isEmpty());
}

// Keeps the text each exchange was said to have written.
class TextLog final : public ExchangeObserver
{
public:
    int ExchangeDone(const ExchangeEntry& entry) override
    {
        Hosts.append(QString::fromLatin1(entry.Host));
        Texts.append(QString());
        return static_cast<int>(Hosts.size() - 1);
    }
    void LastExchangeShowsNoMatch() override { }
    void ExchangeTextWritten(int exchange, const QString& text) override { Texts[exchange] += text; }

    QStringList Hosts;
    QStringList Texts;
};

// Registry and registrar both answered: one record under the registrar's line, each date under the label of the
// server that gave it, nothing twice; each exchange's text is what its own answer says.
TEST_F(RdapReportTest, RegistryAndRegistrarAnswersMakeOneRecord)
{
    TextLog log;
    world.Options.Observer = &log;
    world.Transport.SetDefaultReply("whois.verisign-grs.com", "Domain Name: GOOGLE.COM\r\n");
    rdap.Answer(QString::fromLatin1(kGoogle), ReadTestData(QStringLiteral("rdap/verisign-com-google.com.json")));
    rdap.Answer(QString::fromLatin1(kMarkMonitor),
                ReadTestData(QStringLiteral("rdap/registrar-markmonitor-google.com.json")));
    world.Search("google.com");
    const QStringList lines = Lines();
    const QString text = world.Window.Text();
    EXPECT_TRUE(text.contains(QStringLiteral("source: rdap.markmonitor.com (RDAP)")));
    EXPECT_FALSE(text.contains(QStringLiteral("source: rdap.verisign.com (RDAP)")));
    const struct
    {
        const char* line;
        int count; ///< how often the line stands in the report
    } expected[] = {
        { "Registry Expiry Date: 2028-09-14T04:00:00Z", 1 },
        { "Registry Expiry Date: 2028-09-13T07:00:00.000+0000", 0 },
        { "Registrar Registration Expiration Date: 2020-09-14T04:00:00.000+0000", 1 },
        { "Creation Date: 1997-09-15T04:00:00Z", 1 },
        { "Domain Status: clientTransferProhibited https://icann.org/epp#clientTransferProhibited", 1 },
        { ">>> Last update of RDAP database: 2024-07-29T17:23:53Z <<<", 1 },
        { ">>> Last update of RDAP database: 2024-07-29T17:23:48.000+0000 <<<", 0 },
        { "Name Server: NS1.GOOGLE.COM", 1 },
        { "Registrant Organization: Google LLC", 1 },
        { "Registrar IANA ID: 292", 1 },
    };
    for (const auto& e : expected)
        EXPECT_EQ(lines.count(QString::fromLatin1(e.line)), e.count) << e.line;

    // The JSON text of each exchange: the registry's own lines, then the registrar's own.
    const qsizetype registry = log.Hosts.lastIndexOf(QStringLiteral("rdap.verisign.com"));
    const qsizetype registrar = log.Hosts.lastIndexOf(QStringLiteral("rdap.markmonitor.com"));
    ASSERT_GE(registry, 0);
    ASSERT_GE(registrar, 0);
    EXPECT_TRUE(log.Texts[registry].contains(QStringLiteral("Registry Expiry Date: 2028-09-14T04:00:00Z")));
    EXPECT_FALSE(log.Texts[registry].contains(QStringLiteral("Registrant Organization")));
    EXPECT_TRUE(log.Texts[registrar].contains(QStringLiteral("Registrant Organization: Google LLC")));
    EXPECT_FALSE(log.Texts[registrar].contains(QStringLiteral("2028-09-14T04:00:00Z")));

    // The registrar gives no answer: as before, the port-43 registry record in hand, nothing merged.
    rdap.Answer(QString::fromLatin1(kMarkMonitor), QByteArray(), 503);
    world.Search("google.com");
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("source: whois.verisign-grs.com ")));
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("(RDAP)")));
}

// The registry's RDAP server says 404 after its port-43 server gave a record: that record stands, and there is
// no no-match line, since the domain exists.
TEST_F(RdapReportTest, ARegistryRdap404AfterAPort43RecordKeepsTheRecord)
{
    world.Transport.SetDefaultReply("whois.verisign-grs.com", "Domain Name: GOOGLE.COM\r\n");
    rdap.Answer(QString::fromLatin1(kGoogle), QByteArray(), 404);
    world.Search("google.com");
    EXPECT_EQ(rdap.Asked, QStringList { QString::fromLatin1(kGoogle) });
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("source: whois.verisign-grs.com ")));
    EXPECT_TRUE(Lines().contains(QStringLiteral("Domain Name: GOOGLE.COM")));
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("No Match")));
    EXPECT_TRUE(world.Engine->AnyServerAnswered());
}

TEST_F(RdapReportTest, Port43FailureThenRdapAndRdapFirst)
{
    world.Transport.SetFailure("whois.verisign-grs.com", ExchangeFailure::Timeout, {}, 15);
    rdap.Answer(QString::fromLatin1(kGoogle), ReadTestData(QStringLiteral("rdap/verisign-com-google.com.json")));
    world.Search("google.com");
    const QString text = world.Window.Text();
    const qsizetype noAnswer
        = text.indexOf(QStringLiteral("No answer from whois.verisign-grs.com: timed out after 15 s"));
    ASSERT_GE(noAnswer, 0);
    // The registrar link fails (not answered here): the registry's RDAP record is written.
    EXPECT_GT(text.indexOf(QStringLiteral("source: rdap.verisign.com (RDAP)")), noAnswer);

    rdap.Asked.clear();
    world.Settings->RdapMode = QStringLiteral("first");
    world.Transport.ClearLog();
    world.Search("google.com");
    EXPECT_EQ(rdap.Asked.value(0), QString::fromLatin1(kGoogle));
    EXPECT_TRUE(world.Transport.Exchanges().isEmpty());
}

TEST_F(RdapReportTest, IdnNamesGoOnTheWireAsALabelsForBothProtocols)
{
    world.Transport.SetFailure("whois.verisign-grs.com", ExchangeFailure::Refused);
    world.Search("b\xC3\xBC"
                 "cher.com");
    ASSERT_FALSE(world.Transport.Exchanges().isEmpty());
    EXPECT_TRUE(world.Transport.Exchanges().first().Query.contains("xn--bcher-kva.com"));
    EXPECT_EQ(rdap.Asked.value(0), QStringLiteral("https://rdap.verisign.com/com/v1/domain/xn--bcher-kva.com"));
    // The header keeps what the user typed.
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("DOMAIN REPORT FOR: B\u00FCCHER.COM")));

    QByteArray longLabel;
    for (int i = 0; i < 60; ++i)
        longLabel += "\xD0\xB6";
    world.Transport.ClearLog();
    world.Search(longLabel + ".com");
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("Cannot convert ")));
    EXPECT_TRUE(world.Transport.Exchanges().isEmpty());
}

// --no-rdap gives the reports of an engine that has no RDAP at all, byte for byte, and asks no RDAP server, in
// every case where RDAP would otherwise step in (and in an ordinary port-43 chain).
TEST(RdapNeverTest, ReportsAreThoseOfAnEngineWithoutRdap)
{
    const QByteArray registry = WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt");
    const QByteArray registrar = WhoisFixture("whois.markmonitor.com-com-registered.txt");
    const struct
    {
        const char* what;
        QByteArray query;
        std::function<void(InMemoryTransport&)> script;
        bool rdapInFallback; ///< the default mode asks RDAP here
    } scenarios[] = {
        { "no port-43 server", "example.zz", [](InMemoryTransport&) {}, true },
        { "port 43 fails", "example.uk",
          [](InMemoryTransport& t) { t.SetFailure("whois.nic.uk", ExchangeFailure::Timeout); }, true },
        { "no registrar server named", "google.com",
          [](InMemoryTransport& t) { t.SetDefaultReply("whois.verisign-grs.com", "Domain Name: GOOGLE.COM\r\n"); },
          true },
        { "ordinary .com chain", "google.com",
          [&](InMemoryTransport& t) {
              t.SetReply("whois.verisign-grs.com", 43, "domain google.com", registry);
              t.SetReply("whois.markmonitor.com", 43, "google.com", registrar);
          },
          false },
        { "address, ARIN fails", "192.0.2.1",
          [](InMemoryTransport& t) { t.SetFailure("whois.arin.net", ExchangeFailure::Refused); }, true },
    };
    RdapBootstrap bootstrap;
    for (const char* tld : { "zz", "uk", "com" })
        bootstrap.Domains.BaseUrls.insert(tld, "https://rdap.example/");
    bootstrap.Addresses.Blocks.append(AddressBlock { 0, 0, "https://rdap.example/" });

    for (const auto& s : scenarios) {
        SCOPED_TRACE(s.what);
        LookupWorld plain; // SetRdap never called: the engine before RDAP
        LookupWorld never;
        LookupWorld fallback;
        InMemoryRdap neverRdap;
        InMemoryRdap fallbackRdap;
        never.UseRdap(&neverRdap, &bootstrap);
        never.Settings->RdapMode = QStringLiteral("never");
        fallback.UseRdap(&fallbackRdap, &bootstrap);
        for (LookupWorld* world : { &plain, &never, &fallback }) {
            s.script(world->Transport);
            world->Search(s.query);
        }
        EXPECT_EQ(never.Window.Lines(), plain.Window.Lines());
        EXPECT_EQ(WireLog(never.Transport.Exchanges()), WireLog(plain.Transport.Exchanges()));
        EXPECT_TRUE(neverRdap.Asked.isEmpty());
        // The scenario is one where RDAP matters: without --no-rdap it is asked.
        EXPECT_EQ(!fallbackRdap.Asked.isEmpty(), s.rdapInFallback);
    }
}

// ARIN not answering an IPv6 address: the RDAP server the IPv6 bootstrap names stands in, in ARIN's labels.
TEST_F(RdapReportTest, IPv6NetworkFallsBackToTheRdapServerOfItsBlock)
{
    bootstrap.Addresses6 = ParseIPv6Bootstrap(R"({"services": [
        [["2a00::/12"], ["https://rdap.db.ripe.net/"]], [["2001:4800::/23"], ["https://rdap.arin.net/registry/"]]]})");
    world.Settings->InclDomain = false;
    world.Transport.SetFailure("whois.arin.net", ExchangeFailure::Refused);
    rdap.Answer(QStringLiteral("https://rdap.db.ripe.net/ip/2a00:2381:ffff::1"),
                R"({"objectClassName": "ip network", "handle": "2a00:2381:ffff::/64", "ipVersion": "v6",
                    "startAddress": "2a00:2381:ffff::", "endAddress": "2a00:2381:ffff:0:ffff:ffff:ffff:ffff",
                    "name": "BT-WORLD-IPVSIX-LAUNCH", "country": "GB",
                    "cidr0_cidrs": [{"v6prefix": "2a00:2381:ffff::", "length": 64}]})");
    world.Search("2A00:2381:FFFF::1");
    EXPECT_EQ(rdap.Asked, QStringList { QStringLiteral("https://rdap.db.ripe.net/ip/2a00:2381:ffff::1") });
    const QStringList lines = Lines();
    const QStringList box = SourceBox(QStringLiteral("NETWORK DETAILS for 2a00:2381:ffff::1"),
                                      QStringLiteral("source: rdap.db.ripe.net (RDAP)"));
    const qsizetype header = HeaderBox(QStringLiteral("REPORT FOR IP Address: 2a00:2381:ffff::1")).size();
    EXPECT_EQ(lines.value(header), QStringLiteral("No answer from whois.arin.net: connection refused"));
    EXPECT_EQ(lines.mid(header + 1, box.size()), box);
    EXPECT_TRUE(lines.contains(QStringLiteral("CIDR:           2a00:2381:ffff::/64")));
    EXPECT_TRUE(lines.contains(QStringLiteral("NetName:        BT-WORLD-IPVSIX-LAUNCH")));

    // An address no block holds has nothing to ask.
    rdap.Asked.clear();
    world.Search("fe80::1");
    EXPECT_TRUE(rdap.Asked.isEmpty());

    // RDAP first: ARIN is not asked while RDAP answers, and is when it does not.
    world.Settings->RdapMode = QStringLiteral("first");
    world.Transport.ClearLog();
    world.Search("2a00:2381:ffff::1");
    EXPECT_EQ(rdap.Asked.size(), 1);
    EXPECT_EQ(WireLog(world.Transport.Exchanges()), QStringList());
    EXPECT_TRUE(Lines().contains(QStringLiteral("NetName:        BT-WORLD-IPVSIX-LAUNCH")));
    world.Transport.ClearLog();
    world.Search("2a00:2381:ffff::2");
    EXPECT_EQ(rdap.Asked.size(), 2);
    EXPECT_EQ(WireLog(world.Transport.Exchanges()).value(0), QStringLiteral("whois.arin.net:43 2a00:2381:ffff::2"));
}

// Through the real client and the loopback fake: a service's next server is asked when the first cannot be reached
// or fails with a 5xx, never after a verdict about the query.
TEST(RdapFailoverTest, TheNextServerOfTheServiceStandsIn)
{
    const QByteArray record = ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json"));
    const struct
    {
        const char* name;
        std::function<void(FakeHttpServer&, const QByteArray&)> first;
        bool secondAsked;
        const char* line;
    } cases[] = {
        { "down.zz", [](FakeHttpServer& s, const QByteArray& p) { s.Serve(p, QByteArray(), 503); }, true,
          "source: two.example (RDAP)" },
        { "closed.zz", [](FakeHttpServer& s, const QByteArray& p) { s.Fail(p, FakeHttpServer::Mode::CloseAtOnce); },
          true, "source: two.example (RDAP)" },
        { "none.zz", [](FakeHttpServer& s, const QByteArray& p) { s.Serve(p, QByteArray(), 404); }, false,
          "No Match For Domain: none.zz" },
        { "bad.zz", [](FakeHttpServer& s, const QByteArray& p) { s.Serve(p, QByteArray(), 400); }, false,
          "No answer from one.example: HTTP 400 Bad Request" },
        { "junk.zz", [](FakeHttpServer& s, const QByteArray& p) { s.Serve(p, "<html/>"); }, false,
          "No answer from one.example: not a valid RDAP answer" },
    };
    FakeHttpServer server;
    EventLoopWait wait;
    HttpRdapTransport rdap(wait, [&server](const QByteArray& host, int) -> std::optional<ServerEndpoint> {
        if (host != "one.example" && host != "two.example")
            return std::nullopt;
        return ServerEndpoint { QHostAddress(QHostAddress::LocalHost), server.Port() };
    });
    RdapBootstrap bootstrap;
    bootstrap.Domains.BaseUrls.insert("zz", "http://one.example/1/");
    bootstrap.Domains.MoreUrls.insert("zz", { "http://two.example/2/" });
    LookupWorld world;
    world.Settings->ClearBeforeSearch = true;
    world.Settings->InclIP = false;
    world.Settings->SearchContacts = false;
    world.UseRdap(&rdap, &bootstrap);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray path = QByteArray("domain/") + c.name;
        c.first(server, "1/" + path);
        server.Serve("2/" + path, record);
        world.Search(c.name);
        EXPECT_TRUE(world.Window.Text().contains(QString::fromLatin1(c.line))) << world.Window.Text().toStdString();
        EXPECT_GE(server.Requests("1/" + path), 1); // the network stack may resend once on a closed connection
        EXPECT_EQ(server.Requests("2/" + path), c.secondAsked ? 1 : 0);
    }
}

// A name goes into the path as one segment, whatever characters it holds.
TEST(RdapFailoverTest, TheNameIsOnePathSegment)
{
    FakeHttpServer server;
    EventLoopWait wait;
    HttpRdapTransport rdap(wait, [&server](const QByteArray&, int) -> std::optional<ServerEndpoint> {
        return ServerEndpoint { QHostAddress(QHostAddress::LocalHost), server.Port() };
    });
    RdapBootstrap bootstrap;
    bootstrap.Domains.BaseUrls.insert("zz", "http://one.example/");
    LookupWorld world;
    world.Settings->InclIP = false;
    world.Settings->SearchContacts = false;
    world.UseRdap(&rdap, &bootstrap);
    const struct
    {
        QByteArray query;
        QByteArray path;
    } cases[] = {
        { "a#b.zz", "domain/a%23b.zz" },
        { "a?b.zz", "domain/a%3Fb.zz" },
        { "a%2fb.zz", "domain/a%252fb.zz" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        world.Search(c.query);
        EXPECT_EQ(server.Requests(c.path), 1);
        EXPECT_EQ(server.Requests("domain/a"), 0);
    }
}

// A prefix whose ARIN port 43 gives no answer: RDAP is asked for the prefix at the server of its first address.
TEST_F(RdapReportTest, PrefixFallsBackToRdapForThePrefix)
{
    bootstrap.Addresses = ParseAddressBootstrap(R"({"services": [[["130.0.0.0/8"], ["https://rdap.db.ripe.net/"]]]})");
    world.Transport.SetFailure("whois.arin.net", ExchangeFailure::Refused);
    world.Transport.SetFailure("rwhois.arin.net", ExchangeFailure::Refused);
    rdap.Answer(QStringLiteral("https://rdap.db.ripe.net/ip/130.59.0.0/16"),
                ReadTestData(QStringLiteral("rdap/rir-ripe-ip-130.59.31.80.json")));
    world.Search("130.59.31.80/16");
    EXPECT_EQ(rdap.Asked, QStringList { QStringLiteral("https://rdap.db.ripe.net/ip/130.59.0.0/16") });
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("NETWORK DETAILS for 130.59.0.0/16")));
    EXPECT_TRUE(Lines().contains(QStringLiteral("NetName:        SWITCH-LAN")));
}

// Every server the address report asked that gave no answer is named with its reason, in the order asked, also
// when a later one answers; the JSON exchanges held them all along.
TEST_F(RdapReportTest, AddressReportNamesEveryServerThatGaveNoAnswer)
{
    bootstrap.Addresses
        = ParseAddressBootstrap(R"({"services": [[["8.0.0.0/8"], ["https://rdap.arin.net/registry/"]]]})");
    bootstrap.Addresses6
        = ParseIPv6Bootstrap(R"({"services": [[["2001:4800::/23"], ["https://rdap.arin.net/registry/"]]]})");
    world.Settings->InclDomain = false;
    world.Transport.SetFailure("whois.arin.net", ExchangeFailure::Closed);
    world.Transport.SetFailure("rwhois.arin.net", ExchangeFailure::Refused);
    rdap.Answer(QStringLiteral("https://rdap.arin.net/registry/ip/8.8.8.8"), QByteArray(), 503);
    rdap.Answer(QStringLiteral("https://rdap.arin.net/registry/ip/2001:4860:4860::8888"), QByteArray(), 503);
    for (const char* address : { "8.8.8.8", "2001:4860:4860::8888" }) {
        SCOPED_TRACE(address);
        world.Search(address);
        const QStringList failures = Lines().filter(QStringLiteral("No answer from "));
        ASSERT_EQ(failures.size(), 3) << Lines().join(u'\n').toStdString();
        EXPECT_TRUE(failures[0].startsWith(QStringLiteral("No answer from whois.arin.net: ")));
        EXPECT_TRUE(failures[1].startsWith(QStringLiteral("No answer from rdap.arin.net: ")));
        EXPECT_TRUE(failures[1].contains(QStringLiteral("503")));
        EXPECT_TRUE(failures[2].startsWith(QStringLiteral("No answer from rwhois.arin.net: ")));
        EXPECT_FALSE(world.Engine->AnyServerAnswered());
    }

    // RDAP answering: ARIN's failure still stands above the record that stood in for it.
    rdap.Answer(QStringLiteral("https://rdap.arin.net/registry/ip/8.8.8.8"),
                ReadTestData(QStringLiteral("rdap/rir-arin-ip-network-192.198.0.0.json")));
    world.Search("8.8.8.8");
    const QStringList lines = Lines();
    const qsizetype failure = lines.indexOf(QRegularExpression(QStringLiteral("^No answer from whois.arin.net: .*")));
    const qsizetype record = lines.indexOf(QStringLiteral("NetName:        RADIOLINK-ARIN-1"));
    EXPECT_GT(failure, 0);
    EXPECT_GT(record, failure);
    EXPECT_TRUE(lines.filter(QStringLiteral("No answer from ")).size() == 1);
}

// Hostile answers through the real client and the loopback fake: too deep for the JSON reader, or over 16 MiB.
// The report says so where the record would stand; nothing crashes.
TEST(RdapHostileAnswerTest, DeepNestingAndHugeBodiesAreNoAnswer)
{
    QByteArray nestedObjects;
    for (int i = 0; i < 100000; ++i)
        nestedObjects += "{\"a\":";
    const QByteArray domain = R"({"objectClassName":"domain","ldhName":"x.zz")";
    const struct
    {
        QByteArray name;
        QByteArray body;
        const char* line;
    } cases[] = {
        { "arrays.zz", QByteArray(100000, '['), "No answer from rdap.example: not a valid RDAP answer" },
        { "objects.zz", nestedObjects, "No answer from rdap.example: not a valid RDAP answer" },
        // A sound domain object with one member nested far too deep, closed properly.
        { "member.zz", domain + ",\"x\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + '}',
          "No answer from rdap.example: not a valid RDAP answer" },
        { "huge.zz", domain + '}' + QByteArray(qsizetype { 16 } * 1024 * 1024, ' '),
          "No answer from rdap.example: reply cut at 16 MiB" },
    };
    FakeHttpServer server;
    EventLoopWait wait;
    HttpRdapTransport rdap(wait, [&server](const QByteArray& host, int) -> std::optional<ServerEndpoint> {
        if (host != "rdap.example")
            return std::nullopt;
        return ServerEndpoint { QHostAddress(QHostAddress::LocalHost), server.Port() };
    });
    RdapBootstrap bootstrap;
    bootstrap.Domains.BaseUrls.insert("zz", "http://rdap.example/");
    LookupWorld world;
    world.Settings->ClearBeforeSearch = true;
    world.UseRdap(&rdap, &bootstrap);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        server.Serve("domain/" + c.name, c.body);
        world.Search(c.name);
        EXPECT_TRUE(world.Window.Lines().contains(QString::fromLatin1(c.line))) << world.Window.Text().toStdString();
        EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("(RDAP)")));
        EXPECT_EQ(server.Requests("domain/" + c.name), 1);
    }
}

} // namespace

} // namespace vesk::test
