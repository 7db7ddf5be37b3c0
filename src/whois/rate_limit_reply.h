/// Rate-limit and ban replies: how a port-43 server says that it refuses to answer because it was asked too often.
#pragma once

#include <QByteArrayView>

namespace vesk {

/// Longest reply that can be a rate-limit notice; a real record that mentions such a phrase is longer.
inline constexpr qsizetype kRateLimitReplyMaxBytes = 2048;

/// The phrase that makes `reply` from `host` a rate-limit or ban notice, or an empty view when it is none. A
/// notice is shorter than kRateLimitReplyMaxBytes and holds, in any letter case, a phrase every server uses
/// ("rate limit", "limit exceeded", "too many requests", "try again later", "query rate exceeded") or one of the
/// phrases of the host's server family (the RIPE database servers' "%ERROR:201: access denied", DENIC's "access
/// control limit reached"). The host is compared without regard to case.
QByteArrayView RateLimitPhrase(QByteArrayView host, QByteArrayView reply);

/// True when RateLimitPhrase finds a phrase.
bool IsRateLimitedReply(QByteArrayView host, QByteArrayView reply);

} // namespace vesk
