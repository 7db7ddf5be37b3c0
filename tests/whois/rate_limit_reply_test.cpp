// Rate-limit and ban notices told from records that merely mention such a phrase, server family by family.

#include "support/test_data.h"
#include "whois/rate_limit_reply.h"

#include <QByteArray>
#include <QDir>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

QByteArray Notice(const char* name)
{
    return WhoisFixture((QByteArrayLiteral("layout-faithful/") + name).constData());
}

TEST(RateLimitReply, EachPhraseCountsForItsServerFamilyOnly)
{
    const QByteArray ripe = Notice("whois.ripe.net-access-denied.txt");
    const QByteArray denic = Notice("whois.denic.de-access-control-limit.txt");
    const struct
    {
        const char* name;
        QByteArray host, reply;
        QByteArrayView phrase; ///< empty: not a notice
    } rows[] = {
        // One reply per phrase of the table, from a server of the phrase's family.
        { "RIPE ban", "whois.ripe.net", ripe, "%error:201: access denied" },
        { "DENIC limit", "whois.denic.de", denic, "access control limit reached" },
        { "rate limit", "whois.arin.net", Notice("whois.arin.net-rate-limit.txt"), "rate limit" },
        { "limit exceeded", "whois.pir.org", Notice("whois.pir.org-limit-exceeded.txt"), "limit exceeded" },
        { "too many requests", "whois.godaddy.com", Notice("whois.godaddy.com-too-many-requests.txt"),
          "too many requests" },
        { "try again later", "whois.verisign-grs.com", Notice("whois.verisign-grs.com-try-again-later.txt"),
          "try again later" },
        { "query rate exceeded", "whois.iis.se", Notice("whois.iis.se-query-rate-exceeded.txt"),
          "query rate exceeded" },
        // The family's other servers, and host names as a referral may write them.
        { "APNIC runs the RIPE software", "whois.apnic.net", ripe, "%error:201: access denied" },
        { "AFRINIC runs the RIPE software", "whois.afrinic.net", ripe, "%error:201: access denied" },
        { "upper-case host", "WHOIS.RIPE.NET", ripe, "%error:201: access denied" },
        // A family's phrase is no notice from a server outside the family.
        { "RIPE ban text from a registrar", "whois.godaddy.com", ripe, {} },
        { "DENIC text from another registry", "whois.nic.fr", denic, {} },
        { "a plain access denied", "whois.tucows.com", "Access denied: this query is not permitted.\r\n", {} },
        { "access denied from RIPE without the error code", "whois.ripe.net", "%% access denied\n", {} },
        // Records whose terms of use mention query rates are answers.
        { ".uk not found", "whois.nic.uk", WhoisFixture("whois.nic.uk-uk-notfound.txt"), {} },
        { ".uk registered", "whois.nic.uk", WhoisFixture("whois.nic.uk-uk-registered.txt"), {} },
        { "empty reply", "whois.ripe.net", "", {} },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RateLimitPhrase(row.host, row.reply), row.phrase);
        EXPECT_EQ(IsRateLimitedReply(row.host, row.reply), !row.phrase.isEmpty());
    }
}

TEST(RateLimitReply, NoRecordedReplyIsANotice)
{
    // Every recorded reply is an answer: asked from the server that sent it, none may read as a notice.
    const QDir folder(TestDataPath(QStringLiteral("whois")));
    const QStringList names = folder.entryList({ QStringLiteral("*.txt") }, QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray host = name.section(u'-', 0, 0).toLatin1();
        EXPECT_TRUE(RateLimitPhrase(host, WhoisFixture(name.toLatin1().constData())).isEmpty());
    }
}

TEST(RateLimitReply, ALongReplyIsARecordWhateverItQuotes)
{
    // A full record may quote a phrase in its terms of use: at 2 KB a reply is a record, not a notice.
    QByteArray record = "Domain Name: EXAMPLE.COM\r\nTerms: abuse leads to a rate limit.\r\n";
    record.append(QByteArray(kRateLimitReplyMaxBytes - record.size(), 'x'));
    EXPECT_FALSE(IsRateLimitedReply("whois.example.com", record));
    record.chop(1);
    EXPECT_TRUE(IsRateLimitedReply("whois.example.com", record));
}

} // namespace
} // namespace vesk::test
