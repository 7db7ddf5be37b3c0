#include "rdap/bootstrap_registry.h"

#include <QFile>
#include <gtest/gtest.h>

namespace vesk {
namespace {

QByteArray Shipped(const char* name)
{
    QFile file(QStringLiteral(VESK_RDAP_DATA_DIR "/") + QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

TEST(DomainBootstrapTest, ShippedRegistryFindsTldsCaseInsensitively)
{
    const DomainBootstrap registry = ParseDomainBootstrap(Shipped("dns.json"));
    EXPECT_EQ(registry.BaseUrls.size(), 1200);
    EXPECT_TRUE(IsInstallable(registry));
    const QByteArray identityDigital("https://rdap.identitydigital.services/rdap/");
    EXPECT_EQ(FindDomainBaseUrl(registry, "example.info"), identityDigital);
    EXPECT_EQ(FindDomainBaseUrl(registry, "WWW.Example.INFO."), identityDigital);
    EXPECT_EQ(FindDomainBaseUrl(registry, "info"), identityDigital);
    EXPECT_EQ(FindDomainBaseUrl(registry, "example.kg"), "http://rdap.cctld.kg/"); // lists only http
    EXPECT_EQ(FindDomainBaseUrl(registry, "example.es"), ""); // no RDAP server
    EXPECT_EQ(FindDomainBaseUrl(registry, "example.info.invalid"), "");
}

TEST(DomainBootstrapTest, LongestEntryOnLabelBoundariesAndUrlChoice)
{
    const DomainBootstrap registry = ParseDomainBootstrap(R"({"services": [
        [["uk"], ["http://plain.example/uk/", "https://secure.example/uk"]],
        [["CO.UK", 7, "sch.uk."], ["https://co.example/"]],
        [["uk", "gopher"], ["ftp://other.example/"]],
        [["dup", "co.uk"], ["https://late.example/"]],
        "not a service", [["alone"]]]})");
    EXPECT_EQ(FindDomainBaseUrl(registry, "a.b.co.uk"), "https://co.example/");
    EXPECT_EQ(FindDomainBaseUrl(registry, "x.sch.uk"), "https://co.example/");
    EXPECT_EQ(FindDomainBaseUrl(registry, "xco.uk"), "https://secure.example/uk/"); // a label, not a text suffix
    EXPECT_EQ(FindDomainBaseUrl(registry, "x.gopher"), ""); // no http(s) URL
    EXPECT_EQ(FindDomainBaseUrl(registry, "x.dup"), "https://late.example/");
    EXPECT_EQ(registry.BaseUrls.size(), 4); // uk, co.uk, sch.uk, dup
}

// Every URL of a service is kept for failover, in the order listed, never mixing http into a service with https.
TEST(DomainBootstrapTest, EveryUrlOfAServiceIsKept)
{
    const DomainBootstrap domains = ParseDomainBootstrap(R"({"services": [
        [["a"], ["https://one.example/", "http://plain.example/", "https://two.example", "https://one.example/"]],
        [["b"], ["http://p1.example/", "http://p2.example"]],
        [["c"], ["https://only.example/"]]]})");
    const AddressBootstrap addresses = ParseAddressBootstrap(R"({"services": [
        [["10.0.0.0/8"], ["https://r1.example/", "https://r2.example/"]]]})");
    const struct
    {
        QList<QByteArray> found;
        QList<QByteArray> expected;
    } rows[] = {
        { FindDomainBaseUrls(domains, "x.a"), { "https://one.example/", "https://two.example/" } },
        { FindDomainBaseUrls(domains, "x.b"), { "http://p1.example/", "http://p2.example/" } },
        { FindDomainBaseUrls(domains, "x.c"), { "https://only.example/" } },
        { FindDomainBaseUrls(domains, "x.d"), {} },
        { FindAddressBaseUrls(addresses, "10.1.2.3"), { "https://r1.example/", "https://r2.example/" } },
        { FindAddressBaseUrls(addresses, "11.1.2.3"), {} },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.found, row.expected);
}

TEST(DomainBootstrapTest, DamagedDownloadsAreNotInstallable)
{
    const QByteArray good = Shipped("dns.json");
    const QByteArray rows[] = {
        "",
        "{",
        "[]",
        R"({"services": "none"})",
        R"({"services": [[["a"], "https://x/"]]})",
        good.left(good.size() / 2),
        good.left(good.size() - 3),
        QByteArray(good).replace("https://", "ftp://"),
    };
    for (const QByteArray& bytes : rows) {
        SCOPED_TRACE(bytes.left(40).toStdString());
        const DomainBootstrap registry = ParseDomainBootstrap(bytes);
        EXPECT_FALSE(IsInstallable(registry)) << registry.BaseUrls.size();
        EXPECT_EQ(FindDomainBaseUrl(registry, "example.info"), "");
    }
}

