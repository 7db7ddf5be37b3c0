#pragma once

#include "common/stop_request.h"

#include <QByteArray>
#include <QList>
#include <cstdint>

namespace vesk {

/// Where the engine learnt the host it asks: from its own tables and fixed names, or from a server's reply.
/// Hosts taken from replies are not trusted to point at this machine or its local network.
enum class HostSource : uint8_t { Fixed, Referral };

/// Why an exchange gave no reply or only part of one. None: the server answered and closed in order.
enum class ExchangeFailure : uint8_t {
    None,
    Refused, ///< nothing listens at the port
    Unreachable, ///< no route to the host, or the connection could not be made
    NotResolved, ///< the host name has no address
    Timeout, ///< nothing came for the read time-out (or the connect did not finish in time)
    Reset, ///< the server reset the connection
    Closed, ///< the server closed without sending anything
    Stopped, ///< the search was stopped
    TooLarge, ///< the reply reached the size cap and was cut there
    TooSlow, ///< the exchange reached its time cap and was cut there
    ReferralRefused, ///< a host named by a server resolves to a local address
};

/// What one exchange gave: every byte that arrived, and why the reply ended when it did not end in order.
struct ExchangeResult
{
    QByteArray Reply;
    ExchangeFailure Failure = ExchangeFailure::None;
    int TimeoutSeconds = 0; ///< for Timeout: the wait that ran out, in whole seconds (rounded up)
};

/// The engine's only road to the network: one WHOIS exchange, and IPv4 name resolution.
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

    /// The host name that reverse resolution gives for `address`, or empty (also when stopped).
    virtual QByteArray ReverseName(uint32_t address, const StopRequest& stop) = 0;
};

} // namespace vesk
