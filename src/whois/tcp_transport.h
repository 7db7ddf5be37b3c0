#pragma once

#include "common/event_wait.h"
#include "whois/address_book.h"
#include "whois/transport.h"

#include <QByteArray>
#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <cstdint>
#include <optional>

namespace vesk {

/// Bounds of one exchange. Each one ends the exchange with its reason; what had arrived is kept as the reply.
struct WhoisClientLimits
{
    int ReadTimeoutMs = 15000; ///< longest wait for the next piece of the reply
    int ConnectTimeoutMs = 120000; ///< one connect attempt; by default only the whole exchange bounds it, as the
                                   ///< platform's own connect decides when it fails
    int ExchangeTimeoutMs = 120000; ///< the whole exchange, however slowly the data trickles in
    qint64 MaxReplyBytes = qint64 { 16 } * 1024 * 1024; ///< the reply is cut here and the connection dropped
};

/// The production WHOIS transport: a non-blocking TCP exchange and asynchronous name resolution, waited for
/// through the injected wait so the thread's events keep flowing, each overridable by an address book.
class TcpWhoisTransport : public WhoisTransport
{
public:
    /// `wait` (borrowed) is how every resolution, connect and read is waited for. `book` routes and resolves
    /// names before the system resolver is asked; an empty book is the identity.
    explicit TcpWhoisTransport(EventWait& wait, AddressBook book = {}, WhoisClientLimits limits = {});

    /// Sends `query` + CR LF to `host`:`port` and reads until the server closes. Never throws, never prints;
    /// failures, limits and a stop give what had arrived with their reason. A host from a server's reply
    /// (HostSource::Referral) that is, or resolves to, an address of this machine, the link-local net, multicast
    /// or the unspecified address is not asked at all (ReferralRefused). Address-book routes are not checked.
    ExchangeResult Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source,
                            const StopRequest& stop) override;

    /// Address-book entry, else the system resolver's IPv4 addresses in its order; empty when unknown or stopped.
    QList<uint32_t> ResolveIPv4(const QByteArray& host, const StopRequest& stop) override;

    /// Address-book entry, else the system's reverse lookup; empty when it gives no name or was stopped.
    QByteArray ReverseName(uint32_t address, const StopRequest& stop) override;

    /// The address book, for tests that start their servers after building the transport.
    AddressBook& Book() { return m_book; }
    /// The limits in force.
    const WhoisClientLimits& Limits() const { return m_limits; }

    /// True for addresses a referral must never lead to: loopback, unspecified (0.0.0.0/8, ::), link-local,
    /// multicast and broadcast, IPv4-mapped IPv6 forms included.
    static bool IsForbiddenReferralAddress(const QHostAddress& address);

private:
    struct Lookup
    {
        std::optional<QHostInfo> Info; ///< empty when the wait ended first
        WaitOutcome Outcome = WaitOutcome::Done;
    };
    struct Resolution
    {
        QList<QHostAddress> Addresses;
        WaitOutcome Outcome = WaitOutcome::Done; ///< Stopped or TimedOut when no answer came
    };

    /// One asynchronous resolver call for `name`, abandoned on a stop or after `budgetMs`.
    Lookup LookUp(const QString& name, const StopRequest& stop, int budgetMs) const;
    /// Every address `host` stands for, IPv4 first, each family in resolver order.
    Resolution ResolveForConnect(const QByteArray& host, const StopRequest& stop, int budgetMs) const;

    EventWait& m_wait;
    AddressBook m_book;
    WhoisClientLimits m_limits;
};

} // namespace vesk
