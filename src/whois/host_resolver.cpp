#include "whois/host_resolver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHostInfo>
#include <QMutex>
#include <QObject>
#include <atomic>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <optional>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <utility>

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

/// What a lookup thread and the wait share. The thread may outlive the wait (a lookup that never returns), so the
/// state is shared, and the wait's wake-up object is reached only under the lock while the wait still holds it.
struct IPv6Answer
{
    QMutex Lock;
    QObject* Waker = nullptr; ///< lives in the waiting thread; null once the wait has given up
    std::atomic<bool> Ready { false };
    QList<IPv6Bytes> Addresses;
};

} // namespace

HostResolver::HostResolver(EventWait& wait, const AddressBook* book, IPv6Lookup lookup6)
    : m_wait(wait)
    , m_book(book)
    , m_lookup6(std::move(lookup6))
{ }

HostResolver::Resolution HostResolver::Resolve(const QByteArray& host, const StopRequest& stop, int budgetMs) const
{
    Resolution resolved;
    if (host.isEmpty())
        return resolved;
    if (m_book != nullptr) {
        if (const std::optional<QList<QHostAddress>> listed = m_book->FindAddresses(host)) {
            resolved.Addresses = *listed;
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
        if (const std::optional<QByteArray> listed = m_book->FindReverseName(QHostAddress(address)))
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
    if (m_book != nullptr) {
        if (const std::optional<QByteArray> listed = m_book->FindReverseName(parsed))
            return *listed;
    }
    const QString text = parsed.toString();
    const std::optional<QHostInfo> info = LookUp(m_wait, text, stop, budgetMs).Info;
    if (!info || info->error() != QHostInfo::NoError || info->hostName() == text)
        return {};
    return info->hostName().toLatin1();
}

HostResolver::Resolution6 HostResolver::ResolveIPv6(const QByteArray& host, const StopRequest& stop, int budgetMs) const
{
    Resolution6 resolved;
    if (host.isEmpty())
        return resolved;
    if (m_book != nullptr) {
        if (const std::optional<QList<QHostAddress>> listed = m_book->FindAddresses(host)) {
            for (const QHostAddress& address : *listed) {
                if (address.protocol() != QAbstractSocket::IPv6Protocol)
                    continue;
                IPv6Bytes bytes {};
                const Q_IPV6ADDR raw = address.toIPv6Address();
                std::memcpy(bytes.data(), &raw, bytes.size());
                resolved.Addresses.append(bytes);
            }
            return resolved;
        }
    }
    if (const std::optional<IPv6Bytes> literal = ParseIPv6(host)) {
        resolved.Addresses.append(*literal);
        return resolved;
    }
    if (ParseIPv4(host, IPv4Form::Strict) >= 0)
        return resolved;
    if (stop.IsRequested()) {
        resolved.Outcome = WaitOutcome::Stopped;
        return resolved;
    }

    const auto answer = std::make_shared<IPv6Answer>();
    QObject waker;
    answer->Waker = &waker;
    const IPv6Lookup lookup = m_lookup6 ? m_lookup6 : IPv6Lookup(&HostResolver::SystemIPv6Addresses);
    try {
        std::thread([answer, lookup, host] {
            QList<IPv6Bytes> found = lookup(host);
            const QMutexLocker locker(&answer->Lock);
            answer->Addresses = std::move(found);
            answer->Ready.store(true);
            // Wakes the wait at once rather than at its next slice.
            if (answer->Waker != nullptr && QCoreApplication::instance() != nullptr)
                QCoreApplication::postEvent(answer->Waker, new QEvent(QEvent::User));
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the name goes without IPv6 addresses rather than blocking the caller.
        return resolved;
    }
    const WaitOutcome outcome = m_wait.WaitUntil(
        budgetMs, [&answer] { return answer->Ready.load(); }, stop);
    const QMutexLocker locker(&answer->Lock);
    answer->Waker = nullptr;
    if (answer->Ready.load()) {
        resolved.Addresses = answer->Addresses;
        return resolved;
    }
    resolved.Outcome = outcome;
    return resolved;
}

QList<IPv6Bytes> HostResolver::SystemIPv6Addresses(const QByteArray& name)
{
    QList<IPv6Bytes> found;
    // A NUL would end the name early and ask for another one.
    if (name.isEmpty() || name.contains('\0'))
        return found;
    addrinfo hints {};
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = 0; // no AI_ADDRCONFIG: the addresses are wanted whether or not this machine can reach them
    addrinfo* list = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &list) != 0)
        return found;
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET6 || entry->ai_addr == nullptr
            || entry->ai_addrlen < static_cast<socklen_t>(sizeof(sockaddr_in6)))
            continue;
        sockaddr_in6 socketAddress {};
        std::memcpy(&socketAddress, entry->ai_addr, sizeof(socketAddress));
        IPv6Bytes bytes {};
        std::memcpy(bytes.data(), &socketAddress.sin6_addr, bytes.size());
        if (!found.contains(bytes))
            found.append(bytes);
    }
    freeaddrinfo(list);
    return found;
}

} // namespace vesk
