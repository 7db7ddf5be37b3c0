// vesk-query's history, run as a user runs it against a loopback registry: what changed, looking back, the watch.

#include "history/history_store.h"
#include "query_binary_run.h"
#include "support/fake_whois_server.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

QByteArray RegistryReply(const QByteArray& expiry, const QByteArray& servers, const QByteArray& statuses,
                         const QByteArray& lastUpdate)
{
    return "   Domain Name: EXAMPLE.COM\r\n"
           "   Registrar: Example Registrar, Inc.\r\n"
           "   Registry Expiry Date: "
        + expiry + "\r\n" + statuses + servers
        + "   DNSSEC: unsigned\r\n>>> Last update of whois database: " + lastUpdate + " <<<\r\n";
}

const QByteArray kStatusTransfer
    = "   Domain Status: clientTransferProhibited https://icann.org/epp#clientTransferProhibited\r\n";
const QByteArray kStatusDelete
    = "   Domain Status: clientDeleteProhibited https://icann.org/epp#clientDeleteProhibited\r\n";
const QByteArray kServersAB = "   Name Server: A.IANA-SERVERS.NET\r\n   Name Server: B.IANA-SERVERS.NET\r\n";
const QByteArray kServersBC = "   Name Server: b.iana-servers.net\r\n   Name Server: C.IANA-SERVERS.NET\r\n";

const QByteArray kFirst = RegistryReply("2027-08-13T04:00:00Z", kServersAB, kStatusTransfer, "2026-12-08T10:00:00Z");
// The expiry moved, a name server swapped (the kept one in other case), a status added, the volatile line new.
const QByteArray kSecond = RegistryReply("2028-08-13T04:00:00.000+0000", kServersBC, kStatusTransfer + kStatusDelete,
                                         "2026-12-09T11:30:00Z");

class HistoryCommand : public ::testing::Test
{
protected:
    QueryBinaryRun Run(QStringList arguments)
    {
        arguments = QStringList { QStringLiteral("--history-file"),
                                  store(),
                                  QStringLiteral("--no-ip"),
                                  QStringLiteral("--no-contacts"),
                                  QStringLiteral("--resolve"),
                                  QStringLiteral("whois.verisign-grs.com:43:127.0.0.1:%1").arg(registry.Port()) }
            + arguments;
        return RunQueryBinary(arguments);
    }
    QString store() const { return dir.filePath(QStringLiteral("history.sqlite")); }

    QTemporaryDir dir;
    FakeWhoisServer registry;
};

TEST_F(HistoryCommand, ChangesNameExactlyWhatMovedBetweenTwoRuns)
{
    ASSERT_TRUE(registry.IsListening());
    registry.SetDefaultReply(kFirst);
    const QueryBinaryRun first = Run({ QStringLiteral("--changes"), QStringLiteral("example.com") });
    EXPECT_EQ(first.status, 0) << first.err.data();
    EXPECT_TRUE(first.out.endsWith("\nNo earlier report of example.com.\n\n")) << first.out.data();
    EXPECT_TRUE(first.err.isEmpty()) << first.err.data();

    registry.SetDefaultReply(kSecond);
    const QueryBinaryRun second = Run({ QStringLiteral("--changes"), QStringLiteral("EXAMPLE.com") });
    EXPECT_EQ(second.status, 0) << second.err.data();
    const qsizetype section = second.out.indexOf("CHANGES SINCE ");
    ASSERT_GT(section, 0) << second.out.data();
    const QByteArray changes = second.out.mid(section);
    QList<QByteArray> lines;
    for (const QByteArray& line : changes.split('\n')) {
        if (line.startsWith("changed") || line.startsWith("added") || line.startsWith("removed"))
            lines.append(line);
    }
    const QList<QByteArray> expected {
        "changed  Registry Expiry Date: 2027-08-13T04:00:00Z -> 2028-08-13T04:00:00.000+0000",
        "added    Domain Status: clientDeleteProhibited https://icann.org/epp#clientDeleteProhibited",
        "removed  Name Server: A.IANA-SERVERS.NET",
        "added    Name Server: C.IANA-SERVERS.NET",
    };
    EXPECT_EQ(lines.size(), expected.size()) << changes.data();
    for (const QByteArray& line : expected)
        EXPECT_TRUE(lines.contains(line)) << line.data() << "\n" << changes.data();
    EXPECT_FALSE(changes.contains("Last update")) << changes.data();

    // The JSON form names the same changes as objects.
    const QueryBinaryRun json
        = Run({ QStringLiteral("--changes"), QStringLiteral("--json"), QStringLiteral("example.com") });
    EXPECT_EQ(json.status, 0) << json.err.data();
    EXPECT_TRUE(json.out.contains("\"changes\":[]")) << json.out.data();
    EXPECT_TRUE(json.out.contains("\"changes_since\":\"")) << json.out.data();
}

