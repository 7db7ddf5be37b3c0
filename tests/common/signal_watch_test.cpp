#include "common/signal_watch.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace vesk {
namespace {

// Handles events until `calls` reaches `expected` or a generous deadline passes.
void WaitForCalls(const int& calls, int expected)
{
    const QDeadlineTimer deadline(10000);
    while (calls < expected && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

TEST(SignalWatchTest, DeliversEachWatchedSignalFromTheEventLoop)
{
    int calls = 0;
    {
        SignalWatch watch({ SIGUSR1, SIGUSR2 }, SignalWatch::Repeat::Deliver, [&calls] { ++calls; });
        ASSERT_TRUE(watch.IsActive());
        std::raise(SIGUSR1);
        EXPECT_EQ(calls, 0) << "the handler only writes to the pipe";
        WaitForCalls(calls, 1);
        EXPECT_EQ(calls, 1);
        std::raise(SIGUSR2);
        WaitForCalls(calls, 2);
        EXPECT_EQ(calls, 2) << "a repeated signal is delivered again";
    }
    // Gone with the watch: the default action is back (SIGUSR1 would end the process, so only the handler is read).
    struct sigaction current
    {
    };
    sigaction(SIGUSR1, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

} // namespace
} // namespace vesk
