/// The non-spinning wait: how the engine and start-up let time pass while the window keeps handling its events.
#pragma once

#include <QString>
#include <functional>

namespace vesk {

/// A wait that keeps the event loop turning. The engine receives one by reference, so that tests can record the
/// pauses instead of sitting them out, and so that the transport can wait for its socket through the same object.
class EventWait
{
public:
    /// Gives true when the waiting may end early (the awaited reply arrived, a stop was requested).
    using Condition = std::function<bool()>;

    /// The longest stretch between two looks at the condition.
    static constexpr int kSliceMilliseconds = 50;

    virtual ~EventWait() = default;

    /// Waits up to `milliseconds` while events are handled, looking at `done` (when given) before the wait and
    /// at least every kSliceMilliseconds. Gives true when `done` ended the wait, false when the time ran out. A
    /// time of 0 or less handles the pending events once.
    virtual bool WaitFor(int milliseconds, const Condition& done = {}) = 0;
};

/// The production wait: a nested event loop with a precise timer, which sleeps until an event or the timer
/// arrives and so costs no CPU. Without an application object the time simply passes.
class LoopWait final : public EventWait
{
public:
    bool WaitFor(int milliseconds, const Condition& done = {}) override;
};

/// The file-name part of `path` (after the last '/', '\\' or drive colon) cut before its last '.';
/// unchanged when it has no '.'. "C:\\A\\x.y.exe" gives "x.y".
QString FileNameNoExt(const QString& path);

} // namespace vesk
