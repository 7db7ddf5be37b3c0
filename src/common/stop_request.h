#pragma once

#include <atomic>

namespace vesk {

/// One search's stop request: set by the user (a button, Ctrl-C), read by whoever waits on the search's behalf.
/// An atomic flag, so a request may come from another thread than the one that waits.
class StopRequest
{
public:
    /// Asks the search to stop; later requests change nothing.
    void Request() { m_requested.store(true); }
    /// Forgets a request, for the start of a search.
    void Clear() { m_requested.store(false); }
    bool IsRequested() const { return m_requested.load(); }

private:
    std::atomic<bool> m_requested { false };
};

} // namespace vesk
