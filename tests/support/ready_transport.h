/// A transport whose every reply is already complete: benchmarks time what happens after the last byte.
#pragma once

#include "whois/transport.h"

#include <utility>

namespace vesk::test {

class ReadyTransport : public WhoisTransport
{
public:
    explicit ReadyTransport(QByteArray reply)
        : m_reply(std::move(reply))
    { }
    ExchangeResult Exchange(const QByteArray&, int, const QByteArray&, HostSource, const StopRequest&) override
    {
        return ExchangeResult { m_reply, ExchangeFailure::None, 0 };
    }
    QList<uint32_t> ResolveIPv4(const QByteArray&, const StopRequest&) override { return {}; }
    QList<IPv6Bytes> ResolveIPv6(const QByteArray&, const StopRequest&, int) override { return {}; }
    QByteArray ReverseName(uint32_t, const StopRequest&) override { return {}; }
    QByteArray ReverseName6(const QByteArray&, const StopRequest&) override { return {}; }

private:
    QByteArray m_reply;
};

} // namespace vesk::test
