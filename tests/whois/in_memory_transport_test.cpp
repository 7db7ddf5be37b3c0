#include "support/in_memory_transport.h"
#include "support/test_waits.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// The engine's scenario tests trust this fake to pick the same reply a real server set-up would; a wrong pick
// there would make them pass or fail for the wrong reason.
TEST(InMemoryTransportTest, PicksTheMostSpecificReplyAndLogsEveryCall)
{
    InMemoryTransport transport;
    transport.SetDefaultReply(QByteArrayLiteral("whois.arin.net"), QByteArrayLiteral("default"));
    transport.SetReply(QByteArrayLiteral("whois.arin.net"), QByteArrayLiteral("192.0.2.7"),
                       QByteArrayLiteral("any port"));
    transport.SetReply(QByteArrayLiteral("whois.arin.net"), 4321, QByteArrayLiteral("192.0.2.7"),
                       QByteArrayLiteral("rwhois port"));

    EXPECT_EQ(transport
                  .Exchange(QByteArrayLiteral("whois.arin.net"), 4321, QByteArrayLiteral("192.0.2.7"),
                            HostSource::Fixed, test::NeverStop())
                  .Reply,
              QByteArrayLiteral("rwhois port"));
    EXPECT_EQ(transport
                  .Exchange(QByteArrayLiteral("WHOIS.ARIN.NET"), 43, QByteArrayLiteral("192.0.2.7"),
                            HostSource::Referral, test::NeverStop())
                  .Reply,
              QByteArrayLiteral("any port"));
    EXPECT_EQ(transport
                  .Exchange(QByteArrayLiteral("whois.arin.net"), 43, QByteArrayLiteral("NET-1"), HostSource::Fixed,
                            test::NeverStop())
                  .Reply,
              QByteArrayLiteral("default"));
    // Queries match exactly: the engine's case and spacing are what is under test.
    EXPECT_EQ(transport
                  .Exchange(QByteArrayLiteral("whois.arin.net"), 4321, QByteArrayLiteral(" 192.0.2.7"),
                            HostSource::Fixed, test::NeverStop())
                  .Reply,
              QByteArrayLiteral("default"));
    EXPECT_TRUE(transport
                    .Exchange(QByteArrayLiteral("whois.ripe.net"), 43, QByteArrayLiteral("192.0.2.7"),
                              HostSource::Fixed, test::NeverStop())
                    .Reply.isEmpty());

    ASSERT_EQ(transport.Exchanges().size(), 5);
    const ExchangeRecord& second = transport.Exchanges().at(1);
    EXPECT_EQ(second.Host, QByteArrayLiteral("WHOIS.ARIN.NET"));
    EXPECT_EQ(second.Port, 43);
    EXPECT_EQ(second.Query, QByteArrayLiteral("192.0.2.7"));
    EXPECT_EQ(second.Source, HostSource::Referral);
}

TEST(InMemoryTransportTest, ResolvesFromItsTablesAndRunsTheHook)
{
    InMemoryTransport transport;
    transport.SetAddresses(QByteArrayLiteral("example.com"), { 0xC0000207u, 0xC0000201u });
    transport.SetReverseName(0xC0000207u, QByteArrayLiteral("host.example.com"));
    EXPECT_EQ(transport.ResolveIPv4(QByteArrayLiteral("Example.com"), test::NeverStop()),
              (QList<uint32_t> { 0xC0000207u, 0xC0000201u }));
    EXPECT_TRUE(transport.ResolveIPv4(QByteArrayLiteral("example.org"), test::NeverStop()).isEmpty());
    EXPECT_EQ(transport.ReverseName(0xC0000207u, test::NeverStop()), QByteArrayLiteral("host.example.com"));
    EXPECT_TRUE(transport.ReverseName(0xC0000201u, test::NeverStop()).isEmpty());
    EXPECT_EQ(transport.Resolutions(),
              (QList<QByteArray> { QByteArrayLiteral("Example.com"), QByteArrayLiteral("example.org") }));
    EXPECT_EQ(transport.ReverseLookups(), (QList<uint32_t> { 0xC0000207u, 0xC0000201u }));

    // The hook sees the exchange before its reply is chosen, so it can change what the server says.
    transport.SetExchangeHook([&transport](const ExchangeRecord& record) {
        transport.SetDefaultReply(record.Host, QByteArrayLiteral("changed"));
    });
    EXPECT_EQ(
        transport.Exchange(QByteArrayLiteral("h"), 43, QByteArrayLiteral("q"), HostSource::Fixed, test::NeverStop())
            .Reply,
        QByteArrayLiteral("changed"));
    transport.ClearLog();
    EXPECT_TRUE(transport.Exchanges().isEmpty());
    EXPECT_TRUE(transport.Resolutions().isEmpty());
    EXPECT_EQ(transport.ResolveIPv4(QByteArrayLiteral("example.com"), test::NeverStop()).size(), 2);
}

} // namespace
} // namespace vesk::test