TEST(AddressBootstrapTest, LongestBlockWins)
{
    const AddressBootstrap shipped = ParseAddressBootstrap(Shipped("ipv4.json"));
    EXPECT_EQ(shipped.Blocks.size(), 221);
    EXPECT_TRUE(IsInstallable(shipped));
    EXPECT_EQ(FindAddressBaseUrl(shipped, "8.8.8.8"), "https://rdap.arin.net/registry/");
    EXPECT_EQ(FindAddressBaseUrl(shipped, "1.1.1.1"), "https://rdap.apnic.net/");
    EXPECT_EQ(FindAddressBaseUrl(shipped, "41.1.2.3"), "https://rdap.afrinic.net/rdap/");
    EXPECT_EQ(FindAddressBaseUrl(shipped, "8.8.8"), "");
    EXPECT_FALSE(IsInstallable(ParseAddressBootstrap(Shipped("dns.json"))));
    EXPECT_FALSE(IsInstallable(ParseAddressBootstrap(Shipped("ipv4.json").left(3000))));

    const AddressBootstrap registry = ParseAddressBootstrap(R"({"services": [
        [["10.0.0.0/8", "0.0.0.0/0"], ["https://wide/"]],
        [["10.1.2.3/16", "10.2.0.0/33", "10.3.0/16", "256.0.0.0/8", "10.4.0.0/x", 5], ["https://narrow/"]]]})");
    EXPECT_EQ(registry.Blocks.size(), 3);
    EXPECT_EQ(FindAddressBaseUrl(registry, "10.1.200.1"), "https://narrow/"); // host bits of the entry ignored
    EXPECT_EQ(FindAddressBaseUrl(registry, "10.2.0.1"), "https://wide/");
    EXPECT_EQ(FindAddressBaseUrl(registry, "192.0.2.1"), "https://wide/");
}

TEST(IPv6BootstrapTest, LongestBlockWinsWhateverTheAddressForm)
{
    const IPv6Bootstrap shipped = ParseIPv6Bootstrap(Shipped("ipv6.json"));
    EXPECT_TRUE(IsInstallable(shipped));
    EXPECT_EQ(FindIPv6BaseUrls(shipped, "2001:4860:4860::8888").value(0), "https://rdap.arin.net/registry/");
    EXPECT_EQ(FindIPv6BaseUrls(shipped, "2A00:2381:FFFF:0:0:0:0:1").value(0), "https://rdap.db.ripe.net/");
    EXPECT_EQ(FindIPv6BaseUrls(shipped, "2001:240:10c:1::ca20:9d1d").value(0), "https://rdap.apnic.net/");
    EXPECT_EQ(FindIPv6BaseUrls(shipped, "2801:10:c000::").value(0), "https://rdap.lacnic.net/rdap/");
    EXPECT_EQ(FindIPv6BaseUrls(shipped, "2001:43f8:7b0::").value(0), "https://rdap.afrinic.net/rdap/");
    EXPECT_EQ(FindIPv6BaseUrls(shipped, "fe80::1").value(0), "");
    EXPECT_EQ(FindIPv6BaseUrls(shipped, "8.8.8.8").value(0), "");
    EXPECT_FALSE(IsInstallable(ParseIPv6Bootstrap(Shipped("ipv4.json"))));
    EXPECT_FALSE(IsInstallable(ParseIPv6Bootstrap(Shipped("ipv6.json").left(700))));

    const IPv6Bootstrap registry = ParseIPv6Bootstrap(R"({"services": [
        [["2001:db8::/32", "::/0"], ["https://wide/"]],
        [["2001:db8:1:2::/33", "2001:db8:8000::/48", "2001:db8::/129", "2001:db8::/x", "10.0.0.0/8", 5],
         ["https://narrow/"]]]})");
    EXPECT_EQ(registry.Blocks.size(), 4);
    EXPECT_EQ(FindIPv6BaseUrls(registry, "2001:db8:7fff::1").value(0),
              "https://narrow/"); // host bits of the entry ignored
    EXPECT_EQ(FindIPv6BaseUrls(registry, "2001:db8:8000:0:1::").value(0), "https://narrow/");
    EXPECT_EQ(FindIPv6BaseUrls(registry, "2001:db8:ffff::1").value(0), "https://wide/");
    EXPECT_EQ(FindIPv6BaseUrls(registry, "3fff::1").value(0), "https://wide/");
}

TEST(AsnBootstrapTest, ARangeHoldsItsEndsAndBadEntriesAreSkipped)
{
    const AsnBootstrap shipped = ParseAsnBootstrap(Shipped("asn.json"));
    EXPECT_TRUE(IsInstallable(shipped));
    const struct
    {
        uint32_t Number;
        const char* Base;
    } cases[] = {
        { 15169, "https://rdap.arin.net/registry/" },
        { 3333, "https://rdap.db.ripe.net/" },
        { 4608, "https://rdap.apnic.net/" }, // first of its range
        { 4865, "https://rdap.apnic.net/" }, // last of its range
        { 28000, "https://rdap.lacnic.net/rdap/" },
        { 36864, "https://rdap.afrinic.net/rdap/" },
        { 0, "" },
        { 64512, "" },
        { 4294967295U, "" }, // reserved, private, the last 32-bit number
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindAsnBaseUrls(shipped, c.Number).value(0), c.Base) << c.Number;
    EXPECT_FALSE(IsInstallable(ParseAsnBootstrap(Shipped("ipv6.json"))));
    EXPECT_FALSE(IsInstallable(ParseAsnBootstrap(Shipped("asn.json").left(900))));

    const AsnBootstrap registry = ParseAsnBootstrap(R"({"services": [
        [["100-200", "300", "20-10", "4294967296", "1-2-3", "-5", "x", 7, "4294967295"], ["https://a/", "http://a/"]],
        [["150-160"], ["https://b/"]]]})");
    EXPECT_EQ(registry.Ranges.size(), 4);
    EXPECT_EQ(FindAsnBaseUrls(registry, 155), (QList<QByteArray> { "https://a/" })); // first listed wins
    EXPECT_EQ(FindAsnBaseUrls(registry, 300).value(0), "https://a/");
    EXPECT_EQ(FindAsnBaseUrls(registry, 4294967295U).value(0), "https://a/");
    EXPECT_TRUE(FindAsnBaseUrls(registry, 15).isEmpty());
}

} // namespace
} // namespace vesk
