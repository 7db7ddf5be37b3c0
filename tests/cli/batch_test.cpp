// vesk-query --batch in-process: input order, pacing seen by the servers, rate limits and the stop.

#include "cli/batch_run.h"
#include "cli/lazy_rdap.h"
#include "common/pacing_scheduler.h"
#include "rdap/bootstrap_registry.h"
#include "rdap/rdap_client.h"
#include "support/fake_http_server.h"
#include "support/fake_whois_server.h"
#include "support/lookup_world.h"
#include "support/test_data.h"
#include "whois/tcp_transport.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

class BatchWorld : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fr.IsListening() && uk.IsListening());
        world.Settings->InclIP = false;
        world.Settings->SearchContacts = false;
        fr.SetDefaultReply("domain: found.fr\r\n");
        uk.SetDefaultReply("Domain name: found.uk\r\n");
        book.AddServer("whois.nic.fr", ServerEndpoint { QHostAddress(QHostAddress::LocalHost), fr.Port() });
        book.AddServer("whois.nic.uk", ServerEndpoint { QHostAddress(QHostAddress::LocalHost), uk.Port() });
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
    }

    int RunBatch(const QList<QByteArray>& queries, BatchOptions options, int stopAfter = -1)
    {
        const SearchSetup setup { *world.Settings, *world.Log, world.Definitions, FixedNow, QLocale(), 1100, &shared };
        BatchRun run(
            setup,
            [this](EventWait& wait) -> std::unique_ptr<WhoisTransport> {
                return std::make_unique<TcpWhoisTransport>(wait, book);
            },
            std::move(options), out, err);
        if (stopAfter >= 0)
            run.StopAfter(stopAfter);
        const int status = run.Run(queries);
        mostHeld = run.MostHeld();
        return status;
    }

    QList<QJsonObject> JsonLines() const
    {
        QList<QJsonObject> lines;
        for (const QByteArray& line : out.data().split('\n')) {
            if (!line.isEmpty())
                lines.append(QJsonDocument::fromJson(line).object());
        }
        return lines;
    }

    LookupWorld world;
    FakeWhoisServer fr;
    FakeWhoisServer uk;
    AddressBook book;
    RdapBootstrap bootstrap;
    SharedRdapBootstrap shared { &bootstrap };
    QBuffer out;
    QBuffer err;
    int mostHeld = 0;
};

TEST_F(BatchWorld, ReportsComeInInputOrderAndNoHostIsAskedTwiceWithinThePace)
{
    QList<QByteArray> queries;
    for (int i = 0; i < 6; ++i) {
        queries.append("d" + QByteArray::number(i) + ".fr");
        queries.append("d" + QByteArray::number(i) + ".uk");
    }
    BatchOptions options;
    options.Json = true;
    options.PaceMs = 100;
    options.Jobs = 3;
    EXPECT_EQ(RunBatch(queries, options), 0) << err.data().constData();
    const QList<QJsonObject> lines = JsonLines();
    ASSERT_EQ(lines.size(), queries.size());
    for (int i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].value(QStringLiteral("query")).toString().toUtf8(), queries[i]);
        EXPECT_EQ(lines[i].value(QStringLiteral("outcome")).toString(), QStringLiteral("answered"));
    }
    EXPECT_LE(mostHeld, 4 * 3);
    for (const FakeWhoisServer* server : { &fr, &uk }) {
        const QList<qint64> times = server->AcceptTimes();
        ASSERT_EQ(times.size(), 6);
        // The scheduler spaces the starts by 100 ms; a little is allowed for the accept of the earlier one lagging.
        for (int i = 1; i < times.size(); ++i)
            EXPECT_GE(times[i] - times[i - 1], 80) << "connection " << i;
    }
}

