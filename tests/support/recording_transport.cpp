#include "support/recording_transport.h"

namespace vesk::test {

QByteArray RecordingTransport::Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source)
{
    QByteArray reply = m_inner.Exchange(host, port, query, source);
    m_exchanges.append(ExchangeRecord { host, port, query, source, reply });
    return reply;
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
