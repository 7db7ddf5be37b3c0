#include "common/safe_address.h"
#include "rdap/rdap_client.h"
#include "support/fake_http_server.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QTcpServer>
#include <QTimer>
#include <gtest/gtest.h>

namespace vesk::test {

namespace {

// The client against a loopback fake: "rdap.example" and "rir.example" are routed to it, as --resolve does.
class RdapClientTest : public ::testing::Test
{
protected:
    QUrl Url(const char* host, const char* path) const
    {
        return QUrl(QStringLiteral("http://%1/%2").arg(QLatin1String(host), QLatin1String(path)));
    }
    RdapFetch Fetch(const QUrl& url, HostSource source = HostSource::Fixed) { return client.Fetch(url, source, stop); }

    FakeHttpServer server;
    EventLoopWait wait;
    StopRequest stop;
    HttpRdapTransport client { wait, [this](const QByteArray& host, int) -> std::optional<ServerEndpoint> {
                                  if (host == "rdap.example" || host == "rir.example")
                                      return ServerEndpoint { QHostAddress(QHostAddress::LocalHost), server.Port() };
                                  return std::nullopt;
                              } };
};

TEST_F(RdapClientTest, StatusesRateLimitsAndRedirects)
{
    server.Serve("domain/a.zz", R"({"objectClassName":"domain"})");
    RdapFetch fetch = Fetch(Url("rdap.example", "domain/a.zz"));
    EXPECT_EQ(fetch.Failure, ExchangeFailure::None);
    EXPECT_EQ(fetch.Reply, R"({"objectClassName":"domain"})");
    EXPECT_EQ(fetch.Host, "rdap.example");

    // 404 with an empty body: the status for the caller to judge.
    server.Serve("domain/none.zz", QByteArray(), 404);
    fetch = Fetch(Url("rdap.example", "domain/none.zz"));
    EXPECT_EQ(fetch.Failure, ExchangeFailure::HttpStatus);
    EXPECT_EQ(fetch.HttpStatus, 404);
    EXPECT_EQ(fetch.Detail, "Not Found");

    // 429 then success: one retry after the pause.
    server.ServeOnce("domain/busy.zz", QByteArray(), 429, "Retry-After: 0\r\n");
    server.Serve("domain/busy.zz", "{}");
    fetch = Fetch(Url("rdap.example", "domain/busy.zz"));
    EXPECT_EQ(fetch.Failure, ExchangeFailure::None);
    EXPECT_EQ(server.Requests("domain/busy.zz"), 2);

    // 429 twice: rate limited, no third request.
    server.Serve("domain/full.zz", QByteArray(), 429);
    fetch = Fetch(Url("rdap.example", "domain/full.zz"));
    EXPECT_EQ(fetch.Failure, ExchangeFailure::RateLimited);
    EXPECT_EQ(server.Requests("domain/full.zz"), 2);

    // A redirect to another routed name is followed; the answering host is the last one.
    server.ServeOnce("ip/1.1.1.1", QByteArray(), 302, "Location: http://rir.example/rir/ip/1.1.1.1\r\n");
    server.Serve("rir/ip/1.1.1.1", "{}");
    fetch = Fetch(Url("rdap.example", "ip/1.1.1.1"));
    EXPECT_EQ(fetch.Failure, ExchangeFailure::None);
    EXPECT_EQ(fetch.Host, "rir.example");

    // A redirect to a local address that nobody routed is refused before any connection is made.
    server.Serve("domain/local.zz", QByteArray(), 302);
    server.ServeOnce("domain/evil.zz", QByteArray(), 302,
                     "Location: http://127.0.0.1:" + QByteArray::number(server.Port()) + "/domain/local.zz\r\n");
    fetch = Fetch(Url("rdap.example", "domain/evil.zz"));
    EXPECT_EQ(fetch.Failure, ExchangeFailure::ReferralRefused);
    EXPECT_EQ(server.Requests("domain/local.zz"), 0);

    // Redirects are followed five times at most.
    server.ServeOnce("domain/loop.zz", QByteArray(), 302, "Location: /domain/loop.zz\r\n");
    server.Serve("domain/loop.zz", QByteArray(), 302);
    fetch = Fetch(Url("rdap.example", "domain/loop.zz"));
    EXPECT_EQ(fetch.Failure, ExchangeFailure::HttpStatus);
    EXPECT_EQ(fetch.HttpStatus, 302);
    EXPECT_EQ(server.Requests("domain/loop.zz"), 6);
}

// A 429 is retried once, and only when the pause it asks for is short; both forms of Retry-After are read.
TEST_F(RdapClientTest, RetryAfterDecidesWhetherTheOneRetryIsMade)
{
    const auto httpDate = [](qint64 secondsFromNow) {
        return QLocale::c()
                   .toString(QDateTime::currentDateTimeUtc().addSecs(secondsFromNow),
                             QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"))
                   .toLatin1()
            + " GMT";
    };
    const struct
    {
        const char* name;
        QByteArray headers;
        int requests;
        qint64 minPauseMs; ///< between the two requests
    } cases[] = {
        { "zero", "Retry-After: 0\r\n", 2, 0 },
        { "short", "Retry-After: 2\r\n", 2, 1500 },
        { "long", "Retry-After: 3600\r\n", 1, 0 },
        { "none", QByteArray(), 2, 800 },
        { "garbage", "Retry-After: soon\r\n", 2, 800 },
        { "date-past", "Retry-After: " + httpDate(-60) + "\r\n", 2, 0 },
        { "date-far", "Retry-After: " + httpDate(3600) + "\r\n", 1, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray path = QByteArray("domain/") + c.name + ".zz";
        server.Serve(path, QByteArray(), 429);
        server.ServeOnce(path, QByteArray(), 429, c.headers);
        const RdapFetch fetch = Fetch(Url("rdap.example", path.constData()));
        EXPECT_EQ(fetch.Failure, ExchangeFailure::RateLimited);
        ASSERT_EQ(server.Requests(path), c.requests);
        if (c.requests == 2) {
            const QList<qint64> times = server.RequestTimes(path);
            EXPECT_GE(times[1] - times[0], c.minPauseMs);
        }
    }
}

// The failure detail of an error status carries what an RDAP error object says; other bodies add nothing.
TEST_F(RdapClientTest, ErrorBodiesNameTheError)
{
    const struct
    {
        const char* name;
        QByteArray body;
        QByteArray detail;
    } cases[] = {
        { "titled", R"({"errorCode":400,"title":"Invalid domain name","description":["Label too long"]})",
          "Bad Request: Invalid domain name: Label too long" },
        { "same", R"({"errorCode":400,"title":"Bad name","description":["Bad name","more"]})",
          "Bad Request: Bad name" },
        { "control", "{\"title\":\"Line\\none\\u0007\"}", "Bad Request: Line one" },
        { "html", "<html><body>Bad Request</body></html>", "Bad Request" },
        { "array", "[\"title\"]", "Bad Request" },
        { "wrong-types", R"({"title":7,"description":"text"})", "Bad Request" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray path = QByteArray("domain/") + c.name + ".zz";
        server.Serve(path, c.body, 400);
        const RdapFetch fetch = Fetch(Url("rdap.example", path.constData()));
        EXPECT_EQ(fetch.Failure, ExchangeFailure::HttpStatus);
        EXPECT_EQ(fetch.Detail, c.detail);
        EXPECT_TRUE(fetch.Reply.isEmpty());
    }
}

TEST_F(RdapClientTest, CapsAndStop)
{
    // One byte over 16 MiB: cut, never kept whole.
    server.Serve("domain/huge.zz", QByteArray(16 * 1024 * 1024 + 1, ' '));
    RdapFetch fetch = Fetch(Url("rdap.example", "domain/huge.zz"));
    EXPECT_EQ(fetch.Failure, ExchangeFailure::TooLarge);
    EXPECT_LE(fetch.Reply.size(), 16 * 1024 * 1024);

    // A truncated body is no answer.
    server.Fail("domain/cut.zz", FakeHttpServer::Mode::Truncated);
    fetch = Fetch(Url("rdap.example", "domain/cut.zz"));
    EXPECT_NE(fetch.Failure, ExchangeFailure::None);
    EXPECT_TRUE(fetch.Reply.isEmpty());

    // A stop during the exchange with a silent server ends it at once.
    server.Fail("domain/silent.zz", FakeHttpServer::Mode::Silent);
    QTimer::singleShot(0, [this] { stop.Request(); });
    fetch = Fetch(Url("rdap.example", "domain/silent.zz"));
    EXPECT_EQ(fetch.Failure, ExchangeFailure::Stopped);
}

// Routes each named host to a loopback port, as --resolve does.
RdapRouter RouteTo(const QHash<QByteArray, quint16>& ports)
{
    return [ports](const QByteArray& host, int) -> std::optional<ServerEndpoint> {
        if (!ports.contains(host))
            return std::nullopt;
        return ServerEndpoint { QHostAddress(QHostAddress::LocalHost), ports.value(host) };
    };
}

// Hosts named by answers are resolved by the client itself and checked before anything is sent: a link or a
// redirect into a private network is refused, also a name with one private address among public ones. The names get
// their addresses from the book, and the rule refuses them before any connection, so nothing is ever sent there.
TEST(RdapReferralTest, HostsOnPrivateNetworksAreRefusedBeforeAnythingIsSent)
{
    ASSERT_TRUE(IsRefusedReferralAddress(QHostAddress(0x0A170005u)));
    ASSERT_TRUE(IsRefusedReferralAddress(QHostAddress(0xAC100001u)));
    FakeHttpServer server;
    EventLoopWait wait;
    StopRequest stop;
    AddressBook names;
    names.AddAddresses("rdap.private.example", { 0x0A170005u }); // 10.23.0.5
    names.AddAddresses("rdap.mixed.example", { 0x08080808u, 0xAC100001u }); // 8.8.8.8 and 172.16.0.1
    HttpRdapTransport client(wait, RouteTo({ { "rdap.example", server.Port() } }), {}, {}, &names);

    for (const char* url :
         { "https://rdap.private.example/domain/a.zz", "https://rdap.mixed.example/domain/a.zz",
           "http://10.0.0.1/domain/a.zz", "http://100.64.0.1/domain/a.zz", "http://[fd00::1]/domain/a.zz" }) {
        SCOPED_TRACE(url);
        const RdapFetch fetch = client.Fetch(QUrl(QString::fromLatin1(url)), HostSource::Referral, stop);
        EXPECT_EQ(fetch.Failure, ExchangeFailure::ReferralRefused);
        EXPECT_TRUE(fetch.Reply.isEmpty());
    }

    // A redirect from a server the engine chose is checked the same way.
    server.ServeOnce("domain/b.zz", QByteArray(), 302, "Location: http://rdap.private.example/domain/b.zz\r\n");
    const RdapFetch fetch
        = client.Fetch(QUrl(QStringLiteral("http://rdap.example/domain/b.zz")), HostSource::Fixed, stop);
    EXPECT_EQ(fetch.Failure, ExchangeFailure::ReferralRefused);
    EXPECT_EQ(fetch.Host, "rdap.private.example");
    EXPECT_EQ(server.Requests("domain/b.zz"), 1);
}

// https through a route to the loopback TLS fake: the certificate must be trusted and name the URL's host.
TEST(RdapTlsTest, TheCertificateIsCheckedAgainstTheHostNameAndTheTrustedRoots)
{
    const struct
    {
        const char* host;
        const char* certificate;
        bool trustTestCa;
        bool answers;
    } cases[] = {
        { "rdap.identitydigital.services", "server.pem", true, true },
        { "rdap.test.example", "server.pem", true, true }, // the certificate's second name
        { "rdap.identitydigital.services", "server.pem", false, false }, // the system's roots alone
        { "rdap.identitydigital.services", "other-name.pem", true, false },
        { "rdap.identitydigital.services", "self-signed.pem", true, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.host) + " " + c.certificate + (c.trustTestCa ? " trusted CA" : " system roots"));
        FakeHttpServer server(TestServerTls(c.certificate));
        server.Serve("rdap/domain/example.info", R"({"objectClassName":"domain"})");
        EventLoopWait wait;
        const StopRequest stop;
        HttpRdapTransport client(wait, RouteTo({ { c.host, server.Port() } }), {},
                                 c.trustTestCa ? TestCaRoots() : QList<QSslCertificate>());
        const RdapFetch fetch
            = client.Fetch(QUrl(QStringLiteral("https://%1/rdap/domain/example.info").arg(QLatin1String(c.host))),
                           HostSource::Fixed, stop);
        EXPECT_EQ(fetch.Host, c.host);
        if (c.answers) {
            EXPECT_EQ(fetch.Failure, ExchangeFailure::None) << fetch.Detail.data();
            EXPECT_EQ(fetch.Reply, R"({"objectClassName":"domain"})");
        } else {
            EXPECT_EQ(fetch.Failure, ExchangeFailure::Tls);
            EXPECT_FALSE(fetch.Detail.isEmpty());
            EXPECT_TRUE(fetch.Reply.isEmpty());
            EXPECT_EQ(server.Requests("rdap/domain/example.info"), 0);
        }
    }
}

TEST(RdapTlsTest, RedirectsStayOnCheckedHttps)
{
    FakeHttpServer tls(TestServerTls("server.pem"));
    FakeHttpServer plain;
    EventLoopWait wait;
    const StopRequest stop;
    HttpRdapTransport client(wait,
                             RouteTo({ { "rdap.identitydigital.services", tls.Port() },
                                       { "rdap.test.example", tls.Port() },
                                       { "plain.test.example", plain.Port() } }),
                             {}, TestCaRoots());
    const QUrl url(QStringLiteral("https://rdap.identitydigital.services/rdap/domain/example.info"));

    // To another https host: followed, with that host's certificate checked against the same roots.
    tls.ServeOnce("rdap/domain/example.info", QByteArray(), 302,
                  "Location: https://rdap.test.example/other/domain/example.info\r\n");
    tls.Serve("other/domain/example.info", "{}");
    RdapFetch fetch = client.Fetch(url, HostSource::Fixed, stop);
    EXPECT_EQ(fetch.Failure, ExchangeFailure::None) << fetch.Detail.data();
    EXPECT_EQ(fetch.Host, "rdap.test.example");

    // To plain http: refused as a TLS failure, nothing asked there.
    plain.Serve("rdap/domain/example.info", "{}");
    tls.ServeOnce("rdap/domain/example.info", QByteArray(), 302,
                  "Location: http://plain.test.example/rdap/domain/example.info\r\n");
    fetch = client.Fetch(url, HostSource::Fixed, stop);
    EXPECT_EQ(fetch.Failure, ExchangeFailure::Tls);
    EXPECT_EQ(fetch.Detail, "redirect to http refused");
    EXPECT_TRUE(fetch.Reply.isEmpty());
    EXPECT_EQ(plain.Requests("rdap/domain/example.info"), 0);
}

TEST(RdapRequestTest, HeadersAndTheCertificateNameSurviveARoute)
{
    const QUrl url(QStringLiteral("https://rdap.identitydigital.services/rdap/domain/example.info"));
    const QNetworkRequest request
        = HttpRdapTransport::BuildRequest(url, ServerEndpoint { QHostAddress(QStringLiteral("192.0.2.7")), 8443 });
    EXPECT_EQ(request.url().host(), QStringLiteral("192.0.2.7"));
    EXPECT_EQ(request.url().port(), 8443);
    EXPECT_EQ(request.rawHeader("Host"), "rdap.identitydigital.services");
    EXPECT_EQ(request.peerVerifyName(), QStringLiteral("rdap.identitydigital.services"));
    EXPECT_EQ(request.rawHeader("Accept"), "application/rdap+json, application/json");
    EXPECT_TRUE(request.rawHeader("User-Agent").startsWith("Vesk/"));
}

// A route to an IPv6 address (--resolve HOST:PORT:[ADDRESS]) is reached like an IPv4 one, and the server still sees
// the URL's name.
TEST(RdapRequestTest, ARouteToIPv6LoopbackIsReached)
{
    const QNetworkRequest request
        = HttpRdapTransport::BuildRequest(QUrl(QStringLiteral("https://rdap.example/ip/2001:db8::1")),
                                          ServerEndpoint { QHostAddress(QStringLiteral("2001:DB8::53")), 8443 });
    EXPECT_EQ(request.url().toString(), QStringLiteral("https://[2001:db8::53]:8443/ip/2001:db8::1"));
    EXPECT_EQ(request.rawHeader("Host"), "rdap.example");

    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHostIPv6, 0))
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    probe.close();
    FakeHttpServer server { QSslConfiguration(), QHostAddress(QHostAddress::LocalHostIPv6) };
    server.Serve("ip/2001:db8::1", R"({"objectClassName":"ip network"})");
    EventLoopWait wait;
    StopRequest stop;
    HttpRdapTransport client(wait, [&server](const QByteArray& host, int) -> std::optional<ServerEndpoint> {
        if (host != "rdap.example")
            return std::nullopt;
        return ServerEndpoint { QHostAddress(QHostAddress::LocalHostIPv6), server.Port() };
    });
    const RdapFetch fetch
        = client.Fetch(QUrl(QStringLiteral("http://rdap.example/ip/2001:db8::1")), HostSource::Fixed, stop);
    EXPECT_EQ(fetch.Failure, ExchangeFailure::None);
    EXPECT_EQ(fetch.HttpStatus, 200);
    EXPECT_EQ(fetch.Reply, R"({"objectClassName":"ip network"})");
    EXPECT_EQ(server.Requests("ip/2001:db8::1"), 1);
}

} // namespace

} // namespace vesk::test
