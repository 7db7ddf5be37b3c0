// The pacing scheduler on a clock the test moves: the starts it hands out, the back-off, hosts side by side.

#include "common/pacing_scheduler.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

struct ManualClock
{
    qint64 now = 1000;
    MonotonicClock Clock()
    {
        return [this] { return now; };
    }
};

TEST(PacingScheduler, StartsAtOneHostAreAtLeastThePaceApartWhateverTheLetterCase)
{
    ManualClock clock;
    PacingScheduler scheduler(100, clock.Clock());
    EXPECT_EQ(scheduler.Reserve("whois.example"), 1000);
    EXPECT_EQ(scheduler.Reserve("WHOIS.Example"), 1100);
    EXPECT_EQ(scheduler.Reserve("whois.example"), 1200);
    EXPECT_EQ(scheduler.NextFree("whois.example"), 1300);
    // Time that passed idle is not banked: the next start is now, not a burst of old slots.
    clock.now = 5000;
    EXPECT_EQ(scheduler.Reserve("whois.example"), 5000);
    EXPECT_EQ(scheduler.Reserve("whois.example"), 5100);

    PacingScheduler unpaced(0, clock.Clock());
    EXPECT_EQ(unpaced.Reserve("a"), 5000);
    EXPECT_EQ(unpaced.Reserve("a"), 5000);
}

TEST(PacingScheduler, HostsDoNotWaitForEachOther)
{
    ManualClock clock;
    PacingScheduler scheduler(1100, clock.Clock());
    for (int i = 0; i < 5; ++i)
        scheduler.Reserve("busy.example");
    EXPECT_EQ(scheduler.NextFree("busy.example"), 1000 + 5 * 1100);
    EXPECT_EQ(scheduler.Reserve("other.example"), 1000);
    EXPECT_EQ(scheduler.NextFree("never.asked"), 1000);
}

TEST(PacingScheduler, RateLimitedHostIsPacedTwiceAsSlowlyAndAtLeastOneSecond)
{
    ManualClock clock;
    PacingScheduler scheduler(100, clock.Clock());
    EXPECT_EQ(scheduler.Reserve("slow.example"), 1000);
    EXPECT_EQ(scheduler.Reserve("slow.example"), 1100);
    scheduler.SlowDown("Slow.Example");
    EXPECT_EQ(scheduler.PaceFor("slow.example"), 1000);
    // Also the start reserved after the last one moves back.
    EXPECT_EQ(scheduler.Reserve("slow.example"), 2100);
    scheduler.SlowDown("slow.example");
    EXPECT_EQ(scheduler.PaceFor("slow.example"), 2000);
    EXPECT_EQ(scheduler.Reserve("slow.example"), 4100);
    EXPECT_EQ(scheduler.PaceFor("fast.example"), 100);

    PacingScheduler polite(1100, clock.Clock());
    polite.SlowDown("never.started");
    EXPECT_EQ(polite.PaceFor("never.started"), 2200);
    EXPECT_EQ(polite.Reserve("never.started"), 1000);
    EXPECT_EQ(polite.Reserve("never.started"), 3200);
}

TEST(PacingScheduler, BackOffStopsAtOneMinuteAndNeverSpeedsUpAGivenSlowPace)
{
    ManualClock clock;
    PacingScheduler scheduler(1100, clock.Clock());
    // Forty notices in a row would overflow a doubling int many times over.
    for (int i = 0; i < 40; ++i)
        scheduler.SlowDown("refusing.example");
    EXPECT_EQ(scheduler.PaceFor("refusing.example"), PacingScheduler::kMaxBackoffMs);
    EXPECT_EQ(scheduler.Reserve("refusing.example"), 1000);
    EXPECT_EQ(scheduler.Reserve("refusing.example"), 61000);

    PacingScheduler patient(90000, clock.Clock());
    patient.SlowDown("slow.example");
    EXPECT_EQ(patient.PaceFor("slow.example"), 90000);
}

} // namespace
} // namespace vesk::test
