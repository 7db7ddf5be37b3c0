#include "whois/tcp_transport.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <algorithm>
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

/// A literal IPv4 or IPv6 address, parsed without asking any resolver.
std::optional<QHostAddress> AddressLiteral(const QByteArray& host)
{
    QHostAddress address;
    if (address.setAddress(QString::fromLatin1(host)))
        return address;
    return std::nullopt;
}

/// True when `address` belongs to one of this machine's interfaces: reaching it reaches this machine, loopback or
/// not, including services that listen on every interface.
bool IsOwnAddress(const QHostAddress& address)
{
    const QList<QHostAddress> own = QNetworkInterface::allAddresses();
    return std::any_of(own.cbegin(), own.cend(), [&address](const QHostAddress& mine) {
        return mine.isEqual(address, QHostAddress::TolerantConversion);
    });
}

bool IsRefusedReferralAddress(const QHostAddress& address)
{
    return TcpWhoisTransport::IsForbiddenReferralAddress(address) || IsOwnAddress(address);
}

} // namespace

TcpWhoisTransport::TcpWhoisTransport(AddressBook book, WhoisClientLimits limits)
    : m_book(std::move(book))
    , m_limits(limits)
{ }

QByteArray TcpWhoisTransport::Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source)
{
    QByteArray reply;
    if (host.isEmpty() || port < 1 || port > 65535)
        return reply;
    const QDeadlineTimer deadline(m_limits.ExchangeTimeoutMs);

    QList<QHostAddress> targets;
    quint16 targetPort = static_cast<quint16>(port);
    if (const std::optional<ServerEndpoint> routed = m_book.FindServer(host, port)) {
        targets.append(routed->Address);
        targetPort = routed->Port;
    } else {
        // Resolve once and connect to exactly what was checked, so a second lookup cannot slip in another address.
        targets = ResolveForConnect(host);
        if (source == HostSource::Referral && std::any_of(targets.cbegin(), targets.cend(), &IsRefusedReferralAddress))
            return reply;
    }

    QTcpSocket socket;
    socket.setReadBufferSize(kReadChunkBytes);
    bool connected = false;
    for (const QHostAddress& address : std::as_const(targets)) {
        if (deadline.hasExpired())
            break;
        socket.connectToHost(address, targetPort);
        if (socket.waitForConnected(WaitBudget(m_limits.ConnectTimeoutMs, deadline))) {
            connected = true;
            break;
        }
        socket.abort();
    }
    if (!connected)
        return reply;

    const QByteArray line = query + QByteArrayLiteral("\r\n");
    bool sent = socket.write(line) == line.size();
    while (sent && socket.bytesToWrite() > 0)
        sent = socket.waitForBytesWritten(WaitBudget(m_limits.ReadTimeoutMs, deadline));

    // A failed send still keeps whatever the server managed to say before it went away.
    if (sent) {
        while (DrainInto(socket, reply, m_limits.MaxReplyBytes) && socket.state() == QAbstractSocket::ConnectedState) {
            const int wait = WaitBudget(m_limits.ReadTimeoutMs, deadline);
            if (wait <= 0)
                break;
            if (!socket.waitForReadyRead(wait) && socket.state() == QAbstractSocket::ConnectedState)
                break; // silent for a whole wait: time-out
        }
    }
    DrainInto(socket, reply, m_limits.MaxReplyBytes);
    socket.abort();
    return reply;
}

QList<uint32_t> TcpWhoisTransport::ResolveIPv4(const QByteArray& host)
{
    if (const std::optional<QList<uint32_t>> listed = m_book.FindAddresses(host))
        return *listed;
    QList<uint32_t> addresses;
    for (const QHostAddress& address : ResolveForConnect(host)) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            addresses.append(address.toIPv4Address());
    }
    return addresses;
}

QByteArray TcpWhoisTransport::ReverseName(uint32_t address)
{
    if (const std::optional<QByteArray> listed = m_book.FindReverseName(address))
        return *listed;
    const QString dotted = QHostAddress(address).toString();
    const QHostInfo info = QHostInfo::fromName(dotted);
    // Without a name the resolver hands the address text back.
    if (info.error() != QHostInfo::NoError || info.hostName() == dotted)
        return {};
    return info.hostName().toLatin1();
}

bool TcpWhoisTransport::IsForbiddenReferralAddress(const QHostAddress& address)
{
    bool isIPv4 = false;
    const quint32 v4 = address.toIPv4Address(&isIPv4); // also unwraps ::ffff:a.b.c.d
    if (isIPv4) {
        const quint32 firstOctet = v4 >> 24;
        return firstOctet == 0 // unspecified, "this network"
            || firstOctet == 127 // loopback
            || (v4 >> 16) == 0xA9FEu // 169.254/16 link-local
            || (v4 >> 28) == 0xEu // 224/4 multicast
            || v4 == 0xFFFFFFFFu; // limited broadcast
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return address.isLoopback() || address.isLinkLocal() || address.isMulticast()
            || address == QHostAddress(QHostAddress::AnyIPv6);
    return true; // not an address at all
}

QList<QHostAddress> TcpWhoisTransport::ResolveForConnect(const QByteArray& host) const
{
    QList<QHostAddress> resolved;
    if (host.isEmpty())
        return resolved;
    if (const std::optional<QList<uint32_t>> listed = m_book.FindAddresses(host)) {
        for (const uint32_t address : *listed)
            resolved.append(QHostAddress(address));
        return resolved;
    }
    if (const std::optional<QHostAddress> literal = AddressLiteral(host)) {
        resolved.append(*literal);
        return resolved;
    }
    const QHostInfo info = QHostInfo::fromName(QString::fromLatin1(host));
    if (info.error() != QHostInfo::NoError)
        return resolved;
    // IPv4 first: the servers are IPv4 hosts first of all; IPv6 only as a fallback.
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            resolved.append(address);
    }
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv6Protocol)
            resolved.append(address);
    }
    return resolved;
}

} // namespace vesk
