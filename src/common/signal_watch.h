/// The signal watch: SIGINT and SIGTERM turned into calls from the event loop, through a self-pipe.
#pragma once

#include <QObject>
#include <functional>
#include <initializer_list>

class QSocketNotifier;

namespace vesk {

/// Watches the given signals. The handler only writes a byte to a pipe; `onSignal` runs later from the event
/// loop, where anything may be done. One instance per process; the signals get their default action back when
/// it goes.
class SignalWatch : public QObject
{
    Q_OBJECT

public:
    /// What a watched signal does while an earlier one is still being handled.
    enum class Repeat {
        Deliver, ///< calls `onSignal` again
        EndProcess, ///< ends the process at once with status 128 + the signal number (130 for Ctrl-C)
    };

    SignalWatch(std::initializer_list<int> signalNumbers, Repeat repeat, std::function<void()> onSignal);
    ~SignalWatch() override;

    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    /// False when the handler could not be installed (the signals then keep their default action).
    bool IsActive() const { return m_notifier != nullptr; }

private:
    void Drain();

    std::function<void()> m_onSignal;
    QList<int> m_signals;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace vesk
