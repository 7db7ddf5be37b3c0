// Rate-limit notices told from records that merely mention such a phrase.

#include "whois/rate_limit_reply.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

TEST(RateLimitReply, ShortNoticesInAnyCaseAreRateLimits)
{
    EXPECT_TRUE(IsRateLimitedReply("%% Query rate exceeded, try again in a minute\r\n"));
    EXPECT_TRUE(IsRateLimitedReply("ERROR: TOO MANY REQUESTS\n"));
    EXPECT_TRUE(IsRateLimitedReply("Access Denied - limit exceeded"));
    EXPECT_TRUE(IsRateLimitedReply("Please Try Again Later."));
    EXPECT_TRUE(IsRateLimitedReply("Your connection has hit the rate limit"));

    EXPECT_FALSE(IsRateLimitedReply(""));
    EXPECT_FALSE(IsRateLimitedReply("Domain Name: EXAMPLE.COM\r\nRegistrar: Example\r\n"));
    // A full record may quote the phrase in its terms of use: at 2 KB a reply is a record, not a notice.
    QByteArray record = "Domain Name: EXAMPLE.COM\r\nTerms: abuse leads to a rate limit.\r\n";
    record.append(QByteArray(kRateLimitReplyMaxBytes - record.size(), 'x'));
    EXPECT_FALSE(IsRateLimitedReply(record));
    record.chop(1);
    EXPECT_TRUE(IsRateLimitedReply(record));
}

} // namespace
} // namespace vesk::test
