#include "common/safe_address.h"

#include <QList>
#include <QNetworkInterface>
#include <algorithm>

namespace vesk {

namespace {

/// True when `address` lies in `network`/`length`.
bool InBlock(quint32 address, quint32 network, int length)
{
    return (address >> (32 - length)) == (network >> (32 - length));
}

} // namespace

bool IsForbiddenReferralAddress(const QHostAddress& address)
{
    bool isIPv4 = false;
    const quint32 v4 = address.toIPv4Address(&isIPv4); // also unwraps ::ffff:a.b.c.d
    if (isIPv4) {
        return InBlock(v4, 0x00000000u, 8) // unspecified, "this network"
            || InBlock(v4, 0x0A000000u, 8) // 10/8 private
            || InBlock(v4, 0x64400000u, 10) // 100.64/10 carrier-grade NAT
            || InBlock(v4, 0x7F000000u, 8) // loopback
            || InBlock(v4, 0xA9FE0000u, 16) // 169.254/16 link-local
            || InBlock(v4, 0xAC100000u, 12) // 172.16/12 private
            || InBlock(v4, 0xC0A80000u, 16) // 192.168/16 private
            || InBlock(v4, 0xE0000000u, 4) // 224/4 multicast
            || v4 == 0xFFFFFFFFu; // limited broadcast
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        const Q_IPV6ADDR v6 = address.toIPv6Address();
        return address.isLoopback() || address.isLinkLocal() || address.isMulticast()
            || address == QHostAddress(QHostAddress::AnyIPv6) || (v6[0] & 0xFEu) == 0xFCu; // fc00::/7 unique local
    }
    return true; // not an address at all
}

bool IsRefusedReferralAddress(const QHostAddress& address)
{
    if (IsForbiddenReferralAddress(address))
        return true;
    const QList<QHostAddress> own = QNetworkInterface::allAddresses();
    return std::any_of(own.cbegin(), own.cend(), [&address](const QHostAddress& mine) {
        return mine.isEqual(address, QHostAddress::TolerantConversion);
    });
}

} // namespace vesk
