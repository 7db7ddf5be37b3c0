#include "history/history_recorder.h"
#include "history/history_store.h"
#include "history/pending_reports.h"
#include "support/test_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace vesk::test {
namespace {

// A child process started by ManyWritersAtOnceLoseNoReport records into the store this names.
constexpr const char* kChildStoreVariable = "VESK_HISTORY_TEST_CHILD_STORE";
constexpr int kReportsPerWriter = 40;

const QDateTime kMorning(QDate(2026, 3, 7), QTime(9, 0), Qt::UTC);

QStringList Strings(const std::vector<const char*>& texts)
{
    QStringList list;
    for (const char* text : texts)
        list << QString::fromUtf8(text);
    return list;
}

SearchRecord Search(const QString& typed, RecordedOutcome outcome, const QString& registrar, int minute = 0)
{
    SearchRecord search;
    search.Typed = typed;
    search.Sent = typed.trimmed().toLower();
    search.Kind = QStringLiteral("domain");
    search.Started = kMorning.addSecs(60 * minute);
    search.Ended = search.Started.addMSecs(1500);
    search.Outcome = outcome;
    search.Report = QStringLiteral("Registrar: ") + registrar;
    search.Fields
        = { { QStringLiteral("Registrar"), {}, registrar },
            { QStringLiteral("Registry Expiry Date"), {}, QStringLiteral("2030-01-0%1").arg(minute % 9 + 1) } };
    search.Exchanges = { { QStringLiteral("whois"), QStringLiteral("whois.example"), QStringLiteral("answered"), 1234 },
                         { QStringLiteral("rdap"), QStringLiteral("rdap.example"), QStringLiteral("timeout"), 0 } };
    return search;
}

SearchRecord Search(const QString& typed, RecordedOutcome outcome, const char* registrar, int minute = 0)
{
    return Search(typed, outcome, QString::fromLatin1(registrar), minute);
}

QStringList Registrars(const QList<ReportSummary>& list)
{
    QStringList names;
    for (const ReportSummary& summary : list)
        names << summary.Registrar;
    return names;
}

class HistoryStoreTest : public ::testing::Test
{
protected:
    QString StorePath() const { return dir.filePath(QStringLiteral("data/history.sqlite")); }

    QTemporaryDir dir;
};

TEST_F(HistoryStoreTest, RecordThenLookBack)
{
    HistoryStore store(StorePath());
    ASSERT_TRUE(store.Available()) << store.Error().toStdString();
    // Private to its owner: reports name people and their addresses.
    EXPECT_EQ(QFileInfo(StorePath()).permissions(),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);

    const qint64 first = *store.Record(Search(QStringLiteral("Example.COM "), RecordedOutcome::Answered, "R1", 1));
    store.Record(Search(QStringLiteral("example.com"), RecordedOutcome::Stopped, "R2", 2));
    store.Record(Search(QStringLiteral("example.com"), RecordedOutcome::Failed, "R3", 3));
    const qint64 fourth = *store.Record(Search(QStringLiteral("example.com"), RecordedOutcome::Answered, "R4", 4));
    store.Record(Search(QStringLiteral("example.org"), RecordedOutcome::Answered, "O1", 5));
    SearchRecord idn = Search(QStringLiteral("bücher.de"), RecordedOutcome::Answered, "I1", 6);
    idn.Sent = QStringLiteral("xn--bcher-kva.de");
    store.Record(idn);

    struct Previous
    {
        const char* name;
        QString query;
        QString kind;
        std::optional<qint64> before;
        const char* registrar; // empty: none
    };
    const Previous previous[] = {
        { "newest answered", QStringLiteral("example.com"), QStringLiteral("domain"), std::nullopt, "R4" },
        { "stopped and failed never count", QStringLiteral("example.com"), QStringLiteral("domain"), fourth, "R1" },
        { "nothing before the first", QStringLiteral("example.com"), QStringLiteral("domain"), first, "" },
        { "the key is the query as sent, in lower case", QStringLiteral(" EXAMPLE.com"), QStringLiteral("domain"),
          std::nullopt, "R4" },
        { "an international name finds its ASCII form", QStringLiteral("Bücher.de"), QStringLiteral("domain"),
          std::nullopt, "I1" },
        { "the kind is part of the key", QStringLiteral("example.com"), QStringLiteral("address"), std::nullopt, "" },
        { "unknown query", QStringLiteral("example.net"), QStringLiteral("domain"), std::nullopt, "" },
    };
    for (const Previous& row : previous) {
        SCOPED_TRACE(row.name);
        const std::optional<StoredReport> report = store.Previous(row.query, row.kind, row.before);
        EXPECT_EQ(report ? RegistrarOf(report->Fields) : QString(), QString::fromLatin1(row.registrar));
    }

    const QList<ReportSummary> list = store.List(QStringLiteral("example.com"), QStringLiteral("domain"));
    EXPECT_EQ(Registrars(list), Strings({ "R4", "R3", "R2", "R1" }));
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list[1].Outcome, RecordedOutcome::Failed);
    EXPECT_EQ(list[2].Outcome, RecordedOutcome::Stopped);
    EXPECT_EQ(list[3].Expiry, QStringLiteral("2030-01-02"));
    EXPECT_EQ(list[3].Typed, QStringLiteral("Example.COM "));
    EXPECT_EQ(list[3].Started, kMorning.addSecs(60));
    EXPECT_EQ(list[3].Started.timeSpec(), Qt::UTC);

