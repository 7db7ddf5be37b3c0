#include "lookup/classify.h"
#include "lookup/first_server.h"
#include "lookup/search_dispatch.h"
#include "support/lookup_world.h"
#include "whois/host_text.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// "пример.рф": a name whose TLD is typed in its own script; the tables hold the TLD as its A-label.
const QByteArray kCyrillicDomain = "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD1\x80\xD1\x84";
const QByteArray kCyrillicUnknownTld = "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD0\xB6\xD0\xB6";

class DispatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        world.Definitions.SetTldRows({
            { "com", "Commercial organizations", "whois.verisign-grs.com" },
            { "uk", "United Kingdom", "Whois.Nic.UK " },
            { "zz", "", "" },
            { "xn--p1ai", "Russian Federation", "whois.tcinet.ru" },
        });
        world.Settings->InclIP = false;
        world.Settings->InclDomain = false;
        world.Settings->SearchContacts = false;
    }

    LookupWorld world;
};

// The batch starts each search at the host FirstServerFor names; it must be the host the search itself asks first.
TEST_F(DispatchTest, FirstServerIsTheHostTheSearchAsksFirst)
{
    struct Row
    {
        QByteArray query;
        QueryKind kind;
        QByteArray box; ///< the query box after the dispatch
        QByteArray first; ///< empty: no port-43 server is asked
    };
    const Row rows[] = {
        { " 192.0.2.1 ", QueryKind::Address, "192.0.2.1", "whois.arin.net" },
        { "010.001.002.003", QueryKind::Address, "010.001.002.003", "whois.arin.net" },
        { "www.example.com", QueryKind::Domain, "example.com", "whois.verisign-grs.com" },
        { "WWW.a.example.uk", QueryKind::Domain, "a.example.uk", "whois.nic.uk" },
        { "example.zz", QueryKind::Domain, "example.zz", "" },
        { kCyrillicDomain, QueryKind::Domain, kCyrillicDomain, "whois.tcinet.ru" },
        { kCyrillicUnknownTld, QueryKind::Plain, kCyrillicUnknownTld, "whois.verisign-grs.com" },
        { "2001:4860:4860::8888", QueryKind::IPv6, "2001:4860:4860::8888", "whois.arin.net" },
        { " 2001:0DB8:0000:0000:0000:0000:0000:0001 ", QueryKind::IPv6, "2001:db8::1", "whois.arin.net" },
        { "::ffff:192.0.2.1", QueryKind::IPv6, "::ffff:192.0.2.1", "whois.arin.net" },
        { "fe80::1%eth0", QueryKind::Plain, "fe80::1%eth0", "whois.verisign-grs.com" },
        { "1:2:3:4:5:6:7:8:9", QueryKind::Plain, "1:2:3:4:5:6:7:8:9", "whois.verisign-grs.com" },
        { "192.0.2.0/24", QueryKind::Cidr, "192.0.2.0/24", "whois.arin.net" },
        { "192.0.2.77/24", QueryKind::Cidr, "192.0.2.0/24", "whois.arin.net" }, // the network of that prefix
        { "0.0.0.0/0", QueryKind::Cidr, "0.0.0.0/0", "whois.arin.net" },
        { "10.1.2.3/32", QueryKind::Cidr, "10.1.2.3/32", "whois.arin.net" },
        { "2001:0DB8::1/32", QueryKind::Cidr, "2001:db8::/32", "whois.arin.net" },
        { "2001:db8:ab:cd::/127", QueryKind::Cidr, "2001:db8:ab:cd::/127", "whois.arin.net" },
        { "::/0", QueryKind::Cidr, "::/0", "whois.arin.net" },
        { "192.0.2.0/33", QueryKind::Plain, "192.0.2.0/33", "whois.verisign-grs.com" },
        { "2001:db8::/129", QueryKind::Plain, "2001:db8::/129", "whois.verisign-grs.com" },
        { "192.0.2.0/", QueryKind::Plain, "192.0.2.0/", "whois.verisign-grs.com" },
        { "192.0.2.0/2x", QueryKind::Plain, "192.0.2.0/2x", "whois.verisign-grs.com" },
        { "192.0.2/24", QueryKind::Plain, "192.0.2/24", "whois.verisign-grs.com" },
        { "192.0.2.0/24/8", QueryKind::Plain, "192.0.2.0/24/8", "whois.verisign-grs.com" },
        { "fe80::/10%eth0", QueryKind::Plain, "fe80::/10%eth0", "whois.verisign-grs.com" },
        { "AS15169", QueryKind::Asn, "AS15169", "whois.arin.net" },
        { "as15169", QueryKind::Asn, "AS15169", "whois.arin.net" },
        { "AS 015169", QueryKind::Asn, "AS15169", "whois.arin.net" },
        { "aS4294967295", QueryKind::Asn, "AS4294967295", "whois.arin.net" },
        { "AS4294967296", QueryKind::Plain, "AS4294967296", "whois.verisign-grs.com" }, // over 32 bits
        { "15169", QueryKind::Plain, "15169", "whois.verisign-grs.com" }, // a bare number stays a plain query
        { "AS", QueryKind::Plain, "AS", "whois.verisign-grs.com" },
        { "AS15169x", QueryKind::Plain, "AS15169x", "whois.verisign-grs.com" },
        { "AS-15169", QueryKind::Plain, "AS-15169", "whois.verisign-grs.com" },
        { "ASN15169", QueryKind::Plain, "ASN15169", "whois.verisign-grs.com" },
        { "example", QueryKind::Plain, "example", "whois.verisign-grs.com" },
        { "example.", QueryKind::Plain, "example.", "whois.verisign-grs.com" },
        { "", QueryKind::Plain, "", "whois.verisign-grs.com" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.query.toStdString());
        const DispatchedQuery dispatched = DispatchQuery(world.Definitions, TrimText(row.query));
        EXPECT_EQ(dispatched.Kind, row.kind);
        EXPECT_EQ(dispatched.Query, row.box);
        EXPECT_EQ(FirstServerFor(world.Definitions, row.query), row.first);

        world.Transport.ClearLog();
        world.Search(row.query);
        EXPECT_EQ(world.Engine->LastQueryKind(), row.kind);
        EXPECT_EQ(world.Window.QueryText(), row.box);
        const QList<ExchangeRecord>& asked = world.Transport.Exchanges();
        EXPECT_EQ(asked.isEmpty() ? QByteArray() : LowerAscii(TrimText(asked.first().Host)), row.first);
    }
}

