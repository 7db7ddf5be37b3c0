#include "rdap/domain_text.h"
#include "rdap/rdap_entities.h"
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
              "Domain Status: clientDeleteProhibited https://icann.org/epp#clientDeleteProhibited\r\n"
              "Domain Status: clientTransferProhibited https://icann.org/epp#clientTransferProhibited\r\n"
              "Domain Status: clientUpdateProhibited https://icann.org/epp#clientUpdateProhibited\r\n"
              "Domain Status: serverDeleteProhibited https://icann.org/epp#serverDeleteProhibited\r\n"
              "Domain Status: serverTransferProhibited https://icann.org/epp#serverTransferProhibited\r\n"
              "Domain Status: serverUpdateProhibited https://icann.org/epp#serverUpdateProhibited\r\n"
              "Name Server: NS1.GOOGLE.COM\r\n"
              "Name Server: NS2.GOOGLE.COM\r\n"
              "Name Server: NS3.GOOGLE.COM\r\n"
              "Name Server: NS4.GOOGLE.COM\r\n"
              "DNSSEC: unsigned\r\n"
              "URL of the ICANN Whois Inaccuracy Complaint Form: https://icann.org/wicf\r\n"
              ">>> Last update of RDAP database: 2024-07-29T17:23:53Z <<<");
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
             "Tech Phone: REDACTED\r\nTech Fax: REDACTED\r\nTech Email: REDACTED\r\nBilling Name: REDACTED\r\n",
             "Registry Registrant ID: XXXX\r\nRegistrant Name: REDACTED\r\n", // emptyValue, placed by its path
             "Registry Tech ID: YYYY\r\n",
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
    EXPECT_TRUE(many.contains("Registrar: Name.com, Inc.\r\nDomain Status: clientTransferProhibited "
                              "https://icann.org/epp#clientTransferProhibited\r\n"));
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
    EXPECT_EQ(EppStatus(QStringLiteral("serverTransferProhibited")), QStringLiteral("serverTransferProhibited"));
    // RDAP statuses without an EPP name stay as the server wrote them.
    EXPECT_EQ(EppStatus(QStringLiteral("transfer  prohibited")), QStringLiteral("transfer prohibited"));
    EXPECT_EQ(EppStatus(QStringLiteral("Locked")), QStringLiteral("Locked"));
    EXPECT_EQ(EppStatus(QString()), QString());
}

TEST(DomainTextTest, StatusAddressesDatesAndClosingLines)
{
    const QByteArray text = RenderJson(R"({"objectClassName":"domain","ldhName":"a.example",
        "status":["active","client hold","locked","clientTransferProhibited"],
        "events":[{"eventAction":"expiration","eventDate":"2030-01-02T03:04:05.6+0200"},
                  {"eventAction":"last update of RDAP database","eventDate":"2026-12-08T10:00:00Z"}],
        "entities":[{"roles":["registrar"],"vcardArray":["vcard",[["fn",{},"text","R"]]],
                     "events":[{"eventAction":"registrar expiration","eventDate":"2029-01-01"}]}],
        "notices":[{"title":"Status Codes","links":[{"href":"https://icann.org/epp"}]},
                   {"title":"RDDS Inaccuracy Complaint Form",
                    "description":["URL of the ICANN RDDS Inaccuracy Complaint Form: https://www.icann.org/wicf."]}]})");
    EXPECT_EQ(text,
              "Domain Name: a.example\r\n"
              "Registry Expiry Date: 2030-01-02T03:04:05.6+0200\r\n"
              "Registrar Registration Expiration Date: 2029-01-01\r\n"
              "Registrar: R\r\n"
              "Domain Status: ok https://icann.org/epp#ok\r\n"
              "Domain Status: clientHold https://icann.org/epp#clientHold\r\n"
              "Domain Status: locked\r\n"
              "Domain Status: clientTransferProhibited https://icann.org/epp#clientTransferProhibited\r\n"
              "URL of the ICANN Whois Inaccuracy Complaint Form: https://www.icann.org/wicf\r\n"
              ">>> Last update of RDAP database: 2026-12-08T10:00:00Z <<<");
    // The form's line belongs to the record: written with comments too, before them.
    const QByteArray full = RenderJson(R"({"objectClassName":"domain","ldhName":"a.example",
        "notices":[{"title":"RDDS Inaccuracy Complaint Form","description":["See the form."],
                    "links":[{"href":"https://icann.org/wicf"}]}]})",
                                       false);
    EXPECT_EQ(full,
              "Domain Name: a.example\r\nURL of the ICANN Whois Inaccuracy Complaint Form: https://icann.org/wicf"
              "\r\n\r\nRDDS Inaccuracy Complaint Form\r\nSee the form.");
}

