/// The recording wait: the engine's pauses, noted instead of sat out.
#pragma once

#include "common/event_wait.h"

#include <QList>

namespace vesk::test {

/// Returns at once and remembers each requested time, so tests see which exchanges paused and for how long. A
/// given condition is looked at once, as a wait that ends early would.
class RecordingWait final : public EventWait
{
public:
    bool WaitFor(int milliseconds, const Condition& done = {}) override
    {
        m_waits.append(milliseconds);
        return done && done();
    }

    const QList<int>& Waits() const { return m_waits; }

private:
    QList<int> m_waits;
};

} // namespace vesk::test
