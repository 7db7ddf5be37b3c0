// How reports tell a server that failed from one that answered: the reasons, where they are written, the mark on
// a reply cut short, the stop, and the decoding of every reply.

#include "lookup/contact_handles.h"
#include "support/lookup_world.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

class FailureReportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        world.Settings->InclIP = false;
        world.Settings->SearchContacts = false;
        world.Settings->FilterComments = true;
    }

    LookupWorld world;
};

TEST_F(FailureReportTest, EveryReasonIsNamedInsteadOfNoMatchAndInsteadOfThePlainQuerysEmptyLine)
{
    const struct
    {
        ExchangeFailure failure;
        const char* text;
    } rows[] = {
        { ExchangeFailure::Refused, "connection refused" },
        { ExchangeFailure::Unreachable, "network unreachable" },
        { ExchangeFailure::NotResolved, "host name not resolved" },
        { ExchangeFailure::Timeout, "timed out after 15 s" },
        { ExchangeFailure::Reset, "connection reset" },
        { ExchangeFailure::Closed, "closed without a reply" },
        { ExchangeFailure::Stopped, "search stopped" },
        { ExchangeFailure::TooLarge, "reply cut at 16 MiB" },
        { ExchangeFailure::TooSlow, "reply cut at 120 s" },
        { ExchangeFailure::ReferralRefused, "referral to a local or private address refused" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        world.Transport.SetFailure("whois.verisign-grs.com", row.failure);
        const QString line = QStringLiteral("No answer from whois.verisign-grs.com: ") + QLatin1String(row.text);

        world.Search("example.com");
        QStringList lines = world.Window.Lines();
        EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList { line, QString() }));
        EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("No Match")));

        world.Search("=plain");
        lines = world.Window.Lines();
        EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList { line, QString() }));
        EXPECT_EQ(world.Window.Status(), "Done");
    }
}

TEST_F(FailureReportTest, APartialReplyIsWrittenAndMarkedIncomplete)
{
    world.Transport.SetFailure("whois.nic.fr", ExchangeFailure::Reset, "domain:      google.fr\r\nstatus:");
    world.Search("google.fr");
    const QStringList lines = world.Window.Lines();
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.mid(lines.size() - 4),
              (QStringList { QStringLiteral("domain:      google.fr"), QStringLiteral("status:"),
                             QStringLiteral("[reply incomplete: connection reset]"), QString() }));

    world.Transport.SetFailure("whois.verisign-grs.com", ExchangeFailure::Timeout, "half a reply", 15);
    world.Search("=plain");
    EXPECT_TRUE(
        world.Window.Text().endsWith(QStringLiteral("half a reply\n[reply incomplete: timed out after 15 s]\n")));
}

TEST_F(FailureReportTest, RegistrarFailureFallsBackSilentlyAndANetworkLookupNamesEveryServer)
{
    world.Transport.SetDefaultReply("whois.verisign-grs.com",
                                    "Domain Name: GOOGLE.COM\r\n   Whois Server: whois.markmonitor.com\r\n");
    world.Transport.SetFailure("whois.markmonitor.com", ExchangeFailure::Refused);
    world.Transport.SetFailure("whois.arin.net", ExchangeFailure::Refused);
    world.Transport.SetFailure("rwhois.arin.net", ExchangeFailure::Unreachable);
    world.Transport.SetAddresses("google.com", { 0x04020201u });
    world.Settings->InclIP = true;

    world.Search("google.com");

    const QString text = world.Window.Text();
    EXPECT_TRUE(text.contains(QStringLiteral("source: whois.verisign-grs.com")));
    EXPECT_FALSE(text.contains(QStringLiteral("No answer from whois.markmonitor.com")));
    EXPECT_EQ(world.Window.Lines().count(QStringLiteral("No answer from whois.arin.net: connection refused")), 1);
    EXPECT_EQ(world.Window.Lines().count(QStringLiteral("No answer from rwhois.arin.net: network unreachable")), 1);
}

TEST_F(FailureReportTest, AStopDuringAPauseIsReportedByThatQueryAloneAndNothingLaterIsAsked)
{
    world.Transport.SetReply("whois.arin.net", 43, "192.0.2.7", "NetRange: 192.0.2.0 - 192.0.2.255\r\n");
    world.Wait.SetHook([&](int) { world.Engine->StopSearch(); });

    world.Search("192.0.2.7");

    EXPECT_TRUE(world.Transport.Exchanges().isEmpty());
    EXPECT_EQ(world.Wait.Waits().size(), 1); // the first pause met the stop; no pause after it
    const QStringList lines = world.Window.Lines();
    EXPECT_EQ(lines.count(QStringLiteral("No answer from whois.arin.net: search stopped")), 1);
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("rwhois.arin.net")));
    EXPECT_EQ(world.Window.Status(), "Done");
    EXPECT_TRUE(world.Engine->WasStopped());
    EXPECT_TRUE(world.Engine->AnyServerAnswered() == false);
}

TEST_F(FailureReportTest, EveryReplyKeepsLatin1BytesAndSupplementaryCharacters)
{
    world.Transport.SetDefaultReply("whois.verisign-grs.com",
                                    "Domain Name: EXAMPLE.COM\r\nRegistrant: M\xfcller \xf0\x9f\x98\x80\r\n");
    world.Search("example.com");
    EXPECT_TRUE(world.Window.Lines().contains(QStringLiteral("Registrant: M\u00fcller \U0001F600")));

    world.Transport.SetReply("whois.verisign-grs.com", 43, "=x", "Caf\xe9\r\n");
    world.Search("=x");
    EXPECT_TRUE(world.Window.Lines().contains(QStringLiteral("Caf\u00e9")));
}

TEST_F(FailureReportTest, PlaceholderHandlesAreNeverAsked)
{
    for (const char* placeholder : { "", "-", "--", ".", "n/a", "N/A", "None", " none ", "-.-" }) {
        SCOPED_TRACE(placeholder);
        EXPECT_TRUE(IsPlaceholderHandle(placeholder));
    }
    for (const char* handle : { "A1", "nonexistent", "N-A", "X" })
        EXPECT_FALSE(IsPlaceholderHandle(handle)) << handle;

    world.Settings->SearchContacts = true;
    world.Transport.SetDefaultReply("whois.nic.fr",
                                    "domain:      google.fr\r\nadmin-c:     -\r\ntech-c:      NONE\r\n"
                                    "zone-c:      n/a\r\nholder-c:    GI-123\r\n");
    world.Search("google.fr");
    QStringList asked;
    for (const ExchangeRecord& exchange : world.Transport.Exchanges())
        asked.append(QString::fromLatin1(exchange.Query));
    EXPECT_EQ(asked, (QStringList { QStringLiteral("google.fr"), QStringLiteral("GI-123") }));
}

} // namespace
} // namespace vesk::test
