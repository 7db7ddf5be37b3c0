#pragma once

#include "whois/address_book.h"
#include "whois/transport.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <cstdint>

namespace vesk {

/// Bounds of one exchange. Each one ends the exchange quietly; what had arrived is kept as the reply.
struct WhoisClientLimits
{
    int ReadTimeoutMs = 15000; ///< longest wait for the next piece of the reply
    int ConnectTimeoutMs = 120000; ///< one connect attempt; by default only the whole exchange bounds it, as the
                                   ///< platform's own connect decides when it fails
    int ExchangeTimeoutMs = 120000; ///< the whole exchange, however slowly the data trickles in
    qint64 MaxReplyBytes = qint64 { 16 } * 1024 * 1024; ///< the reply is cut here and the connection dropped
};

/// The production WHOIS transport: one blocking TCP exchange per call, no event loop run while it is open, and
/// IPv4 resolution through the system resolver, each overridable by an address book.
class TcpWhoisTransport : public WhoisTransport
{
public:
    /// `book` routes and resolves names before the system resolver is asked; an empty book is the identity.
    explicit TcpWhoisTransport(AddressBook book = {}, WhoisClientLimits limits = {});

    /// Sends `query` + CR LF to `host`:`port` and reads until the server closes. Never throws, never prints;
    /// failures and limits give what had arrived. A host from a server's reply (HostSource::Referral) that is,
    /// or resolves to, an address of this machine, the link-local net, multicast or the unspecified address is
    /// not asked at all and gives the empty reply. Address-book routes are not subject to that check.
    QByteArray Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source) override;

    /// Address-book entry, else the system resolver's IPv4 addresses in its order; empty when unknown.
    QList<uint32_t> ResolveIPv4(const QByteArray& host) override;

    /// Address-book entry, else the system's reverse lookup; empty when it gives no name.
    QByteArray ReverseName(uint32_t address) override;

    /// The address book, for tests that start their servers after building the transport.
    AddressBook& Book() { return m_book; }
    /// The limits in force.
    const WhoisClientLimits& Limits() const { return m_limits; }

    /// True for addresses a referral must never lead to: loopback, unspecified (0.0.0.0/8, ::), link-local,
    /// multicast and broadcast, IPv4-mapped IPv6 forms included.
    static bool IsForbiddenReferralAddress(const QHostAddress& address);

private:
    /// Every address `host` stands for, IPv4 first, each family in resolver order.
    QList<QHostAddress> ResolveForConnect(const QByteArray& host) const;

    AddressBook m_book;
    WhoisClientLimits m_limits;
};

} // namespace vesk
