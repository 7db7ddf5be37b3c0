#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace vesk {

/// Turns Ctrl-C into a stop request: the first SIGINT calls `onInterrupt` from the event loop (the search keeps
/// the loop running while it resolves, connects, pauses and reads, so the exchange in progress ends at once); a
/// second SIGINT ends the process at once with status 130. One instance per process.
class InterruptWatch : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatch(std::function<void()> onInterrupt);
    ~InterruptWatch() override;

    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    /// False when the handler could not be installed (Ctrl-C then ends the process as usual).
    bool IsActive() const { return m_notifier != nullptr; }

private:
    void Drain();

    std::function<void()> m_onInterrupt;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace vesk
