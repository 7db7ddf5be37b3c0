#include "support/fake_whois_server.h"
#include "support/test_data.h"
#include "support/test_waits.h"
#include "whois/tcp_transport.h"

#include <QTcpServer>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace vesk {
namespace {

using test::FakeWhoisMode;
using test::FakeWhoisServer;

const QByteArray kServerHost = QByteArrayLiteral("whois.example.net");
constexpr qint64 kMiB = 1024 * 1024;

ServerEndpoint Loopback(quint16 port)
{
    return ServerEndpoint { QHostAddress(QHostAddress::LocalHost), port };
}

/// A port on which nothing listens: bound once, then released.
quint16 RefusedPort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

class WhoisClientTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_server.IsListening()); }

    /// A transport that sends kServerHost (any port) to the fake server. Waits are short so that the tests
    /// about silence finish quickly; the tests never depend on how long anything took.
    std::unique_ptr<TcpWhoisTransport> Transport(WhoisClientLimits limits = ShortLimits())
    {
        AddressBook book;
        book.AddServer(kServerHost, Loopback(m_server.Port()));
        return std::make_unique<TcpWhoisTransport>(test::LoopWait(), book, limits);
    }

    static WhoisClientLimits ShortLimits()
    {
        WhoisClientLimits limits;
        limits.ReadTimeoutMs = 200;
        limits.ConnectTimeoutMs = 5000;
        limits.ExchangeTimeoutMs = 30000;
        return limits;
    }

    QByteArray Ask(const QByteArray& query, HostSource source = HostSource::Fixed)
    {
        return Transport()->Exchange(kServerHost, 43, query, source, test::NeverStop()).Reply;
    }

    FakeWhoisServer m_server;
};

TEST_F(WhoisClientTest, SendsTheQueryUnchangedWithCrLfAndNothingElse)
{
    struct Row
    {
        const char* name;
        QByteArray query;
    };
    const Row rows[] = {
        { "domain", QByteArrayLiteral("example.com") },
        { "empty", QByteArray() },
        { "blanks and case kept", QByteArrayLiteral(" Example.COM \t") },
        { "8-bit bytes kept", QByteArrayLiteral("b\xe9t\xe9.example") },
        { "handle", QByteArrayLiteral("NET-192-0-2-0-1") },
    };
    // The server never closes, so it records every byte the client sends until the client gives up and leaves.
    m_server.SetMode(FakeWhoisMode::NeverClose);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int before = static_cast<int>(m_server.ReceivedQueries().size());
        Ask(row.query);
        const QList<QByteArray> received = m_server.ReceivedQueries();
        ASSERT_EQ(received.size(), before + 1);
        EXPECT_EQ(received.last(), row.query + QByteArrayLiteral("\r\n"));
    }
}

TEST_F(WhoisClientTest, KeepsTheReplyByteForByte)
{
    struct Row
    {
        const char* name;
        QByteArray reply;
        FakeWhoisMode mode;
    };
    const Row rows[] = {
        { "three letters, no line end", QByteArrayLiteral("abc"), FakeWhoisMode::AnswerAndClose },
        { "recorded registry reply",
          test::ReadTestData(QStringLiteral("whois/whois.verisign-grs.com-com-registered-newformat-2020.txt")),
          FakeWhoisMode::AnswerAndClose },
        { "CR LF lines", QByteArrayLiteral("Domain Name: EXAMPLE.COM\r\nStatus: ok\r\n\r\n"),
          FakeWhoisMode::AnswerAndClose },
        { "LF and lone CR lines", QByteArrayLiteral("a\nb\rc\n\n"), FakeWhoisMode::AnswerAndClose },
        { "every byte value", FakeWhoisServer::AllByteValues(), FakeWhoisMode::AnswerAndClose },
        { "many reads", FakeWhoisServer::GeneratedReply(300 * 1024), FakeWhoisMode::AnswerAndClose },
        { "slow pieces", QByteArrayLiteral("% slow server\r\nnetname: EXAMPLE-NET\r\n"), FakeWhoisMode::AnswerSlowly },
        { "nothing", QByteArray(), FakeWhoisMode::AnswerAndClose },
    };
    m_server.SetChunking(5, 10);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_server.SetMode(row.mode);
        m_server.SetDefaultReply(row.reply);
        EXPECT_EQ(Ask(QByteArrayLiteral("example.com")), row.reply);
    }
}

