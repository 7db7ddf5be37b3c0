// The batch queue: which query runs next, the reorder window, and what a stop leaves.

#include "batch/batch_queue.h"
#include "common/pacing_scheduler.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

TEST(BatchQueue, HoldsNoMoreThanItsWindowAndPrefersIdleHosts)
{
    qint64 now = 0;
    PacingScheduler scheduler(100, [&now] { return now; });
    BatchQueue queue({ "a", "a", "b", "a", "c", "c" }, 3, &scheduler);
    EXPECT_EQ(queue.Take(), 0);
    // "a" has a search in flight: the next host without one goes first, out of input order.
    EXPECT_EQ(queue.Take(), 2);
    EXPECT_EQ(queue.Take(), 1);
    // The window (queries 0..2) is used up until query 0 is printed; finishing later ones does not free it.
    queue.Finish(2, SearchOutcome {});
    queue.Finish(1, SearchOutcome {});
    EXPECT_FALSE(queue.ReadyToPrint());
    EXPECT_FALSE(queue.NextInOrder().has_value());
    queue.Finish(0, SearchOutcome {});
    EXPECT_EQ(queue.MostHeld(), 3);
    for (int expected = 0; expected < 3; ++expected) {
        ASSERT_TRUE(queue.NextInOrder().has_value());
        EXPECT_EQ(queue.NextToPrint(), expected + 1);
    }
    scheduler.Reserve("a");
    EXPECT_EQ(queue.Take(), 4); // "a" is paced until 100, "c" is free now
    queue.Stop();
    EXPECT_FALSE(queue.Take().has_value());
    EXPECT_EQ(queue.NotTaken(), QList<int>({ 3, 5 }));
    // Printing goes on in input order: 3 was never begun and is passed over, 4 is still to be finished.
    EXPECT_EQ(queue.SkipNotRun(), 3);
    EXPECT_FALSE(queue.SkipNotRun().has_value());
    EXPECT_FALSE(queue.Drained());
    queue.Finish(4, SearchOutcome {});
    ASSERT_TRUE(queue.NextInOrder().has_value());
    EXPECT_EQ(queue.SkipNotRun(), 5);
    EXPECT_TRUE(queue.Drained());
}

} // namespace
} // namespace vesk::test