TEST_F(HistoryCommand, HistoryListsNewestFirstAndShowGivesTheReportAsWritten)
{
    ASSERT_TRUE(registry.IsListening());
    registry.SetDefaultReply(kFirst);
    const QueryBinaryRun first = Run({ QStringLiteral("example.com") });
    registry.SetDefaultReply(kSecond);
    const QueryBinaryRun second = Run({ QStringLiteral("example.com") });
    ASSERT_EQ(first.status, 0);
    ASSERT_EQ(second.status, 0);
    const int asked = registry.ConnectionCount();

    const QueryBinaryRun list = Run({ QStringLiteral("--history"), QStringLiteral("Example.COM") });
    EXPECT_EQ(list.status, 0) << list.err.data();
    const QList<QByteArray> rows = list.out.split('\n');
    ASSERT_GE(rows.size(), 4) << list.out.data();
    EXPECT_TRUE(rows.at(2).startsWith("1 ") && rows.at(2).contains("answered") && rows.at(2).contains("2028-08-13"))
        << list.out.data();
    EXPECT_TRUE(rows.at(3).startsWith("2 ") && rows.at(3).contains("2027-08-13")
                && rows.at(3).contains("Example Registrar, Inc."))
        << list.out.data();

    const struct
    {
        const char* rank;
        const QueryBinaryRun& written;
    } shows[] = { { "1", second }, { "2", first } };
    for (const auto& show : shows) {
        SCOPED_TRACE(show.rank);
        const QueryBinaryRun shown = Run({ QStringLiteral("--history"), QStringLiteral("example.com"),
                                           QStringLiteral("--show"), QString::fromLatin1(show.rank) });
        EXPECT_EQ(shown.status, 0) << shown.err.data();
        EXPECT_EQ(shown.out, show.written.out);
    }
    const QueryBinaryRun beyond = Run(
        { QStringLiteral("--history"), QStringLiteral("example.com"), QStringLiteral("--show"), QStringLiteral("3") });
    EXPECT_EQ(beyond.status, 1);
    EXPECT_TRUE(beyond.err.contains("has only 2 recorded reports")) << beyond.err.data();
    const QueryBinaryRun unknown = Run({ QStringLiteral("--history"), QStringLiteral("other.com") });
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(registry.ConnectionCount(), asked); // looking back asks no server

    // --no-history records nothing; a clear leaves nothing to list.
    EXPECT_EQ(Run({ QStringLiteral("--no-history"), QStringLiteral("example.com") }).status, 0);
    EXPECT_EQ(Run({ QStringLiteral("--history"), QStringLiteral("example.com") }).out.count("answered"), 2);
    EXPECT_EQ(Run({ QStringLiteral("--history-clear") }).status, 0);
    EXPECT_EQ(Run({ QStringLiteral("--history"), QStringLiteral("example.com") }).status, 1);
}

