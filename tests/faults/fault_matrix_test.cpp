// Whole reports over real sockets while one of their servers misbehaves. Every server that a domain report, a
// country-code domain report and an address report ask is made to fail in each way a WHOIS server fails; the
// report must still end with "Done", write what did arrive (or its own text for a missing answer), keep the
// sections of the servers that behaved, and stay within the reply cap however much is sent.

#include "codecs/utf8_decoder.h"
#include "settings/settings_store.h"
#include "support/fake_whois_server.h"
#include "support/lookup_world.h"
#include "support/recording_transport.h"
#include "support/test_data.h"
#include "support/test_waits.h"
#include "whois/reply_parsing.h"
#include "whois/tcp_transport.h"

#include <QHostAddress>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>
#include <vector>

namespace vesk::test {
namespace {

// Small limits keep the cases that must wait short, yet leave a loaded machine time to pass on what was sent;
// 4 MiB lets a 20 MiB flood be cut.
constexpr int kReadTimeoutMs = 500;
constexpr int kExchangeTimeoutMs = 1000;
constexpr qint64 kReplyCap = 4 * 1024 * 1024;
constexpr qint64 kFloodBytes = 20 * 1024 * 1024;
constexpr int kTrickleDelayMs = 5;

enum class Fault { Refuses, ResetsMidReply, StaysSilent, Trickles, ClosesAtOnce, Sends20MiB, SendsBinary };

enum class Report { Domain, CountryDomain, Address };

/// How a server's reply reaches the worksheet when comments are not filtered.
enum class Rendering {
    Raw, ///< system code page, unchanged
    WithoutPercentLines, ///< a WHOIS referral's answer always loses its "%" lines
    Utf8, ///< a country-code server's record goes through the UTF-8 decoder
};

struct Server
{
    const char* name;
    Report report;
    const char* host;
    const char* fixture; ///< nullptr: answers nothing
    Rendering rendering;
    const char* sectionTitle;
    /// Its section is written whenever what arrived renders to some text.
    bool mustWrite;
    /// Without its section, the report shows this line or the section of `fallbackSource` instead.
    const char* fallbackLine;
    const char* fallbackSource;
    /// A server of the same report whose section does not depend on this one.
    const char* independent;
    /// False for servers that are only asked when another one failed.
    bool inMatrix = true;
};

struct ReportSetup
{
    const char* query;
    const char* header;
    bool inclIp;
};

ReportSetup SetupOf(Report report)
{
    switch (report) {
    case Report::Domain:
        return { "google.com", "DOMAIN REPORT FOR: GOOGLE.COM", true };
    case Report::CountryDomain:
        return { "google.fr", "DOMAIN REPORT FOR: GOOGLE.FR", false };
    case Report::Address:
        break;
    }
    return { "4.2.2.1", "REPORT FOR IP Address: 4.2.2.1", false };
}

const Server kServers[] = {
    // google.com: the registry names the registrar; the address is held by RIPE, which ARIN refers to.
    { "Registry", Report::Domain, "whois.verisign-grs.com", "whois.verisign-grs.com-com-registered-newformat-2020.txt",
      Rendering::Raw, "DOMAIN DETAILS for GOOGLE.COM", false, "No Match For Domain: google.com",
      "whois.markmonitor.com", "whois.ripe.net" },
    { "Registrar", Report::Domain, "whois.markmonitor.com", "whois.markmonitor.com-com-registered.txt", Rendering::Raw,
      "DOMAIN DETAILS for GOOGLE.COM", true, nullptr, "whois.verisign-grs.com", "whois.ripe.net" },
    { "ArinForDomain", Report::Domain, "whois.arin.net", "whois.arin.net-referral-whois-ripe-2013.txt", Rendering::Raw,
      "NETWORK DETAILS for 130.66.76.222", false, nullptr, nullptr, "whois.markmonitor.com" },
    { "ReferralRir", Report::Domain, "whois.ripe.net", "whois.ripe.net-ip-inetnum-2013.txt",
      Rendering::WithoutPercentLines, "NETWORK DETAILS for 130.66.76.222", true, nullptr, nullptr,
      "whois.markmonitor.com" },
    { "ArinRWhoisForDomain", Report::Domain, "rwhois.arin.net", nullptr, Rendering::Raw,
      "NETWORK DETAILS for 130.66.76.222", false, nullptr, nullptr, nullptr, false },
    // google.fr: the country-code server answers with the record itself.
    { "CountryServer", Report::CountryDomain, "whois.nic.fr", "whois.nic.fr-fr-registered.txt", Rendering::Utf8,
      "DOMAIN DETAILS for GOOGLE.FR", true, "No Match For Domain: google.fr", nullptr, nullptr },
    // 4.2.2.1: ARIN holds it and has no referral, so its RWhois server is asked, which refers on.
    { "ArinWhois", Report::Address, "whois.arin.net", "whois.arin.net-single-record-2013.txt", Rendering::Raw,
      "NETWORK DETAILS for 4.2.2.1", true, nullptr, nullptr, "root.rwhois.net" },
    { "ArinRWhois", Report::Address, "rwhois.arin.net", "rwhois.softlayer.com-network-record-2013.txt", Rendering::Raw,
      "NETWORK DETAILS for 4.2.2.1", false, nullptr, nullptr, "whois.arin.net" },
    { "RWhoisReferral", Report::Address, "root.rwhois.net", "master.rwhois.net-rfc2167-example-successful-query.txt",
      Rendering::Raw, "NETWORK DETAILS for 4.2.2.1", true, nullptr, nullptr, "whois.arin.net" },
};

const Server* FindServer(Report report, const char* host)
{
    for (const Server& server : kServers) {
        if (server.report == report && QByteArrayView(server.host) == QByteArrayView(host))
            return &server;
    }
    return nullptr;
}

QByteArray FixtureOf(const Server& server)
{
    return server.fixture ? ReadTestData(QStringLiteral("whois/") + QString::fromLatin1(server.fixture)) : QByteArray();
}

/// The reply with every byte value, NUL first, spliced in after its first line.
QByteArray WithBinary(const QByteArray& reply)
{
    QByteArray bytes = reply;
    bytes.insert(reply.indexOf('\n') + 1, FakeWhoisServer::AllByteValues());
    return bytes;
}

QStringList Render(const Server& server, const QByteArray& reply)
{
    switch (server.rendering) {
    case Rendering::Raw:
        break;
    case Rendering::WithoutPercentLines:
        return SheetLines(Utf8ToWideText(RemovePrefixedLines(reply, "%")));
    case Rendering::Utf8:
        return SheetLines(Utf8ToWideText(reply));
    }
    // Every reply is decoded alike now: UTF-8 where valid, Latin-1 elsewhere.
    return SheetLines(Utf8ToWideText(reply));
}

bool RendersToText(const QStringList& lines)
{
    return !lines.join(QString()).isEmpty();
}

/// Position of the source box of `title` and `host`, or -1.
qsizetype FindSection(const QStringList& lines, const char* title, const char* host)
{
    const QStringList box
        = SourceBox(QString::fromLatin1(title), QStringLiteral("source: ") + QString::fromLatin1(host));
    for (qsizetype i = 0; i + box.size() <= lines.size(); ++i) {
        if (lines.mid(i, box.size()) == box)
            return i;
    }
    return -1;
}

/// A port on 127.0.0.1 where nobody listens.
quint16 ClosedPort()
{
    FakeWhoisServer gone;
    return gone.Port();
}

const char* FaultName(Fault fault)
{
    switch (fault) {
    case Fault::Refuses:
        return "Refuses";
    case Fault::ResetsMidReply:
        return "ResetsMidReply";
    case Fault::StaysSilent:
        return "StaysSilent";
    case Fault::Trickles:
        return "Trickles";
    case Fault::ClosesAtOnce:
        return "ClosesAtOnce";
    case Fault::Sends20MiB:
        return "Sends20MiB";
    case Fault::SendsBinary:
        break;
    }
    return "SendsBinary";
}

void PrintTo(const Server* server, std::ostream* os)
{
    *os << server->name;
}

void PrintTo(Fault fault, std::ostream* os)
{
    *os << FaultName(fault);
}

class FaultMatrixTest : public ::testing::TestWithParam<std::tuple<const Server*, Fault>>
{
protected:
    FaultMatrixTest()
        : m_tcp(LoopWait(), {}, Limits())
        , m_recorder(m_tcp)
        , m_world(m_recorder)
    { }

