#pragma once

#include "common/exchange_result.h"
#include "common/stop_request.h"
#include "whois/ip_address.h"

#include <QByteArray>
#include <QList>
#include <cstdint>

namespace vesk {

/// The engine's only road to the network: one WHOIS exchange, and name resolution.
/// Implementations never throw and never block without end; each call ends at once when `stop` is requested.
class WhoisTransport
{
public:
    virtual ~WhoisTransport() = default;

    /// Connects to `host`:`port`, sends `query` followed by CR LF, reads until the server closes, and returns
    /// every byte that arrived with the reason the reading ended early, if it did. A failure keeps what had
    /// arrived before it. A stop request closes the connection and gives ExchangeFailure::Stopped.
    virtual ExchangeResult Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source,
                                    const StopRequest& stop)
        = 0;

    /// IPv4 addresses of `host` (first octet most significant) in resolver order; empty when it does not resolve
    /// or the search was stopped meanwhile.
    virtual QList<uint32_t> ResolveIPv4(const QByteArray& host, const StopRequest& stop) = 0;
    /// IPv6 addresses of `host` in resolver order, also on a machine that has no IPv6 route of its own; empty when
    /// it has none, does not resolve, takes longer than `budgetMs` (negative: the transport's own bound) or the
    /// search was stopped meanwhile.
    virtual QList<IPv6Bytes> ResolveIPv6(const QByteArray& host, const StopRequest& stop, int budgetMs) = 0;

    /// The host name that reverse resolution gives for `address`, or empty (also when stopped).
    virtual QByteArray ReverseName(uint32_t address, const StopRequest& stop) = 0;
    /// The same for an IPv6 address in its canonical text.
    virtual QByteArray ReverseName6(const QByteArray& address, const StopRequest& stop) = 0;
};

} // namespace vesk
