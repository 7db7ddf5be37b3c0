// Whole reports over a few hundred seeded random replies: raw bytes, and recorded replies garbled and spiked
// with the labels the engine follows. Whatever the servers say, every report ends with "Done", asks a bounded
// number of questions, and never asks a host taken from a reply as one of its own fixed servers.

#include "settings/settings_store.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace vesk::test {
namespace {

constexpr int kSeeds = 300;
// Registry, registrar, three RWhois contacts, four network queries for each of three addresses, ten contacts.
constexpr qsizetype kMostExchanges = 2 + 3 + 3 * 4 + 10;

const char* const kFixedHosts[] = { "whois.verisign-grs.com", "whois.nic.uk",   "whois.nic.fr",
                                    "master.rwhois.net",      "whois.arin.net", "rwhois.arin.net" };
// Hosts that the spiked replies name, so that followed referrals meet answers of their own.
const char* const kReferredHosts[]
    = { "whois.markmonitor.com", "whois.ripe.net", "rwhois.example.net", "whois.example.com" };
const char* const kFixtures[] = {
    "whois.verisign-grs.com-com-registered-newformat-2020.txt",
    "whois.verisign-grs.com-com-list-several-matches-2014.txt",
    "whois.markmonitor.com-com-registered.txt",
    "whois.nic.fr-fr-registered.txt",
    "whois.nic.uk-co.uk-registered-2018.txt",
    "master.rwhois.net-rfc2167-example-successful-query.txt",
    "whois.arin.net-referral-whois-ripe-2013.txt",
    "whois.arin.net-list-of-networks-crafted.txt",
    "rwhois.softlayer.com-network-record-2013.txt",
    "whois.ripe.net-ip-inetnum-2013.txt",
};
const char* const kSpikes[] = {
    "Registrar WHOIS Server: whois.markmonitor.com\r\n",
    "   Whois Server: whois.example.com\r\n",
    "ReferralServer: whois://whois.ripe.net\n",
    "ReferralServer: rwhois://rwhois.example.net:4321/\n",
    "ReferralServer: whois://whois.example.com:0\n",
    "%referral rwhois://rwhois.example.net:4321/auth-area=.\n",
    "%referral rwhois://rwhois.example.net:99999999999/\n",
    "%rwhois V-1.5:003fff:00 rwhois.example.net\n",
    "Customer (NET-1-2-3-0-1) 1.2.3.0 - 1.2.3.255\n",
    "CIDR:           130.66.0.0/15\n",
    "CIDR:           0.0.0.0/0, 1.2.3.4/33\n",
    "OrgName: X\n",
    "Admin-Contact: HANDLE-1\n",
    "admin-c: NIC-1\ntech-c: NIC-2\nnic-hdl: NIC-2\n",
    "Registry Registrant ID: R-1\n",
    "Domain Name: GOOGLE.COM\n",
    "No match for \"GOOGLE.COM\".\n",
    "\r\r\n\n%",
    "",
};
const char* const kQueries[]
    = { "google.com", "www.example.fr", "example.co.uk", "example.test", "130.66.76.222", "4.2.2.1", "plain query" };

class RandomReplies
{
public:
    explicit RandomReplies(unsigned seed)
        : m_rng(seed)
    { }

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    bool Coin() { return Below(2) == 0; }

    /// A reply for `host`: often its own kind of record garbled, sometimes another's, raw bytes or nothing.
    QByteArray Reply(const char* host)
    {
        switch (Below(8)) {
        case 0:
            return QByteArray();
        case 1:
            return Bytes(Below(2048));
        case 2:
        case 3:
            return Garbled(Fixture(kFixtures[Below(std::size(kFixtures))]));
        default:
            break;
        }
        return Garbled(Fixture(NaturalFixture(host)));
    }

