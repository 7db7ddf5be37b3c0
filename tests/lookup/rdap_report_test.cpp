#include "rdap/bootstrap_registry.h"
#include "support/in_memory_rdap.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

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
        world.Engine->SetRdap(&rdap, &bootstrap);
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

} // namespace

} // namespace vesk::test
