#include "lookup/as_report.h"
#include "rdap/bootstrap_registry.h"
#include "support/in_memory_rdap.h"
#include "support/lookup_world.h"
#include "support/test_data.h"
#include "whois/reply_parsing.h"

#include <QFile>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// A RIPE database aut-num reply in the layout of the recorded RIPE replies ("%" banner, LF).
const QByteArray kRipeAutNum = "% This is the RIPE Database query service.\n"
                               "% The objects are in RPSL format.\n"
                               "\n"
                               "aut-num:        AS3333\n"
                               "as-name:        RIPE-NCC-AS\n"
                               "org:            ORG-RIEN1-RIPE\n"
                               "source:         RIPE\n";

const char kArinAutnum[] = "https://rdap.arin.net/registry/autnum/15169";

class AsReportTest : public ::testing::Test
{
protected:
    AsReportTest()
    {
        QFile shipped(QStringLiteral(VESK_RDAP_DATA_DIR "/asn.json"));
        EXPECT_TRUE(shipped.open(QIODevice::ReadOnly));
        bootstrap.Asns = ParseAsnBootstrap(shipped.readAll());
        world.UseRdap(&rdap, &bootstrap);
        world.Settings->ClearBeforeSearch = true;
        world.Settings->FilterComments = false;
    }
    QStringList Lines() const { return world.Window.Lines(); }
    QStringList Wire() const { return WireLog(world.Transport.Exchanges()); }
    static QStringList Header(const char* name)
    {
        return HeaderBox(QStringLiteral("REPORT FOR AS Number: ") + QLatin1String(name));
    }
    static QStringList Details(const char* name, const QString& source)
    {
        return SourceBox(QStringLiteral("AS DETAILS for ") + QLatin1String(name), QStringLiteral("source: ") + source);
    }

    LookupWorld world;
    InMemoryRdap rdap;
    RdapBootstrap bootstrap;
};

TEST_F(AsReportTest, ArinHoldsItsNumbersAndAnswersTheirRecord)
{
    const QByteArray google = WhoisFixture("layout-faithful/whois.arin.net-as-single-record.txt");
    world.Transport.SetReply("whois.arin.net", 43, "a 15169", google);
    world.Search("as 015169");
    EXPECT_EQ(world.Window.QueryText(), "AS15169");
    EXPECT_EQ(Wire(), QStringList { QStringLiteral("whois.arin.net:43 a 15169") });
    QStringList expected = Header("AS15169");
    expected << Details("AS15169", QStringLiteral("whois.arin.net")) << SheetLines(google) << QString();
    EXPECT_EQ(Lines(), expected);
    EXPECT_TRUE(world.Engine->AnyServerAnswered());
    EXPECT_TRUE(rdap.Asked.isEmpty());

    // Comment filtering takes ARIN's banner and remarks out, as for a network.
    world.Settings->FilterComments = true;
    world.Search("AS15169");
    EXPECT_TRUE(Lines().contains(QStringLiteral("ASName:         GOOGLE")));
    EXPECT_TRUE(Lines().contains(QStringLiteral("OrgName:        Google LLC")));
    EXPECT_FALSE(world.Window.Text().contains(u'#'));
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("Comment:")));
}

// Each regional registry is asked on port 43 in the form it answers; ARIN's referral is followed to RIPE, whose
// record replaces ARIN's summary of its block.
TEST_F(AsReportTest, EachRegistryIsAskedInItsOwnForm)
{
    const struct
    {
        const char* Query;
        const char* Asked;
    } rows[] = {
        { "AS3333", "whois.ripe.net:43 AS3333" },     { "AS4608", "whois.apnic.net:43 AS4608" },
        { "AS28000", "whois.lacnic.net:43 AS28000" }, { "AS36864", "whois.afrinic.net:43 AS36864" },
        { "AS15169", "whois.arin.net:43 a 15169" },
    };
    for (const auto& row : rows) {
        world.Transport.ClearLog();
        world.Search(row.Query);
        EXPECT_EQ(Wire().value(0), QLatin1String(row.Asked));
    }

    // Without the AS number registry, ARIN is asked and refers to the registry that holds the number.
    LookupWorld bare;
    bare.Settings->FilterComments = true;
    bare.Transport.SetReply("whois.arin.net", 43, "a 3333",
                            WhoisFixture("layout-faithful/whois.arin.net-as-referral-ripe.txt"));
    bare.Transport.SetReply("whois.ripe.net", 43, "AS3333", kRipeAutNum);
    bare.Search("AS3333");
    EXPECT_EQ(WireLog(bare.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.arin.net:43 a 3333"),
                             QStringLiteral("whois.ripe.net:43 AS3333 [referral]") }));
    QStringList expected = Details("AS3333", QStringLiteral("whois.ripe.net"));
    expected << SheetLines(RemovePrefixedLines(kRipeAutNum, "%")) << QString();
    EXPECT_EQ(bare.Window.Lines().mid(Header("AS3333").size()), expected);
}

