#pragma once

#include "common/event_wait.h"
#include "whois/address_book.h"
#include "whois/host_resolver.h"
#include "whois/transport.h"

#include <QByteArray>
#include <QList>
#include <cstdint>

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
    // The resolver reads the book this object holds, so a copy would read the wrong one.
    TcpWhoisTransport(const TcpWhoisTransport&) = delete;
    TcpWhoisTransport& operator=(const TcpWhoisTransport&) = delete;

    /// Sends `query` + CR LF to `host`:`port` and reads until the server closes. Never throws, never prints;
    /// failures, limits and a stop give what had arrived with their reason. A host from a server's reply
    /// (HostSource::Referral) that is, or resolves to, an address the safe-referral rule refuses (this machine, a
    /// private or local network) is not asked at all (ReferralRefused). Address-book routes are not checked.
    /// The host is resolved once and the connection goes to exactly the addresses checked; never through a
    /// proxy, which would resolve the name again by itself.
    ExchangeResult Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source,
                            const StopRequest& stop) override;

    /// Address-book entry, else the system resolver's IPv4 addresses in its order; empty when unknown or stopped.
    QList<uint32_t> ResolveIPv4(const QByteArray& host, const StopRequest& stop) override;
    /// Address-book entry, else an IPv6 literal, else the system's IPv6 lookup on a thread of its own, bounded by
    /// `budgetMs` and the exchange limit, whichever is shorter.
    QList<IPv6Bytes> ResolveIPv6(const QByteArray& host, const StopRequest& stop, int budgetMs) override;

    /// Address-book entry, else the system's reverse lookup; empty when it gives no name or was stopped.
    QByteArray ReverseName(uint32_t address, const StopRequest& stop) override;
    QByteArray ReverseName6(const QByteArray& address, const StopRequest& stop) override;

    /// The address book, for tests that start their servers after building the transport.
    AddressBook& Book() { return m_book; }
    /// The limits in force.
    const WhoisClientLimits& Limits() const { return m_limits; }

private:
    EventWait& m_wait;
    AddressBook m_book;
    WhoisClientLimits m_limits;
    HostResolver m_resolver; ///< reads m_book
};

} // namespace vesk
