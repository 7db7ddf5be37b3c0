#include "whois/tcp_transport.h"

#include "common/safe_address.h"

#include <QDeadlineTimer>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <algorithm>
#include <cerrno>
#include <utility>

namespace vesk {

namespace {

// The socket never buffers more than this ahead of us, so a flood costs at most the reply cap plus one chunk.
constexpr qint64 kReadChunkBytes = qint64 { 64 } * 1024;

/// The shorter of `limitMs` and what is left of the whole exchange.
int WaitBudget(int limitMs, const QDeadlineTimer& deadline)
{
    return static_cast<int>(std::min<qint64>(limitMs, deadline.remainingTime()));
}

int WholeSeconds(int milliseconds)
{
    return (std::max(milliseconds, 0) + 999) / 1000;
}

ExchangeResult Failed(ExchangeFailure failure)
{
    ExchangeResult result;
    result.Failure = failure;
    return result;
}

ExchangeResult TimedOut(int milliseconds)
{
    ExchangeResult result = Failed(ExchangeFailure::Timeout);
    result.TimeoutSeconds = WholeSeconds(milliseconds);
    return result;
}

/// Why a connect attempt failed, from the socket's error.
ExchangeFailure ConnectFailure(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ExchangeFailure::Refused;
    case QAbstractSocket::HostNotFoundError:
        return ExchangeFailure::NotResolved;
    case QAbstractSocket::RemoteHostClosedError:
        return ExchangeFailure::Closed;
    default:
        return ExchangeFailure::Unreachable;
    }
}

/// Moves what the socket holds into `reply`, never past `cap`. False once the cap is reached.
bool DrainInto(QTcpSocket& socket, QByteArray& reply, qint64 cap)
{
    while (socket.bytesAvailable() > 0) {
        const qint64 room = cap - reply.size();
        if (room <= 0)
            return false;
        reply.append(socket.read(std::min(room, socket.bytesAvailable())));
    }
    return reply.size() < cap;
}

} // namespace

TcpWhoisTransport::TcpWhoisTransport(EventWait& wait, AddressBook book, WhoisClientLimits limits)
    : m_wait(wait)
    , m_book(std::move(book))
    , m_limits(limits)
    , m_resolver(wait, &m_book)
{ }

