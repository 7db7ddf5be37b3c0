#include "in_memory_transport.h"

#include <gtest/gtest.h>
#include <optional>
#include <utility>

namespace vesk::test {

void InMemoryTransport::SetReply(const QByteArray& host, int port, const QByteArray& query, const QByteArray& reply)
{
    m_replies.insert(ReplyKey { host.toLower(), port, query, false }, reply);
}

void InMemoryTransport::SetReply(const QByteArray& host, const QByteArray& query, const QByteArray& reply)
{
    m_replies.insert(ReplyKey { host.toLower(), 0, query, false }, reply);
}

void InMemoryTransport::SetDefaultReply(const QByteArray& host, const QByteArray& reply)
{
    m_replies.insert(ReplyKey { host.toLower(), 0, {}, true }, reply);
}

void InMemoryTransport::SetFailure(const QByteArray& host, ExchangeFailure failure, const QByteArray& partial,
                                   int timeoutSeconds)
{
    m_failures.insert(host.toLower(), ExchangeResult { partial, failure, timeoutSeconds });
}

void InMemoryTransport::SetAddresses(const QByteArray& host, const QList<uint32_t>& addresses)
{
    m_addresses.insert(host.toLower(), addresses);
}

void InMemoryTransport::SetAddresses6(const QByteArray& host, const QList<QByteArray>& addresses)
{
    QList<IPv6Bytes> parsed;
    for (const QByteArray& text : addresses) {
        const std::optional<IPv6Bytes> address = ParseIPv6(text);
        EXPECT_TRUE(address.has_value()) << text.constData();
        if (address)
            parsed.append(*address);
    }
    m_addresses6.insert(host.toLower(), parsed);
}

void InMemoryTransport::SetReverseName(uint32_t address, const QByteArray& name)
{
    m_reverseNames.insert(address, name);
}

void InMemoryTransport::SetExchangeHook(std::function<void(const ExchangeRecord&)> hook)
{
    m_hook = std::move(hook);
}

void InMemoryTransport::ClearLog()
{
    m_exchanges.clear();
    m_resolutions.clear();
    m_resolutions6.clear();
    m_reverseLookups.clear();
}

ExchangeResult InMemoryTransport::Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source,
                                           const StopRequest& stop)
{
    const ExchangeRecord record { host, port, query, source, {}, ExchangeFailure::None };
    const qsizetype index = m_exchanges.size();
    m_exchanges.append(record);
    if (m_hook)
        m_hook(record);
    // Looked up after the hook, which may change the reply or press stop; the log then shows what was really
    // returned.
    ExchangeResult result;
    const QByteArray key = host.toLower();
    const auto failure = m_failures.constFind(key);
    if (stop.IsRequested()) {
        // A stop pressed during the exchange (by the hook) ends it as the real transport would.
        result.Failure = ExchangeFailure::Stopped;
    } else if (failure != m_failures.constEnd()) {
        result = *failure;
    } else {
        for (const ReplyKey& candidate : { ReplyKey { key, port, query, false }, ReplyKey { key, 0, query, false },
                                           ReplyKey { key, 0, {}, true } }) {
            const auto it = m_replies.constFind(candidate);
            if (it != m_replies.constEnd()) {
                result.Reply = *it;
                break;
            }
        }
    }
    if (index < m_exchanges.size()) { // the hook may have cleared the log
        m_exchanges[index].Reply = result.Reply;
        m_exchanges[index].Failure = result.Failure;
    }
    return result;
}

QList<uint32_t> InMemoryTransport::ResolveIPv4(const QByteArray& host, const StopRequest&)
{
    m_resolutions.append(host);
    return m_addresses.value(host.toLower());
}

QList<IPv6Bytes> InMemoryTransport::ResolveIPv6(const QByteArray& host, const StopRequest&, int budgetMs)
{
    m_resolutions6.append({ host, budgetMs });
    return m_addresses6.value(host.toLower());
}

QByteArray InMemoryTransport::ReverseName(uint32_t address, const StopRequest&)
{
    m_reverseLookups.append(address);
    return m_reverseNames.value(address);
}

void InMemoryTransport::SetReverseName6(const QByteArray& address, const QByteArray& name)
{
    m_reverseNames6.insert(address, name);
}

QByteArray InMemoryTransport::ReverseName6(const QByteArray& address, const StopRequest&)
{
    return m_reverseNames6.value(address);
}

} // namespace vesk::test