TEST_F(WhoisClientTest, RepliesArePickedByQueryLine)
{
    m_server.SetDefaultReply(QByteArrayLiteral("no match\r\n"));
    m_server.SetReply(QByteArrayLiteral("example.com"), QByteArrayLiteral("Domain Name: EXAMPLE.COM\r\n"));
    auto transport = Transport();
    EXPECT_EQ(
        transport->Exchange(kServerHost, 43, QByteArrayLiteral("example.com"), HostSource::Fixed, test::NeverStop())
            .Reply,
        QByteArrayLiteral("Domain Name: EXAMPLE.COM\r\n"));
    // The same transport serves the next exchange on a fresh connection.
    EXPECT_EQ(
        transport->Exchange(kServerHost, 43, QByteArrayLiteral("example.org"), HostSource::Fixed, test::NeverStop())
            .Reply,
        QByteArrayLiteral("no match\r\n"));
    EXPECT_EQ(m_server.ConnectionCount(), 2);
}

TEST_F(WhoisClientTest, NoServerGivesAnEmptyReply)
{
    auto transport = Transport();
    EXPECT_TRUE(transport
                    ->Exchange(QByteArrayLiteral("127.0.0.1"), RefusedPort(), QByteArrayLiteral("example.com"),
                               HostSource::Fixed, test::NeverStop())
                    .Reply.isEmpty());
    // An empty label fails in the resolver itself: the test sends no query to any name server.
    EXPECT_TRUE(transport
                    ->Exchange(QByteArrayLiteral("no-such-host..invalid"), 43, QByteArrayLiteral("example.com"),
                               HostSource::Fixed, test::NeverStop())
                    .Reply.isEmpty());
    for (const int port : { 0, -1, 65536 }) {
        SCOPED_TRACE(port);
        EXPECT_TRUE(
            transport
                ->Exchange(kServerHost, port, QByteArrayLiteral("example.com"), HostSource::Fixed, test::NeverStop())
                .Reply.isEmpty());
    }
    EXPECT_TRUE(
        transport->Exchange(QByteArray(), 43, QByteArrayLiteral("example.com"), HostSource::Fixed, test::NeverStop())
            .Reply.isEmpty());
    // A name the book declares unknown is not handed to the system resolver, and nothing connects.
    transport->Book().AddAddresses(QByteArrayLiteral("gone.example"), {});
    EXPECT_TRUE(transport
                    ->Exchange(QByteArrayLiteral("gone.example"), 43, QByteArrayLiteral("x"), HostSource::Fixed,
                               test::NeverStop())
                    .Reply.isEmpty());
    EXPECT_EQ(m_server.ConnectionCount(), 0);
}

