/// The non-spinning wait: how the engine and start-up let time pass while the window keeps handling its events.
#pragma once

#include "common/stop_request.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace vesk {

/// How a wait ended.
enum class WaitOutcome : uint8_t {
    Done, ///< the condition held
    Stopped, ///< the stop request was set
    TimedOut, ///< the time ran out
};

/// The one way the engine and the transport wait: for a condition, a stop request or the end of a time, while
/// the thread's events (repaints, clicks, socket notifications) keep being handled. Implementations never spin.
class EventWait
{
public:
    /// The longest stretch between two checks of the condition and the stop request.
    static constexpr int kSliceMs = 50;

    virtual ~EventWait() = default;

    /// Waits up to `milliseconds` until `done` holds or `stop` is requested, handling events meanwhile; both are
    /// checked before the first event and after every batch of events, at least every kSliceMs. An empty `done`
    /// never holds (a plain pause). A stop wins over a condition that holds at the same check. A wait of no time
    /// still handles the pending events once.
    virtual WaitOutcome WaitUntil(int milliseconds, const std::function<bool()>& done, const StopRequest& stop) = 0;
};

/// The production wait: the thread's event loop sleeps until an event or a precise slice timer wakes it, so a
/// wait costs no CPU and a stop is seen within one slice even when it comes from another thread. Without an
/// application object the thread sleeps in slices instead.
class EventLoopWait : public EventWait
{
public:
    WaitOutcome WaitUntil(int milliseconds, const std::function<bool()>& done, const StopRequest& stop) override;
};

/// The file-name part of `path` (after the last '/', '\\' or drive colon) cut before its last '.';
/// unchanged when it has no '.'. "C:\\A\\x.y.exe" gives "x.y".
QString FileNameNoExt(const QString& path);

} // namespace vesk
