// The exchange entries of a search as a script sees them: RDAP outcomes, pacing of RDAP hosts, and each entry's
// text being exactly what the report wrote from that exchange.

#include "cli/search_job.h"
#include "codecs/utf8_decoder.h"
#include "lookup/rdap_source.h"
#include "rdap/bootstrap_registry.h"
#include "support/in_memory_rdap.h"
#include "support/lookup_world.h"
#include "support/test_data.h"
#include "whois/reply_parsing.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

class RecordingPacer final : public HostPacer
{
public:
    bool WaitTurn(const QByteArray& host, const StopRequest&) override
    {
        Hosts.append(host);
        return true;
    }
    QList<QByteArray> Hosts;
};

// True when `text`, split at LF, stands in `lines` as consecutive lines.
bool WrittenAsLines(const QString& text, const QStringList& lines)
{
    const QStringList pieces = text.split(u'\n');
    for (qsizetype at = 0; at + pieces.size() <= lines.size(); ++at) {
        if (lines.mid(at, pieces.size()) == pieces)
            return true;
    }
    return false;
}

class ExchangeEntries : public ::testing::Test
{
protected:
    ExchangeEntries()
    {
        bootstrap.Domains.BaseUrls.insert("zz", "https://rdap.identitydigital.services/rdap/");
        bootstrap.Domains.BaseUrls.insert("com", "https://rdap.verisign.com/com/v1/");
        world.Settings->InclIP = false;
        world.Settings->SearchContacts = false;
        world.Settings->FilterComments = true;
    }

    SearchOutcome Run(const QByteArray& query)
    {
        const SearchSetup setup { *world.Settings, *world.Log, world.Definitions, FixedNow, QLocale::c(), 0, nullptr };
        FixedRdapSource source(&rdap, &bootstrap);
        return RunSearch(setup, SearchRoad { world.Transport, &source, world.Wait }, query,
                         SearchWatch { nullptr, &pacer, {}, {} });
    }

    LookupWorld world;
    InMemoryRdap rdap;
    RdapBootstrap bootstrap;
    RecordingPacer pacer;
};

