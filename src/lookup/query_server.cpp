#include "common/event_wait.h"
#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "lookup/status_at_exit.h"
#include "whois/host_text.h"
#include "whois/ipv4_address.h"

namespace vesk {

namespace {

// The most addresses a report lists; a name with more is treated as a resolver failure.
constexpr qsizetype kMaxAddresses = 101;

} // namespace

QByteArray LookupEngine::QueryServer(const QByteArray& host, const QByteArray& query, int port, Pause pause,
                                     HostSource source)
{
    StatusAtExit blank(m_sheet, QByteArray());
    // A stopped search asks nothing more; this is the only place a stop request takes effect.
    if (m_stop)
        return QByteArray();

    m_sheet.SetStatus(texts::FormatText(texts::kStatusConnecting, { host, QByteArray::number(port), query }));
    m_frontend.ProcessPendingEvents();
    if (pause == Pause::Yes)
        m_wait.WaitFor(m_pauseMs);
    return m_transport.Exchange(host, port, query, source);
}

QByteArray LookupEngine::ResolveHostAddresses(QByteArrayView host, QList<QByteArray>& addresses)
{
    addresses.clear();
    QByteArray failure = texts::kResolveFailed.Text();
    const QByteArray name = TrimText(host);
    if (name.isEmpty())
        return failure;

    const QList<uint32_t> found = m_transport.ResolveIPv4(name);
    if (found.isEmpty())
        return failure;
    for (const uint32_t address : found) {
        addresses.append(AddressText(address));
        if (addresses.size() == kMaxAddresses)
            return failure;
    }
    return QByteArray();
}

} // namespace vesk