TEST_F(WhoisClientTest, EveryFailureHasItsReasonAndKeepsWhatArrived)
{
    const QByteArray reply = QByteArrayLiteral("Domain Name: EXAMPLE.COM\r\nStatus: ok\r\n");
    const qint64 half = reply.size() / 2;
    struct Row
    {
        const char* name;
        FakeWhoisMode mode;
        qint64 partialBytes;
        ExchangeFailure failure;
        QByteArray expected;
    };
    const Row rows[] = {
        { "complete", FakeWhoisMode::AnswerAndClose, 0, ExchangeFailure::None, reply },
        { "reset after half", FakeWhoisMode::Reset, half, ExchangeFailure::Reset, reply.left(half) },
        { "silent after half", FakeWhoisMode::Silent, half, ExchangeFailure::Timeout, reply.left(half) },
        { "silent", FakeWhoisMode::Silent, 0, ExchangeFailure::Timeout, QByteArray() },
        { "reset before any data", FakeWhoisMode::Reset, 0, ExchangeFailure::Reset, QByteArray() },
        { "never closes after the whole reply", FakeWhoisMode::NeverClose, 0, ExchangeFailure::Timeout, reply },
    };
    m_server.SetDefaultReply(reply);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_server.SetMode(row.mode);
        m_server.SetPartialBytes(row.partialBytes);
        const ExchangeResult result
            = Transport()->Exchange(kServerHost, 43, QByteArrayLiteral("x"), HostSource::Fixed, test::NeverStop());
        EXPECT_EQ(result.Reply, row.expected);
        EXPECT_EQ(result.Failure, row.failure);
        if (row.failure == ExchangeFailure::Timeout) {
            EXPECT_EQ(result.TimeoutSeconds, 1); // the 200 ms read time-out, in whole seconds
        }
    }

    // Closed before the query line was read: the close, or the reset that the unread line draws, comes first.
    m_server.SetMode(FakeWhoisMode::CloseAtOnce);
    const ExchangeFailure closed
        = Transport()->Exchange(kServerHost, 43, "x", HostSource::Fixed, test::NeverStop()).Failure;
    EXPECT_TRUE(closed == ExchangeFailure::Closed || closed == ExchangeFailure::Reset);

    auto transport = Transport();
    EXPECT_EQ(transport->Exchange("127.0.0.1", RefusedPort(), "x", HostSource::Fixed, test::NeverStop()).Failure,
              ExchangeFailure::Refused);
    transport->Book().AddAddresses(QByteArrayLiteral("gone.example"), {});
    EXPECT_EQ(transport->Exchange("gone.example", 43, "x", HostSource::Fixed, test::NeverStop()).Failure,
              ExchangeFailure::NotResolved);
    EXPECT_EQ(transport->Exchange("127.0.0.1", m_server.Port(), "x", HostSource::Referral, test::NeverStop()).Failure,
              ExchangeFailure::ReferralRefused);

    WhoisClientLimits capped = ShortLimits();
    capped.MaxReplyBytes = 10;
    m_server.SetMode(FakeWhoisMode::AnswerAndClose);
    const ExchangeResult cut = Transport(capped)->Exchange(kServerHost, 43, "x", HostSource::Fixed, test::NeverStop());
    EXPECT_EQ(cut.Reply, reply.left(10));
    EXPECT_EQ(cut.Failure, ExchangeFailure::TooLarge);

    WhoisClientLimits slow = ShortLimits();
    slow.ReadTimeoutMs = 60000;
    slow.ExchangeTimeoutMs = 300;
    m_server.SetMode(FakeWhoisMode::Trickle);
    m_server.SetChunking(1, 20);
    EXPECT_EQ(Transport(slow)->Exchange(kServerHost, 43, "x", HostSource::Fixed, test::NeverStop()).Failure,
              ExchangeFailure::TooSlow);
}

TEST_F(WhoisClientTest, AStopDuringASilentExchangeEndsItAndAsksNothingMore)
{
    WhoisClientLimits limits = ShortLimits();
    limits.ReadTimeoutMs = 60000; // only the stop can end this exchange
    m_server.SetMode(FakeWhoisMode::Silent);
    m_server.SetPartialBytes(4);
    m_server.SetDefaultReply(QByteArrayLiteral("partial reply"));
    auto transport = Transport(limits);
    StopRequest stop;
    bool fired = false;
    // Posted before the exchange starts, so it can only run inside the exchange's own wait.
    QTimer::singleShot(0, [&] {
        fired = true;
        stop.Request();
    });
    const ExchangeResult result = transport->Exchange(kServerHost, 43, "first", HostSource::Fixed, stop);
    EXPECT_TRUE(fired);
    EXPECT_EQ(result.Failure, ExchangeFailure::Stopped);
    EXPECT_TRUE(QByteArrayLiteral("part").startsWith(result.Reply)); // what had arrived is kept

    const ExchangeResult next = transport->Exchange(kServerHost, 43, "second", HostSource::Fixed, stop);
    EXPECT_EQ(next.Failure, ExchangeFailure::Stopped);
    EXPECT_TRUE(next.Reply.isEmpty());
    EXPECT_LE(m_server.ConnectionCount(), 1); // the stop may come before the first connect completes
    for (const QByteArray& received : m_server.ReceivedQueries())
        EXPECT_FALSE(received.contains("second"));
}

