#include "history/report_changes.h"
#include "history/report_fields.h"
#include "rdap/domain_text.h"
#include "rdap/network_text.h"
#include "rdap/rdap_answer.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// A report as the worksheet holds it: header box, then each reply under its source box, then the closing empty line.
QStringList Report(const QString& title, const QList<std::pair<QString, QByteArray>>& sections)
{
    QStringList lines = HeaderBox(title);
    for (const auto& [boxTitle, reply] : sections)
        lines << SourceBox(boxTitle, QStringLiteral("source: whois.example")) << SheetLines(reply);
    lines << QString();
    return lines;
}

QStringList DomainReport(const QByteArray& reply)
{
    return Report(QStringLiteral("DOMAIN REPORT FOR: GOOGLE.COM"),
                  { { QStringLiteral("DOMAIN DETAILS for GOOGLE.COM"), reply } });
}

QStringList NetworkReport(const char* address, const QByteArray& reply)
{
    return Report(QStringLiteral("REPORT FOR IP Address: ") + QString::fromLatin1(address),
                  { { QStringLiteral("NETWORK DETAILS for ") + QString::fromLatin1(address), reply } });
}

QStringList Values(const ReportFields& fields, const QString& label)
{
    QStringList values;
    for (const ReportField& field : fields) {
        if (field.DisplayLabel() == label)
            values.append(field.Value);
    }
    return values;
}

QStringList Strings(const std::vector<const char*>& texts)
{
    QStringList list;
    for (const char* text : texts)
        list << QString::fromUtf8(text);
    return list;
}

QByteArray RenderedRdap(const char* fixture)
{
    const RdapAnswer answer = ParseRdapAnswer(ReadTestData(QStringLiteral("rdap/") + QString::fromLatin1(fixture)));
    return answer.Kind == RdapAnswerKind::Domain ? RenderDomainRecord(answer, false)
                                                 : RenderNetworkRecord(answer, false);
}

