#pragma once

#include "support/exchange_record.h"
#include "whois/transport.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <cstdint>
#include <functional>

namespace vesk::test {

/// A transport without sockets: replies, resolutions and reverse names come from tables the test fills, and every
/// call is logged. Host names match without regard to ASCII case, as the network's do; ports and queries match
/// exactly. Anything not scripted gives the empty reply without a failure (or a name that does not resolve); a
/// stop requested by the time an exchange is looked up ends it as stopped.
class InMemoryTransport : public WhoisTransport
{
public:
    /// The reply of `host`:`port` to `query`.
    void SetReply(const QByteArray& host, int port, const QByteArray& query, const QByteArray& reply);
    /// The reply of `host` to `query` at any port without a reply of its own.
    void SetReply(const QByteArray& host, const QByteArray& query, const QByteArray& reply);
    /// The reply of `host` to any query (at any port) without a more specific reply.
    void SetDefaultReply(const QByteArray& host, const QByteArray& reply);
    /// Every exchange with `host` fails with `failure` after `partial` arrived (Timeout: after `timeoutSeconds`);
    /// wins over the scripted replies.
    void SetFailure(const QByteArray& host, ExchangeFailure failure, const QByteArray& partial = {},
                    int timeoutSeconds = 15);
    /// `host` resolves to `addresses` (first octet most significant), in this order.
    void SetAddresses(const QByteArray& host, const QList<uint32_t>& addresses);
    /// `host` resolves to the IPv6 `addresses` (any textual form; one that does not parse fails the test), in
    /// this order.
    void SetAddresses6(const QByteArray& host, const QList<QByteArray>& addresses);
    /// Reverse resolution of `address` gives `name`.
    void SetReverseName(uint32_t address, const QByteArray& name);
    /// Reverse resolution of the IPv6 `address` (canonical text) gives `name`.
    void SetReverseName6(const QByteArray& address, const QByteArray& name);
    /// Called with each exchange after it is logged and before its reply is chosen; lets a test act in the
    /// middle of a search (press stop, change a reply).
    void SetExchangeHook(std::function<void(const ExchangeRecord&)> hook);

    /// Every exchange asked, in order.
    const QList<ExchangeRecord>& Exchanges() const { return m_exchanges; }
    /// Every host passed to ResolveIPv4, in order.
    const QList<QByteArray>& Resolutions() const { return m_resolutions; }
    /// Every host passed to ResolveIPv6 with its budget, in order.
    const QList<QPair<QByteArray, int>>& Resolutions6() const { return m_resolutions6; }
    /// Every address passed to ReverseName, in order.
    const QList<uint32_t>& ReverseLookups() const { return m_reverseLookups; }
    /// Forgets the logs, keeps the tables.
    void ClearLog();

    /// The scripted failure of the host, else the most specific scripted reply: host+port+query, host+query,
    /// host default; else empty.
    ExchangeResult Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source,
                            const StopRequest& stop) override;
    /// The scripted addresses of `host`; else empty.
    QList<uint32_t> ResolveIPv4(const QByteArray& host, const StopRequest& stop) override;
    /// The scripted IPv6 addresses of `host`; else empty.
    QList<IPv6Bytes> ResolveIPv6(const QByteArray& host, const StopRequest& stop, int budgetMs) override;
    /// The scripted name of `address`; else empty.
    QByteArray ReverseName(uint32_t address, const StopRequest& stop) override;
    /// The scripted name of the IPv6 `address`; else empty.
    QByteArray ReverseName6(const QByteArray& address, const StopRequest& stop) override;

private:
    struct ReplyKey
    {
        QByteArray Host;
        int Port = 0; ///< 0: any port
        QByteArray Query;
        bool AnyQuery = false;
        bool operator==(const ReplyKey&) const = default;
        friend size_t qHash(const ReplyKey& key, size_t seed = 0) noexcept
        {
            return qHashMulti(seed, key.Host, key.Port, key.Query, key.AnyQuery);
        }
    };

    QHash<ReplyKey, QByteArray> m_replies;
    QHash<QByteArray, ExchangeResult> m_failures;
    QHash<QByteArray, QList<uint32_t>> m_addresses;
    QHash<QByteArray, QList<IPv6Bytes>> m_addresses6;
    QHash<uint32_t, QByteArray> m_reverseNames;
    QHash<QByteArray, QByteArray> m_reverseNames6;
    std::function<void(const ExchangeRecord&)> m_hook;
    QList<ExchangeRecord> m_exchanges;
    QList<QByteArray> m_resolutions;
    QList<QPair<QByteArray, int>> m_resolutions6;
    QList<uint32_t> m_reverseLookups;
};

} // namespace vesk::test
