// The built vesk-query program, run as a user runs it: exit statuses without any network.

#include "query_binary_run.h"
#include "support/fake_whois_server.h"
#include "support/test_data.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

TEST(QueryBinary, ExitStatuses)
{
    const QueryBinaryRun help = RunQueryBinary({ QStringLiteral("--help") });
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: vesk-query [options] QUERY\n"));

    const QueryBinaryRun usage = RunQueryBinary({ QStringLiteral("--no-such-option"), QStringLiteral("example.com") });
    EXPECT_EQ(usage.status, 2);
    EXPECT_TRUE(usage.err.contains("Usage: vesk-query"));
    EXPECT_TRUE(usage.out.isEmpty());

    const QueryBinaryRun tooLong = RunQueryBinary({ QString(300, u'x') });
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_TRUE(tooLong.err.contains("The query is too long to search: it has 300 characters")) << tooLong.err.data();
    EXPECT_TRUE(tooLong.out.isEmpty());
}

TEST(QueryBinary, ResolveSendsTheNamedServerToALoopbackFake)
{
    FakeWhoisServer registry;
    ASSERT_TRUE(registry.IsListening());
    const QByteArray reply
        = ReadTestData(QStringLiteral("whois/whois.verisign-grs.com-com-notfound-newformat-2020.txt"));
    registry.SetDefaultReply(reply);

    const QueryBinaryRun result
        = RunQueryBinary({ QStringLiteral("--no-ip"), QStringLiteral("--no-contacts"), QStringLiteral("--resolve"),
                           QStringLiteral("whois.verisign-grs.com:43:127.0.0.1:%1").arg(registry.Port()),
                           QStringLiteral("no-such-name-here.com") });
    EXPECT_EQ(result.status, 0) << result.err.data();
    ASSERT_EQ(registry.ReceivedQueries().size(), 1);
    EXPECT_TRUE(registry.ReceivedQueries().first().contains("no-such-name-here.com"));
    EXPECT_TRUE(result.out.contains("No Match For Domain: no-such-name-here.com")) << result.out.data();

    const QueryBinaryRun bad
        = RunQueryBinary({ QStringLiteral("--resolve"), QStringLiteral("whois.verisign-grs.com:43:localhost"),
                           QStringLiteral("example.com") });
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.startsWith("vesk-query: --resolve whois.verisign-grs.com:43:localhost: \"localhost\" is not "
                                   "an IPv4 address"))
        << bad.err.data();
    EXPECT_EQ(registry.ConnectionCount(), 1);
}

TEST(QueryBinary, NoServerAnsweringExitsOneAndSaysWhy)
{
    QTcpServer probe; // a port where nothing listens any more
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();

    const QueryBinaryRun result = RunQueryBinary(
        { QStringLiteral("--no-ip"), QStringLiteral("--no-contacts"), QStringLiteral("--resolve"),
          QStringLiteral("whois.verisign-grs.com:43:127.0.0.1:%1").arg(port), QStringLiteral("example.com") });
    EXPECT_EQ(result.status, 1) << result.err.data();
    EXPECT_TRUE(result.out.contains("\nNo answer from whois.verisign-grs.com: connection refused\n"))
        << result.out.data();
    EXPECT_FALSE(result.out.contains("No Match"));
    EXPECT_TRUE(result.err.contains("No server answered.")) << result.err.data();
}

// An AS number goes to the registry the shipped AS number registry names, asked in ARIN's own form.
TEST(QueryBinary, AsNumberShowsArinsRecord)
{
    FakeWhoisServer arin;
    ASSERT_TRUE(arin.IsListening());
    arin.SetDefaultReply(ReadTestData(QStringLiteral("whois/layout-faithful/whois.arin.net-as-single-record.txt")));
    const QString resolve = QStringLiteral("whois.arin.net:43:127.0.0.1:%1").arg(arin.Port());

    const QueryBinaryRun text = RunQueryBinary({ QStringLiteral("--resolve"), resolve, QStringLiteral("as15169") });
    EXPECT_EQ(text.status, 0) << text.err.data();
    EXPECT_EQ(arin.ReceivedQueries().value(0).trimmed(), "a 15169");
    for (const char* line :
         { "REPORT FOR AS Number: AS15169", "AS DETAILS for AS15169", "source: whois.arin.net",
           "\nASNumber:       15169\n", "\nASName:         GOOGLE\n", "\nOrgName:        Google LLC\n" })
        EXPECT_TRUE(text.out.contains(line)) << line << text.out.data();

    const QueryBinaryRun json = RunQueryBinary(
        { QStringLiteral("--json"), QStringLiteral("--resolve"), resolve, QStringLiteral("AS 15169") });
    EXPECT_EQ(json.status, 0) << json.err.data();
    EXPECT_TRUE(json.out.contains("\"kind\":\"asn\"") || json.out.contains("\"kind\": \"asn\"")) << json.out.data();
}

} // namespace
} // namespace vesk::test
