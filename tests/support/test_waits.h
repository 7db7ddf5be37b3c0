#pragma once

#include "common/event_wait.h"

#include <QList>
#include <functional>

namespace vesk::test {

/// A wait that takes no time: it remembers how long it was asked to wait, runs a hook where the real wait would
/// handle events (tests press stop there), and ends as the real one would end at once.
class InstantWait : public EventWait
{
public:
    WaitOutcome WaitUntil(int milliseconds, const std::function<bool()>& done, const StopRequest& stop) override
    {
        m_waits.append(milliseconds);
        if (m_hook)
            m_hook(static_cast<int>(m_waits.size()));
        if (stop.IsRequested())
            return WaitOutcome::Stopped;
        if (done && done())
            return WaitOutcome::Done;
        return WaitOutcome::TimedOut;
    }

    /// Runs inside every wait, with the number of the wait (from 1).
    void SetHook(std::function<void(int wait)> hook) { m_hook = std::move(hook); }
    /// The length of every wait asked for, in order.
    const QList<int>& Waits() const { return m_waits; }

private:
    std::function<void(int)> m_hook;
    QList<int> m_waits;
};

/// The production wait, for tests of code that needs real events (sockets, resolver); it holds no state.
inline EventWait& LoopWait()
{
    static EventLoopWait wait;
    return wait;
}

/// A stop request that is never made, for calls that take one.
inline const StopRequest& NeverStop()
{
    static const StopRequest never;
    return never;
}

} // namespace vesk::test
