/// The safe-referral rule: which addresses a host named by a server (a referral, a redirect, a link) may not be.
#pragma once

#include <QHostAddress>

namespace vesk {

/// True for addresses a referral must never lead to: loopback, unspecified (0.0.0.0/8, ::), link-local,
/// multicast and broadcast, IPv4-mapped IPv6 forms included, and anything that is no address.
bool IsForbiddenReferralAddress(const QHostAddress& address);

/// IsForbiddenReferralAddress, or an address of one of this machine's interfaces (reaching it reaches this
/// machine, including services that listen on every interface).
bool IsRefusedReferralAddress(const QHostAddress& address);

} // namespace vesk
