/// The RDAP exchange: one HTTP GET of an RDAP answer, redirects and rate limits handled, waited for responsively.
#pragma once

#include "common/event_wait.h"
#include "common/exchange_result.h"
#include "common/stop_request.h"
#include "whois/address_book.h"
#include "whois/host_resolver.h"
#include "whois/server_endpoint.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace vesk {

/// Bounds of one RDAP exchange.
struct RdapLimits
{
    int IdleTimeoutMs = 30000; ///< longest wait for the next piece of the answer
    int TotalTimeoutMs = 120000; ///< the whole exchange, redirects and the rate-limit pause included
    qint64 MaxBodyBytes = qint64 { 16 } * 1024 * 1024;
    int MaxRedirects = 5;
    int MaxRetryAfterSeconds = 10; ///< the longest pause a 429 is granted before the one retry
};

/// Gives the route for `host`:`port`, or nothing to use the system resolver. Routed hosts are the user's own
/// choice and are exempt from the safe-referral rule.
using RdapRouter = std::function<std::optional<ServerEndpoint>(const QByteArray& host, int port)>;

/// What one RDAP exchange gave: the answer body as Reply (2xx only), the last HTTP status, and the host that
/// answered, lower-cased (after redirects).
struct RdapFetch : ExchangeResult
{
    QByteArray Host;
};

/// The engine's road to RDAP servers. Implementations never throw and end at once on a stop request.
class RdapTransport
{
public:
    virtual ~RdapTransport() = default;

    /// GETs `url`. A 2xx answer gives its body; any other status gives ExchangeFailure::HttpStatus with the status
    /// and reason phrase, followed by the title and first description line when the body is an RDAP error object
    /// (a 404 too: whether it means "no match" is the caller's rule). A 429 is retried once after its Retry-After
    /// pause (delta-seconds or HTTP-date; 1 s without one) when that is at most MaxRetryAfterSeconds; a longer
    /// pause, or a second 429, gives RateLimited. `source` Referral: the URL came from an answer, so its host
    /// must pass the safe-referral rule (ReferralRefused, nothing sent); redirects always must. Plain http is
    /// followed only where `url` is http itself (a bootstrap entry without https), never after https.
    virtual RdapFetch Fetch(const QUrl& url, HostSource source, const StopRequest& stop) = 0;
};

/// The production client: QNetworkAccessManager, manual redirects, the injected wait.
class HttpRdapTransport : public RdapTransport
{
public:
    /// `wait` (borrowed) is how every exchange is waited for; `router` routes hosts before the resolver is asked.
    /// `extraRoots` are trusted for https in addition to the system's root certificates (a private RDAP mirror's
    /// certificate authority, the tests' own); none: exactly the system's. `names` (borrowed, may be null) lists
    /// addresses of host names ahead of the system resolver, as for port 43.
    ///
    /// A host that must pass the safe-referral rule is resolved here, and the request connects to the very address
    /// that was checked (the certificate is still checked against the name), so a second resolution cannot slip in
    /// another address. Requests follow the system's proxy settings as Qt does; through a proxy, the proxy
    /// resolves the name, and the rule applies to what this client's own resolution of the name gives.
    explicit HttpRdapTransport(EventWait& wait, RdapRouter router = {}, RdapLimits limits = {},
                               const QList<QSslCertificate>& extraRoots = {}, const AddressBook* names = nullptr);
    ~HttpRdapTransport() override;

    RdapFetch Fetch(const QUrl& url, HostSource source, const StopRequest& stop) override;

    /// The request sent for `url`: the RDAP Accept and User-Agent headers; when `route` is given the connection
    /// goes to its address and port while the Host header and the certificate check keep the URL's host name.
    static QNetworkRequest BuildRequest(const QUrl& url, const std::optional<ServerEndpoint>& route);

private:
    struct Hop;
    struct Checked;
    /// One request to `url`, connecting to `target` when given, else to the router's route or the URL's host.
    Hop Get(const QUrl& url, const std::optional<ServerEndpoint>& target, const StopRequest& stop, qint64 deadlineMs);
    /// Whether `url`'s host may be asked as a host taken from an answer, and the addresses to connect to.
    Checked CheckReferralHost(const QUrl& url, const StopRequest& stop, qint64 deadlineMs);

    EventWait& m_wait;
    RdapRouter m_router;
    RdapLimits m_limits;
    HostResolver m_resolver;
    std::optional<QSslConfiguration> m_tls; ///< set only when extra roots are trusted
    std::unique_ptr<QNetworkAccessManager> m_network;
};

} // namespace vesk