TEST_F(AsReportTest, ANumberNoRegistryHoldsAsksNobody)
{
    for (const char* query : { "AS64512", "AS0", "AS4294967295" }) {
        world.Transport.ClearLog();
        world.Search(query);
        EXPECT_TRUE(Wire().isEmpty()) << query;
        EXPECT_TRUE(rdap.Asked.isEmpty()) << query;
        EXPECT_EQ(Lines().value(Header(query).size()),
                  QStringLiteral("No regional registry holds %1.").arg(QLatin1String(query)));
    }
    // The registry is read whatever the RDAP mode: it chooses the port-43 server too.
    world.Settings->RdapMode = QStringLiteral("never");
    world.Search("AS64512");
    EXPECT_TRUE(Lines().contains(QStringLiteral("No regional registry holds AS64512.")));
}

// RDAP stands in when port 43 gives no answer, and comes first in RDAP-first mode; both failing are both named.
TEST_F(AsReportTest, RdapByTheModeAndEveryFailureNamed)
{
    rdap.Answer(QString::fromLatin1(kArinAutnum),
                R"({"objectClassName": "autnum", "handle": "AS15169", "startAutnum": 15169, "endAutnum": 15169,
                    "name": "GOOGLE", "entities": [{"objectClassName": "entity", "handle": "GOGL",
                    "roles": ["registrant"], "vcardArray": ["vcard", [["fn", {}, "text", "Google LLC"]]]}]})");
    world.Transport.SetFailure("whois.arin.net", ExchangeFailure::Closed);
    world.Search("AS15169");
    QStringList lines = Lines();
    const qsizetype at = lines.indexOf(QStringLiteral("ASNumber:       15169"));
    ASSERT_GT(at, 0);
    EXPECT_EQ(
        lines.mid(at, 4),
        (QStringList { QStringLiteral("ASNumber:       15169"), QStringLiteral("ASName:         GOOGLE"),
                       QStringLiteral("ASHandle:       AS15169"), QStringLiteral("OrgName:        Google LLC") }));
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("source: rdap.arin.net (RDAP)")));
    EXPECT_TRUE(lines.filter(QStringLiteral("No answer from whois.arin.net: ")).size() == 1);

    rdap.Answer(QString::fromLatin1(kArinAutnum), QByteArray(), 503);
    world.Search("AS15169");
    lines = Lines();
    EXPECT_EQ(lines.filter(QStringLiteral("No answer from whois.arin.net: ")).size(), 1);
    EXPECT_EQ(lines.filter(QStringLiteral("No answer from rdap.arin.net: ")).size(), 1);
    EXPECT_FALSE(world.Engine->AnyServerAnswered());

    // RDAP first: port 43 is asked only when RDAP gives no answer; never: RDAP is not asked.
    world.Settings->RdapMode = QStringLiteral("first");
    world.Transport.ClearLog();
    rdap.Asked.clear();
    world.Search("AS15169");
    EXPECT_EQ(rdap.Asked.size(), 1);
    EXPECT_EQ(Wire().size(), 1);
    world.Settings->RdapMode = QStringLiteral("never");
    rdap.Asked.clear();
    world.Search("AS15169");
    EXPECT_TRUE(rdap.Asked.isEmpty());
}

TEST(RegistryWhoisHostTest, RdapBasesMapToTheirRegistrysPort43Server)
{
    const struct
    {
        const char* Base;
        const char* Host;
    } rows[] = {
        { "https://rdap.arin.net/registry/", "whois.arin.net" },
        { "https://rdap.db.ripe.net/", "whois.ripe.net" },
        { "https://rdap.apnic.net/", "whois.apnic.net" },
        { "https://rdap.lacnic.net/rdap/", "whois.lacnic.net" },
        { "http://RDAP.AFRINIC.NET/rdap/", "whois.afrinic.net" },
        { "https://rdap.example.net/", "" },
        { "https://notarin.net/", "" }, // only the registry's own domain counts
        { "https://arin.net.example/", "" },
        { "not a url", "" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(RegistryWhoisHost(row.Base), row.Host) << row.Base;
}

} // namespace
} // namespace vesk::test
