#include "lookup/rdap_source.h"
#include "rdap/bootstrap_registry.h"
#include "support/in_memory_rdap.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// Counts when the engine asks for RDAP; with `refuse` set, any ask is a test failure.
class CountingRdapSource final : public RdapSource
{
public:
    CountingRdapSource(RdapTransport* transport, const RdapBootstrap* bootstrap, bool refuse)
        : m_transport(transport)
        , m_bootstrap(bootstrap)
        , m_refuse(refuse)
    { }

    RdapTransport* Transport() override
    {
        if (m_refuse)
            ADD_FAILURE() << "the RDAP transport was asked for";
        Asks.append(QStringLiteral("transport"));
        return m_transport;
    }
    const RdapBootstrap* Bootstrap() override
    {
        if (m_refuse)
            ADD_FAILURE() << "the RDAP bootstrap was asked for";
        Asks.append(QStringLiteral("bootstrap"));
        return m_bootstrap;
    }

    QStringList Asks;

private:
    RdapTransport* m_transport;
    const RdapBootstrap* m_bootstrap;
    bool m_refuse;
};

class RdapSourceTest : public ::testing::Test
{
protected:
    RdapSourceTest()
    {
        for (const char* tld : { "com", "fr", "test" })
            bootstrap.Domains.BaseUrls.insert(tld, "https://rdap.example/");
        bootstrap.Addresses.Blocks.append(AddressBlock { 0, 0, "https://rdap.example/" });
        world.Settings->InclIP = true;
        world.Settings->InclDomain = true;
        world.Settings->SearchContacts = true;
        world.Settings->FilterComments = true;
    }

    // Runs `query` on an engine of `world` that gets its RDAP from `source`.
    void Search(RdapSource& source, const QByteArray& query)
    {
        LookupEngine engine(world.Window, *world.Log, world.Definitions, world.Transport, &source, world.Wait,
                            FixedNow);
        world.Window.SetQueryText(query);
        engine.Search(world.Options.WithSettings(*world.Settings));
    }

    LookupWorld world;
    InMemoryRdap rdap;
    RdapBootstrap bootstrap;
};

// Searches that port 43 answers, in the default mode, never build the RDAP transport nor read the bootstrap.
TEST_F(RdapSourceTest, SearchesThatPort43AnswersNeverAskForRdap)
{
    world.Transport.SetAddresses("google.com", { 0x04020201u });
    world.Transport.SetReply("whois.verisign-grs.com", 43, "domain google.com",
                             WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt"));
    world.Transport.SetReply("whois.markmonitor.com", 43, "google.com",
                             WhoisFixture("whois.markmonitor.com-com-registered.txt"));
    world.Transport.SetReply("whois.nic.fr", "google.fr", WhoisFixture("whois.nic.fr-fr-registered.txt"));
    world.Transport.SetDefaultReply("whois.arin.net", WhoisFixture("whois.arin.net-single-record-2013.txt"));
    world.Transport.SetDefaultReply("whois.verisign-grs.com", "plain reply\r\n");

    CountingRdapSource source(&rdap, &bootstrap, true);
    for (const QByteArray query : { "google.com", "google.fr", "4.2.2.1", "=example" }) {
        SCOPED_TRACE(query.toStdString());
        world.Transport.ClearLog();
        Search(source, query);
        EXPECT_FALSE(world.Transport.Exchanges().isEmpty());
        EXPECT_EQ(world.Window.Status(), "Done");
    }
    // Port 43 only: not even a failing server brings RDAP in.
    world.Settings->RdapMode = QStringLiteral("never");
    world.Transport.SetFailure("whois.nic.fr", ExchangeFailure::Refused);
    world.Transport.SetFailure("whois.arin.net", ExchangeFailure::Refused);
    Search(source, "google.fr");
    Search(source, "192.0.2.1");
    EXPECT_TRUE(rdap.Asked.isEmpty());
}

// Where port 43 gives no answer the bootstrap is read first, and the transport only for an exchange it names.
TEST_F(RdapSourceTest, RdapIsFetchedOnlyRightBeforeItIsUsed)
{
    world.Settings->InclIP = false;
    world.Transport.SetFailure("whois.nic.fr", ExchangeFailure::Refused);
    world.Transport.SetFailure("whois.nic.uk", ExchangeFailure::Refused);
    rdap.Answer(QStringLiteral("https://rdap.example/domain/google.fr"), QByteArray(), 404);

    CountingRdapSource source(&rdap, &bootstrap, false);
    Search(source, "google.uk"); // the bootstrap names no server for .uk
    EXPECT_EQ(source.Asks, QStringList { QStringLiteral("bootstrap") });
    EXPECT_TRUE(rdap.Asked.isEmpty());

    source.Asks.clear();
    Search(source, "google.fr");
    EXPECT_EQ(source.Asks, (QStringList { QStringLiteral("bootstrap"), QStringLiteral("transport") }));
    EXPECT_EQ(rdap.Asked, QStringList { QStringLiteral("https://rdap.example/domain/google.fr") });
    EXPECT_TRUE(world.Window.Lines().contains(QStringLiteral("No Match For Domain: google.fr")));
}

// A source that has the bootstrap but cannot give a transport: the exchange is a failure like any other.
TEST_F(RdapSourceTest, MissingTransportIsAFailedExchange)
{
    world.Settings->InclIP = false;
    world.Settings->RdapMode = QStringLiteral("first");
    CountingRdapSource source(nullptr, &bootstrap, false);
    world.Transport.SetReply("whois.nic.fr", "google.fr", WhoisFixture("whois.nic.fr-fr-registered.txt"));
    Search(source, "google.fr");
    const QStringList lines = world.Window.Lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("No answer from rdap.example: network unreachable")));
    // RDAP first gave no answer, so port 43 is asked and its record written.
    EXPECT_TRUE(lines.contains(QStringLiteral("domain:      google.fr")));
    EXPECT_EQ(world.Window.Status(), "Done");
}

TEST(FixedRdapSourceTest, HalfAPairIsNoRdap)
{
    InMemoryRdap rdap;
    const RdapBootstrap bootstrap;
    FixedRdapSource both(&rdap, &bootstrap);
    EXPECT_EQ(both.Transport(), &rdap);
    EXPECT_EQ(both.Bootstrap(), &bootstrap);
    FixedRdapSource noBootstrap(&rdap, nullptr);
    EXPECT_EQ(noBootstrap.Transport(), nullptr);
    EXPECT_EQ(noBootstrap.Bootstrap(), nullptr);
    FixedRdapSource noTransport(nullptr, &bootstrap);
    EXPECT_EQ(noTransport.Transport(), nullptr);
    EXPECT_EQ(noTransport.Bootstrap(), nullptr);
}

} // namespace
} // namespace vesk::test
