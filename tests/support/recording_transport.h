#pragma once

#include "whois/transport.h"

#include <QByteArray>
#include <QList>

namespace vesk::test {

/// One exchange as the engine asked it, with the bytes that came back.
struct Arrival
{
    QByteArray Host;
    int Port = 0;
    QByteArray Query;
    HostSource Source = HostSource::Fixed;
    QByteArray Reply;
    ExchangeFailure Failure = ExchangeFailure::None;
};

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
    QByteArray ReverseName(uint32_t address, const StopRequest& stop) override
    {
        return m_inner.ReverseName(address, stop);
    }

    /// Every exchange so far, in order.
    const QList<Arrival>& Arrivals() const { return m_arrivals; }
    /// The exchanges with `host` (any port, any case of the name).
    QList<Arrival> ArrivalsFrom(const QByteArray& host) const;

private:
    WhoisTransport& m_inner;
    QList<Arrival> m_arrivals;
};

} // namespace vesk::test