TEST_F(WhoisClientTest, AFloodIsCutAtTheReplyCap)
{
    WhoisClientLimits limits = ShortLimits();
    limits.MaxReplyBytes = kMiB;
    m_server.SetGeneratedDefaultReply(3 * kMiB);
    for (const FakeWhoisMode mode : { FakeWhoisMode::AnswerAndClose, FakeWhoisMode::NeverClose }) {
        SCOPED_TRACE(static_cast<int>(mode));
        m_server.SetMode(mode);
        const QByteArray reply
            = Transport(limits)
                  ->Exchange(kServerHost, 43, QByteArrayLiteral("x"), HostSource::Fixed, test::NeverStop())
                  .Reply;
        EXPECT_EQ(reply.size(), kMiB);
        EXPECT_TRUE(reply == FakeWhoisServer::GeneratedReply(kMiB)); // no dump of a megabyte on failure
    }
    // A reply that fits is not touched by the cap.
    m_server.SetMode(FakeWhoisMode::AnswerAndClose);
    m_server.SetGeneratedDefaultReply(kMiB - 1);
    EXPECT_EQ(Transport(limits)
                  ->Exchange(kServerHost, 43, QByteArrayLiteral("x"), HostSource::Fixed, test::NeverStop())
                  .Reply.size(),
              kMiB - 1);
}

TEST_F(WhoisClientTest, TheExchangeEndsAtItsOverallLimitHoweverSlowlyDataComes)
{
    // Each byte comes well within the read time-out, so only the overall limit can end this exchange.
    const QByteArray reply = QByteArrayLiteral("0123456789");
    WhoisClientLimits limits = ShortLimits();
    limits.ReadTimeoutMs = 60000;
    limits.ExchangeTimeoutMs = 500;
    m_server.SetDefaultReply(reply);
    m_server.SetMode(FakeWhoisMode::Trickle);
    m_server.SetChunking(1, 20);
    const QByteArray got = Transport(limits)
                               ->Exchange(kServerHost, 43, QByteArrayLiteral("x"), HostSource::Fixed, test::NeverStop())
                               .Reply;
    ASSERT_FALSE(got.isEmpty());
    for (qsizetype i = 0; i < got.size(); ++i)
        ASSERT_EQ(got.at(i), reply.at(i % reply.size())) << "at " << i;

    // The same limit bounds a server that never says anything.
    m_server.SetMode(FakeWhoisMode::Silent);
    m_server.SetPartialBytes(0);
    EXPECT_TRUE(Transport(limits)
                    ->Exchange(kServerHost, 43, QByteArrayLiteral("x"), HostSource::Fixed, test::NeverStop())
                    .Reply.isEmpty());
}

