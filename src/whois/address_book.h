/// The address book: fixed routes from a server name to an address, for tests and --resolve.
#pragma once

#include "whois/server_endpoint.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <cstdint>
#include <optional>

namespace vesk {

/// Overrides of name resolution for the WHOIS transport. An empty book is the identity: every host goes to the
/// system resolver. Tests use it to send fixed server names to loopback fakes and to give names addresses
/// without DNS. Host names match without regard to ASCII case, as DNS names do. Every address may be IPv4 or
/// IPv6.
class AddressBook
{
public:
    /// Exchanges with `host` at `port` go to `target` instead. These entries are trusted: they are the caller's
    /// own routing, so the checks on referral hosts do not apply to them.
    void AddServer(const QByteArray& host, int port, const ServerEndpoint& target);
    /// Exchanges with `host` at any port without an entry of its own go to `target`.
    void AddServer(const QByteArray& host, const ServerEndpoint& target);
    /// `host` resolves to the IPv4 `addresses` (first octet most significant), in this order, and to no IPv6
    /// address, instead of asking the system resolver; an empty list makes the name unknown. Used for address
    /// lists and for exchanges alike.
    void AddAddresses(const QByteArray& host, const QList<uint32_t>& addresses);
    /// The same for addresses of either family, kept in this order within each family. An address that is
    /// neither IPv4 nor IPv6 (a default-constructed one) is dropped.
    void AddHostAddresses(const QByteArray& host, const QList<QHostAddress>& addresses);
    /// Reverse resolution of `address` gives `name` (empty: no name) instead of asking the system resolver.
    void AddReverseName(uint32_t address, const QByteArray& name);
    /// The same for an address of either family.
    void AddReverseName(const QHostAddress& address, const QByteArray& name);

    /// The routed endpoint for `host`:`port`, if an entry covers it.
    std::optional<ServerEndpoint> FindServer(const QByteArray& host, int port) const;
    /// The listed addresses of `host`, if it has an entry: its IPv4 addresses first, then its IPv6 ones.
    std::optional<QList<QHostAddress>> FindAddresses(const QByteArray& host) const;
    /// The listed reverse name of `address`, if it has an entry.
    std::optional<QByteArray> FindReverseName(const QHostAddress& address) const;

private:
    struct ServerKey
    {
        QByteArray Host;
        int Port = 0; ///< 0: any port
        bool operator==(const ServerKey&) const = default;
        friend size_t qHash(const ServerKey& key, size_t seed = 0) noexcept
        {
            return qHashMulti(seed, key.Host, key.Port);
        }
    };

    QHash<ServerKey, ServerEndpoint> m_servers;
    QHash<QByteArray, QList<QHostAddress>> m_addresses;
    QHash<QHostAddress, QByteArray> m_reverseNames;
};

} // namespace vesk
