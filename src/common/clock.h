/// The clock: the current local time, injectable so that tests can fix it.
#pragma once

#include <QDateTime>
#include <functional>

namespace vesk {

/// Source of the current local date and time. Production code passes SystemClock(); tests pass a fixed one.
using Clock = std::function<QDateTime()>;

inline Clock SystemClock()
{
    return [] { return QDateTime::currentDateTime(); };
}

} // namespace vesk
