#include "support/test_data.h"
#include "whois/reply_parsing.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::WhoisFixture;

TEST(PickNetHandleTest, LastHandleOfAListAnswer)
{
    struct Row
    {
        const char* name;
        QByteArray reply;
        QByteArray expected;
    } rows[] = {
        { "two networks", "A (NET-192-0-0-0-1) x\r\nB (NET-192-0-2-0-1) y\r\n", "NET-192-0-2-0-1" },
        { "single record", "OrgName: X\r\nA (NET-1)\r\nB (NET-2)\r\n", "" },
        { "no handle", "NetRange: 1.0.0.0 - 1.255.255.255\n", "" },
        { "no closing parenthesis", "A (NET-192-0-2-0-1", "NET-192-0-2-0-1" },
        { "opening at the very end", "A (NET-", "NET-" },
        // A handle runs to the next ")", swallowing an inner opening.
        { "inner opening consumed", "(NET-a (NET-b)", "NET-a (NET-b" },
        { "inner opening then another", "(NET-a (NET-b) (NET-c)", "NET-c" },
        { "unclosed after closed", "(NET-a) (NET-b", "NET-b" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(PickNetHandle(row.reply), row.expected);
    }
    EXPECT_EQ(PickNetHandle(WhoisFixture("whois.arin.net-list-of-networks-crafted.txt")), "NET-8-8-8-0-1");
    EXPECT_EQ(PickNetHandle(WhoisFixture("whois.arin.net-referral-rwhois-shawcable-2024.txt")), "");
}

TEST(ExtractCidrTest, FirstBlockOnTheLabelsLine)
{
    struct Row
    {
        const char* name;
        QByteArray reply;
        QByteArray expected;
    } rows[] = {
        { "twelve columns", "CIDR:       192.0.2.0/24\r\n", "192.0.2.0/24" },
        { "wider padding", "CIDR:           192.0.2.0/24\r\n", "192.0.2.0/24" },
        { "one blank", "CIDR: 192.0.2.0/24\r\n", "192.0.2.0/24" },
        { "no blank, tab padding", "CIDR:\t192.0.2.0/24\r\n", "192.0.2.0/24" },
        { "LF line break", "CIDR:  4.0.0.0/9\nNetName:  LVLT\n", "4.0.0.0/9" },
        { "nothing on an LF line", "CIDR:   \nNetName: LVLT\n", "" },
        { "several blocks", "CIDR:       192.0.2.0/24, 198.51.100.0/24\r\n", "192.0.2.0/24," },
        { "end of text", "CIDR:       192.0.2.0/24", "192.0.2.0/24" },
        { "label at the end", "x\nCIDR:", "" },
        { "only blanks to the line end", "CIDR:     \r\nNetName: X\r\n", "" },
        { "first label only", "CIDR: 1.0.0.0/8\nCIDR: 2.0.0.0/8\n", "1.0.0.0/8" },
        { "absent", "NetRange: 1.0.0.0 - 1.255.255.255\n", "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExtractCidr(row.reply), row.expected);
    }
    EXPECT_EQ(ExtractCidr(WhoisFixture("whois.arin.net-single-record-2013.txt")), "4.0.0.0/8");
    EXPECT_EQ(ExtractCidr(WhoisFixture("whois.arin.net-referral-whois-apnic-2014.txt")), "144.132.0.0/14,");
}

TEST(ExtractReferralServerTest, HostAndPortOfTheReferral)
{
    struct Row
    {
        const char* name;
        QByteArray reply;
        QByteArray host;
        QByteArray port;
    } rows[] = {
        { "no label", "NetName: X\r\n", "", "43" },
        { "whois without port", "ReferralServer: whois://whois.example.net\r\nx", "whois.example.net", "43" },
        { "rwhois with port", "ReferralServer: rwhois://Rwhois.Example.net:4321/\r\n", "rwhois.example.net", "4321" },
        { "port not a number", "ReferralServer: whois://Whois.Example.net:x1\r\n", "whois.example.net", "43" },
        { "empty port", "ReferralServer: whois://whois.example.net:\r\n", "whois.example.net", "43" },
        { "digits then a path", "ReferralServer: whois://h.example:4343/path\r\n", "h.example", "4343" },
        { "no port, case kept", "ReferralServer: whois://Whois.Example.NET\n", "Whois.Example.NET", "43" },
        { "two blanks after the label", "ReferralServer:  whois://whois.example.net\n", "whois.example.net", "43" },
        { "no slash to the end", "ReferralServer: whois.example.net", "", "43" },
        { "scheme at the very end", "ReferralServer: whois:/", "", "43" },
        { "slash on a later line", "ReferralServer:\nRef: x://host.example:44\n", "host.example", "44" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ReferralTarget target = ExtractReferralServer(row.reply);
        EXPECT_EQ(target.Host, row.host);
        EXPECT_EQ(target.Port, row.port);
    }
}

TEST(ExtractReferralServerTest, RecordedArinReferrals)
{
    struct Row
    {
        const char* file;
        QByteArray host;
        QByteArray port;
    } rows[] = {
        { "whois.arin.net-referral-whois-ripe-2013.txt", "whois.ripe.net", "43" },
        { "whois.arin.net-referral-whois-apnic-2014.txt", "whois.apnic.net", "43" },
        { "whois.arin.net-referral-whois-lacnic-2024.txt", "whois.lacnic.net", "43" },
        { "whois.arin.net-referral-rwhois-shawcable-2024.txt", "rwhois.shawcable.net", "4321" },
        { "whois.arin.net-single-record-2013.txt", "", "43" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const ReferralTarget target = ExtractReferralServer(WhoisFixture(row.file));
        EXPECT_EQ(target.Host, row.host);
        EXPECT_EQ(target.Port, row.port);
    }
}

TEST(ExtractRWhoisReferralTest, HostAndPortWithoutDefault)
{
    struct Row
    {
        const char* name;
        QByteArray reply;
        QByteArray host;
        QByteArray port;
    } rows[] = {
        { "no label", "%ok\r\n", "", "" },
        { "host, port and area", "%referral rwhois://rwhois.example.net:4321/auth-area=192.0.2.0/24\r\n",
          "rwhois.example.net", "4321" },
        { "no slash after the port", "%referral rwhois://rwhois.example.net:4321\r\n%ok", "rwhois.example.net", "" },
        { "host lower-cased", "%referral rwhois://RWhois.Example.NET:4321/x", "rwhois.example.net", "4321" },
        { "no colon", "%referral rwhois://rwhois.example.net", "", "" },
        { "label at the end", "%referral rwhois:", "", "" },
        { "port text kept as written", "%referral rwhois://h.example: 43x/", "h.example", " 43x" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ReferralTarget target = ExtractRWhoisReferral(row.reply);
        EXPECT_EQ(target.Host, row.host);
        EXPECT_EQ(target.Port, row.port);
    }
    for (const char* file :
         { "rwhois.shawcable.net-referral-root-2024.txt", "rwhois.softlayer.com-network-record-2013.txt" }) {
        SCOPED_TRACE(file);
        const ReferralTarget target = ExtractRWhoisReferral(WhoisFixture(file));
        EXPECT_EQ(target.Host, "root.rwhois.net");
        EXPECT_EQ(target.Port, "4321");
    }
}

TEST(FilterArinCommentsTest, RemovesHashLinesAndRemarks)
{
    struct Row
    {
        const char* name;
        QByteArray reply;
        QByteArray expected;
    } rows[] = {
        { "hash lines and remarks", "# c1\n#c2\nNetRange: x\nComment: text here\nComment:nospace\nCIDR: y\n",
          "NetRange: x\r\nComment:nospace\r\nCIDR: y" },
        { "remark inside a line joins the next", "Org Comment: x\r\nNext", "Org Next" },
        { "remark on the last line", "a\r\nComment: z", "a\r\n" },
        { "remark formed by a removal", "CommComment: x\nent: y\nz", "z" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FilterArinComments(row.reply), row.expected);
    }

    const QByteArray apnic = FilterArinComments(WhoisFixture("whois.arin.net-referral-whois-apnic-2014.txt"));
    // The one empty "Comment:" line has no blank after its colon and stays.
    EXPECT_FALSE(apnic.contains("Comment: "));
    EXPECT_EQ(apnic.count("Comment:"), 1);
    EXPECT_FALSE(apnic.contains("\r\n#"));
    EXPECT_FALSE(apnic.startsWith('#'));
    EXPECT_TRUE(apnic.contains("\r\nReferralServer: whois://whois.apnic.net\r\n"));
}

} // namespace
} // namespace vesk
