#include "support/recording_transport.h"

namespace vesk::test {

QByteArray RecordingTransport::Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source)
{
    QByteArray reply = m_inner.Exchange(host, port, query, source);
    m_arrivals.append(Arrival { host, port, query, source, reply });
    return reply;
}

QList<Arrival> RecordingTransport::ArrivalsFrom(const QByteArray& host) const
{
    QList<Arrival> found;
    for (const Arrival& arrival : m_arrivals) {
        if (arrival.Host.compare(host, Qt::CaseInsensitive) == 0)
            found.append(arrival);
    }
    return found;
}

} // namespace vesk::test