    QList<uint32_t> Addresses()
    {
        QList<uint32_t> addresses;
        const int count = Below(4);
        for (int i = 0; i < count; ++i)
            addresses.append(Coin() ? 0x82424CDEu + static_cast<uint32_t>(i) : static_cast<uint32_t>(m_rng()));
        return addresses;
    }

private:
    /// One of the recorded replies of `host`, or any one when it has none.
    const char* NaturalFixture(const char* host)
    {
        QList<const char*> own;
        for (const char* fixture : kFixtures) {
            if (QByteArrayView(fixture).startsWith(QByteArrayView(host)))
                own.append(fixture);
        }
        return own.isEmpty() ? kFixtures[Below(std::size(kFixtures))] : own[Below(static_cast<int>(own.size()))];
    }

    static QByteArray Fixture(const char* name)
    {
        return ReadTestData(QStringLiteral("whois/") + QString::fromLatin1(name));
    }

    QByteArray Bytes(int size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = static_cast<char>(Below(256));
        return bytes;
    }

    QByteArray Garbled(QByteArray reply)
    {
        const int spikes = Below(3);
        for (int i = 0; i < spikes; ++i)
            reply.insert(Position(reply), kSpikes[Below(std::size(kSpikes))]);
        const int edits = Below(5);
        for (int i = 0; i < edits; ++i) {
            const qsizetype at = Position(reply);
            switch (Below(6)) {
            case 0:
                reply.truncate(at);
                break;
            case 1:
            case 2:
                if (at < reply.size())
                    reply[at] = static_cast<char>(Below(256));
                break;
            default:
                reply.insert(at, Bytes(Below(16)));
                break;
            }
        }
        return reply;
    }

    qsizetype Position(const QByteArray& text) { return Below(static_cast<int>(text.size()) + 1); }

    std::mt19937 m_rng;
};

bool IsFixedHost(const QByteArray& host)
{
    for (const char* fixed : kFixedHosts) {
        if (host == fixed)
            return true;
    }
    return false;
}

TEST(RandomReplyTest, EveryReportEndsWithDoneWhateverTheServersSay)
{
    int followed = 0; // reports that followed at least one referral
    int written = 0; // reports that wrote at least one source box
    for (int seed = 1; seed <= kSeeds; ++seed) {
        SCOPED_TRACE(seed);
        RandomReplies random(static_cast<unsigned>(seed));
        LookupWorld world;
        world.Settings->FilterComments = random.Coin();
        world.Settings->SearchContacts = random.Coin();
        world.Settings->InclIP = random.Coin();
        world.Settings->InclDomain = random.Coin();
        for (const char* host : kFixedHosts)
            world.Transport.SetDefaultReply(host, random.Reply(host));
        for (const char* host : kReferredHosts)
            world.Transport.SetDefaultReply(host, random.Reply(host));
        const QByteArray query = kQueries[random.Below(std::size(kQueries))];
        for (const char* name : { "google.com", "www.google.com", "example.fr", "example.co.uk", "example.test" })
            world.Transport.SetAddresses(name, random.Addresses());
        world.Transport.SetReverseName(0x82424CDEu, "host.example.net");

        world.Search(query);

        ASSERT_EQ(world.Window.Status(), "Done") << query.constData();
        ASSERT_FALSE(world.Window.BusyHistory().isEmpty());
        EXPECT_FALSE(world.Window.BusyHistory().last());
        EXPECT_TRUE(world.Engine->StopFlag());
        const QList<ExchangeRecord>& exchanges = world.Transport.Exchanges();
        ASSERT_LE(exchanges.size(), kMostExchanges) << query.constData();
        for (const ExchangeRecord& exchange : exchanges) {
            ASSERT_TRUE(exchange.Source == HostSource::Referral || IsFixedHost(exchange.Host))
                << exchange.Host.constData() << " was asked as a fixed server";
        }
        followed += std::any_of(exchanges.cbegin(), exchanges.cend(),
                                [](const ExchangeRecord& e) { return e.Source == HostSource::Referral; });
        written += world.Window.Lines().contains(SourceBox(QString(), QString()).at(1));
    }
    // The garbled replies must lead somewhere, or the loop above proves little.
    EXPECT_GE(followed, kSeeds / 6);
    EXPECT_GE(written, kSeeds / 2);
}

} // namespace
} // namespace vesk::test
