#include "whois/address_book.h"

namespace vesk {

void AddressBook::AddServer(const QByteArray& host, int port, const ServerEndpoint& target)
{
    m_servers.insert(ServerKey { host.toLower(), port }, target);
}

void AddressBook::AddServer(const QByteArray& host, const ServerEndpoint& target)
{
    m_servers.insert(ServerKey { host.toLower(), 0 }, target);
}

void AddressBook::AddAddresses(const QByteArray& host, const QList<uint32_t>& addresses)
{
    QList<QHostAddress> listed;
    listed.reserve(addresses.size());
    for (const uint32_t address : addresses)
        listed.append(QHostAddress(address));
    m_addresses.insert(host.toLower(), listed);
}

void AddressBook::AddHostAddresses(const QByteArray& host, const QList<QHostAddress>& addresses)
{
    QList<QHostAddress> listed;
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            listed.append(address);
    }
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv6Protocol)
            listed.append(address);
    }
    m_addresses.insert(host.toLower(), listed);
}

void AddressBook::AddReverseName(uint32_t address, const QByteArray& name)
{
    m_reverseNames.insert(QHostAddress(address), name);
}

void AddressBook::AddReverseName(const QHostAddress& address, const QByteArray& name)
{
    m_reverseNames.insert(address, name);
}

std::optional<ServerEndpoint> AddressBook::FindServer(const QByteArray& host, int port) const
{
    const QByteArray key = host.toLower();
    // A port-specific entry wins over the host's catch-all entry.
    for (const ServerKey& candidate : { ServerKey { key, port }, ServerKey { key, 0 } }) {
        const auto it = m_servers.constFind(candidate);
        if (it != m_servers.constEnd())
            return *it;
    }
    return std::nullopt;
}

std::optional<QList<QHostAddress>> AddressBook::FindAddresses(const QByteArray& host) const
{
    const auto it = m_addresses.constFind(host.toLower());
    if (it == m_addresses.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QByteArray> AddressBook::FindReverseName(const QHostAddress& address) const
{
    const auto it = m_reverseNames.constFind(address);
    if (it == m_reverseNames.constEnd())
        return std::nullopt;
    return *it;
}

} // namespace vesk
