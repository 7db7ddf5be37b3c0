#include "support/recording_transport.h"

namespace vesk::test {

ExchangeResult RecordingTransport::Exchange(const QByteArray& host, int port, const QByteArray& query,
                                            HostSource source, const StopRequest& stop)
{
    ExchangeResult result = m_inner.Exchange(host, port, query, source, stop);
    m_exchanges.append(ExchangeRecord { host, port, query, source, result.Reply, result.Failure });
    return result;
}

QList<ExchangeRecord> RecordingTransport::ExchangesWith(const QByteArray& host) const
{
    QList<ExchangeRecord> found;
    for (const ExchangeRecord& exchange : m_exchanges) {
        if (exchange.Host.compare(host, Qt::CaseInsensitive) == 0)
            found.append(exchange);
    }
    return found;
}

} // namespace vesk::test
