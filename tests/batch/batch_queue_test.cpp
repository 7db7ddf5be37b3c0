// The batch queue: which query runs next, the reorder window, reading no further than it, and what a stop leaves.

#include "batch/batch_queue.h"
#include "common/pacing_scheduler.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace vesk::test {
namespace {

// Entries named for their first host, read one by one; counts how far the queue has read.
struct ListSource
{
    QList<BatchEntry> Entries;
    int Read = 0;

    BatchSource Source()
    {
        return [this]() -> std::optional<BatchEntry> {
            if (Read >= Entries.size())
                return std::nullopt;
            return Entries[Read++];
        };
    }
};

ListSource Hosts(const QList<QByteArray>& hosts)
{
    ListSource list;
    for (const QByteArray& host : hosts)
        list.Entries.append(BatchEntry { host, list.Entries.size() + 1, host, {}, false });
    return list;
}

qint64 IndexOf(const std::optional<BatchTask>& task)
{
    return task ? task->Index : -1;
}

TEST(BatchQueue, HoldsNoMoreThanItsWindowAndPrefersIdleHosts)
{
    qint64 now = 0;
    PacingScheduler scheduler(100, [&now] { return now; });
    ListSource list = Hosts({ "a", "a", "b", "a", "c", "c" });
    BatchQueue queue(list.Source(), 3, &scheduler);
    EXPECT_EQ(IndexOf(queue.Take()), 0);
    // "a" has a search in flight: the next host without one goes first, out of input order.
    EXPECT_EQ(IndexOf(queue.Take()), 2);
    EXPECT_EQ(IndexOf(queue.Take()), 1);
    // The window (queries 0..2) is used up until query 0 is reported; nothing beyond it was read.
    EXPECT_EQ(list.Read, 3);
    queue.Finish(2, SearchOutcome {});
    queue.Finish(1, SearchOutcome {});
    EXPECT_FALSE(queue.ReadyToPrint());
    EXPECT_FALSE(queue.NextInOrder().has_value());
    queue.Finish(0, SearchOutcome {});
    EXPECT_EQ(queue.MostHeld(), 3);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(queue.NextInOrder().has_value());
    scheduler.Reserve("a");
    EXPECT_EQ(IndexOf(queue.Take()), 4); // "a" is paced until 100, "c" is free now
    queue.Stop();
    EXPECT_FALSE(queue.Take().has_value());
    // Reporting goes on in input order: 3 was never begun and is passed over, 4 is still to be finished.
    const std::optional<SearchOutcome> skipped = queue.SkipNotRun(false);
    ASSERT_TRUE(skipped.has_value());
    EXPECT_TRUE(skipped->NotRun);
    EXPECT_EQ(skipped->Line, 4);
    EXPECT_FALSE(queue.SkipNotRun(false).has_value());
    EXPECT_FALSE(queue.Done(false));
    queue.Finish(4, SearchOutcome {});
    ASSERT_TRUE(queue.NextInOrder().has_value());
    EXPECT_EQ(queue.SkipNotRun(false)->Line, 6);
    // The input was not read to its end: its last line read is named.
    EXPECT_TRUE(queue.Done(false));
    EXPECT_EQ(queue.UnreadAfterLine(), 6);
}

TEST(BatchQueue, AStoppedFileIsReadToItsEndAndRefusedLinesAreFinishedAsRead)
{
    ListSource list = Hosts({ "a", "b", "c", "d", "e", "f" });
    list.Entries[1].Problem = QStringLiteral("too long");
    BatchQueue queue(list.Source(), 2, nullptr);
    EXPECT_EQ(IndexOf(queue.Take()), 0);
    EXPECT_FALSE(queue.NextInOrder().has_value());
    queue.Finish(0, SearchOutcome {});
    ASSERT_TRUE(queue.NextInOrder().has_value());
    // The refused line never reaches a search thread; it is reported in its place with its reason.
    const std::optional<SearchOutcome> refused = queue.NextInOrder();
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->Refused);
    EXPECT_EQ(refused->Error, QStringLiteral("too long"));
    EXPECT_EQ(refused->Line, 2);
    queue.Stop();
    QList<qint64> notRun;
    while (const std::optional<SearchOutcome> skipped = queue.SkipNotRun(true))
        notRun.append(skipped->Line);
    EXPECT_EQ(notRun, QList<qint64>({ 3, 4, 5, 6 }));
    EXPECT_TRUE(queue.Done(true));
    EXPECT_EQ(queue.UnreadAfterLine(), 0);
}