ExchangeResult TcpWhoisTransport::Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source,
                                           const StopRequest& stop)
{
    ExchangeResult result;
    if (stop.IsRequested())
        return Failed(ExchangeFailure::Stopped);
    if (host.isEmpty())
        return Failed(ExchangeFailure::NotResolved);
    if (port < 1 || port > 65535)
        return Failed(ExchangeFailure::Refused); // nothing can listen there
    const QDeadlineTimer deadline(m_limits.ExchangeTimeoutMs);

    QList<QHostAddress> targets;
    quint16 targetPort = static_cast<quint16>(port);
    if (const std::optional<ServerEndpoint> routed = m_book.FindServer(host, port)) {
        targets.append(routed->Address);
        targetPort = routed->Port;
    } else {
        // Resolve once and connect to exactly what was checked, so a second lookup cannot slip in another address.
        const HostResolver::Resolution resolution
            = m_resolver.Resolve(host, stop, WaitBudget(m_limits.ExchangeTimeoutMs, deadline));
        if (resolution.Outcome == WaitOutcome::Stopped)
            return Failed(ExchangeFailure::Stopped);
        if (resolution.Outcome == WaitOutcome::TimedOut)
            return TimedOut(m_limits.ExchangeTimeoutMs);
        targets = resolution.Addresses;
        if (targets.isEmpty())
            return Failed(ExchangeFailure::NotResolved);
        if (source == HostSource::Referral && std::any_of(targets.cbegin(), targets.cend(), &IsRefusedReferralAddress))
            return Failed(ExchangeFailure::ReferralRefused);
    }

    QTcpSocket socket;
    // A proxy would resolve the name again and could reach what the check refused; WHOIS is never proxied.
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.setReadBufferSize(kReadChunkBytes);
    // Qt reports a reset as the peer's close; the system's own error code, still set when the signal comes
    // straight from the failed read, tells them apart.
    bool reset = false;
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, [&reset](QAbstractSocket::SocketError error) {
        const int code = errno;
        // Every error but the peer's orderly close ends the connection abnormally.
        reset = reset || error != QAbstractSocket::RemoteHostClosedError || code == ECONNRESET;
    });

    ExchangeResult failure = Failed(ExchangeFailure::Unreachable);
    bool connected = false;
    for (const QHostAddress& address : std::as_const(targets)) {
        const int budget = WaitBudget(m_limits.ConnectTimeoutMs, deadline);
        if (budget <= 0)
            break;
        socket.connectToHost(address, targetPort);
        const WaitOutcome outcome = m_wait.WaitUntil(
            budget,
            [&socket] {
                return socket.state() == QAbstractSocket::ConnectedState
                    || socket.state() == QAbstractSocket::UnconnectedState;
            },
            stop);
        if (outcome == WaitOutcome::Stopped) {
            socket.abort();
            return Failed(ExchangeFailure::Stopped);
        }
        if (socket.state() == QAbstractSocket::ConnectedState) {
            connected = true;
            break;
        }
        failure = outcome == WaitOutcome::TimedOut ? TimedOut(budget) : Failed(ConnectFailure(socket.error()));
        socket.abort();
    }
    if (!connected)
        return failure;
    reset = false;

    // The socket sends the line as the event loop runs; a server that never reads it simply never answers.
    socket.write(query + QByteArrayLiteral("\r\n"));

    QDeadlineTimer quiet(m_limits.ReadTimeoutMs);
    for (;;) {
        const qsizetype before = result.Reply.size();
        if (!DrainInto(socket, result.Reply, m_limits.MaxReplyBytes)) {
            result.Failure = ExchangeFailure::TooLarge;
            break;
        }
        if (result.Reply.size() != before)
            quiet.setRemainingTime(m_limits.ReadTimeoutMs);
        if (socket.state() != QAbstractSocket::ConnectedState) {
            if (reset)
                result.Failure = ExchangeFailure::Reset;
            else if (result.Reply.isEmpty())
                result.Failure = ExchangeFailure::Closed;
            break;
        }
        const int wait = static_cast<int>(std::min(quiet.remainingTime(), deadline.remainingTime()));
        const WaitOutcome outcome = m_wait.WaitUntil(
            std::max(wait, 0),
            [&socket] { return socket.bytesAvailable() > 0 || socket.state() != QAbstractSocket::ConnectedState; },
            stop);
        if (outcome == WaitOutcome::Stopped) {
            result.Failure = ExchangeFailure::Stopped;
            break;
        }
        if (outcome == WaitOutcome::TimedOut) {
            if (deadline.hasExpired()) {
                result.Failure = ExchangeFailure::TooSlow;
            } else {
                result.Failure = ExchangeFailure::Timeout;
                result.TimeoutSeconds = WholeSeconds(m_limits.ReadTimeoutMs);
            }
            break;
        }
    }
    // What arrived with the close is kept, within the cap.
    if (!DrainInto(socket, result.Reply, m_limits.MaxReplyBytes) && result.Failure == ExchangeFailure::None)
        result.Failure = ExchangeFailure::TooLarge;
    socket.abort();
    return result;
}

QList<uint32_t> TcpWhoisTransport::ResolveIPv4(const QByteArray& host, const StopRequest& stop)
{
    QList<uint32_t> addresses;
    for (const QHostAddress& address : m_resolver.Resolve(host, stop, m_limits.ExchangeTimeoutMs).Addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            addresses.append(address.toIPv4Address());
    }
    return addresses;
}

QList<IPv6Bytes> TcpWhoisTransport::ResolveIPv6(const QByteArray& host, const StopRequest& stop, int budgetMs)
{
    const int budget = budgetMs < 0 ? m_limits.ExchangeTimeoutMs : std::min(budgetMs, m_limits.ExchangeTimeoutMs);
    return m_resolver.ResolveIPv6(host, stop, budget).Addresses;
}

QByteArray TcpWhoisTransport::ReverseName(uint32_t address, const StopRequest& stop)
{
    return m_resolver.ReverseName(address, stop, m_limits.ExchangeTimeoutMs);
}

QByteArray TcpWhoisTransport::ReverseName6(const QByteArray& address, const StopRequest& stop)
{
    return m_resolver.ReverseName6(address, stop, m_limits.ExchangeTimeoutMs);
}

} // namespace vesk
