#include "common/safe_address.h"

#include <QList>
#include <QNetworkInterface>
#include <algorithm>

namespace vesk {

bool IsForbiddenReferralAddress(const QHostAddress& address)
{
    bool isIPv4 = false;
    const quint32 v4 = address.toIPv4Address(&isIPv4); // also unwraps ::ffff:a.b.c.d
    if (isIPv4) {
        const quint32 firstOctet = v4 >> 24;
        return firstOctet == 0 // unspecified, "this network"
            || firstOctet == 127 // loopback
            || (v4 >> 16) == 0xA9FEu // 169.254/16 link-local
            || (v4 >> 28) == 0xEu // 224/4 multicast
            || v4 == 0xFFFFFFFFu; // limited broadcast
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return address.isLoopback() || address.isLinkLocal() || address.isMulticast()
            || address == QHostAddress(QHostAddress::AnyIPv6);
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
