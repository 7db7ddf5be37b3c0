#pragma once

#include "support/exchange_record.h"
#include "whois/transport.h"

#include <QByteArray>
#include <QList>

namespace vesk::test {

/// A transport that hands every call to another one and keeps what each exchange gave back, so a test can
/// compare what the report wrote with what really arrived over the wire.
class RecordingTransport : public WhoisTransport
{
public:
    /// `inner` is borrowed and must outlive this object.
    explicit RecordingTransport(WhoisTransport& inner)
        : m_inner(inner)
    { }

    ExchangeResult Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source,
                            const StopRequest& stop) override;
    QList<uint32_t> ResolveIPv4(const QByteArray& host, const StopRequest& stop) override
    {
        return m_inner.ResolveIPv4(host, stop);
    }
    QList<IPv6Bytes> ResolveIPv6(const QByteArray& host, const StopRequest& stop, int budgetMs) override
    {
        return m_inner.ResolveIPv6(host, stop, budgetMs);
    }
    QByteArray ReverseName(uint32_t address, const StopRequest& stop) override
    {
        return m_inner.ReverseName(address, stop);
    }
    QByteArray ReverseName6(const QByteArray& address, const StopRequest& stop) override
    {
        return m_inner.ReverseName6(address, stop);
    }

    /// Every exchange so far, in order.
    const QList<ExchangeRecord>& Exchanges() const { return m_exchanges; }
    /// The exchanges with `host` (any port, any case of the name).
    QList<ExchangeRecord> ExchangesWith(const QByteArray& host) const;

private:
    WhoisTransport& m_inner;
    QList<ExchangeRecord> m_exchanges;
};

} // namespace vesk::test