    static WhoisClientLimits Limits()
    {
        WhoisClientLimits limits;
        limits.ReadTimeoutMs = kReadTimeoutMs;
        limits.ConnectTimeoutMs = kExchangeTimeoutMs;
        limits.ExchangeTimeoutMs = kExchangeTimeoutMs;
        limits.MaxReplyBytes = kReplyCap;
        return limits;
    }

    /// Starts a fake for every server of `faulted`'s report; `faulted` misbehaves as `fault` says.
    void StartServers(const Server& faulted, Fault fault)
    {
        for (const Server& server : kServers) {
            if (server.report != faulted.report)
                continue;
            auto fake = std::make_unique<FakeWhoisServer>();
            ASSERT_TRUE(fake->IsListening());
            const QByteArray reply = FixtureOf(server);
            fake->SetDefaultReply(reply);
            quint16 port = fake->Port();
            if (&server == &faulted) {
                switch (fault) {
                case Fault::Refuses:
                    port = ClosedPort();
                    break;
                case Fault::ResetsMidReply:
                    fake->SetMode(FakeWhoisMode::Reset);
                    fake->SetPartialBytes(reply.size() / 2);
                    break;
                case Fault::StaysSilent:
                    fake->SetMode(FakeWhoisMode::Silent);
                    fake->SetPartialBytes(reply.size() / 2);
                    break;
                case Fault::Trickles:
                    fake->SetMode(FakeWhoisMode::Trickle);
                    fake->SetChunking(1, kTrickleDelayMs);
                    break;
                case Fault::ClosesAtOnce:
                    fake->SetMode(FakeWhoisMode::CloseAtOnce);
                    break;
                case Fault::Sends20MiB:
                    fake->SetGeneratedDefaultReply(kFloodBytes);
                    break;
                case Fault::SendsBinary:
                    fake->SetDefaultReply(WithBinary(reply));
                    break;
                }
            }
            m_tcp.Book().AddServer(server.host, ServerEndpoint { QHostAddress(QHostAddress::LocalHost), port });
            m_scriptedBytes += reply.size();
            m_fakes.push_back(std::move(fake));
        }
        m_tcp.Book().AddAddresses("google.com", { 0x82424CDEu }); // 130.66.76.222
        m_tcp.Book().AddReverseName(0x04020201u, "b.resolvers.level3.net"); // 4.2.2.1
    }