    // --show counts from 1 = newest and gives the report as it was written.
    const std::optional<StoredReport> oldest = store.Show(QStringLiteral("example.com"), QStringLiteral("domain"), 4);
    ASSERT_TRUE(oldest);
    const SearchRecord expected = Search(QStringLiteral("Example.COM "), RecordedOutcome::Answered, "R1", 1);
    EXPECT_EQ(oldest->Report, expected.Report);
    EXPECT_EQ(oldest->Fields, expected.Fields);
    EXPECT_EQ(oldest->Ended, expected.Ended);
    ASSERT_EQ(oldest->Exchanges.size(), 2);
    EXPECT_EQ(oldest->Exchanges[1].Server, QStringLiteral("rdap.example"));
    EXPECT_EQ(oldest->Exchanges[1].Outcome, QStringLiteral("timeout"));
    EXPECT_EQ(oldest->Exchanges[0].Bytes, 1234);
    for (const int rank : { 0, -1, 5 })
        EXPECT_FALSE(store.Show(QStringLiteral("example.com"), QStringLiteral("domain"), rank)) << rank;

    // The History window's filter: newest first, case-insensitive, wildcards taken literally.
    EXPECT_EQ(Registrars(store.Search(QStringLiteral("EXAMPLE"))), Strings({ "O1", "R4", "R3", "R2", "R1" }));
    EXPECT_EQ(Registrars(store.Search(QStringLiteral("bcher"))), Strings({ "I1" }));
    EXPECT_EQ(store.Search(QString()).size(), 6);
    EXPECT_EQ(store.Search(QString(), 2).size(), 2);
    EXPECT_TRUE(store.Search(QStringLiteral("%")).isEmpty());
    EXPECT_TRUE(store.Search(QStringLiteral("example_com")).isEmpty());

    EXPECT_GT(store.StoredBytes(), 0);
    EXPECT_TRUE(store.Clear());
    EXPECT_TRUE(store.Search(QString()).isEmpty());
    EXPECT_EQ(store.StoredBytes(), 0);
    EXPECT_TRUE(store.Error().isEmpty());
}

