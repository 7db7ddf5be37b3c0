#include "rdap/rdap_client.h"

#include "common/app_version.h"
#include "common/safe_address.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSslError>
#include <QTimeZone>
#include <algorithm>
#include <climits>

namespace vesk {

namespace {

constexpr int kHttpTooManyRequests = 429;

int DefaultPort(const QUrl& url)
{
    return url.port(url.scheme() == QLatin1String("http") ? 80 : 443);
}

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

ExchangeFailure FailureOf(QNetworkReply::NetworkError error, bool gotData)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return ExchangeFailure::Refused;
    case QNetworkReply::HostNotFoundError:
        return ExchangeFailure::NotResolved;
    case QNetworkReply::TimeoutError:
        return ExchangeFailure::Timeout;
    case QNetworkReply::RemoteHostClosedError:
        return gotData ? ExchangeFailure::Reset : ExchangeFailure::Closed;
    case QNetworkReply::SslHandshakeFailedError:
        return ExchangeFailure::Tls;
    default:
        return gotData ? ExchangeFailure::Reset : ExchangeFailure::Unreachable;
    }
}

/// True when the system's proxy settings send a request for `url` through a proxy, as the network access manager
/// decides it.
bool ThroughProxy(const QUrl& url)
{
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    return !proxies.isEmpty() && proxies.first().type() != QNetworkProxy::NoProxy
        && proxies.first().type() != QNetworkProxy::DefaultProxy;
}

/// A failure that happened before the server could be reached, so another address of the host may still answer.
bool NotReached(const RdapFetch& result)
{
    return result.HttpStatus == 0
        && (result.Failure == ExchangeFailure::Refused || result.Failure == ExchangeFailure::Unreachable);
}

// The pause a 429 asks for, in seconds: delta-seconds or an HTTP-date (a date already past is no pause). Absent or
// unreadable: kDefaultRetrySeconds, as a server that says nothing still wants some room.
constexpr int kDefaultRetrySeconds = 1;
qint64 RetryAfterSeconds(const QByteArray& header, const QDateTime& now)
{
    const QByteArray text = header.trimmed();
    if (text.isEmpty())
        return kDefaultRetrySeconds;
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok, 10);
    if (ok)
        return std::max<qint64>(seconds, 0);
    // IMF-fixdate, the form servers send ("Sun, 06 Nov 1994 08:49:37 GMT"); RFC 2822 also covers zone offsets.
    QDateTime date
        = QLocale::c().toDateTime(QString::fromLatin1(text), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (date.isValid())
        date.setTimeZone(QTimeZone::utc());
    else
        date = QDateTime::fromString(QString::fromLatin1(text), Qt::RFC2822Date);
    if (!date.isValid())
        return kDefaultRetrySeconds;
    return std::max<qint64>(now.secsTo(date), 0);
}

// One line of server text for a failure message: control characters dropped, blanks simplified, bounded.
QByteArray OneLine(const QString& text)
{
    QString line;
    for (const QChar c : text)
        line += c.isPrint() ? c : QChar(u' ');
    return line.simplified().left(200).toUtf8();
}

// The title and first description line of an RDAP error object in `body`, joined by ": "; empty for any other body.
QByteArray ErrorBodyText(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return QByteArray();
    const QJsonObject object = document.object();
    QList<QByteArray> parts;
    const QByteArray title = OneLine(object.value(u"title").toString());
    if (!title.isEmpty())
        parts.append(title);
    const QByteArray description = OneLine(object.value(u"description").toArray().first().toString());
    if (!description.isEmpty() && description != title)
        parts.append(description);
    return parts.join(": ");
}

} // namespace

/// The outcome of the safe-referral check of one host.
struct HttpRdapTransport::Checked
{
    ExchangeFailure Failure = ExchangeFailure::None;
    QList<ServerEndpoint> Targets; ///< the checked addresses to connect to; empty: connect by the URL's host
};

/// One request and its outcome, before redirects and retries are decided on.
struct HttpRdapTransport::Hop
{
    RdapFetch Result;
    QUrl Location; ///< for a redirect: where it points (resolved against the request)
    QByteArray RetryAfter;
};

HttpRdapTransport::HttpRdapTransport(EventWait& wait, RdapRouter router, RdapLimits limits,
                                     const QList<QSslCertificate>& extraRoots, const AddressBook* names)
    : m_wait(wait)
    , m_router(std::move(router))
    , m_limits(limits)
    , m_resolver(wait, names)
    , m_network(std::make_unique<QNetworkAccessManager>())
{
    if (!extraRoots.isEmpty()) {
        // Setting any roots ends the system store's on-demand use, so its roots are named here explicitly.
        m_tls = QSslConfiguration::defaultConfiguration();
        m_tls->setCaCertificates(QSslConfiguration::systemCaCertificates() + extraRoots);
    }
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    // Answers go to one host once; a kept-alive connection would outlive the route a test or --resolve chose.
    m_network->setAutoDeleteReplies(false);
}

