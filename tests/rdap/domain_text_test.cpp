#include "rdap/domain_text.h"
#include "rdap/text_lines.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

QByteArray Render(const char* fixture, bool filter = true)
{
    return RenderDomainRecord(
        ParseRdapAnswer(test::ReadTestData(QStringLiteral("rdap/") + QString::fromLatin1(fixture))), filter);
}

QByteArray RenderJson(const QByteArray& json, bool filter = true)
{
    return RenderDomainRecord(ParseRdapAnswer(json), filter);
}

TEST(DomainTextTest, ThinRegistryRecordInPort43Labels)
{
    EXPECT_EQ(Render("verisign-com-google.com.json"),
              "Domain Name: GOOGLE.COM\r\n"
              "Registry Domain ID: 2138514_DOMAIN_COM-VRSN\r\n"
              "Updated Date: 2019-09-09T15:39:04Z\r\n"
              "Creation Date: 1997-09-15T04:00:00Z\r\n"
              "Registry Expiry Date: 2028-09-14T04:00:00Z\r\n"
              "Registrar: MarkMonitor Inc.\r\n"
              "Registrar IANA ID: 292\r\n"
              "Registrar Abuse Contact Email: abusecomplaints@markmonitor.com\r\n"
              "Registrar Abuse Contact Phone: +1.2086851750\r\n"
              "Domain Status: clientDeleteProhibited\r\n"
              "Domain Status: clientTransferProhibited\r\n"
              "Domain Status: clientUpdateProhibited\r\n"
              "Domain Status: serverDeleteProhibited\r\n"
              "Domain Status: serverTransferProhibited\r\n"
              "Domain Status: serverUpdateProhibited\r\n"
              "Name Server: NS1.GOOGLE.COM\r\n"
              "Name Server: NS2.GOOGLE.COM\r\n"
              "Name Server: NS3.GOOGLE.COM\r\n"
              "Name Server: NS4.GOOGLE.COM\r\n"
              "DNSSEC: unsigned");
}

TEST(DomainTextTest, RegistrarRecordWithPrivacyRemarks)
{
    const QByteArray text = Render("registrar-markmonitor-google.com.json");
    for (const char* line : {
             "Registrar WHOIS Server: whois.markmonitor.com\r\n",
             "Updated Date: 2019-09-09T15:39:04.000+0000\r\n", // "last update", as this registrar writes it
             "Registrar: MarkMonitor Inc.\r\n", // its "org", having no "fn"
             "Registrant Name: REDACTED\r\nRegistrant Organization: Google LLC\r\nRegistrant Street: REDACTED\r\n",
             "Registrant State/Province: CA\r\nRegistrant Postal Code: REDACTED\r\nRegistrant Country: US\r\n",
             "Admin Email: REDACTED\r\nTech Name: REDACTED\r\n",
             "Tech Email: REDACTED\r\nName Server: ns1.google.com\r\n",
         }) {
        EXPECT_TRUE(text.contains(line)) << line;
    }
    EXPECT_FALSE(text.contains("Billing")); // no billing entity, nothing redacted for it
    EXPECT_FALSE(text.contains("contact_URI"));
}

TEST(DomainTextTest, RedactedArrayNamesFieldsAndWholeContacts)
{
    const QByteArray text = Render("redaction-rfc9537-icann-rdap-example.com.json");
    for (const char* line : {
             "Domain Name: example.com\r\nRegistry Domain ID: REDACTED\r\n",
             "Registrant Organization: REDACTED\r\n", // removed from the answer, named by the array
             "Registrant State/Province: QC\r\nRegistrant Postal Code: REDACTED\r\nRegistrant Country: Canada\r\n",
             "Admin Name: REDACTED\r\n", // "Administrative Contact" withholds the whole contact
             "Tech Name: REDACTED\r\nTech Organization: Example Inc.\r\nTech Street: 4321 Rue Somewhere\r\n"
             "Tech Street: Suite 1234\r\nTech City: Quebec\r\n",
             "Tech Phone: REDACTED\r\nTech Email: REDACTED\r\nBilling Name: REDACTED\r\n",
         }) {
        EXPECT_TRUE(text.contains(line)) << line;
    }
}

TEST(DomainTextTest, ThickAndManyTldRegistries)
{
    const QByteArray thick = Render("registry-uniregistry-microsoft.click-ABRIDGED.json");
    EXPECT_TRUE(thick.contains("Registrant Organization: Microsoft Corporation\r\n"));
    EXPECT_TRUE(thick.contains("Registrar Abuse Contact Phone: +1.2083895740\r\n")); // the voice line, not the fax
    EXPECT_TRUE(thick.contains("Admin Country: REDACTED\r\n"));
    EXPECT_TRUE(thick.contains("Name Server: ns4-08.azure-dns.info\r\nName Server: ns2-08.azure-dns.net\r\n"));

    const QByteArray many = Render("identitydigital-identity.digital-ABRIDGED.json");
    EXPECT_TRUE(many.contains("Registrar URL: https://namerdap.systems/\r\n"));
    EXPECT_TRUE(many.contains("Updated Date: 2026-07-23T00:05:29.72Z\r\n"));
    EXPECT_TRUE(many.contains("Registrar: Name.com, Inc.\r\nDomain Status: clientTransferProhibited\r\n"));
}