TEST_F(WhoisClientTest, ReferralsToThisMachineAreNotFollowed)
{
    m_server.SetDefaultReply(QByteArrayLiteral("answered"));
    const quint16 port = m_server.Port();
    auto transport = Transport();
    transport->Book().AddAddresses(QByteArrayLiteral("evil.example"), { 0x7F000001u });
    struct Row
    {
        const char* host;
        bool referralAnswered;
    };
    const Row rows[] = {
        { "localhost", false }, // the system resolver's loopback name
        { "127.0.0.1", false },
        { "127.1", false }, // a short dotted form of the same address
        { "evil.example", false }, // a listed name is still a name that resolves here
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.host);
        const QByteArray host(row.host);
        EXPECT_TRUE(transport->Exchange(host, port, QByteArrayLiteral("x"), HostSource::Referral, test::NeverStop())
                        .Reply.isEmpty());
        // The engine's own fixed hosts may point anywhere.
        EXPECT_EQ(transport->Exchange(host, port, QByteArrayLiteral("x"), HostSource::Fixed, test::NeverStop()).Reply,
                  QByteArrayLiteral("answered"));
    }
    EXPECT_EQ(m_server.ConnectionCount(), 4); // the refused referrals never connected
    EXPECT_TRUE(transport
                    ->Exchange(QByteArrayLiteral("127.0.0.2"), port, QByteArrayLiteral("x"), HostSource::Referral,
                               test::NeverStop())
                    .Reply.isEmpty());
    // A route in the address book is the caller's own choice, not the server's.
    EXPECT_EQ(
        transport->Exchange(kServerHost, 43, QByteArrayLiteral("x"), HostSource::Referral, test::NeverStop()).Reply,
        QByteArrayLiteral("answered"));
}

TEST_F(WhoisClientTest, AddressBookRoutesByHostAndPort)
{
    FakeWhoisServer rwhois;
    rwhois.SetDefaultReply(QByteArrayLiteral("%rwhois V-1.5:003fff:00 rwhois.example.net\r\n"));
    m_server.SetDefaultReply(QByteArrayLiteral("whois"));
    AddressBook book;
    book.AddServer(kServerHost, Loopback(m_server.Port()));
    book.AddServer(kServerHost, 4321, Loopback(rwhois.Port()));
    TcpWhoisTransport transport(test::LoopWait(), book, ShortLimits());
    EXPECT_EQ(transport
                  .Exchange(QByteArrayLiteral("WHOIS.Example.NET"), 43, QByteArrayLiteral("x"), HostSource::Fixed,
                            test::NeverStop())
                  .Reply,
              QByteArrayLiteral("whois"));
    EXPECT_TRUE(transport.Exchange(kServerHost, 4321, QByteArrayLiteral("x"), HostSource::Fixed, test::NeverStop())
                    .Reply.startsWith(QByteArrayLiteral("%rwhois V-1.5:")));
}

TEST_F(WhoisClientTest, ResolvesIPv4InResolverOrder)
{
    auto transport = Transport();
    const QList<uint32_t> listed = { 0xC0000207u, 0x0A000001u, 0xC6336405u };
    transport->Book().AddAddresses(QByteArrayLiteral("example.com"), listed);
    EXPECT_EQ(transport->ResolveIPv4(QByteArrayLiteral("example.com"), test::NeverStop()), listed);
    EXPECT_EQ(transport->ResolveIPv4(QByteArrayLiteral("Example.COM"), test::NeverStop()), listed);
    EXPECT_TRUE(transport->ResolveIPv4(QByteArrayLiteral("no-such-host..invalid"), test::NeverStop()).isEmpty());
    EXPECT_TRUE(transport->ResolveIPv4(QByteArray(), test::NeverStop()).isEmpty());
    EXPECT_EQ(transport->ResolveIPv4(QByteArrayLiteral("192.0.2.7"), test::NeverStop()),
              QList<uint32_t> { 0xC0000207u });
    EXPECT_TRUE(transport->ResolveIPv4(QByteArrayLiteral("localhost"), test::NeverStop()).contains(0x7F000001u));

    transport->Book().AddReverseName(0xC0000207u, QByteArrayLiteral("host7.example.com"));
    transport->Book().AddReverseName(0xC0000208u, QByteArray());
    EXPECT_EQ(transport->ReverseName(0xC0000207u, test::NeverStop()), QByteArrayLiteral("host7.example.com"));
    EXPECT_TRUE(transport->ReverseName(0xC0000208u, test::NeverStop()).isEmpty());
}

} // namespace
} // namespace vesk
