#include "rdap/network_text.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

QByteArray Render(const char* fixture, bool filter = true)
{
    return RenderNetworkRecord(
        ParseRdapAnswer(test::ReadTestData(QStringLiteral("rdap/") + QString::fromLatin1(fixture))), filter);
}

TEST(NetworkTextTest, RegionalRegistriesInArinLabels)
{
    EXPECT_EQ(Render("rir-arin-ip-network-192.198.0.0.json"),
              "NetRange:       192.198.0.0 - 192.198.3.255\r\n"
              "CIDR:           192.198.0.0/22\r\n"
              "NetName:        RADIOLINK-ARIN-1\r\n"
              "NetHandle:      NET-192-198-0-0-1\r\n"
              "Organization:   Radio Link Internet (DP-41)\r\n"
              "OrgAbuseEmail:  daniel.petsinger@radiolinkinternet.com"); // an abuse contact inside the registrant
    // RIPE gives no cidr0 block: computed from the range.
    EXPECT_EQ(Render("rir-ripe-ip-130.59.31.80.json"),
              "NetRange:       130.59.0.0 - 130.59.255.255\r\n"
              "CIDR:           130.59.0.0/16\r\n"
              "NetName:        SWITCH-LAN\r\n"
              "NetHandle:      130.59.0.0 - 130.59.255.255\r\n"
              "Organization:   ORG-SG2-RIPE\r\n"
              "Country:        CH\r\n"
              "OrgAbuseEmail:  abuse@switch.ch");
    const QByteArray apnic = Render("rir-apnic-ip-1.1.1.0.json", false);
    EXPECT_TRUE(apnic.startsWith("NetRange:       1.1.1.0 - 1.1.1.255\r\nCIDR:           1.1.1.0/24\r\n"));
    EXPECT_TRUE(apnic.contains("\r\n\r\nSource\r\nObjects returned came from source\r\nAPNIC\r\n"));
    EXPECT_TRUE(apnic.endsWith("resolver-abuse@cloudflare.com\r\n---------------"));
    EXPECT_FALSE(Render("rir-apnic-ip-1.1.1.0.json", true).contains("Source"));
    EXPECT_TRUE(Render("verisign-com-google.com.json").isEmpty()); // not a network
}

TEST(NetworkTextTest, RangeToCidr)
{
    struct Row
    {
        const char* start;
        const char* end;
        const char* cidr;
    } rows[] = {
        { "192.198.0.0", "192.198.3.255", "192.198.0.0/22" },
        { "10.0.0.1", "10.0.0.1", "10.0.0.1/32" },
        { "0.0.0.0", "255.255.255.255", "0.0.0.0/0" },
        { "10.0.0.1", "10.0.0.6", "10.0.0.1/32, 10.0.0.2/31, 10.0.0.4/31, 10.0.0.6/32" },
        { "255.255.255.254", "255.255.255.255", "255.255.255.254/31" },
        { "10.0.0.2", "10.0.0.1", "" },
        { "10.0.0", "10.0.0.1", "" },
        { "::1", "::2", "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.start);
        EXPECT_EQ(RangeToCidr(row.start, row.end), row.cidr);
    }
}

TEST(NetworkTextTest, WrongTypes)
{
    EXPECT_EQ(RenderNetworkRecord(ParseRdapAnswer(R"({"objectClassName":"ip network","startAddress":true,
        "endAddress":"x","cidr0_cidrs":[{"v6prefix":"2001:db8::","length":32},{"v4prefix":"1.2.3.0"},7],
        "name":["n"],"handle":-1e300,"country":"NL","entities":[{"roles":["registrant"],"handle":5}]})"),
                                  true),
              "CIDR:           2001:db8::/32\r\nNetHandle:      -1e+300\r\nOrganization:   5\r\nCountry:        NL");
}

// An AS number record in ARIN's AS labels; a range reads "first - last"; nothing for anything but an autnum.
TEST(NetworkTextTest, AutnumInArinLabels)
{
    const QByteArray amazon = RenderAutnumRecord(
        ParseRdapAnswer(test::ReadTestData(QStringLiteral("rdap/rir-arin-autnum-16509-ABRIDGED.json"))), true);
    EXPECT_EQ(amazon, "ASNumber:       16509\r\nASName:         AMAZON-02\r\nASHandle:       AS16509");
    const struct
    {
        const char* Json;
        QByteArray Text;
    } rows[] = {
        { R"({"objectClassName":"autnum","startAutnum":3154,"endAutnum":3353,"handle":"AS3154","country":"NL",
             "entities":[{"roles":["registrant"],"handle":"RIPE","vcardArray":["vcard",[["fn",{},"text","RIPE NCC"]]]}]})",
          "ASNumber:       3154 - 3353\r\nASHandle:       AS3154\r\nOrgName:        RIPE NCC\r\n"
          "OrgId:          RIPE\r\nCountry:        NL" },
        { R"({"objectClassName":"AUTNUM","endAutnum":7,"name":["x"]})", "ASNumber:       7" },
        { R"({"objectClassName":"ip network","startAutnum":1,"name":"n"})", "" },
        { R"({"objectClassName":"autnum"})", "" },
        { R"({"errorCode":404,"title":"Not Found"})", "" },
        { "[]", "" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(RenderAutnumRecord(ParseRdapAnswer(row.Json), true), row.Text) << row.Json;
}

} // namespace
} // namespace vesk
