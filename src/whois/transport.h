#pragma once

#include <QByteArray>
#include <QList>
#include <cstdint>

namespace vesk {

/// Where the engine learnt the host it asks: from its own tables and fixed names, or from a server's reply.
/// Hosts taken from replies are not trusted to point at this machine or its local network.
enum class HostSource : uint8_t { Fixed, Referral };

/// The engine's only road to the network: one WHOIS exchange, and IPv4 name resolution.
/// Implementations never throw and never block without end.
class WhoisTransport
{
public:
    virtual ~WhoisTransport() = default;

    /// Connects to `host`:`port`, sends `query` followed by CR LF, reads until the server closes, and returns
    /// every byte that arrived. A failure (no such host, refused, time-out, reset, size cap) gives what had
    /// arrived before it, often nothing.
    virtual QByteArray Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source) = 0;

    /// IPv4 addresses of `host` (first octet most significant) in resolver order; empty when it does not resolve.
    virtual QList<uint32_t> ResolveIPv4(const QByteArray& host) = 0;

    /// The host name that reverse resolution gives for `address`, or empty.
    virtual QByteArray ReverseName(uint32_t address) = 0;
};

} // namespace vesk
