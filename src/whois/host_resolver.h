/// The host resolver: the one name lookup that both protocols make before they connect or check a referral.
#pragma once

#include "common/event_wait.h"
#include "common/stop_request.h"
#include "whois/address_book.h"
#include "whois/ip_address.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <cstdint>
#include <functional>

namespace vesk {

/// Resolves host names for connecting: the address book's listed names first, then address literals (never sent
/// to a resolver, which would look their names up), then the system resolver, asynchronously and waited for
/// through the injected wait so the thread's events keep flowing.
class HostResolver
{
public:
    /// A blocking IPv6 lookup of a name; it runs on a thread of its own and must be safe to call from any thread.
    using IPv6Lookup = std::function<QList<IPv6Bytes>(const QByteArray& name)>;

    struct Resolution
    {
        QList<QHostAddress> Addresses; ///< IPv4 first, each family in resolver order; empty: the name is unknown
        WaitOutcome Outcome = WaitOutcome::Done; ///< Stopped or TimedOut when no answer came
    };

    struct Resolution6
    {
        QList<IPv6Bytes> Addresses; ///< in resolver order, each once; empty: none, or no answer in time
        WaitOutcome Outcome = WaitOutcome::Done; ///< Stopped or TimedOut when no answer came
    };

    /// `wait` and `book` are borrowed; `book` may be null (the system resolver only). `lookup6` stands in for the
    /// system's IPv6 lookup (SystemIPv6Addresses) when given.
    HostResolver(EventWait& wait, const AddressBook* book, IPv6Lookup lookup6 = {});

    /// Every address `host` stands for, within `budgetMs`; empty for an empty host.
    Resolution Resolve(const QByteArray& host, const StopRequest& stop, int budgetMs) const;

    /// The IPv6 addresses `host` stands for, within `budgetMs`: the book's entry, else an IPv6 literal itself (an
    /// IPv4 literal has none), else the system's lookup. That lookup blocks, so it runs on a thread of its own
    /// while the wait goes on; a lookup that outlives the budget or a stop is abandoned, its late answer dropped.
    Resolution6 ResolveIPv6(const QByteArray& host, const StopRequest& stop, int budgetMs) const;

    /// The name that reverse resolution gives for `address`: the book's entry, else the system's; empty when it
    /// gives none, ran out of `budgetMs` or was stopped.
    QByteArray ReverseName(uint32_t address, const StopRequest& stop, int budgetMs) const;
    /// The same for an IPv6 address in its canonical text.
    QByteArray ReverseName6(const QByteArray& address, const StopRequest& stop, int budgetMs) const;

    /// The system's IPv6 addresses of `name` (getaddrinfo for AF_INET6 without AI_ADDRCONFIG, so /etc/hosts and
    /// nsswitch are honoured and a machine without an IPv6 route still learns them), each once, in its order.
    /// Blocks for as long as the system takes; empty for a name it does not know or cannot take.
    static QList<IPv6Bytes> SystemIPv6Addresses(const QByteArray& name);

private:
    EventWait& m_wait;
    const AddressBook* m_book;
    IPv6Lookup m_lookup6;
};

} // namespace vesk
