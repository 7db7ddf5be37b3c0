#include "defs/definition_tables.h"
#include "support/test_data.h"
#include "whois/reply_parsing.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::WhoisFixture;

THostMark Profile(const char* host, const char* start, const char* end)
{
    THostMark mark;
    mark.Host = host;
    mark.StartMark = start;
    mark.EndMark = end;
    return mark;
}

TEST(BuildDomainQueryTest, PrefixAndSuffixAroundTheLoweredTrimmedDomain)
{
    struct Row
    {
        const char* name;
        const char* prefix;
        const char* suffix;
        QByteArray domain;
        QByteArray expected;
    } rows[] = {
        { "bare domain", "", "", " Example.COM ", "example.com" },
        { "prefix only", "domain", "", "\tExample.COM", "domain example.com" },
        { "prefix with blanks", "-T dn,ace", "", "google.de", "-T dn,ace google.de" },
        { "suffix only", "", "/e", "Example.jp", "example.jp /e" },
        // Only A-Z change case: a byte of another code page stays as it is.
        { "non-ASCII kept", "", "", "\xC4XAMPLE.de", "\xC4xample.de" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        THostMark profile;
        profile.QueryPrefix = row.prefix;
        profile.QuerySuffix = row.suffix;
        EXPECT_EQ(BuildDomainQuery(profile, row.domain), row.expected);
    }
}

TEST(RemovePrefixedLinesTest, RemovesMatchingLinesAndNormalisesLineBreaks)
{
    struct Row
    {
        const char* name;
        QByteArray text;
        QByteArray prefix;
        QByteArray expected;
    } rows[] = {
        { "CR LF lines", "% a\r\nb\r\n% c\r\nd\r\n", "%", "b\r\nd" },
        { "LF lines become CR LF", "% a\nb\n% c\nd\n", "%", "b\r\nd" },
        { "lone CR becomes CR LF", "b\rc", "%", "b\r\nc" },
        { "CR before CR LF", "a\r\r\nb", "%", "a\r\n\r\nb" },
        { "consecutive matches", "a\n%1\n%2\n%3\nb", "%", "a\r\nb" },
        { "empty lines inside stay", "a\n\n% c\nb", "%", "a\r\n\r\nb" },
        { "only a comment, no line break", "% only", "%", "" },
        { "last line matches, no line break", "a\r\n% b", "%", "a" },
        { "indented prefix stays", "x\n % y\nb", "%", "x\r\n % y\r\nb" },
        { "prefix inside a line stays", "a % b", "%", "a % b" },
        { "longer prefix", "%% x\n% y\nz", "%%", "% y\r\nz" },
        { "hash comments", "# a\nNet: 1\n#\n", "#", "Net: 1" },
        { "result trimmed", "  \n% x\n  body \n\n", "%", "body" },
        { "every line begins with the empty prefix", "a\nb\n", "", "" },
        { "a prefix with a line break matches no line", "a\n%\nb\n", "a\n%", "a\r\n%\r\nb" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RemovePrefixedLines(row.text, row.prefix), row.expected);
    }
}

TEST(RemovePrefixedLinesTest, RecordedRepliesLoseTheirCommentBlocks)
{
    const QByteArray denic = RemovePrefixedLines(WhoisFixture("whois.denic.de-de-registered-T-dn-ace.txt"), "%");
    EXPECT_TRUE(denic.startsWith("Domain: google.de\r\n")) << denic.left(40).toStdString();
    EXPECT_FALSE(denic.contains("\r\n%"));
    EXPECT_FALSE(denic.contains("\n\n"));

    // Mixed line ends: every break comes out as CR LF, no bare CR or LF left.
    const QByteArray pir = RemovePrefixedLines(WhoisFixture("whois.pir.org-org-registered-2020.txt"), "%");
    EXPECT_EQ(pir.count('\r'), pir.count('\n'));
    EXPECT_EQ(pir.count('\r'), pir.count("\r\n"));
    EXPECT_TRUE(pir.endsWith("of the queried domain name."));
}

TEST(RemoveAllTest, RemovesEveryOccurrenceIncludingReformedOnes)
{
    struct Row
    {
        const char* name;
        QByteArray text;
        QByteArray token;
        QByteArray expected;
    } rows[] = {
        { "record prefixes", "domain:ID:1\r\ndomain:Name:x", "domain:", "ID:1\r\nName:x" },
        { "token formed by a removal", "dodomain:main:x", "domain:", "x" },
        { "overlapping runs", "aaa", "aa", "a" },
        { "self-overlapping token", "ababa", "aba", "ba" },
        { "empty token", "a:b", "", "a:b" },
        { "absent token", "a:b", "domain:", "a:b" },
        { "everything removed", "xxxx", "x", "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RemoveAll(row.text, row.token), row.expected);
    }
}

TEST(TrimByHostMarkTest, CutsByStartAndEndMark)
{
    struct Row
    {
        const char* name;
        THostMark profile;
        QByteArray reply;
        QByteArray expected;
    } rows[] = {
        { "3CRLF after a header", Profile("whois.x", "3CRLF", ""), "Header\r\n\r\n\r\nBody line\r\n", "Body line" },
        { "3CRLF with LF breaks", Profile("whois.x", "3CRLF", ""), "Header\n\n\nBody\nmore\n", "Body\r\nmore" },
        { "3CRLF made of % lines", Profile("whois.x", "3CRLF", ""), "Head\n%a\n\n\n\nBody", "Body" },
        { "end mark and the rest go", Profile("whois.x", "", ">>> Last"), "Name: X\r\nmore\r\n>>> Last update\r\nterms",
          "Name: X\r\nmore" },
        { "start mark stays", Profile("whois.x", "Domain Name:", ""), "notice\nDomain Name: X\n", "Domain Name: X" },
        { "missing start mark cuts nothing", Profile("whois.x", "Domain Name:", ""), "notice\nbody\n",
          "notice\r\nbody" },
        { "end mark searched after the cut", Profile("whois.x", "START", "END"), "END x START body END tail",
          "START body" },
        { "empty profile removes % lines only", THostMark {}, "% c\n  body  \n>>> x\n", "body  \r\n>>> x" },
        { "marks of a profile without host unused", Profile("", "START", "END"), "a START b END c", "a START b END c" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TrimByHostMark(row.profile, row.reply), row.expected);
    }
}

TEST(TrimByHostMarkTest, RegistryRecordCutToTheDomainRecord)
{
    const THostMark registry = Profile("whois.verisign-grs.com", "Domain Name:", ">>> Last update of whois database");
    const QByteArray body
        = TrimByHostMark(registry, WhoisFixture("whois.verisign-grs.com-com-registered-oldformat-2014.txt"));
    EXPECT_TRUE(body.startsWith("Domain Name: VERISIGN-GRS.COM\r\n")) << body.left(40).toStdString();
    EXPECT_TRUE(body.endsWith("Expiration Date: 08-sep-2015"));
    EXPECT_FALSE(body.contains(">>>"));
}

TEST(RWhoisReplyTest, RecognisedOnlyByTheExactVersionBanner)
{
    EXPECT_TRUE(IsRWhoisReply("%rwhois V-1.5:003fff:00 rwhois.example.net\r\n"));
    EXPECT_TRUE(IsRWhoisReply("[header]\n%rwhois V-1.5:"));
    EXPECT_FALSE(IsRWhoisReply("%rwhois V-1.0:003fff:00 rwhois.example.net\r\n"));
    EXPECT_FALSE(IsRWhoisReply("%RWHOIS V-1.5:003fff:00"));
    EXPECT_FALSE(IsRWhoisReply(""));
    EXPECT_TRUE(IsRWhoisReply(WhoisFixture("rwhois.softlayer.com-network-record-2013.txt")));
}

TEST(RWhoisReplyTest, FilterDropsCommentsAndDomainPrefixOnlyForRWhois)
{
    const QByteArray rwhois = FilterRWhoisReply(WhoisFixture("master.rwhois.net-rfc2167-example-successful-query.txt"));
    EXPECT_FALSE(rwhois.contains("domain:"));
    EXPECT_FALSE(rwhois.contains('%'));
    EXPECT_TRUE(rwhois.startsWith("ID:dom-1.rwhois.net\r\nAuth-Area:rwhois.net\r\n")) << rwhois.left(40).toStdString();

    // Not RWhois: "domain:" is an ordinary label and stays; only the "%%" notice goes.
    const QByteArray afnic = FilterRWhoisReply(WhoisFixture("whois.nic.fr-fr-registered.txt"));
    EXPECT_TRUE(afnic.startsWith("[Querying whois.nic.fr]\r\n[whois.nic.fr]\r\n\r\ndomain:      google.fr\r\n"));
    EXPECT_FALSE(afnic.contains("\r\n%"));
}

class ExtractWhoisServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_definitions.SetTldRows({ { "com", "Commercial", "whois.verisign-grs.com" },
                                   { "net", "Network", "whois.verisign-grs.com" },
                                   { "org", "Organisations", "whois.pir.org" },
                                   { "example", "Test", "" } });
    }
    // The engine's question: does the host end in a TLD of the table?
    QByteArray Extract(QByteArrayView reply) const
    {
        return ExtractWhoisServer(reply, [this](QByteArrayView host) { return m_definitions.HasKnownTld(host); });
    }
    DefinitionTables m_definitions;
};

