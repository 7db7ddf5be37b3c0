/// The host resolver: the one name lookup that both protocols make before they connect or check a referral.
#pragma once

#include "common/event_wait.h"
#include "common/stop_request.h"
#include "whois/address_book.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <cstdint>

namespace vesk {

/// Resolves host names for connecting: the address book's listed names first, then address literals (never sent
/// to a resolver, which would look their names up), then the system resolver, asynchronously and waited for
/// through the injected wait so the thread's events keep flowing.
class HostResolver
{
public:
    struct Resolution
    {
        QList<QHostAddress> Addresses; ///< IPv4 first, each family in resolver order; empty: the name is unknown
        WaitOutcome Outcome = WaitOutcome::Done; ///< Stopped or TimedOut when no answer came
    };

    /// `wait` and `book` are borrowed; `book` may be null (the system resolver only).
    HostResolver(EventWait& wait, const AddressBook* book);

    /// Every address `host` stands for, within `budgetMs`; empty for an empty host.
    Resolution Resolve(const QByteArray& host, const StopRequest& stop, int budgetMs) const;

    /// The name that reverse resolution gives for `address`: the book's entry, else the system's; empty when it
    /// gives none, ran out of `budgetMs` or was stopped.
    QByteArray ReverseName(uint32_t address, const StopRequest& stop, int budgetMs) const;
    /// The same for an IPv6 address in its canonical text (the address book holds IPv4 names only).
    QByteArray ReverseName6(const QByteArray& address, const StopRequest& stop, int budgetMs) const;

private:
    EventWait& m_wait;
    const AddressBook* m_book;
};

} // namespace vesk