HttpRdapTransport::~HttpRdapTransport() = default;

QNetworkRequest HttpRdapTransport::BuildRequest(const QUrl& url, const std::optional<ServerEndpoint>& route)
{
    QUrl target = url;
    QNetworkRequest request;
    if (route) {
        target.setHost(route->Address.toString());
        target.setPort(route->Port);
        // The server and the certificate check still see the name the URL gives.
        const int port = DefaultPort(url);
        const bool defaultPort = port == (url.scheme() == QLatin1String("http") ? 80 : 443);
        request.setRawHeader("Host",
                             url.host(QUrl::FullyEncoded).toLatin1()
                                 + (defaultPort ? QByteArray() : ':' + QByteArray::number(port)));
    }
    request.setUrl(target);
    // The certificate is checked against the URL's host name even when the connection goes to a routed address.
    if (url.scheme() == QLatin1String("https"))
        request.setPeerVerifyName(url.host());
    request.setRawHeader("Accept", "application/rdap+json, application/json");
    const TVersionInfo version;
    const TAppVersion& v = version.Values();
    request.setRawHeader("User-Agent",
                         QStringLiteral("Vesk/%1.%2.%3").arg(v.Major).arg(v.Minor).arg(v.Release).toLatin1());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    return request;
}

HttpRdapTransport::Checked HttpRdapTransport::CheckReferralHost(const QUrl& url, const StopRequest& stop,
                                                                qint64 deadlineMs)
{
    Checked checked;
    const QByteArray host = url.host(QUrl::FullyEncoded).toLatin1().toLower();
    const int port = DefaultPort(url);
    if (m_router && m_router(host, port))
        return checked;
    const HostResolver::Resolution resolution
        = m_resolver.Resolve(host, stop, static_cast<int>(std::clamp<qint64>(deadlineMs, 0, INT_MAX)));
    if (resolution.Outcome != WaitOutcome::Done) {
        checked.Failure
            = resolution.Outcome == WaitOutcome::Stopped ? ExchangeFailure::Stopped : ExchangeFailure::TooSlow;
        return checked;
    }
    const QList<QHostAddress>& addresses = resolution.Addresses;
    if (addresses.isEmpty())
        checked.Failure = ExchangeFailure::NotResolved;
    else if (std::any_of(addresses.cbegin(), addresses.cend(), &IsRefusedReferralAddress))
        checked.Failure = ExchangeFailure::ReferralRefused;
    else if (!ThroughProxy(url)) {
        // Through a proxy the proxy resolves the name; otherwise the connection goes to what was checked.
        for (const QHostAddress& address : addresses)
            checked.Targets.append(ServerEndpoint { address, static_cast<quint16>(port) });
    }
    return checked;
}

HttpRdapTransport::Hop HttpRdapTransport::Get(const QUrl& url, const std::optional<ServerEndpoint>& target,
                                              const StopRequest& stop, qint64 deadlineMs)
{
    Hop hop;
    hop.Result.Host = url.host().toLatin1().toLower();
    std::optional<ServerEndpoint> route = target;
    if (!route && m_router)
        route = m_router(hop.Result.Host, DefaultPort(url));
    QNetworkRequest request = BuildRequest(url, route);
    if (m_tls && url.scheme() == QLatin1String("https"))
        request.setSslConfiguration(*m_tls);
    std::unique_ptr<QNetworkReply> reply(m_network->get(request));

    QByteArray& body = hop.Result.Reply;
    bool finished = false;
    bool progressed = false;
    bool tooLarge = false;
    QByteArray tlsError;
    QElapsedTimer idle;
    idle.start();
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
        progressed = true;
        idle.restart();
        body += reply->read(m_limits.MaxBodyBytes + 1 - body.size());
        if (body.size() > m_limits.MaxBodyBytes || reply->bytesAvailable() > 0) {
            tooLarge = true;
            body.truncate(m_limits.MaxBodyBytes);
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, reply.get(), [&finished] { finished = true; });
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, reply.get(), [&tlsError](const QList<QSslError>& errors) {
        if (!errors.isEmpty() && tlsError.isEmpty())
            tlsError = errors.first().errorString().toUtf8();
    });

    const QElapsedTimer& clock = idle; // restarted on data; the overall deadline comes from the caller
    QElapsedTimer total;
    total.start();
    RdapFetch& result = hop.Result;
    const auto stopWith = [&](ExchangeFailure failure) {
        reply->disconnect();
        reply->abort();
        result.Failure = failure;
        if (failure != ExchangeFailure::TooLarge)
            body.clear(); // what arrived of an answer cut short is no answer
        return hop;
    };
    while (!finished && !tooLarge) {
        const qint64 idleLeft = m_limits.IdleTimeoutMs - clock.elapsed();
        const qint64 totalLeft = deadlineMs - total.elapsed();
        if (idleLeft <= 0) {
            result.TimeoutSeconds = (m_limits.IdleTimeoutMs + 999) / 1000;
            return stopWith(ExchangeFailure::Timeout);
        }
        if (totalLeft <= 0)
            return stopWith(ExchangeFailure::TooSlow);
        progressed = false;
        const WaitOutcome outcome = m_wait.WaitUntil(
            static_cast<int>(std::min(idleLeft, totalLeft)), [&] { return finished || progressed || tooLarge; }, stop);
        if (outcome == WaitOutcome::Stopped)
            return stopWith(ExchangeFailure::Stopped);
    }
    if (tooLarge)
        return stopWith(ExchangeFailure::TooLarge);

    result.HttpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (result.HttpStatus == 0) {
        result.Failure = FailureOf(reply->error(), !body.isEmpty());
        if (result.Failure == ExchangeFailure::Tls)
            result.Detail = tlsError.isEmpty() ? reply->errorString().toUtf8() : tlsError;
        body.clear();
        return hop;
    }
    if (result.HttpStatus >= 200 && result.HttpStatus < 300) {
        // A body that ended before its announced length is no answer.
        if (reply->error() != QNetworkReply::NoError) {
            result.Failure = ExchangeFailure::Reset;
            body.clear();
        }
        return hop;
    }
    result.Failure = ExchangeFailure::HttpStatus;
    result.Detail = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().toUtf8().left(200);
    // What the server says went wrong is worth more than the bare status.
    const QByteArray said = ErrorBodyText(body);
    if (!said.isEmpty())
        result.Detail += (result.Detail.isEmpty() ? "" : ": ") + said;
    body.clear();
    if (IsRedirect(result.HttpStatus))
        hop.Location = url.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
    if (result.HttpStatus == kHttpTooManyRequests)
        hop.RetryAfter = reply->rawHeader("Retry-After");
    return hop;
}

