/// Exchange results: why a server's reply is missing or short, shared by the port-43 and the RDAP clients.
#pragma once

#include <QByteArray>
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
    HttpStatus, ///< an HTTP server answered with a status that carries no record (HttpStatus, Detail)
    Tls, ///< the secure connection failed (Detail: why)
    RateLimited, ///< the server kept answering HTTP 429
    BadRdap, ///< the answer is not a valid RDAP answer
    Budget, ///< not asked: the search's replies have used up its memory budget
    Deadline, ///< not asked: the search has run longer than it may
};

/// What one exchange gave: every byte that arrived, and why the reply ended when it did not end in order.
struct ExchangeResult
{
    QByteArray Reply;
    ExchangeFailure Failure = ExchangeFailure::None;
    int TimeoutSeconds = 0; ///< for Timeout: the wait that ran out, in whole seconds (rounded up)
    int HttpStatus = 0; ///< for an HTTP exchange: the last status code (0: none came)
    QByteArray Detail = {}; ///< for HttpStatus: the reason phrase; for Tls: the error text
};

} // namespace vesk
