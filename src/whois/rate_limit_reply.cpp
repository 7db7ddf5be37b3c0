#include "whois/rate_limit_reply.h"

#include <QByteArray>

namespace vesk {

bool IsRateLimitedReply(QByteArrayView reply)
{
    static const char* const kPhrases[]
        = { "rate limit", "limit exceeded", "too many requests", "try again later", "query rate", "access denied" };
    if (reply.isEmpty() || reply.size() >= kRateLimitReplyMaxBytes)
        return false;
    const QByteArray lower = reply.toByteArray().toLower();
    for (const char* phrase : kPhrases) {
        if (lower.contains(phrase))
            return true;
    }
    return false;
}

} // namespace vesk