TEST(DomainTextTest, ContactsComplete)
{
    // Registrant: a label-only address in one-field-per-line layout, extensions, fax, a contact form for email.
    // Admin: a label-only address, then a structured one (which wins), under a privacy remark.
    // Tech: a structured address whose "cc" is shown rather than the country's name.
    const QByteArray text = RenderJson(R"({"objectClassName":"domain","ldhName":"a.example","entities":[
        {"roles":["registrant"],"handle":"C-1","vcardArray":["vcard",[["fn",{},"text","Ann"],
          ["adr",{"label":"8162 Sw 81st ST\nEllendale\nMN\n56026\nUnited States"},"text",["","","","","","",""]],
          ["tel",{"type":"voice"},"uri","tel:+1.5550100;ext=12"],["tel",{"type":["fax","work"]},"uri","tel:+1.5550101;ext=3"],
          ["contact-uri",{},"uri","https://registrar.example/contact"]]]},
        {"roles":["administrative"],"remarks":[{"title":"REDACTED FOR PRIVACY"}],"vcardArray":["vcard",[
          ["adr",{"label":"Somewhere"},"text",["","","","","","",""]],
          ["adr",{},"text",["","","1 Main St","Town","","","CA"]]]]},
        {"roles":["technical"],"vcardArray":["vcard",[["email",{},"text","t@a.example"],
          ["adr",{"cc":"DE"},"text",["","","Weg 1","Ort","","12345","Germany"]]]]}]})");
    EXPECT_EQ(text,
              "Domain Name: a.example\r\n"
              "Registry Registrant ID: C-1\r\n"
              "Registrant Name: Ann\r\n"
              "Registrant Street: 8162 Sw 81st ST\r\n"
              "Registrant City: Ellendale\r\n"
              "Registrant State/Province: MN\r\n"
              "Registrant Postal Code: 56026\r\n"
              "Registrant Country: United States\r\n"
              "Registrant Phone: +1.5550100\r\n"
              "Registrant Phone Ext: 12\r\n"
              "Registrant Fax: +1.5550101\r\n"
              "Registrant Fax Ext: 3\r\n"
              "Registrant Email: https://registrar.example/contact\r\n"
              "Admin Name: REDACTED\r\n"
              "Admin Organization: REDACTED\r\n"
              "Admin Street: 1 Main St\r\n"
              "Admin City: Town\r\n"
              "Admin State/Province: REDACTED\r\n"
              "Admin Postal Code: REDACTED\r\n"
              "Admin Country: CA\r\n"
              "Admin Phone: REDACTED\r\n"
              "Admin Email: REDACTED\r\n"
              "Tech Street: Weg 1\r\n"
              "Tech City: Ort\r\n"
              "Tech Postal Code: 12345\r\n"
              "Tech Country: DE\r\n"
              "Tech Email: t@a.example");
    // A label-only address under a privacy remark is there: its lines, not REDACTED.
    EXPECT_TRUE(RenderJson(R"({"objectClassName":"domain","entities":[{"roles":["registrant"],
        "remarks":[{"title":"REDACTED FOR PRIVACY"}],"vcardArray":["vcard",[
        ["adr",{"label":"SWITCH\nWerdstrasse 2\nPostfach\n8021 Zurich\nSwitzerland"},"text",["","","","","","",""]]]]}]})")
                    .contains("Registrant Street: SWITCH\r\nRegistrant Street: Werdstrasse 2\r\nRegistrant Street: "
                              "Postfach\r\nRegistrant Street: 8021 Zurich\r\nRegistrant Street: Switzerland\r\n"
                              "Registrant City: REDACTED\r\n"));
}

TEST(DomainTextTest, AddressLabelLayouts)
{
    struct Row
    {
        const char* label;
        const char* fields; // Street lines | City | Region | Postal Code | Country
    };
    const Row rows[] = {
        { "8162 Sw 81st ST\nEllendale\nMN\n56026\nUnited States", "8162 Sw 81st ST|Ellendale|MN|56026|United States" },
        { "Acme\n1 Road\nOttawa\nON\nK1A 0B1\nCanada", "Acme/1 Road|Ottawa|ON|K1A 0B1|Canada" },
        // A written "\n", as one registry sends it.
        { "PO Box 3646\\nSouth Brisbane, QLD 4101\\nAustralia", "PO Box 3646|South Brisbane|QLD|4101|Australia" },
        { " 123 Main St \r\n\r\nAnytown, CA 91921-1234\r\nUS\n", "123 Main St|Anytown|CA|91921-1234|US" },
        // Anything else is all Street.
        { "SWITCH\nWerdstrasse 2\nPostfach\n8021 Zurich\nSwitzerland",
          "SWITCH/Werdstrasse 2/Postfach/8021 Zurich/Switzerland||||" },
        { "1 Rue X\n75001 Paris\nFrance", "1 Rue X/75001 Paris/France||||" },
        { "Town, CA 91921\nUS", "Town, CA 91921/US||||" }, // no street line before the city line
        { "A\nB\nMN\n56026\n5 Countries", "A/B/MN/56026/5 Countries||||" },
        { "single line", "single line||||" },
        { "", "||||" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        VCardContact contact;
        SplitAddressLabel(QString::fromUtf8(row.label), contact);
        EXPECT_EQ(QStringList(
                      { contact.Street.join(u'/'), contact.City, contact.Region, contact.PostalCode, contact.Country })
                      .join(u'|'),
                  QString::fromUtf8(row.fields));
    }
}

TEST(DomainTextTest, RedactionByMethodAndPath)
{
    const QByteArray text = RenderJson(R"({"objectClassName":"domain","ldhName":"a.example","entities":[
        {"roles":["registrant"],"vcardArray":["vcard",[["fn",{},"text","J*** D**"],["org",{},"text","Org"],
          ["tel",{"type":"voice"},"uri","tel:+1.5"],["contact-uri",{},"uri","https://form.example/"]]]},
        {"roles":["technical"],"vcardArray":["vcard",[["fn",{},"text",""],["email",{},"text","t@a.example"]]]}],
      "redacted":[
        {"name":{"type":"Registrant Name"},"method":"partialValue",
         "postPath":"$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='fn')][3]"},
        {"name":{"type":"Registrant Email"},"method":"replacementValue",
         "prePath":"$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='email')]",
         "replacementPath":"$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='contact-uri')][3]"},
        {"name":{"description":"Telephone number of the holder"},
         "prePath":"$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[1].type=='voice')]"},
        {"name":{"type":"Registrant Organization"},"method":"replacementValue"},
        {"name":{"type":"Tech Name"},"method":"emptyValue",
         "postPath":"$.entities[?(@.roles[0]=='technical')].vcardArray[1][?(@[0]=='fn')][3]"},
        {"name":{"type":"Technical Email"},"method":"removal","prePath":"$..email"}]})");
    EXPECT_EQ(text,
              "Domain Name: a.example\r\n"
              "Registrant Name: J*** D**\r\n" // partialValue: what is there
              "Registrant Organization: Org\r\n" // replacementValue by name: what is there
              "Registrant Phone: REDACTED\r\n" // placed by its path whatever its name; no method is removal
              "Registrant Email: https://form.example/\r\n" // the replacement the path selects
              "Tech Name: REDACTED\r\n"
              "Tech Email: REDACTED"); // a path of another form: placed by its name
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