SearchOutcome ReportOf(qsizetype characters)
{
    SearchOutcome outcome;
    outcome.Lines = { QString(characters, u'x') };
    return outcome;
}

TEST(BatchQueue, AFinishedReportBeyondTheMemoryBudgetWaitsForTheWriterAndIsNotLost)
{
    const qint64 oneReport = ReportOf(1000).HeldBytes();
    ListSource list = Hosts({ "a", "b", "c", "d" });
    BatchQueue queue(list.Source(), 4, nullptr, oneReport + oneReport / 2);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(IndexOf(queue.Take()), i);
    queue.Finish(1, ReportOf(1000));
    // Over the budget now: only the report due next may start, and it is under way.
    std::atomic<bool> finished = false;
    std::thread late([&] {
        queue.Finish(2, ReportOf(1000));
        finished = true;
    });
    QThread::msleep(50);
    EXPECT_FALSE(finished) << "a second report beyond the budget was taken in";
    queue.Finish(0, ReportOf(1000)); // the report due next is always taken in
    QList<qsizetype> written;
    while (written.size() < 3) {
        if (std::optional<SearchOutcome> outcome = queue.NextInOrder())
            written.append(outcome->Lines.first().size());
        else
            QThread::msleep(1);
    }
    late.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(written, QList<qsizetype>({ 1000, 1000, 1000 }));
    EXPECT_LE(queue.MostHeldBytes(), 2 * oneReport); // the one due next joined one already held; never three
}

// Over the budget with the whole input read, a search thread asking for work while the report due next is under
// way waits for room: were it to end, the queries not yet handed out would never run and the batch would not end.
TEST(BatchQueue, OverTheBudgetASearchThreadWaitsForRoomInsteadOfEnding)
{
    const qint64 oneReport = ReportOf(1000).HeldBytes();
    ListSource list = Hosts({ "a", "b", "c" });
    BatchQueue queue(list.Source(), 4, nullptr, oneReport / 2);
    ASSERT_EQ(IndexOf(queue.Take()), 0);
    ASSERT_EQ(IndexOf(queue.Take()), 1);
    queue.Finish(1, ReportOf(1000));
    std::atomic<qint64> taken = -2;
    std::thread searcher([&] { taken = IndexOf(queue.Take()); });
    QThread::msleep(50);
    EXPECT_EQ(taken, -2) << "the search thread ended with a query left";
    queue.Finish(0, ReportOf(10));
    int written = 0;
    while (written < 2) {
        if (queue.NextInOrder())
            ++written;
        else
            QThread::msleep(1);
    }
    searcher.join();
    EXPECT_EQ(taken, 2);
    queue.Finish(2, ReportOf(10));
    EXPECT_TRUE(queue.NextInOrder().has_value());
    EXPECT_TRUE(queue.Done(true));
}

// The replies that the searches under way have received count against the budget as well: beyond it, a search
// thread asking for work gets none, and a search not due next asks no further server, until the report due next
// has been written and left room.
TEST(BatchQueue, RepliesOfSearchesUnderWayCountAgainstTheBudget)
{
    ListSource list = Hosts({ "a", "b", "c" });
    BatchQueue queue(list.Source(), 4, nullptr, 1000);
    ASSERT_EQ(IndexOf(queue.Take()), 0);
    ASSERT_EQ(IndexOf(queue.Take()), 1);
    queue.Grow(1, 2000);
    // Beyond the budget a search not due next asks no further server; the one due next goes on.
    EXPECT_FALSE(queue.MayGoOn(1));
    EXPECT_TRUE(queue.MayGoOn(0));
    std::atomic<qint64> taken = -2;
    std::thread searcher([&] { taken = IndexOf(queue.Take()); });
    QThread::msleep(50);
    EXPECT_EQ(taken, -2) << "a search started while those under way held more than the budget";
    queue.Finish(0, SearchOutcome {});
    ASSERT_TRUE(queue.NextInOrder().has_value());
    QThread::msleep(50);
    EXPECT_EQ(taken, -2) << "the search due next still holds more than the budget";
    EXPECT_TRUE(queue.MayGoOn(1));
    queue.Finish(1, ReportOf(10));
    ASSERT_TRUE(queue.NextInOrder().has_value());
    searcher.join();
    EXPECT_EQ(taken, 2);
    EXPECT_GE(queue.MostHeldBytes(), 2000);
}

} // namespace
} // namespace vesk::test
