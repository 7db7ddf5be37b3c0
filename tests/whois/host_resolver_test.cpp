#include "support/fake_whois_server.h"
#include "support/test_waits.h"
#include "whois/host_resolver.h"
#include "whois/tcp_transport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <memory>

namespace vesk {
namespace {

QList<QByteArray> Texts(const QList<IPv6Bytes>& addresses)
{
    QList<QByteArray> texts;
    for (const IPv6Bytes& address : addresses)
        texts.append(IPv6Text(address));
    return texts;
}

QHostAddress Address(const char* text)
{
    return QHostAddress(QString::fromLatin1(text));
}

bool HasIPv6Loopback()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

// Where a name's IPv6 addresses come from: the book (which also holds a name to no IPv6 address at all), an
// address literal (never sent to a resolver), else the system's lookup.
TEST(HostResolverTest, IPv6AddressesComeFromTheBookALiteralOrTheLookup)
{
    AddressBook book;
    book.AddHostAddresses("dual.example",
                          { Address("2001:DB8::1"), Address("192.0.2.7"), Address("::1"), QHostAddress() });
    book.AddAddresses("v4only.example", { 0xC0000207u });
    book.AddHostAddresses("unknown.example", {});
    QList<QByteArray> asked;
    const HostResolver resolver(test::LoopWait(), &book, [&asked](const QByteArray& name) {
        asked.append(name); // read only after the wait, which the answer ends
        return QList<IPv6Bytes> { *ParseIPv6("2001:db8::53"), *ParseIPv6("2001:db8::54") };
    });

    const struct
    {
        const char* host;
        QList<QByteArray> addresses;
        bool looksUp;
    } rows[] = {
        { "dual.example", { "2001:db8::1", "::1" }, false },
        { "DUAL.Example", { "2001:db8::1", "::1" }, false },
        { "v4only.example", {}, false },
        { "unknown.example", {}, false },
        { "2001:0DB8:0000:0000:0000:0000:0000:0001", { "2001:db8::1" }, false },
        { "::ffff:192.0.2.1", { "::ffff:192.0.2.1" }, false },
        { "192.0.2.7", {}, false },
        { "", {}, false },
        { "elsewhere.example", { "2001:db8::53", "2001:db8::54" }, true },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.host);
        asked.clear();
        const HostResolver::Resolution6 resolved = resolver.ResolveIPv6(row.host, test::NeverStop(), 5000);
        EXPECT_EQ(resolved.Outcome, WaitOutcome::Done);
        EXPECT_EQ(Texts(resolved.Addresses), row.addresses);
        EXPECT_EQ(asked, row.looksUp ? QList<QByteArray> { row.host } : QList<QByteArray> {});
    }

    // Connecting by such a name goes to its addresses, IPv4 first.
    EXPECT_EQ(resolver.Resolve("dual.example", test::NeverStop(), 5000).Addresses,
              (QList<QHostAddress> { Address("192.0.2.7"), Address("2001:db8::1"), Address("::1") }));
    book.AddReverseName(Address("2001:db8::1"), "host1.example");
    EXPECT_EQ(resolver.ReverseName6("2001:db8::1", test::NeverStop(), 5000), "host1.example");
}

// The system's lookup blocks, so it runs on a thread of its own: a lookup that never returns costs the search its
// budget or ends at a stop, and its late answer is dropped.
TEST(HostResolverTest, LookupThatDoesNotReturnIsAbandonedAtTheBudgetOrTheStop)
{
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    auto finished = std::make_shared<std::atomic<int>>(0);
    const HostResolver resolver(test::LoopWait(), nullptr, [released, finished](const QByteArray&) {
        released.wait();
        ++*finished;
        return QList<IPv6Bytes> { *ParseIPv6("2001:db8::1") };
    });

    QElapsedTimer clock;
    clock.start();
    const HostResolver::Resolution6 timedOut = resolver.ResolveIPv6("hang.example", test::NeverStop(), 100);
    EXPECT_EQ(timedOut.Outcome, WaitOutcome::TimedOut);
    EXPECT_TRUE(timedOut.Addresses.isEmpty());

    StopRequest stop;
    QTimer::singleShot(50, [&stop] { stop.Request(); });
    const HostResolver::Resolution6 stopped = resolver.ResolveIPv6("hang.example", stop, 60000);
    EXPECT_EQ(stopped.Outcome, WaitOutcome::Stopped);
    EXPECT_TRUE(stopped.Addresses.isEmpty());
    EXPECT_LT(clock.elapsed(), 30000) << "neither wait lasted as long as the lookup";
    // Asked again while stopped: nothing is started.
    EXPECT_EQ(resolver.ResolveIPv6("hang.example", stop, 60000).Outcome, WaitOutcome::Stopped);

    // The abandoned lookups end now; their answers reach nobody.
    release.set_value();
    for (int i = 0; i < 500 && finished->load() < 2; ++i)
        QThread::msleep(10);
    EXPECT_EQ(finished->load(), 2);
    QCoreApplication::processEvents();
}

TEST(HostResolverTest, SystemLookupTakesNumericNamesAndRefusesBrokenOnes)
{
    const struct
    {
        QByteArray name;
        QList<QByteArray> addresses;
    } rows[] = {
        { "::1", { "::1" } },
        { "2001:DB8:0:0::1", { "2001:db8::1" } },
        { QByteArray("::1\0evil.example", 16), {} },
        { "", {} },
        { "192.0.2.7", {} }, // IPv4-mapped answers are not asked for
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        EXPECT_EQ(Texts(HostResolver::SystemIPv6Addresses(row.name)), row.addresses);
    }
}

// Port 43 reaches a server on an IPv6 address, whether routed to it by the book or by a name that resolves to it.
TEST(HostResolverTest, ExchangeReachesAServerOnIPv6Loopback)
{
    if (!HasIPv6Loopback())
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    test::FakeWhoisServer server { QHostAddress(QHostAddress::LocalHostIPv6) };
    ASSERT_TRUE(server.IsListening());
    server.SetReply("2001:db8::1", "inet6num: 2001:db8::/32\n");
    AddressBook book;
    book.AddServer("whois.routed.example", 43,
                   ServerEndpoint { QHostAddress(QHostAddress::LocalHostIPv6), server.Port() });
    book.AddHostAddresses("whois.named.example", { QHostAddress(QHostAddress::LocalHostIPv6) });
    TcpWhoisTransport transport(test::LoopWait(), book);

    const ExchangeResult routed
        = transport.Exchange("whois.routed.example", 43, "2001:db8::1", HostSource::Fixed, test::NeverStop());
    EXPECT_EQ(routed.Failure, ExchangeFailure::None);
    EXPECT_EQ(routed.Reply, "inet6num: 2001:db8::/32\n");
    const ExchangeResult named
        = transport.Exchange("whois.named.example", server.Port(), "2001:db8::1", HostSource::Fixed, test::NeverStop());
    EXPECT_EQ(named.Reply, "inet6num: 2001:db8::/32\n");
    // A referral to a name on this machine is refused for IPv6 as for IPv4.
    EXPECT_EQ(
        transport.Exchange("whois.named.example", server.Port(), "2001:db8::1", HostSource::Referral, test::NeverStop())
            .Failure,
        ExchangeFailure::ReferralRefused);
    EXPECT_EQ(server.ConnectionCount(), 2);
}

} // namespace
} // namespace vesk