TEST_F(HistoryCommand, AStoreThatCannotBeUsedNeverStopsTheSearch)
{
    ASSERT_TRUE(registry.IsListening());
    registry.SetDefaultReply(kFirst);
    // A file that is no database is set aside (kept) and a fresh store started; a folder cannot be a store at all.
    QFile corrupt(store());
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(QByteArray(4096, '\x5a'));
    corrupt.close();
    const QueryBinaryRun damaged = Run({ QStringLiteral("--changes"), QStringLiteral("example.com") });
    EXPECT_EQ(damaged.status, 0) << damaged.err.data();
    EXPECT_TRUE(damaged.out.contains("Registry Expiry Date: 2027-08-13T04:00:00Z")) << damaged.out.data();
    EXPECT_TRUE(damaged.err.contains("set aside")) << damaged.err.data();
    EXPECT_EQ(damaged.err.count('\n'), 1) << damaged.err.data();

    const QString folder = dir.filePath(QStringLiteral("a-folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QueryBinaryRun unusable = RunQueryBinary(
        { QStringLiteral("--history-file"), folder, QStringLiteral("--no-ip"), QStringLiteral("--no-contacts"),
          QStringLiteral("--resolve"), QStringLiteral("whois.verisign-grs.com:43:127.0.0.1:%1").arg(registry.Port()),
          QStringLiteral("example.com") });
    EXPECT_EQ(unusable.status, 0) << unusable.err.data();
    EXPECT_TRUE(unusable.out.contains("Registry Expiry Date: 2027-08-13T04:00:00Z"));
    EXPECT_TRUE(unusable.err.startsWith("vesk-query: history is unavailable: ")) << unusable.err.data();
    EXPECT_EQ(unusable.err.count('\n'), 1) << unusable.err.data();
}

TEST_F(HistoryCommand, ABatchRecordsEverySearchInInputOrder)
{
    ASSERT_TRUE(registry.IsListening());
    registry.SetDefaultReply(kFirst);
    QByteArray lines;
    QStringList expected;
    for (int i = 0; i < 40; ++i) {
        lines += "d" + QByteArray::number(i) + ".com\n";
        expected.prepend(QStringLiteral("d%1.com").arg(i));
    }
    const QString list = dir.filePath(QStringLiteral("batch.txt"));
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lines);
    file.close();
    const QueryBinaryRun run = Run({ QStringLiteral("--batch"), list, QStringLiteral("--pace"), QStringLiteral("0"),
                                     QStringLiteral("--jobs"), QStringLiteral("4") });
    ASSERT_EQ(run.status, 0) << run.err.data();
    // Every report handed to the history thread is written before the program ends, newest last.
    QStringList recorded;
    HistoryStore history(store());
    for (const ReportSummary& summary : history.Search(QString()))
        recorded << summary.Key;
    EXPECT_EQ(recorded, expected);
}

TEST_F(HistoryCommand, WatchExitStatusSaysWhatNeedsAttention)
{
    ASSERT_TRUE(registry.IsListening());
    const QByteArray soon = QDateTime::currentDateTimeUtc().addDays(10).toString(Qt::ISODate).toLatin1();
    const QString list = dir.filePath(QStringLiteral("watch.txt"));
    const auto watch = [&](const QByteArray& lines, QStringList more = {}) {
        QFile file(list);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(lines);
        file.close();
        return Run(QStringList { QStringLiteral("--watch"), list, QStringLiteral("--pace"), QStringLiteral("0") }
                   + more);
    };
    registry.SetModeFor("domain broken.com", FakeWhoisMode::CloseAtOnce);
    const struct
    {
        const char* name;
        QByteArray reply;
        QByteArray lines;
        QStringList more;
        int status;
        const char* says;
    } cases[] = {
        { "first watch: nothing earlier", kFirst, "example.com\n", {}, 0, "Changed: none" },
        { "same answer again", kFirst, "example.com\n", {}, 0, "Failed: none" },
        { "fields changed", kSecond, "example.com\n", {}, 3, "removed  Name Server: A.IANA-SERVERS.NET" },
        { "expiry within the default 30 days",
          RegistryReply(soon, kServersBC, kStatusTransfer, "x"),
          "example.com\n",
          {},
          3,
          "Expiring within 30 days:\n  example.com: " },
        { "the same expiry outside --expiring 5",
          RegistryReply(soon, kServersBC, kStatusTransfer, "y"),
          "example.com\n",
          { QStringLiteral("--expiring"), QStringLiteral("5") },
          0,
          "Expiring within 5 days: none" },
        { "a failure wins over a change", kFirst, "example.com\nbroken.com\n", {}, 1, "Failed:\n  broken.com" },
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        registry.SetDefaultReply(test.reply);
        const QueryBinaryRun run = watch(test.lines, test.more);
        EXPECT_EQ(run.status, test.status) << run.out.data() << run.err.data();
        const qsizetype summary = run.out.indexOf("\f\nWATCH SUMMARY\n");
        ASSERT_GE(summary, 0) << run.out.data();
        EXPECT_TRUE(run.out.mid(summary).contains(test.says)) << run.out.mid(summary).data();
    }
    EXPECT_EQ(Run({ QStringLiteral("--watch"), list, QStringLiteral("--batch"), list }).status, 2);
    EXPECT_EQ(Run({ QStringLiteral("--expiring"), QStringLiteral("3"), QStringLiteral("example.com") }).status, 2);
}

} // namespace
} // namespace vesk::test
