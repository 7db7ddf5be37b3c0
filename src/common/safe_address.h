/// The safe-referral rule: which addresses a host named by a server (a referral, a redirect, a link) may not be.
#pragma once

#include <QHostAddress>

namespace vesk {

/// True for addresses a referral must never lead to, because they are this machine or a network that is not the
/// internet: unspecified (0.0.0.0/8, ::), loopback, link-local, multicast and broadcast, the private networks
/// (10/8, 172.16/12, 192.168/16, fc00::/7) and carrier-grade NAT (100.64/10), IPv4-mapped IPv6 forms included, and
/// anything that is no address.
bool IsForbiddenReferralAddress(const QHostAddress& address);

/// IsForbiddenReferralAddress, or an address of one of this machine's interfaces (reaching it reaches this
/// machine, including services that listen on every interface).
bool IsRefusedReferralAddress(const QHostAddress& address);

} // namespace vesk
