#include "whois/host_resolver.h"

#include <QHostInfo>
#include <QObject>
#include <optional>

namespace vesk {

namespace {

struct Lookup
{
    std::optional<QHostInfo> Info; ///< empty when the wait ended first
    WaitOutcome Outcome = WaitOutcome::Done;
};

/// One asynchronous resolver call for `name`, abandoned on a stop or after `budgetMs`.
Lookup LookUp(EventWait& wait, const QString& name, const StopRequest& stop, int budgetMs)
{
    Lookup lookup;
    // The answer is delivered to `context`; once it is gone, a late answer is dropped, so nothing outlives the call.
    QObject context;
    const int id = QHostInfo::lookupHost(name, &context, [&lookup](const QHostInfo& info) { lookup.Info = info; });
    lookup.Outcome = wait.WaitUntil(
        budgetMs, [&lookup] { return lookup.Info.has_value(); }, stop);
    if (!lookup.Info)
        QHostInfo::abortHostLookup(id);
    return lookup;
}

} // namespace

HostResolver::HostResolver(EventWait& wait, const AddressBook* book)
    : m_wait(wait)
    , m_book(book)
{ }

HostResolver::Resolution HostResolver::Resolve(const QByteArray& host, const StopRequest& stop, int budgetMs) const
{
    Resolution resolved;
    if (host.isEmpty())
        return resolved;
    if (m_book != nullptr) {
        if (const std::optional<QList<uint32_t>> listed = m_book->FindAddresses(host)) {
            for (const uint32_t address : *listed)
                resolved.Addresses.append(QHostAddress(address));
            return resolved;
        }
    }
    QHostAddress literal;
    if (literal.setAddress(QString::fromLatin1(host))) {
        resolved.Addresses.append(literal);
        return resolved;
    }
    const Lookup lookup = LookUp(m_wait, QString::fromLatin1(host), stop, budgetMs);
    resolved.Outcome = lookup.Info ? WaitOutcome::Done : lookup.Outcome;
    if (!lookup.Info || lookup.Info->error() != QHostInfo::NoError)
        return resolved;
    // IPv4 first: the servers are IPv4 hosts first of all; IPv6 only as a fallback.
    const QList<QHostAddress> all = lookup.Info->addresses();
    for (const QHostAddress& address : all) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            resolved.Addresses.append(address);
    }
    for (const QHostAddress& address : all) {
        if (address.protocol() == QAbstractSocket::IPv6Protocol)
            resolved.Addresses.append(address);
    }
    return resolved;
}

QByteArray HostResolver::ReverseName(uint32_t address, const StopRequest& stop, int budgetMs) const
{
    if (m_book != nullptr) {
        if (const std::optional<QByteArray> listed = m_book->FindReverseName(address))
            return *listed;
    }
    const QString dotted = QHostAddress(address).toString();
    const std::optional<QHostInfo> info = LookUp(m_wait, dotted, stop, budgetMs).Info;
    // Without a name the resolver hands the address text back.
    if (!info || info->error() != QHostInfo::NoError || info->hostName() == dotted)
        return {};
    return info->hostName().toLatin1();
}

QByteArray HostResolver::ReverseName6(const QByteArray& address, const StopRequest& stop, int budgetMs) const
{
    const QHostAddress parsed(QString::fromLatin1(address));
    if (parsed.protocol() != QAbstractSocket::IPv6Protocol)
        return {};
    const QString text = parsed.toString();
    const std::optional<QHostInfo> info = LookUp(m_wait, text, stop, budgetMs).Info;
    if (!info || info->error() != QHostInfo::NoError || info->hostName() == text)
        return {};
    return info->hostName().toLatin1();
}

} // namespace vesk