TEST_F(HistoryStoreTest, NewReportIsComparedWithThePreviousAnsweredOne)
{
    HistoryStore store(StorePath());
    const SearchRecord first = Search(QStringLiteral("Example.com"), RecordedOutcome::Answered, "R1", 1);
    const ChangesSincePrevious none = CompareWithPrevious(store, first, store.Record(first));
    EXPECT_FALSE(none.Previous);
    EXPECT_EQ(none.Section, Strings({ "No earlier report of Example.com.", "" }));

    store.Record(Search(QStringLiteral("example.com"), RecordedOutcome::Failed, "R2", 2));
    const SearchRecord third = Search(QStringLiteral("example.com"), RecordedOutcome::Answered, "R3", 3);
    const ChangesSincePrevious since = CompareWithPrevious(store, third, store.Record(third));
    ASSERT_TRUE(since.Previous);
    EXPECT_EQ(
        since.Section.mid(3),
        Strings({ "changed  Registrar: R1 -> R3", "changed  Registry Expiry Date: 2030-01-02 -> 2030-01-04", "" }));
    EXPECT_TRUE(
        since.Section[1].contains(kMorning.addSecs(60).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
}

TEST_F(HistoryStoreTest, RetentionRemovesTheOldestFirst)
{
    {
        // At most three reports of a query; the other queries keep theirs.
        HistoryStore store(StorePath(), RetentionLimits { 3, 0 });
        for (int i = 1; i <= 5; ++i)
            store.Record(
                Search(QStringLiteral("a.example"), RecordedOutcome::Answered, QStringLiteral("A%1").arg(i), i));
        store.Record(Search(QStringLiteral("b.example"), RecordedOutcome::Answered, "B1"));
        EXPECT_EQ(Registrars(store.List(QStringLiteral("a.example"), QStringLiteral("domain"))),
                  Strings({ "A5", "A4", "A3" }));
        EXPECT_EQ(store.List(QStringLiteral("b.example"), QStringLiteral("domain")).size(), 1);
    }
    {
        // No limits while recording; a prune applies tighter ones at once.
        HistoryStore store(StorePath(), RetentionLimits { 0, 0 });
        for (int i = 6; i <= 9; ++i)
            store.Record(
                Search(QStringLiteral("a.example"), RecordedOutcome::Answered, QStringLiteral("A%1").arg(i), i));
        EXPECT_EQ(store.List(QStringLiteral("a.example"), QStringLiteral("domain")).size(), 7);
    }
    {
        HistoryStore store(StorePath(), RetentionLimits { 2, 0 });
        EXPECT_TRUE(store.Prune());
        EXPECT_EQ(Registrars(store.List(QStringLiteral("a.example"), QStringLiteral("domain"))),
                  Strings({ "A9", "A8" }));
        EXPECT_EQ(store.Search(QString()).size(), 3);
    }
    {
        // The total: the oldest reports of any query go until the rest fits; the newest always stays.
        HistoryStore store(dir.filePath(QStringLiteral("total.sqlite")), RetentionLimits { 100, 5000 });
        for (int i = 1; i <= 6; ++i) {
            SearchRecord search = Search(QStringLiteral("q%1.example").arg(i), RecordedOutcome::Answered,
                                         QStringLiteral("Q%1").arg(i), i);
            search.Report = QString(1000, u'x');
            store.Record(search);
        }
        EXPECT_LE(store.StoredBytes(), 5000);
        EXPECT_EQ(Registrars(store.Search(QString())), Strings({ "Q6", "Q5", "Q4", "Q3" }));
        SearchRecord huge = Search(QStringLiteral("huge.example"), RecordedOutcome::Answered, "H");
        huge.Report = QString(20000, u'x');
        ASSERT_TRUE(store.Record(huge));
        EXPECT_EQ(Registrars(store.Search(QString())), Strings({ "H" }));
        // A removed report takes its text and exchanges with it: nothing is left behind to grow the file.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(dir.filePath(QStringLiteral("total.sqlite"))).constData(), &db),
                  SQLITE_OK);
        sqlite3_stmt* count = nullptr;
        sqlite3_prepare_v2(db, "SELECT (SELECT count(*) FROM report_texts), (SELECT count(*) FROM exchanges);", -1,
                           &count, nullptr);
        ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(count, 0), 1);
        EXPECT_EQ(sqlite3_column_int(count, 1), 2);
        sqlite3_finalize(count);
        sqlite3_close(db);
    }
}