RdapFetch HttpRdapTransport::Fetch(const QUrl& url, HostSource source, const StopRequest& stop)
{
    QElapsedTimer total;
    total.start();
    const auto left = [&] { return m_limits.TotalTimeoutMs - total.elapsed(); };
    RdapFetch refused;
    refused.Host = url.host().toLatin1().toLower();
    if (stop.IsRequested()) {
        refused.Failure = ExchangeFailure::Stopped;
        return refused;
    }
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
        refused.Failure = ExchangeFailure::NotResolved;
        return refused;
    }

    QUrl current = url;
    bool mustCheck = source == HostSource::Referral;
    bool retried = false;
    int redirects = 0;
    QList<ServerEndpoint> targets; // the checked addresses of the current host, in the order they are tried
    for (;;) {
        if (mustCheck) {
            refused.Host = current.host().toLatin1().toLower();
            Checked checked = CheckReferralHost(current, stop, left());
            refused.Failure = checked.Failure;
            if (refused.Failure != ExchangeFailure::None)
                return refused;
            targets = std::move(checked.Targets);
        }
        Hop hop = Get(current, targets.isEmpty() ? std::nullopt : std::optional(targets.first()), stop, left());
        RdapFetch& result = hop.Result;
        if (targets.size() > 1 && NotReached(result) && left() > 0) {
            targets.removeFirst();
            mustCheck = false; // the next checked address of the same host
            continue;
        }
        if (result.HttpStatus == kHttpTooManyRequests && !retried) {
            // One retry, and only after a short pause; a server that wants a long one has refused for now.
            const qint64 pause = RetryAfterSeconds(hop.RetryAfter, QDateTime::currentDateTimeUtc());
            if (pause > m_limits.MaxRetryAfterSeconds) {
                result.Failure = ExchangeFailure::RateLimited;
                return result;
            }
            retried = true;
            if (m_wait.WaitUntil(static_cast<int>(pause) * 1000, {}, stop) == WaitOutcome::Stopped) {
                result.Failure = ExchangeFailure::Stopped;
                return result;
            }
            mustCheck = false; // the same host again
            continue;
        }
        if (result.HttpStatus == kHttpTooManyRequests) {
            result.Failure = ExchangeFailure::RateLimited;
            return result;
        }
        if (!hop.Location.isValid() || hop.Location.host().isEmpty())
            return result;
        // A redirect: followed within its count, never from https to plain http, always checked.
        const QString next = hop.Location.scheme();
        if (redirects >= m_limits.MaxRedirects)
            return result;
        if (next != QLatin1String("https")
            && !(next == QLatin1String("http") && current.scheme() == QLatin1String("http"))) {
            result.Failure = ExchangeFailure::Tls;
            result.Detail = "redirect to " + next.toLatin1().left(16) + " refused";
            return result;
        }
        ++redirects;
        current = hop.Location;
        mustCheck = true;
        retried = false;
    }
}

} // namespace vesk