    /// What the faulted server gave in each of its exchanges must be exactly what the fault lets through.
    void CheckArrivals(const Server& server, Fault fault)
    {
        const QByteArray reply = FixtureOf(server);
        const QList<ExchangeRecord> arrivals = m_recorder.ExchangesWith(server.host);
        ASSERT_FALSE(arrivals.isEmpty()) << "the faulted server was never asked";
        for (const ExchangeRecord& arrival : arrivals) {
            const QByteArray& got = arrival.Reply;
            EXPECT_LE(got.size(), kReplyCap);
            switch (fault) {
            case Fault::Refuses:
            case Fault::ClosesAtOnce:
                EXPECT_TRUE(got.isEmpty());
                break;
            case Fault::ResetsMidReply:
            case Fault::StaysSilent:
                EXPECT_EQ(got, reply.left(reply.size() / 2));
                break;
            case Fault::Trickles:
                ASSERT_FALSE(got.isEmpty());
                for (qsizetype i = 0; i < got.size(); ++i)
                    ASSERT_EQ(got[i], reply[i % reply.size()]) << "byte " << i;
                break;
            case Fault::Sends20MiB:
                // All of the cap on a quick machine; a slow one may reach the end of the exchange first.
                EXPECT_EQ(got, FakeWhoisServer::GeneratedReply(got.size()));
                break;
            case Fault::SendsBinary:
                EXPECT_EQ(got, WithBinary(reply));
                break;
            }
        }
    }