TEST_F(HistoryStoreTest, BrokenStoreNeverStopsASearch)
{
    const QByteArray garbage = QByteArray("not a database at all\n").repeated(500);
    {
        SCOPED_TRACE("a file that is no database is set aside, not deleted");
        WriteWholeFile(StorePath(), garbage);
        HistoryStore store(StorePath());
        ASSERT_TRUE(store.Available()) << store.Error().toStdString();
        EXPECT_FALSE(store.SetAsidePath().isEmpty());
        EXPECT_TRUE(store.Error().contains(store.SetAsidePath()));
        EXPECT_EQ(ReadWholeFile(store.SetAsidePath()), garbage);
        EXPECT_TRUE(store.Record(Search(QStringLiteral("example.com"), RecordedOutcome::Answered, "R1")));
    }
    {
        SCOPED_TRACE("damaged pages found while recording");
        const QString path = dir.filePath(QStringLiteral("damaged.sqlite"));
        {
            HistoryStore store(path);
            for (int i = 0; i < 50; ++i)
                store.Record(Search(QStringLiteral("example.com"), RecordedOutcome::Answered, QString(2000, u'r')));
        }
        {
            // The newest pages still wait in the write-ahead log, where the damage below would not reach them;
            // copied back into the file (as a later writer would) every page is hit.
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
            EXPECT_EQ(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        QByteArray bytes = ReadWholeFile(path);
        ASSERT_GT(bytes.size(), 3 * 4096);
        bytes.replace(4096, bytes.size() - 4096, QByteArray(bytes.size() - 4096, '\xA5'));
        WriteWholeFile(path, bytes);
        HistoryStore store(path);
        ASSERT_TRUE(store.Available()) << store.Error().toStdString();
        EXPECT_TRUE(store.Record(Search(QStringLiteral("example.com"), RecordedOutcome::Answered, "R2")))
            << store.Error().toStdString();
        EXPECT_FALSE(store.SetAsidePath().isEmpty());
        EXPECT_EQ(Registrars(store.List(QStringLiteral("example.com"), QStringLiteral("domain"))), Strings({ "R2" }));
    }
    {
        SCOPED_TRACE("a store of a newer version is left as it is");
        const QString path = dir.filePath(QStringLiteral("newer.sqlite"));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE future(x); PRAGMA user_version = 99;", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        const QByteArray before = ReadWholeFile(path);
        HistoryStore store(path);
        EXPECT_FALSE(store.Available());
        EXPECT_TRUE(store.Error().contains(QStringLiteral("newer version"))) << store.Error().toStdString();
        EXPECT_FALSE(store.Record(Search(QStringLiteral("example.com"), RecordedOutcome::Answered, "R1")));
        EXPECT_TRUE(store.List(QStringLiteral("example.com"), QStringLiteral("domain")).isEmpty());
        EXPECT_FALSE(store.Prune());
        EXPECT_EQ(ReadWholeFile(path), before);
    }
    {
        SCOPED_TRACE("a store of the earlier version is brought up to date, its reports kept");
        const QString path = dir.filePath(QStringLiteral("earlier.sqlite"));
        HistoryStore(path).Record(Search(QStringLiteral("example.com"), RecordedOutcome::Answered, "R1"));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "DROP INDEX reports_by_pending; ALTER TABLE reports DROP COLUMN pending;"
                               " PRAGMA user_version = 1;",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
        HistoryStore store(path);
        ASSERT_TRUE(store.Available()) << store.Error().toStdString();
        EXPECT_TRUE(store.Record(Search(QStringLiteral("example.com"), RecordedOutcome::Answered, "R2", 1)));
        EXPECT_EQ(Registrars(store.List(QStringLiteral("example.com"), QStringLiteral("domain"))),
                  Strings({ "R2", "R1" }));
    }
    {
        SCOPED_TRACE("a folder that cannot be made");
        WriteWholeFile(dir.filePath(QStringLiteral("file")), "x");
        HistoryStore store(dir.filePath(QStringLiteral("file/history.sqlite")));
        EXPECT_FALSE(store.Available());
        EXPECT_FALSE(store.Error().isEmpty());
        EXPECT_FALSE(store.Record(Search(QStringLiteral("example.com"), RecordedOutcome::Answered, "R1")));
        EXPECT_FALSE(store.Previous(QStringLiteral("example.com"), QStringLiteral("domain")));
        EXPECT_FALSE(store.Clear());
    }
}

TEST_F(HistoryStoreTest, PendingReportsAreTakenInOnceOldestFirst)
{
    HistoryStore(StorePath()).Record(Search(QStringLiteral("first.example"), RecordedOutcome::Answered, "R0", 0));
    QString error;
    for (const int minute : { 3, 1, 2 }) {
        SearchRecord pending
            = Search(QStringLiteral("m%1.example").arg(minute), RecordedOutcome::Answered, "R", minute);
        pending.Fields.clear(); // read when taken in
        ASSERT_TRUE(SavePendingReport(StorePath(), pending, error)) << error.toStdString();
    }
    // A file that is no report is set aside; it keeps no other report out.
    QFile damaged(PendingFolder(StorePath()) + QStringLiteral("/0000000000000-1-1.report"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("not a report");
    damaged.close();

    const auto typed = [](HistoryStore& store) {
        QStringList list;
        for (const ReportSummary& summary : store.Search(QString()))
            list << summary.Typed;
        return list;
    };
    const QStringList expected = Strings({ "m3.example", "m2.example", "m1.example", "first.example" });
    const QList<PendingReport> left = FindPendingReports(StorePath(), 10);
    ASSERT_EQ(left.size(), 4); // the damaged one first: its name sorts first
    ASSERT_TRUE(left.at(1).Search);
    const QByteArray firstBytes = ReadWholeFile(left.at(1).File);
    {
        HistoryStore store(StorePath());
        EXPECT_EQ(typed(store), expected);
    }
    EXPECT_EQ(CountPendingReports(StorePath(), 100), 0);
    EXPECT_TRUE(QFileInfo::exists(damaged.fileName() + QStringLiteral(".broken")));

    // Taken in by another program that ended before it removed the file: kept once all the same.
    WriteWholeFile(left.at(1).File, firstBytes);
    HistoryStore store(StorePath());
    EXPECT_EQ(typed(store), expected);
    // A connection open for long (the window's) sees what later plain searches left.
    ASSERT_TRUE(
        SavePendingReport(StorePath(), Search(QStringLiteral("m4.example"), RecordedOutcome::Answered, "R", 4), error));
    EXPECT_EQ(typed(store).front(), QStringLiteral("m4.example"));
    // Clearing the history removes what waits beside it too.
    ASSERT_TRUE(
        SavePendingReport(StorePath(), Search(QStringLiteral("m9.example"), RecordedOutcome::Answered, "R", 9), error));
    EXPECT_TRUE(store.Clear());
    EXPECT_TRUE(typed(store).isEmpty());
    EXPECT_EQ(CountPendingReports(StorePath(), 100), 0);
}

TEST_F(HistoryStoreTest, ADamagedPendingReportReadsAsNone)
{
    QString error;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(StorePath()).absolutePath()));
    ASSERT_TRUE(
        SavePendingReport(StorePath(), Search(QStringLiteral("cut.example"), RecordedOutcome::Failed, "R"), error));
    const QList<PendingReport> whole = FindPendingReports(StorePath(), 10);
    ASSERT_EQ(whole.size(), 1);
    ASSERT_TRUE(whole.front().Search);
    EXPECT_EQ(whole.front().Search->Exchanges,
              Search(QStringLiteral("cut.example"), RecordedOutcome::Failed, "R").Exchanges);
    QFile file(whole.front().File);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    // Every cut, and a count or length that claims more than the file holds, reads as no report.
    QByteArray huge = bytes;
    huge.replace(8, 8, QByteArray(8, '\xff'));
    QList<QByteArray> damaged { huge };
    for (qsizetype size = 0; size < bytes.size(); ++size)
        damaged << bytes.left(size);
    for (const QByteArray& text : damaged) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        const QList<PendingReport> found = FindPendingReports(StorePath(), 10);
        ASSERT_EQ(found.size(), 1);
        EXPECT_FALSE(found.front().Search) << text.size();
    }
}

TEST_F(HistoryStoreTest, ARecorderWritesWhatWaitedForALockedStoreInOrder)
{
    HistoryStore(StorePath()).Record(Search(QStringLiteral("first.example"), RecordedOutcome::Answered, "R0"));
    // Another program holds the store's write lock for a while.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(StorePath()).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr), SQLITE_OK);
    constexpr int kReports = 100; // more than may wait at once: the submitter waits too
    {
        HistoryRecorder recorder(StorePath(), RetentionLimits(), true);
        std::thread submitter([&recorder] {
            for (int i = 0; i < kReports; ++i)
                recorder.Submit(
                    [i] { return Search(QStringLiteral("q%1.example").arg(i), RecordedOutcome::Answered, "R", i); },
                    false);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "COMMIT;", nullptr, nullptr, nullptr);
        submitter.join();
    }
    sqlite3_close(other);
    HistoryStore store(StorePath());
    const QList<ReportSummary> all = store.Search(QString());
    ASSERT_EQ(all.size(), kReports + 1);
    for (int i = 0; i < kReports; ++i)
        EXPECT_EQ(all[kReports - 1 - i].Typed, QStringLiteral("q%1.example").arg(i));
}

// Not a test of its own: the writer that ManyWritersAtOnceLoseNoReport starts as a separate process.
TEST(HistoryStoreChild, RecordsIntoTheNamedStore)
{
    const QString path = qEnvironmentVariable(kChildStoreVariable);
    if (path.isEmpty())
        GTEST_SKIP() << "started by ManyWritersAtOnceLoseNoReport only";
    HistoryStore store(path);
    ASSERT_TRUE(store.Available()) << store.Error().toStdString();
    for (int i = 0; i < kReportsPerWriter; ++i) {
        ASSERT_TRUE(store.Record(
            Search(QStringLiteral("child.example"), RecordedOutcome::Answered, QStringLiteral("C%1").arg(i))))
            << store.Error().toStdString();
    }
}

TEST_F(HistoryStoreTest, ManyWritersAtOnceLoseNoReport)
{
    const RetentionLimits unlimited { 0, 0 };
    {
        HistoryStore create(StorePath(), unlimited);
    }

    constexpr int kProcesses = 2;
    constexpr int kThreads = 2;
    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < kProcesses; ++i) {
        auto child = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kChildStoreVariable), StorePath());
        child->setProcessEnvironment(environment);
        child->setProcessChannelMode(QProcess::MergedChannels);
        child->start(QCoreApplication::applicationFilePath(),
                     { QStringLiteral("--gtest_filter=HistoryStoreChild.RecordsIntoTheNamedStore") });
        children.push_back(std::move(child));
    }
    std::vector<std::thread> threads;
    std::atomic<int> failures { 0 };
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread its own connection, as SQLite asks.
            HistoryStore store(StorePath(), unlimited);
            for (int i = 0; i < kReportsPerWriter; ++i) {
                if (!store.Record(Search(QStringLiteral("thread%1.example").arg(t), RecordedOutcome::Answered,
                                         QStringLiteral("T%1").arg(i))))
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const auto& child : children) {
        ASSERT_TRUE(child->waitForFinished(120000));
        EXPECT_EQ(child->exitCode(), 0) << child->readAll().toStdString();
    }
    EXPECT_EQ(failures, 0);
    {
        HistoryStore store(StorePath(), unlimited);
        EXPECT_EQ(store.Search(QString(), 100000).size(), (kProcesses + kThreads) * kReportsPerWriter);
        EXPECT_EQ(store.List(QStringLiteral("child.example"), QStringLiteral("domain")).size(),
                  kProcesses * kReportsPerWriter);
    }
    // The log the next program reads first stays short whatever the number of reports (160 here, some 4 MiB of log).
    EXPECT_LT(QFileInfo(StorePath() + QStringLiteral("-wal")).size(), 1024 * 1024);
}

} // namespace
} // namespace vesk::test