TEST_F(BatchWorld, RateLimitNoticeIsNoAnswerAndTextReportsAreSeparatedByFormFeeds)
{
    fr.SetReply("limited.fr", "Too many requests, try again later.\r\n");
    BatchOptions options;
    options.PaceMs = 0;
    EXPECT_EQ(RunBatch({ "one.fr", "limited.fr", "two.uk" }, options), 1);
    const QByteArray text = out.data();
    EXPECT_EQ(text.count("\n\f\n"), 2) << text.constData();
    EXPECT_TRUE(text.indexOf("ONE.FR") < text.indexOf("LIMITED.FR")
                && text.indexOf("LIMITED.FR") < text.indexOf("TWO.UK"));
    EXPECT_EQ(err.data(), "vesk-query: limited.fr: Every server that answered refused with a rate-limit notice.\n");

    out.buffer().clear();
    out.seek(0);
    options.Json = true;
    EXPECT_EQ(RunBatch({ "limited.fr" }, options), 1);
    const QList<QJsonObject> lines = JsonLines();
    ASSERT_EQ(lines.size(), 1);
    const QJsonObject exchange = lines[0].value(QStringLiteral("exchanges")).toArray().first().toObject();
    EXPECT_EQ(exchange.value(QStringLiteral("outcome")).toString(), QStringLiteral("rate-limited"));
    EXPECT_EQ(lines[0].value(QStringLiteral("exit_status")).toInt(), 1);
}

TEST_F(BatchWorld, AnRdap429SlowsItsHostDownAsARateLimitNoticeDoes)
{
    FakeHttpServer rdap;
    rdap.Serve("rdap/domain/limited.zz", QByteArray(), 429);
    rdap.Serve("rdap/domain/fine.zz",
               ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json")));
    bootstrap.Domains.BaseUrls.insert("zz", "http://rdap.identitydigital.services/rdap/");
    BatchOptions options;
    options.Json = true;
    options.PaceMs = 600;
    options.Jobs = 1;
    options.MakeRdap = [&rdap](EventWait& wait) -> std::unique_ptr<RdapTransport> {
        return std::make_unique<HttpRdapTransport>(wait, [&rdap](const QByteArray&, int) {
            return std::optional<ServerEndpoint>(ServerEndpoint { QHostAddress(QHostAddress::LocalHost), rdap.Port() });
        });
    };
    EXPECT_EQ(RunBatch({ "limited.zz", "fine.zz" }, options), 1);
    const QList<QJsonObject> lines = JsonLines();
    ASSERT_EQ(lines.size(), 2);
    const QJsonObject limited = lines[0].value(QStringLiteral("exchanges")).toArray().first().toObject();
    EXPECT_EQ(limited.value(QStringLiteral("protocol")).toString(), QStringLiteral("rdap"));
    EXPECT_EQ(limited.value(QStringLiteral("outcome")).toString(), QStringLiteral("rate-limited"));
    EXPECT_EQ(lines[0].value(QStringLiteral("exit_status")).toInt(), 1);
    EXPECT_EQ(lines[1].value(QStringLiteral("outcome")).toString(), QStringLiteral("answered"));
    // The 429 (asked twice) set the host's pace to 2 x 600 ms; the next query there waited for it.
    const QList<qint64> first = rdap.RequestTimes("rdap/domain/limited.zz");
    const QList<qint64> next = rdap.RequestTimes("rdap/domain/fine.zz");
    ASSERT_EQ(first.size(), 2);
    ASSERT_EQ(next.size(), 1);
    EXPECT_GE(next[0] - first[0], 1100);
}

TEST_F(BatchWorld, ProgressShowsOnATerminalOnlyAndIsClearedAtTheEnd)
{
    BatchOptions options;
    options.PaceMs = 0;
    EXPECT_EQ(RunBatch({ "one.fr", "two.uk" }, options), 0);
    EXPECT_TRUE(err.data().isEmpty());

    options.ErrIsTerminal = true;
    EXPECT_EQ(RunBatch({ "one.fr", "two.uk" }, options), 0);
    // A streamed batch knows no total: counts and rate, no estimate of the time left.
    EXPECT_TRUE(err.data().contains("\r\x1b[K1 done, 1 answered, 0 failed, ")) << err.data().constData();
    EXPECT_FALSE(err.data().contains("left"));
    EXPECT_TRUE(err.data().endsWith("\r\x1b[K"));
    EXPECT_FALSE(out.data().contains('\r'));
}

TEST_F(BatchWorld, AStopListsTheQueriesNotRunAndPrintedReportsStayWhole)
{
    BatchOptions options;
    options.Json = true;
    options.PaceMs = 200;
    options.Jobs = 1;
    const QList<QByteArray> queries { "a.fr", "b.fr", "c.fr", "d.fr", "e.fr", "f.fr", "g.fr" };
    EXPECT_EQ(RunBatch(queries, options, 1), 1);
    const QList<QJsonObject> lines = JsonLines();
    ASSERT_EQ(lines.size(), queries.size());
    EXPECT_EQ(lines[0].value(QStringLiteral("outcome")).toString(), QStringLiteral("answered"));
    const QJsonArray sheet = lines[0].value(QStringLiteral("worksheet")).toArray();
    EXPECT_TRUE(sheet.contains(QStringLiteral("domain: found.fr")));
    int notRun = 0;
    for (int i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].value(QStringLiteral("query")).toString().toUtf8(), queries[i]);
        const QString outcome = lines[i].value(QStringLiteral("outcome")).toString();
        EXPECT_TRUE(outcome == u"not-run" || outcome == u"stopped" || outcome == u"answered") << outcome.toStdString();
        notRun += outcome == u"not-run" ? 1 : 0;
    }
    // One search thread and a window of four: at least the last two were never begun.
    EXPECT_GE(notRun, 2);
    EXPECT_EQ(lines.last().value(QStringLiteral("outcome")).toString(), QStringLiteral("not-run"));
    EXPECT_LE(fr.ConnectionCount(), 5);

    // Text mode lists them on standard error instead.
    out.buffer().clear();
    out.seek(0);
    options.Json = false;
    EXPECT_EQ(RunBatch({ "a.fr", "b.fr", "c.fr", "d.fr", "e.fr", "f.fr" }, options, 1), 1);
    EXPECT_TRUE(err.data().contains("vesk-query: not run: f.fr\n")) << err.data().constData();
    EXPECT_TRUE(out.data().contains("domain: found.fr"));
}