TEST_F(ExchangeEntries, RdapExchangesCarryTheirUrlAnswerAndOutcome)
{
    const QString url = QStringLiteral("https://rdap.identitydigital.services/rdap/domain/example.zz");
    const QByteArray record = ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json"));
    struct Row
    {
        const char* name;
        int status;
        ExchangeFailure failure;
        QByteArray body;
        const char* outcome;
        const char* failureText;
        bool answered;
        bool answerObject;
    };
    const Row rows[] = {
        { "record", 200, ExchangeFailure::None, record, "answered", "", true, true },
        { "first server's 404", 404, ExchangeFailure::HttpStatus, {}, "no-match", "", true, false },
        { "429 twice", 429, ExchangeFailure::RateLimited, {}, "rate-limited", "rate limited (HTTP 429)", false, false },
        { "server error",
          503,
          ExchangeFailure::HttpStatus,
          {},
          "http-503",
          "HTTP 503 Service Unavailable",
          true,
          false },
        { "no JSON", 200, ExchangeFailure::None, "{\"objectClassName\":", "bad-rdap", "not a valid RDAP answer", true,
          false },
        { "not a domain", 200, ExchangeFailure::None, ReadTestData(QStringLiteral("rdap/rir-apnic-ip-1.1.1.0.json")),
          "bad-rdap", "not a valid RDAP answer", true, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RdapFetch fetch;
        fetch.Host = "Rdap2.IdentityDigital.services"; // the host the client was redirected to
        fetch.HttpStatus = row.status;
        fetch.Failure = row.failure;
        fetch.Reply = row.body;
        fetch.Detail = row.status == 503 ? "Service Unavailable" : "";
        rdap.AnswerWith(url, fetch);
        pacer.Hosts.clear();

        const SearchOutcome outcome = Run("example.zz");
        ASSERT_EQ(outcome.Exchanges.size(), 1);
        const ExchangeEntry& entry = outcome.Exchanges.first();
        EXPECT_EQ(entry.Protocol, "rdap");
        EXPECT_EQ(entry.Host, "rdap2.identitydigital.services");
        EXPECT_EQ(entry.Url, url.toLatin1());
        EXPECT_EQ(entry.Request, "GET " + url.toLatin1());
        EXPECT_EQ(entry.Outcome, row.outcome);
        EXPECT_EQ(entry.FailureText, QString::fromLatin1(row.failureText));
        EXPECT_EQ(entry.Answered, row.answered);
        EXPECT_EQ(entry.BytesReceived, row.body.size());
        EXPECT_EQ(QJsonDocument::fromJson(entry.Answer).isObject(), row.answerObject);
        // The turn is waited for at the host of the URL asked.
        EXPECT_EQ(pacer.Hosts, QList<QByteArray>({ "rdap.identitydigital.services" }));
        if (row.failure == ExchangeFailure::None && row.answerObject && row.outcome == QByteArrayView("answered")) {
            EXPECT_TRUE(outcome.ExchangeText(0).startsWith(QStringLiteral("Domain Name: ")))
                << outcome.ExchangeText(0).toStdString();
            EXPECT_TRUE(WrittenAsLines(outcome.ExchangeText(0), outcome.Lines));
        } else {
            EXPECT_TRUE(outcome.ExchangeText(0).isEmpty()) << outcome.ExchangeText(0).toStdString();
        }
    }
}

TEST_F(ExchangeEntries, TextIsWhatTheReportWroteFromEachReply)
{
    // A filtered port-43 record: the text is the record as written, not the reply as received.
    const QByteArray uk = ReadTestData(QStringLiteral("whois/whois.nic.uk-uk-registered.txt"));
    world.Transport.SetReply("whois.nic.uk", 43, "google.co.uk", uk);
    SearchOutcome outcome = Run("google.co.uk");
    ASSERT_EQ(outcome.Exchanges.size(), 1);
    const QString written
        = Utf8ToWideText(TrimByHostMark(world.Definitions.FindHostMark("whois.nic.uk"), FilterRWhoisReply(uk)));
    EXPECT_EQ(outcome.ExchangeText(0).split(u'\n'), SheetLines(written));
    EXPECT_TRUE(WrittenAsLines(outcome.ExchangeText(0), outcome.Lines));
    EXPECT_FALSE(outcome.ExchangeText(0).contains(QStringLiteral("WHOIS lookup made at")));

    // A reply cut short: its incomplete mark is part of what was written for it.
    world.Transport.SetFailure("whois.nic.uk", ExchangeFailure::Reset, "Domain name:\r\n    google.co.uk\r\n");
    outcome = Run("google.co.uk");
    ASSERT_EQ(outcome.Exchanges.size(), 1);
    EXPECT_TRUE(outcome.ExchangeText(0).endsWith(QStringLiteral("\n[reply incomplete: connection reset]")))
        << outcome.ExchangeText(0).toStdString();
    EXPECT_TRUE(WrittenAsLines(outcome.ExchangeText(0), outcome.Lines));

    // The registry's RDAP record and the registrar's are shown as one; each RDAP exchange has its own lines as text.
    const QString google = QStringLiteral("https://rdap.verisign.com/com/v1/domain/google.com");
    const QString markMonitor = QStringLiteral("https://rdap.markmonitor.com/rdap/domain/GOOGLE.COM");
    world.Transport.SetDefaultReply("whois.verisign-grs.com", "Domain Name: GOOGLE.COM\r\n");
    rdap.Answer(google, ReadTestData(QStringLiteral("rdap/verisign-com-google.com.json")));
    rdap.Answer(markMonitor, ReadTestData(QStringLiteral("rdap/registrar-markmonitor-google.com.json")));
    outcome = Run("google.com");
    ASSERT_EQ(outcome.Exchanges.size(), 3);
    EXPECT_EQ(outcome.Exchanges[0].Protocol, "whois");
    EXPECT_TRUE(outcome.ExchangeText(0).isEmpty());
    EXPECT_TRUE(outcome.ExchangeText(1).contains(QStringLiteral("\nRegistry Expiry Date: 2028-09-14T04:00:00Z\n")));
    EXPECT_FALSE(outcome.ExchangeText(1).contains(QStringLiteral("Registrant")));
    EXPECT_EQ(outcome.Exchanges[2].Host, "rdap.markmonitor.com");
    EXPECT_TRUE(outcome.ExchangeText(2).startsWith(QStringLiteral("Domain Name: ")));
    EXPECT_TRUE(outcome.ExchangeText(2).contains(QStringLiteral("\nRegistrant Organization: Google LLC\n")));

    // The registrar's 404 is its failure, not a no-match; the port-43 registry record is written for its exchange.
    rdap.Answer(markMonitor, QByteArray(), 404);
    outcome = Run("google.com");
    ASSERT_EQ(outcome.Exchanges.size(), 3);
    EXPECT_EQ(outcome.Exchanges[2].Outcome, "http-404");
    EXPECT_TRUE(outcome.ExchangeText(2).isEmpty());
    EXPECT_EQ(outcome.ExchangeText(0), QStringLiteral("Domain Name: GOOGLE.COM")); // as trimmed by its profile
    EXPECT_TRUE(WrittenAsLines(outcome.ExchangeText(0), outcome.Lines));
}

} // namespace
} // namespace vesk::test
