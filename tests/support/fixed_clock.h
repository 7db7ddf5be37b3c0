#pragma once

#include "common/clock.h"

#include <QDateTime>
#include <memory>

namespace vesk::test {

/// A clock that always answers `moment`.
inline Clock FixedClock(const QDateTime& moment)
{
    return [moment] { return moment; };
}

/// A clock the test moves by hand; copies of Clock() follow every Set.
class ManualClock
{
public:
    explicit ManualClock(const QDateTime& start)
        : m_now(std::make_shared<QDateTime>(start))
    { }

    /// Moves the time to `moment`.
    void Set(const QDateTime& moment) { *m_now = moment; }
    /// The current time of this clock.
    QDateTime Now() const { return *m_now; }
    /// A Clock that reads this one.
    vesk::Clock Clock() const
    {
        return [now = m_now] { return *now; };
    }

private:
    std::shared_ptr<QDateTime> m_now;
};

} // namespace vesk::test
