/// Rate-limit replies: how a port-43 server says that it refuses to answer because it was asked too often.
#pragma once

#include <QByteArrayView>

namespace vesk {

/// Longest reply that can be a rate-limit notice; a real record that mentions such a phrase is longer.
inline constexpr qsizetype kRateLimitReplyMaxBytes = 2048;

/// True when `reply` is shorter than kRateLimitReplyMaxBytes and holds one of the phrases servers use when they
/// meter their clients ("rate limit", "limit exceeded", "too many requests", "try again later", "query rate",
/// "access denied"), in any letter case.
bool IsRateLimitedReply(QByteArrayView reply);

} // namespace vesk