TEST(ReportFieldsTest, RecordedRepliesGiveTheFieldsAPersonCompares)
{
    struct Row
    {
        const char* name;
        QStringList report;
        std::vector<std::pair<const char*, std::vector<const char*>>> expected; // every value of these labels
    };
    const Row rows[] = {
        { "registry, new format",
          DomainReport(WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt")),
          { { "Registrar", { "MarkMonitor Inc." } },
            { "Registrar IANA ID", { "292" } },
            { "Registry Expiry Date", { "2028-09-14T04:00:00Z" } },
            { "Updated Date", { "2019-09-09T15:39:04Z" } },
            { "Creation Date", { "1997-09-15T04:00:00Z" } },
            { "Domain Status",
              { "clientDeleteProhibited https://icann.org/epp#clientDeleteProhibited",
                "clientTransferProhibited https://icann.org/epp#clientTransferProhibited",
                "clientUpdateProhibited https://icann.org/epp#clientUpdateProhibited",
                "serverDeleteProhibited https://icann.org/epp#serverDeleteProhibited",
                "serverTransferProhibited https://icann.org/epp#serverTransferProhibited",
                "serverUpdateProhibited https://icann.org/epp#serverUpdateProhibited" } },
            { "Name Server", { "NS1.GOOGLE.COM", "NS2.GOOGLE.COM", "NS3.GOOGLE.COM", "NS4.GOOGLE.COM" } },
            { "DNSSEC", { "unsigned" } },
            { "Registrar Abuse Contact Email", { "abusecomplaints@markmonitor.com" } } } },
        { "registrar with registrant",
          DomainReport(WhoisFixture("whois.markmonitor.com-com-registered.txt")),
          { { "Registrar Registration Expiration Date", { "2020-09-13T21:00:00-0700" } },
            { "Registrant Organization", { "Google Inc." } },
            { "Registrant Name", { "Dns Admin" } },
            { "Registrant State/Province", { "CA" } },
            { "Registrant Country", { "US" } },
            { "Registry Expiry Date", {} } } },
        { "registry, old format",
          DomainReport(WhoisFixture("whois.verisign-grs.com-com-registered-oldformat-2014.txt")),
          { { "Registrar", { "CSC CORPORATE DOMAINS, INC." } },
            { "Registry Expiry Date", { "08-sep-2015" } },
            { "Domain Status",
              { "clientTransferProhibited", "serverDeleteProhibited", "serverTransferProhibited",
                "serverUpdateProhibited" } } } },
        { "country registry, values in indented blocks",
          DomainReport(WhoisFixture("whois.nic.uk-uk-registered.txt")),
          { { "Registrar", { "Markmonitor Inc. t/a Markmonitor [Tag = MARKMONITOR]" } },
            { "Creation Date", { "14-Feb-1999" } },
            { "Registry Expiry Date", { "14-Feb-2015" } },
            { "Domain Status", { "Registered until expiry date." } },
            { "Name Server", { "ns1.google.com", "ns2.google.com", "ns3.google.com", "ns4.google.com" } } } },
        { "registrar block with its Name line",
          DomainReport(WhoisFixture("whois.eu-eu-registered.txt")),
          { { "Registrar", { "MarkMonitor Inc." } },
            { "Name Server", { "ns3.google.com", "ns4.google.com", "ns1.google.com", "ns2.google.com" } } } },
        { "tab-indented blocks",
          DomainReport(WhoisFixture("whois.dns.be-be-registered-2014.txt")),
          { { "Registrar", { "MarkMonitor Inc." } },
            { "Name Server", { "ns4.google.com", "ns3.google.com", "ns1.google.com", "ns2.google.com" } } } },
        { "ARIN network",
          NetworkReport("4.2.2.1", WhoisFixture("whois.arin.net-single-record-2013.txt")),
          { { "NetRange for 4.2.2.1", { "4.0.0.0 - 4.255.255.255" } },
            { "CIDR for 4.2.2.1", { "4.0.0.0/8" } },
            { "NetName for 4.2.2.1", { "LVLT-ORG-4-8" } },
            { "OriginAS for 4.2.2.1", {} }, // written without a value
            { "Organization for 4.2.2.1", { "Level 3 Communications, Inc." } },
            { "Country for 4.2.2.1", { "US" } } } },
        { "RIPE network",
          NetworkReport("151.99.187.1", WhoisFixture("whois.ripe.net-ip-inetnum-2023.txt")),
          { { "NetRange for 151.99.187.1", { "151.99.187.0 - 151.99.187.255" } },
            { "NetName for 151.99.187.1", { "INTERBUSINESS" } },
            { "Country for 151.99.187.1", { "IT" } },
            { "OriginAS for 151.99.187.1", { "AS3269" } } } },
        { "LACNIC block in CIDR form",
          NetworkReport("200.68.34.57", WhoisFixture("whois.lacnic.net-ip-inetnum-2021.txt")),
          { { "CIDR for 200.68.34.57", { "200.68.34.56/29" } },
            { "NetRange for 200.68.34.57", {} },
            { "Organization for 200.68.34.57", { "Agencia de Aduanas Patricio Sesnich Stewart y Comp" } } } },
        { "RDAP network as rendered",
          NetworkReport("192.198.0.1", RenderedRdap("rir-arin-ip-network-192.198.0.0.json")),
          { { "NetRange for 192.198.0.1", { "192.198.0.0 - 192.198.3.255" } },
            { "CIDR for 192.198.0.1", { "192.198.0.0/22" } },
            { "NetName for 192.198.0.1", { "RADIOLINK-ARIN-1" } } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ReportFields fields = ExtractReportFields(row.report);
        for (const auto& [label, values] : row.expected)
            EXPECT_EQ(Values(fields, QString::fromLatin1(label)), Strings(values)) << label;
        // Only the domain's own fields and those of its networks: nothing else of the reply is taken.
        for (const ReportField& field : fields)
            EXPECT_FALSE(field.Label.contains(u"Last update", Qt::CaseInsensitive));
    }
}

TEST(ReportFieldsTest, ExpiryIsTheRegistrysElseTheRegistrars)
{
    EXPECT_EQ(ExpiryOf(ExtractReportFields(DomainReport(WhoisFixture("whois.markmonitor.com-com-registered.txt")))),
              QStringLiteral("2020-09-13T21:00:00-0700"));
    EXPECT_EQ(ExpiryOf(ExtractReportFields(DomainReport(
                  "Registrar Registration Expiration Date: 2031-01-01\r\nExpiration Date: 2030-01-01\r\n"))),
              QStringLiteral("2030-01-01"));
}

TEST(ReportFieldsTest, VolatileLinesContactsAndAnEarlierChangesSectionNeverCount)
{
    QStringList report = DomainReport("Registrar: Example Registrar\r\n"
                                      ">>> Last update of WHOIS database: 2024-01-01T00:00:00Z <<<\r\n"
                                      "% Registrar: commented out\r\n"
                                      "# Name Server: ns9.example.net\r\n"
                                      "NOTICE: The expiration date displayed in this record is the date the\r\n"
                                      "Name Server:\r\n");
    report << SourceBox(QStringLiteral("CONTACT DETAILS for HANDLE-1"), QStringLiteral("source: whois.example"))
           << QStringLiteral("Registrar: Someone Else") << QString();
    report << ChangesSection(
        { FieldChange { ChangeOp::Added, QStringLiteral("Name Server"), {}, QStringLiteral("ns1.example.net") } },
        QDateTime(QDate(2024, 1, 2), QTime(3, 4)));
    report << QStringLiteral("Name Server: ns2.example.net"); // still inside the changes section

    const ReportFields fields = ExtractReportFields(report);
    EXPECT_EQ(fields,
              (ReportFields { ReportField { QStringLiteral("Registrar"), {}, QStringLiteral("Example Registrar") } }));
    // The lines before any detail section (the addresses of the domain report) hold no field either.
    EXPECT_TRUE(
        ExtractReportFields({ QStringLiteral("IP Address for example.com"), QStringLiteral("2001:db8::1") }).isEmpty());
}

TEST(ReportFieldsTest, EqualByMeaning)
{
    struct Row
    {
        const char* label;
        const char* a;
        const char* b;
        bool equal;
    };
    const Row rows[] = {
        { "Registry Expiry Date", "2028-09-13T07:00:00.000+0000", "2028-09-13T07:00:00Z", true },
        { "Registry Expiry Date", "2020-09-13T21:00:00-0700", "2020-09-14T04:00:00Z", true },
        { "Registry Expiry Date", "2020-09-13T21:00:00-07:00", "2020-09-14 04:00:00 UTC", true },
        { "Registry Expiry Date", "08-sep-2015", "2015-09-08", true },
        { "Registry Expiry Date", "2015-09-08", "2015-09-08T00:00:00Z", true },
        { "Registry Expiry Date", "2028-09-13T07:00:00Z", "2028-09-13T07:00:01Z", false },
        { "Registry Expiry Date", "2028-09-13T07:00:00Z", "2028-09-13T07:00:00+0100", false },
        { "Registry Expiry Date", "not a date", "not a date", true },
        { "Registry Expiry Date", "2028-13-45", "2028-13-46", false },
        { "Domain Status", "clientTransferProhibited https://icann.org/epp#clientTransferProhibited",
          "clientTransferProhibited", true },
        { "Domain Status", "clientTransferProhibited (https://www.icann.org/epp#clientTransferProhibited)",
          "client transfer prohibited", true },
        { "Domain Status", "active", "ok https://icann.org/epp#ok", true },
        { "Domain Status", "clientTransferProhibited", "serverTransferProhibited", false },
        { "Name Server", "NS1.GOOGLE.COM", "ns1.google.com.", true },
        { "Name Server", "ns1.google.com", "ns2.google.com", false },
        { "Registrant Country", "us", "US", true },
        { "DNSSEC", "Unsigned", "unsigned", true },
        { "OriginAS", "AS3269", "3269", true },
        { "Organization", "Level 3 Communications, Inc. (LVLT)", "Level 3 Communications, Inc.", true },
        { "Organization", "Level 3 (Communications)", "Level 3", false },
        { "NetRange", "4.0.0.0 - 4.255.255.255", "4.0.0.0-4.255.255.255", true },
        { "Registrar", "MarkMonitor Inc.", "MarkMonitor, Inc.", false },
        { "Registrar", "MarkMonitor  Inc.", "MarkMonitor Inc.", true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.label) + ": " + row.a + " / " + row.b);
        const QString label = QString::fromLatin1(row.label);
        EXPECT_EQ(FieldKey(label, QString::fromLatin1(row.a)) == FieldKey(label, QString::fromLatin1(row.b)),
                  row.equal);
    }
}

TEST(ReportFieldsTest, PortFortyThreeAndRdapRecordsOfOneDomainCompareEqual)
{
    // The same registry record of google.com, once over port 43 and once rendered from the RDAP answer.
    const ReportFields port43
        = ExtractReportFields(DomainReport(WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt")));
    const ReportFields rdap = ExtractReportFields(DomainReport(RenderedRdap("verisign-com-google.com.json")));
    ASSERT_GE(rdap.size(), 10);
    QStringList differences;
    for (const FieldChange& change : CompareFields(port43, rdap))
        differences << ChangeLine(change);
    EXPECT_EQ(differences, QStringList()) << differences.join(u'\n').toStdString();
}

TEST(ReportFieldsTest, UntrustedRepliesAreBounded)
{
    QByteArray reply;
    for (int i = 0; i < 5000; ++i)
        reply += "Name Server: ns" + QByteArray::number(i) + ".example.net\r\n";
    reply += "Registrar: " + QByteArray(100000, 'x') + "\r\n";
    reply += "Registrar IANA ID:" + QByteArray(3, '\0') + "\r\n: no label\r\n:::\r\n";
    const ReportFields fields = ExtractReportFields(DomainReport(reply));
    EXPECT_EQ(Values(fields, QStringLiteral("Name Server")).size(), kMaxValuesPerField);
    ASSERT_EQ(Values(fields, QStringLiteral("Registrar")).size(), 1);
    EXPECT_EQ(Values(fields, QStringLiteral("Registrar")).front().size(), kMaxFieldValueChars);
    // What is stored reads back the same; a damaged stored text reads as no fields.
    EXPECT_EQ(FieldsFromJson(FieldsToJson(fields)), fields);
    const ReportFields escaped { { QStringLiteral("Registrar"), QStringLiteral("10.0.0.0"),
                                   QStringLiteral("\"q\" \\ \t\x01 \u202e\u00e9\U0001F600 {}[],:") } };
    EXPECT_EQ(FieldsFromJson(FieldsToJson(escaped)), escaped);
    EXPECT_TRUE(FieldsFromJson("{\"label\":").isEmpty());
    EXPECT_TRUE(FieldsFromJson("[1, \"x\", {\"label\": 3}]").isEmpty());
}

} // namespace
} // namespace vesk::test
