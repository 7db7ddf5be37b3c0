#include "defs/definition_file.h"
#include "defs/definition_tables.h"
#include "support/test_data.h"
#include "whois/host_text.h"

#include <QFile>
#include <gtest/gtest.h>

namespace vesk {
namespace {

// The definition files exactly as the build ships them beside the executables.
class ShippedDefinitionsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        defs = new DefinitionTables;
        defs->LoadAll(QStringLiteral(VESK_BIN_DIR));
    }
    static void TearDownTestSuite()
    {
        delete defs;
        defs = nullptr;
    }
    static DefinitionTables* defs;
};

DefinitionTables* ShippedDefinitionsTest::defs = nullptr;

TEST_F(ShippedDefinitionsTest, TablesAreLoadedAndFitTheReader)
{
    ASSERT_TRUE(defs->DefinitionsLoaded());
    EXPECT_GE(defs->TldRows().size(), 1400);
    for (const auto& name : { kTldFileName.Text(), kHostMarkFileName.Text() }) {
        QFile file(QStringLiteral(VESK_BIN_DIR "/") + QString::fromLatin1(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_LE(DecryptDefinitionFile(file.readAll(), UnscrambleKey()).size(), 65536) << name.constData();
    }
}

TEST_F(ShippedDefinitionsTest, EveryRowCanBeFound)
{
    for (const TTLDData& row : defs->TldRows()) {
        SCOPED_TRACE(row.Tld.constData());
        EXPECT_EQ(defs->FindTld(row.Tld).Description, row.Description) << "unreachable or shadowed row";
        EXPECT_EQ(LowerAscii(row.Server), row.Server);
    }
    for (const THostMark& row : defs->HostMarks()) {
        SCOPED_TRACE(row.Host.constData());
        EXPECT_EQ(defs->FindHostMark(row.Host).NoMatchMark, row.NoMatchMark) << "unreachable or shadowed row";
    }
}

TEST_F(ShippedDefinitionsTest, KeyServersHaveTheirRowsAndKinds)
{
    EXPECT_EQ(defs->FindTld("COM").Server, QByteArray("whois.verisign-grs.com"));
    EXPECT_EQ(defs->FindTld("net").Server, QByteArray("whois.verisign-grs.com"));
    for (const char* host : kRegistryWhoisHosts) {
        SCOPED_TRACE(host);
        const THostMark mark = defs->FindHostMark(host);
        EXPECT_EQ(mark.Host, QByteArray(host));
        EXPECT_EQ(mark.NoMatchMark, QByteArray("No match for"));
    }
    for (const char* rir : { "whois.ripe.net", "whois.apnic.net", "whois.lacnic.net", "whois.afrinic.net" }) {
        SCOPED_TRACE(rir);
        EXPECT_EQ(defs->FindHostMark(rir).Host, QByteArray(rir));
        EXPECT_EQ(defs->FindHostMark(rir).Kind, 1);
    }
    EXPECT_EQ(defs->FindHostMark("whois.arin.net").Kind, 4);
    // The large ccTLD and gTLD registries have profiles for the servers their TLDs name.
    for (const char* tld : { "com", "net", "org", "de", "uk", "jp", "fr", "it", "nl", "eu", "ca", "au", "cn", "io" }) {
        SCOPED_TRACE(tld);
        const QByteArray server = defs->FindTld(tld).Server;
        ASSERT_FALSE(server.isEmpty());
        EXPECT_EQ(defs->FindHostMark(server).Host, server);
    }
}

struct Recording
{
    const char* host;
    std::vector<const char*> notFound; ///< replies for a free name: the no-match mark must occur
    std::vector<const char*> found; ///< replies for a registered name: the mark must not occur
    bool startInFound; ///< the StartMark occurs in every found reply
    bool endInFound; ///< the EndMark occurs in every found reply
};

// Recorded real replies of every profiled server we have recordings for. Replies recorded before a server
// changed its not-found wording are listed only as found-side checks (see the comments).
const Recording kRecordings[] = {
    { "whois.verisign-grs.com",
      { "com-notfound-newformat-2020", "com-notfound-oldformat-2014", "net-notfound-newformat-2020" },
      { "com-registered-newformat-2020", "com-registered-oldformat-2014", "com-registered-oldformat-2015",
        "net-registered-newformat-2020", "net-registered-oldformat-2014", "com-list-several-matches-2014",
        "net-list-several-matches-2014" },
      true,
      true },
    { "whois.crsnic.net", {}, { "net-registered-2009" }, true, true },
    { "whois.auda.org.au", { "com.au-notfound-2018" }, { "com.au-registered-2018" }, true, false },
    { "whois.denic.de",
      { "de-free-T-dn-ace" },
      { "de-registered-T-dn-ace", "de-idn-T-dn-ace", "de-registered-plain-2020" },
      true,
      false },
    { "whois.eu", { "eu-notfound" }, { "eu-registered" }, true, false },
    { "whois.iis.se", { "se-notfound" }, { "se-registered" }, true, false },
    { "whois.jprs.jp", { "jp-notfound-2020" }, { "jp-registered-2020" }, true, false },
    { "whois.nic.fr", { "fr-notfound" }, { "fr-registered" }, true, false },
    { "whois.nic.it", { "it-notfound" }, { "it-registered" }, true, false },
    { "whois.nic.uk", { "uk-notfound" }, { "uk-registered", "co.uk-registered-2018" }, true, true },
    // DNS Belgium tells a free name only by "Status:", TAB, "AVAILABLE" against "NOT AVAILABLE": no mark can
    // separate them, so the profile has none and every reply counts as found.
    { "whois.dns.be", {}, { "be-registered-2014", "be-notfound-2014" }, true, false },
    // The CIRA not-found recording (2014) predates the current "Not found:" wording.
    { "whois.cira.ca", {}, { "ca-registered" }, true, false },
    // PIR and the .io registry answered "NOT FOUND" when these were recorded; they now say "Domain not found".
    { "whois.pir.org", {}, { "org-registered-2014", "org-registered-2020" }, false, false },
    { "whois.nic.io", {}, { "io-registered-2020" }, false, true },
    { "whois.godaddy.com", {}, { "com-registered" }, true, true },
    { "whois.tucows.com", {}, { "com-registered" }, true, true },
    // Registrar profiles carry no no-match mark: the registry has already said whether the name exists.
    { "whois.markmonitor.com", {}, { "com-registered", "notfound" }, false, false },
    { "whois.markmonitor.com", {}, { "com-registered" }, true, true },
    { "whois.enom.com", {}, { "com-registered" }, true, false },
    { "whois.networksolutions.com", {}, { "com-registered" }, true, false },
    { "whois.ripe.net", {}, { "ip-inetnum-2013", "ip-inetnum-2023" }, false, false },
    { "whois.apnic.net", {}, { "ip-inetnum-2021", "ip-inetnum-2024" }, false, false },
    { "whois.afrinic.net", {}, { "ip-inetnum-2021", "ip-inetnum-2023" }, false, false },
    { "whois.lacnic.net", {}, { "ip-inetnum-2021", "ip-registro-br-2024" }, false, false },
    { "whois.iana.org", {}, { "tld-kr-2020", "ip-171-2024", "domain-ph-empty-refer-2023" }, false, false },
};

QByteArray Reply(const char* host, const char* name)
{
    return test::ReadTestData(QStringLiteral("whois/%1-%2.txt").arg(QLatin1String(host), QLatin1String(name)));
}

TEST_F(ShippedDefinitionsTest, ProfilesJudgeAndCutTheRecordedReplies)
{
    for (const Recording& rec : kRecordings) {
        SCOPED_TRACE(rec.host);
        const THostMark mark = defs->FindHostMark(rec.host);
        ASSERT_EQ(mark.Host, QByteArray(rec.host)) << "no profile";
        for (const char* name : rec.notFound) {
            SCOPED_TRACE(name);
            const QByteArray reply = Reply(rec.host, name);
            ASSERT_FALSE(reply.isEmpty());
            EXPECT_FALSE(mark.NoMatchMark.isEmpty());
            EXPECT_FALSE(defs->DomainFound(rec.host, reply)) << "mark \"" << mark.NoMatchMark.constData() << '"';
        }
        for (const char* name : rec.found) {
            SCOPED_TRACE(name);
            const QByteArray reply = Reply(rec.host, name);
            ASSERT_FALSE(reply.isEmpty());
            EXPECT_TRUE(defs->DomainFound(rec.host, reply));
            if (rec.startInFound) {
                ASSERT_FALSE(mark.StartMark.isEmpty());
                EXPECT_TRUE(reply.contains(mark.StartMark)) << mark.StartMark.constData();
            }
            if (rec.endInFound) {
                ASSERT_FALSE(mark.EndMark.isEmpty());
                const qsizetype end = reply.indexOf(mark.EndMark);
                EXPECT_GE(end, 0) << mark.EndMark.constData();
                // The end comes after the start, so the cut keeps the record.
                if (!mark.StartMark.isEmpty() && rec.startInFound) {
                    EXPECT_LT(reply.indexOf(mark.StartMark), end);
                }
            }
        }
    }
}

} // namespace
} // namespace vesk
