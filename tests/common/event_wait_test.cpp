#include "common/day_numbers.h"
#include "common/event_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>
#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(FileNameNoExtTest, CutsThePathAndTheLastExtension)
{
    const struct
    {
        const char *path, *expected;
    } rows[] = {
        { "C:\\A\\vesk.exe", "vesk" },
        { "C:\\A\\x.y.exe", "x.y" },
        { "C:\\A\\noext", "noext" },
        { "C:vesk.exe", "vesk" },
        { "/usr/local/bin/vesk-query", "vesk-query" },
        { "/opt/v.d/vesk", "vesk" }, // a dot in a folder name is not an extension
        { "vesk.", "vesk" },
        { "", "" },
        { "C:\\A\\", "" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(FileNameNoExt(QString::fromLatin1(row.path)), QString::fromLatin1(row.expected));
    }
}

TEST(EventLoopWaitTest, HandlesEventsWhileWaitingTheFullTime)
{
    bool timerFired = false;
    bool queuedRan = false;
    QTimer::singleShot(5, [&] { timerFired = true; });
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { queuedRan = true; }, Qt::QueuedConnection);
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(EventLoopWait().WaitUntil(60, {}, StopRequest()), WaitOutcome::TimedOut);
    EXPECT_GE(elapsed.elapsed(), 60);
    EXPECT_TRUE(timerFired);
    EXPECT_TRUE(queuedRan);
}

TEST(EventLoopWaitTest, ZeroHandlesPendingEventsOnce)
{
    bool queuedRan = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { queuedRan = true; }, Qt::QueuedConnection);
    EventLoopWait().WaitUntil(0, {}, StopRequest());
    EXPECT_TRUE(queuedRan);
    EventLoopWait().WaitUntil(-5, {}, StopRequest());
}

TEST(EventLoopWaitTest, AQuitDuringTheWaitDoesNotCutItShort)
{
    QTimer::singleShot(5, [] { QCoreApplication::exit(0); });
    QElapsedTimer elapsed;
    elapsed.start();
    EventLoopWait().WaitUntil(40, {}, StopRequest());
    EXPECT_GE(elapsed.elapsed(), 40);
}

TEST(EventLoopWaitTest, EndsWhenTheConditionTurnsTrue)
{
    // A condition set by an event ends the wait within a slice; one already true ends it before any waiting.
    // The generous bound only proves the wait did not run its full time.
    bool arrived = false;
    QTimer::singleShot(10, [&] { arrived = true; });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(EventLoopWait().WaitUntil(
                  60000, [&] { return arrived; }, StopRequest()),
              WaitOutcome::Done);
    EXPECT_LT(elapsed.elapsed(), 30000);
    EXPECT_EQ(EventLoopWait().WaitUntil(
                  60000, [] { return true; }, StopRequest()),
              WaitOutcome::Done);
    EXPECT_EQ(EventLoopWait().WaitUntil(
                  1, [] { return false; }, StopRequest()),
              WaitOutcome::TimedOut);
}

TEST(EventLoopWaitTest, AStopFromAnEventEndsTheWaitAndWinsOverTheCondition)
{
    StopRequest stop;
    QTimer::singleShot(10, [&] { stop.Request(); });
    EXPECT_EQ(EventLoopWait().WaitUntil(60000, {}, stop), WaitOutcome::Stopped);
    EXPECT_EQ(EventLoopWait().WaitUntil(
                  60000, [] { return true; }, stop),
              WaitOutcome::Stopped);
}

TEST(DayNumberTest, CountsFromTheLastDaysOf1899)
{
    EXPECT_EQ(DayNumber(QDate(1899, 12, 30)), 0);
    EXPECT_EQ(DayNumber(QDate(1900, 1, 1)), 2);
    EXPECT_EQ(DayNumber(QDate(2004, 1, 14)), 38000);
    EXPECT_EQ(DateOfDayNumber(38000), QDate(2004, 1, 14));
    EXPECT_DOUBLE_EQ(DayNumberWithTime(QDateTime(QDate(2004, 1, 14), QTime(18, 0))), 38000.75);
}

} // namespace
} // namespace vesk
