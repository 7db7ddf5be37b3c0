#include "whois/rate_limit_reply.h"

#include <QByteArray>
#include <algorithm>
#include <initializer_list>

namespace vesk {

namespace {

/// The notice phrases of one server family, lower-case; a family without hosts is every server.
struct NoticeFamily
{
    std::initializer_list<QByteArrayView> hosts;
    std::initializer_list<QByteArrayView> phrases;
};

// Each phrase is backed by a reply in the tests' data. A phrase that only one family's notices use belongs to that
// family alone: elsewhere it turns up in ordinary replies ("access denied" for a query a server does not permit),
// and a reply taken for a notice is reported as unanswered and slows its host down. For the same reason a query
// rate counts only when exceeded: the .uk registry's terms in every reply speak of "query rate or volume limits".
const NoticeFamily kNoticeFamilies[] = {
    { {}, { "rate limit", "limit exceeded", "too many requests", "try again later", "query rate exceeded" } },
    // The RIPE database software, which the RIPE NCC, APNIC and AFRINIC run.
    { { "whois.ripe.net", "whois.apnic.net", "whois.afrinic.net" }, { "%error:201: access denied" } },
    { { "whois.denic.de" }, { "access control limit reached" } },
};

bool ServesFamily(const NoticeFamily& family, const QByteArray& host)
{
    return family.hosts.size() == 0
        || std::any_of(family.hosts.begin(), family.hosts.end(), [&host](QByteArrayView name) { return host == name; });
}

} // namespace

QByteArrayView RateLimitPhrase(QByteArrayView host, QByteArrayView reply)
{
    if (reply.isEmpty() || reply.size() >= kRateLimitReplyMaxBytes)
        return {};
    const QByteArray lowerHost = host.toByteArray().toLower();
    const QByteArray lower = reply.toByteArray().toLower();
    for (const NoticeFamily& family : kNoticeFamilies) {
        if (!ServesFamily(family, lowerHost))
            continue;
        for (QByteArrayView phrase : family.phrases) {
            if (lower.contains(phrase))
                return phrase;
        }
    }
    return {};
}

bool IsRateLimitedReply(QByteArrayView host, QByteArrayView reply)
{
    return !RateLimitPhrase(host, reply).isEmpty();
}

} // namespace vesk