TEST_F(ExtractWhoisServerTest, ValueRules)
{
    struct Row
    {
        const char* name;
        QByteArray reply;
        QByteArray expected;
    } rows[] = {
        { "CR stays in the value", "Whois Server: whois.registrar.example\r\nNext: 1\r\n",
          "whois.registrar.example\r" },
        { "unknown TLD", "Whois Server: whois.registrar.invalid\r\n", "" },
        { "only the byte after the colon skipped", "   Whois Server:  two.example\n", " two.example" },
        { "no line feed after the value", "Whois Server: whois.tail.example", "whois.tail.example" },
        { "label at the end", "Whois Server:", "" },
        { "empty value", "Whois Server: ", "" },
        { "first occurrence only", "Whois Server: a.invalid\nWhois Server: b.com\n", "" },
        { "banner line is not the label", "Whois Server Version 2.0\n", "" },
        { "newer label", "Registrar WHOIS Server: whois.markmonitor.com\r\n", "whois.markmonitor.com\r" },
        { "older label wins wherever it is", "Registrar WHOIS Server: a.com\nWhois Server: b.net\n", "b.net" },
        { "no fallback when the older label is unusable", "Whois Server: x.invalid\nRegistrar WHOIS Server: a.com\n",
          "" },
        { "newer label, empty value", "Registrar WHOIS Server: \r\n", "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Extract(row.reply), row.expected);
    }
}

TEST_F(ExtractWhoisServerTest, RecordedRegistryReplies)
{
    struct Row
    {
        const char* file;
        QByteArray expected;
    } rows[] = {
        { "whois.verisign-grs.com-com-registered-oldformat-2014.txt", "whois.corporatedomains.com" },
        { "whois.verisign-grs.com-com-registered-newformat-2020.txt", "whois.markmonitor.com\r" },
        { "whois.verisign-grs.com-net-registered-newformat-2020.txt", "whois.domain.com\r" },
        { "whois.crsnic.net-net-registered-2009.txt", "whois.markmonitor.com" },
        { "whois.verisign-grs.com-com-notfound-newformat-2020.txt", "" },
        // Only "WHOIS Server:" with an empty value: neither label is there.
        { "whois.pir.org-org-registered-2014.txt", "" },
        { "whois.pir.org-org-registered-2020.txt", "whois.markmonitor.com\r" },
        // The first "Whois Server:" of a list answer belongs to a name-server record, not to the domain.
        { "whois.verisign-grs.com-com-list-several-matches-2014.txt", "whois.tucows.com" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        EXPECT_EQ(Extract(WhoisFixture(row.file)), row.expected);
    }
}

TEST_F(ExtractWhoisServerTest, ListAnswerCutToTheDomainRecordNamesItsRegistrar)
{
    const THostMark registry = Profile("whois.verisign-grs.com", "Domain Name:", ">>> Last update of whois database");
    const QByteArray record
        = TrimByHostMark(registry, WhoisFixture("whois.verisign-grs.com-com-list-several-matches-2014.txt"));
    EXPECT_EQ(Extract(record), "whois.markmonitor.com\r");
}

TEST(ExtractLabelValueTest, TrimmedValueAfterTheNextColon)
{
    const QByteArray softlayer = WhoisFixture("rwhois.softlayer.com-network-record-2013.txt");
    struct Row
    {
        const char* name;
        QByteArray reply;
        QByteArray label;
        QByteArray expected;
    } rows[] = {
        { "handle after the label", "domain:Admin-Contact:XYZ12-ORG\r\nx", "Admin-Contact", "XYZ12-ORG" },
        { "last line without a break", "x\r\ndomain:Billing-Contact:AB1-ORG", "Billing-Contact", "AB1-ORG" },
        { "value trimmed", "Tech-Contact:  H1 \t\r\n", "Tech-Contact", "H1" },
        { "label inside a word", "XAdmin-Contact: v\n", "Admin-Contact", "v" },
        { "colon on a later line", "Admin-Contact\nfoo: bar\n", "Admin-Contact", "bar" },
        { "colon is the last byte", "Admin-Contact:", "Admin-Contact", "" },
        { "no colon after the label", "Admin-Contact x", "Admin-Contact", "" },
        { "absent label", "Tech-Contact:T1\n", "Admin-Contact", "" },
        { "empty label", "a:b\n", "", "" },
        { "typed attribute", softlayer, "Tech-Contact", "sysadmins@softlayer.com" },
        { "typed attribute later in the record", softlayer, "Admin-Contact", "IPADM258-ARIN" },
        { "absent in the record", softlayer, "Billing-Contact", "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExtractLabelValue(row.reply, row.label), row.expected);
    }
}

} // namespace
} // namespace vesk
