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
    m_addresses.insert(host.toLower(), addresses);
}

void AddressBook::AddReverseName(uint32_t address, const QByteArray& name)
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

std::optional<QList<uint32_t>> AddressBook::FindAddresses(const QByteArray& host) const
{
    const auto it = m_addresses.constFind(host.toLower());
    if (it == m_addresses.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QByteArray> AddressBook::FindReverseName(uint32_t address) const
{
    const auto it = m_reverseNames.constFind(address);
    if (it == m_reverseNames.constEnd())
        return std::nullopt;
    return *it;
}

} // namespace vesk