TEST_F(BatchWorld, UnsearchableLinesFailInTheirPlaceAndTheBatchGoesOn)
{
    const QByteArray input
        = "one.fr\r\n" + QByteArray(300, '0') + "\r\n" + QByteArray("bad\0.fr\r\n", 9) + "two.uk\r\n";
    for (const bool json : { false, true }) {
        SCOPED_TRACE(json ? "json" : "text");
        out.buffer().clear();
        out.seek(0);
        err.buffer().clear();
        err.seek(0);
        BatchOptions options;
        options.Json = json;
        options.PaceMs = 0;
        QByteArray text = input;
        QBuffer device(&text);
        device.open(QIODevice::ReadOnly);
        const SearchSetup setup { *world.Settings, *world.Log, world.Definitions, FixedNow, QLocale(), 1100, nullptr };
        BatchRun run(
            setup,
            [this](EventWait& wait) -> std::unique_ptr<WhoisTransport> {
                return std::make_unique<TcpWhoisTransport>(wait, book);
            },
            options, out, err);
        EXPECT_EQ(run.Run(device), 1);
        EXPECT_EQ(err.data(),
                  "vesk-query: line 2: The query is too long to search: it has 300 characters, and at most 255 are "
                  "accepted.\n"
                  "vesk-query: line 3: the line holds a NUL byte; it is skipped\n");
        if (json) {
            const QList<QJsonObject> lines = JsonLines();
            ASSERT_EQ(lines.size(), 3);
            EXPECT_EQ(lines[0].value(QStringLiteral("outcome")).toString(), QStringLiteral("answered"));
            EXPECT_EQ(lines[1].value(QStringLiteral("outcome")).toString(), QStringLiteral("error"));
            EXPECT_EQ(lines[1].value(QStringLiteral("line")).toInt(), 2);
            EXPECT_TRUE(lines[1].value(QStringLiteral("query_sent")).isNull());
            EXPECT_EQ(lines[2].value(QStringLiteral("query")).toString(), QStringLiteral("two.uk"));
            EXPECT_EQ(lines[2].value(QStringLiteral("line")).toInt(), 4);
        } else {
            // The failed line keeps its place as an empty report between the two found ones.
            const QByteArray printed = out.data();
            EXPECT_EQ(printed.count("\n\f\n"), 2);
            EXPECT_TRUE(printed.contains("\n\f\n\f\n")) << printed.constData();
            EXPECT_TRUE(printed.indexOf("domain: found.fr") < printed.indexOf("Domain name: found.uk"));
        }
    }
}

} // namespace
} // namespace vesk::test