    /// The section of `server` holds exactly what its last exchange gave; -1 when there is no such section.
    qsizetype CheckSection(const Server& server)
    {
        const QStringList& lines = m_world.Window.Lines();
        const qsizetype at = FindSection(lines, server.sectionTitle, server.host);
        if (at >= 0) {
            const QList<ExchangeRecord> arrivals = m_recorder.ExchangesWith(server.host);
            const QStringList expected = arrivals.isEmpty() ? QStringList() : Render(server, arrivals.last().Reply);
            EXPECT_EQ(lines.mid(at + 5, expected.size()), expected) << "section of " << server.host;
        }
        return at;
    }

    TcpWhoisTransport m_tcp { LoopWait() };
    RecordingTransport m_recorder;
    LookupWorld m_world;
    std::vector<std::unique_ptr<FakeWhoisServer>> m_fakes;
    qint64 m_scriptedBytes = 0;
};

TEST_P(FaultMatrixTest, ReportEndsAndWritesWhatArrived)
{
    const auto [server, fault] = GetParam();
    const ReportSetup setup = SetupOf(server->report);
    ASSERT_NO_FATAL_FAILURE(StartServers(*server, fault));
    m_world.Settings->FilterComments = false;
    m_world.Settings->SearchContacts = false;
    m_world.Settings->InclIP = setup.inclIp;
    m_world.Settings->InclDomain = true;

    m_world.Search(setup.query);

    EXPECT_EQ(m_world.Window.Status(), "Done");
    const QStringList& lines = m_world.Window.Lines();
    EXPECT_EQ(lines.mid(0, 6), HeaderBox(QString::fromLatin1(setup.header)));
    CheckArrivals(*server, fault);

    // The faulted server: what arrived is written, or the report's own text for a missing answer stands there.
    const QList<ExchangeRecord> arrivals = m_recorder.ExchangesWith(server->host);
    const bool arrivedText = !arrivals.isEmpty() && RendersToText(Render(*server, arrivals.last().Reply));
    if (CheckSection(*server) < 0) {
        EXPECT_FALSE(server->mustWrite && arrivedText) << "what arrived from " << server->host << " is missing";
        if (server->fallbackLine || server->fallbackSource) {
            // A server that failed is named as failed, never as a no-match.
            const QString noAnswer = QStringLiteral("No answer from %1: ").arg(QString::fromLatin1(server->host));
            const bool line = server->fallbackLine
                && (lines.contains(QString::fromLatin1(server->fallbackLine))
                    || std::any_of(lines.cbegin(), lines.cend(),
                                   [&noAnswer](const QString& l) { return l.startsWith(noAnswer); }));
            const bool section
                = server->fallbackSource && CheckSection(*FindServer(server->report, server->fallbackSource)) >= 0;
            EXPECT_TRUE(line || section) << "neither the section nor its stand-in for " << server->host;
        }
    }

    if (server->independent) {
        EXPECT_GE(CheckSection(*FindServer(server->report, server->independent)), 0)
            << "the section of " << server->independent << " is lost";
    }

    // However much a server sends, the worksheet holds at most one capped reply beyond the scripted ones.
    qint64 characters = 0;
    for (const QString& line : lines)
        characters += line.size();
    EXPECT_LE(characters, kReplyCap + m_scriptedBytes + 64 * 1024);
}

std::vector<std::tuple<const Server*, Fault>> MatrixCases()
{
    std::vector<std::tuple<const Server*, Fault>> cases;
    for (const Server& server : kServers) {
        if (!server.inMatrix)
            continue;
        for (const Fault fault : { Fault::Refuses, Fault::ResetsMidReply, Fault::StaysSilent, Fault::Trickles,
                                   Fault::ClosesAtOnce, Fault::Sends20MiB, Fault::SendsBinary })
            cases.emplace_back(&server, fault);
    }
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<FaultMatrixTest::ParamType>& param)
{
    return std::string(std::get<0>(param.param)->name) + '_' + FaultName(std::get<1>(param.param));
}

INSTANTIATE_TEST_SUITE_P(EveryServerEveryFault, FaultMatrixTest, ::testing::ValuesIn(MatrixCases()), CaseName);

} // namespace
} // namespace vesk::test