TEST_F(DispatchTest, QueryTooLongToSearchHasNoFirstServer)
{
    const QByteArray query(256, 'a');
    EXPECT_THROW(DispatchQuery(world.Definitions, query), QueryTooLongError);
    // A batch asks before the search runs; the search then reports the length itself.
    EXPECT_EQ(FirstServerFor(world.Definitions, query), QByteArray());
    EXPECT_EQ(FirstServerFor(world.Definitions, "   " + QByteArray(255, '1')), "whois.verisign-grs.com");
    EXPECT_THROW(world.Search(query), QueryTooLongError);
    EXPECT_TRUE(world.Transport.Exchanges().isEmpty());
}

TEST_F(DispatchTest, NameWithoutAnAsciiFormAsksNobody)
{
    QByteArray longLabel;
    for (int i = 0; i < 60; ++i)
        longLabel += "\xD0\xB6";
    const QByteArray query = longLabel + ".com";
    EXPECT_EQ(DispatchQuery(world.Definitions, query).Kind, QueryKind::Domain);
    EXPECT_EQ(FirstServerFor(world.Definitions, query), QByteArray());
    world.Search(query);
    EXPECT_TRUE(world.Transport.Exchanges().isEmpty());
}

// The TLD line shows the TLD as typed, in its own script for an IDN TLD; the wire gets the A-label.
TEST_F(DispatchTest, TldLineShowsTheTldAsTyped)
{
    const struct
    {
        QByteArray Query;
        QString Line;
        QByteArray Asked;
    } rows[] = {
        { kCyrillicDomain, QStringLiteral("TLD .\u0440\u0444 is for RUSSIAN FEDERATION."), "xn--e1afmkfd.xn--p1ai" },
        { "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.\xD0\xA0\xD0\xA4",
          QStringLiteral("TLD .\u0420\u0424 is for RUSSIAN FEDERATION."), "xn--e1afmkfd.xn--p1ai" },
        { "example.xn--p1ai", QStringLiteral("TLD .XN--P1AI is for RUSSIAN FEDERATION."), "example.xn--p1ai" },
        { "example.Com", QStringLiteral("TLD .COM is for COMMERCIAL ORGANIZATIONS."), "example.com" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Query.toStdString());
        world.Transport.ClearLog();
        world.Search(row.Query);
        EXPECT_TRUE(world.Window.Lines().contains(row.Line)) << world.Window.Lines().join(u'\n').toStdString();
        ASSERT_FALSE(world.Transport.Exchanges().isEmpty());
        EXPECT_TRUE(world.Transport.Exchanges().first().Query.contains(row.Asked))
            << world.Transport.Exchanges().first().Query.toStdString();
    }
}

} // namespace
} // namespace vesk::test