TEST(DomainTextTest, NoticesFollowTheRecordOnlyWithoutFiltering)
{
    const QByteArray filtered = Render("verisign-com-google.com.json", true);
    const QByteArray full = Render("verisign-com-google.com.json", false);
    EXPECT_TRUE(full.startsWith(filtered));
    EXPECT_TRUE(full.mid(filtered.size())
                    .startsWith("\r\n\r\nTerms of Use\r\nService subject to Terms of Use.\r\n\r\nStatus Codes\r\n"
                                "For more information on domain status codes, please visit https://icann.org/epp\r\n"));
    EXPECT_TRUE(full.endsWith("URL of the ICANN RDDS Inaccuracy Complaint Form: https://icann.org/wicf"));
    EXPECT_TRUE(RenderJson(R"({"objectClassName":"domain","ldhName":"a.b","remarks":[{"description":["x"]}]})", false)
                    .endsWith("a.b\r\n\r\nx"));
}

TEST(DomainTextTest, EppStatusForms)
{
    EXPECT_EQ(EppStatus(QStringLiteral("client transfer prohibited")), QStringLiteral("clientTransferProhibited"));
    EXPECT_EQ(EppStatus(QStringLiteral("  Pending   Delete ")), QStringLiteral("pendingDelete"));
    EXPECT_EQ(EppStatus(QStringLiteral("active")), QStringLiteral("ok"));
    EXPECT_EQ(EppStatus(QStringLiteral("inactive")), QStringLiteral("inactive"));
    EXPECT_EQ(EppStatus(QString()), QString());
}

TEST(DomainTextTest, WrongTypesAndHostileValues)
{
    // Every member of the wrong type: read as absent, never a crash.
    EXPECT_EQ(RenderJson(R"({"objectClassName":"domain","ldhName":5,"handle":{},"port43":[],"status":"active",
        "entities":{"roles":["registrar"]},"nameservers":[1,null,{"ldhName":["x"]},{"unicodeName":"ns.b"}],
        "secureDNS":[true],"events":[{"eventAction":1},"x",{"eventAction":"registration","eventDate":null}],
        "redacted":7,"notices":"x","remarks":[{"title":[],"description":"y"}]})",
                         false),
              "Domain Name: 5\r\nName Server: ns.b");
    EXPECT_EQ(RenderJson(R"({"objectClassName":"domain","entities":[{"roles":"registrant"},{"roles":["technical"],
        "vcardArray":["vcard",[["fn"],["org",{},"text",["Org","Unit"]],["adr",5,"text",{}],["tel","x","uri",7]]]}],
        "redacted":[{"name":"Tech Name"},{"name":{"type":["x"]}}]})"),
              "Tech Organization: Org\r\nTech Phone: 7");
    // A value cannot start a line of its own.
    EXPECT_EQ(RenderJson(R"({"objectClassName":"domain","ldhName":"a.b\r\nRegistrar: evil\u0085x"})"),
              "Domain Name: a.b  Registrar: evil x");
}

TEST(DomainTextTest, OutputStaysBounded)
{
    QByteArray servers;
    for (int i = 0; i < 100000; ++i)
        servers += R"({"ldhName":"ns)" + QByteArray::number(i) + R"(.example.com"},)";
    const QByteArray longLine(100000, 'x');
    const QByteArray json = R"({"objectClassName":"domain","ldhName":")" + longLine + R"(","nameservers":[)" + servers
        + R"(1],"notices":[{"title":"T","description":[")" + longLine + R"("]}]})";
    const QByteArray text = RenderJson(json, false);
    EXPECT_LE(text.size(), kMaxRdapTextBytes);
    EXPECT_TRUE(text.startsWith("Domain Name: " + QByteArray(kMaxRdapValueChars, 'x') + "\r\nName Server: ns0."));
    EXPECT_FALSE(text.contains("Name Server: ns99999.")); // dropped once the text was full
}

TEST(DomainTextTest, DeepNestingIsReadOnlyToAFixedDepth)
{
    // Entities nested 400 levels deep: within what the JSON reader takes, far below what the renderer walks.
    QByteArray json = R"({"objectClassName":"domain","ldhName":"deep.example","entities":[)";
    for (int i = 0; i < 400; ++i)
        json += R"({"roles":["x"],"entities":[)";
    json += R"({"roles":["registrant"],"vcardArray":["vcard",[["fn",{},"text","Deep"]]]})";
    for (int i = 0; i < 400; ++i)
        json += "]}";
    json += "]}";
    EXPECT_EQ(RenderJson(json), "Domain Name: deep.example");
}

} // namespace
} // namespace vesk
