#include "support/recording_transport.h"

namespace vesk::test {

ExchangeResult RecordingTransport::Exchange(const QByteArray& host, int port, const QByteArray& query,
                                            HostSource source, const StopRequest& stop)
{
    ExchangeResult result = m_inner.Exchange(host, port, query, source, stop);
    m_arrivals.append(Arrival { host, port, query, source, result.Reply, result.Failure });
    return result;
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