TEST(DomainTextTest, RegistryAndRegistrarEachGiveTheirOwnValues)
{
    const RdapAnswer registry = ParseRdapAnswer(R"({"objectClassName":"domain","ldhName":"A.EXAMPLE","handle":"D-1",
        "status":["active"],"events":[{"eventAction":"expiration","eventDate":"2030-01-01T00:00:00Z"}],
        "entities":[{"roles":["registrar"],"vcardArray":["vcard",[["fn",{},"text","Registrar Inc."]]],
                     "publicIds":[{"type":"IANA Registrar ID","identifier":"7"}]}],
        "notices":[{"title":"Registry terms"}]})");
    const RdapAnswer registrar = ParseRdapAnswer(R"({"objectClassName":"domain","ldhName":"a.example","handle":"X",
        "port43":"whois.registrar.example","status":["client hold"],
        "events":[{"eventAction":"expiration","eventDate":"2029-12-31T00:00:00.000+0000"}],
        "entities":[{"roles":["registrant"],"vcardArray":["vcard",[["fn",{},"text","Ann"]]]}],
        "redacted":[{"name":{"type":"Registry Domain ID"}}],"notices":[{"title":"Registrar terms"}]})");
    EXPECT_EQ(RenderDomainRecords(registry, registrar, false),
              "Domain Name: A.EXAMPLE\r\n"
              "Registry Domain ID: D-1\r\n" // the registrar's redaction of its copy does not hide the registry's
              "Registrar WHOIS Server: whois.registrar.example\r\n"
              "Registry Expiry Date: 2030-01-01T00:00:00Z\r\n"
              "Registrar Registration Expiration Date: 2029-12-31T00:00:00.000+0000\r\n"
              "Registrar: Registrar Inc.\r\n"
              "Registrar IANA ID: 7\r\n"
              "Domain Status: ok https://icann.org/epp#ok\r\n"
              "Registrant Name: Ann\r\n"
              "\r\n"
              "Registrar terms");
    // When one of them is no domain record, the other's record alone.
    const RdapAnswer error = ParseRdapAnswer(R"({"errorCode":404,"title":"Not Found"})");
    EXPECT_EQ(RenderDomainRecords(registry, error, true), RenderDomainRecord(registry, true));
    EXPECT_EQ(RenderDomainRecords(RdapAnswer(), registrar, true), RenderDomainRecord(registrar, true));
}

TEST(DomainTextTest, RedactionPathsOverAWideAnswerStayBounded)
{
    // Many entries whose filters each search 200,000 entities: searched only partly, placed by their names.
    QByteArray entities;
    for (int i = 0; i < 200000; ++i)
        entities += R"({"roles":["x"]},)";
    QByteArray redacted;
    for (int i = 0; i < 500; ++i)
        redacted += R"({"name":{"type":"Registrant Name"},"prePath":"$.entities[?(@.roles[0]=='none')].entities[*]"},)";
    const QByteArray text = RenderJson(R"({"objectClassName":"domain","ldhName":"a.example","entities":[)" + entities
                                       + R"({"roles":["registrant"]}],"redacted":[)" + redacted + "1]}");
    EXPECT_EQ(text, "Domain Name: a.example\r\nRegistrant Name: REDACTED");
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
