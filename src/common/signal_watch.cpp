#include "common/signal_watch.h"

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vesk {

namespace {

// The signal handler may only touch these: a pipe end, a counter and the repeat switch.
int g_pipe[2] = { -1, -1 };
std::atomic<int> g_signals { 0 };
std::atomic<bool> g_endOnRepeat { false };

extern "C" void OnSignal(int signalNumber)
{
    if (g_signals.fetch_add(1) >= 1 && g_endOnRepeat.load())
        _exit(128 + signalNumber);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
}

} // namespace

SignalWatch::SignalWatch(std::initializer_list<int> signalNumbers, Repeat repeat, std::function<void()> onSignal)
    : m_onSignal(std::move(onSignal))
{
    g_signals = 0;
    g_endOnRepeat = repeat == Repeat::EndProcess;
    if (pipe(g_pipe) != 0)
        return;
    for (const int fd : g_pipe)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : signalNumbers) {
        if (sigaction(signalNumber, &action, nullptr) != 0)
            return;
        m_signals.append(signalNumber);
    }

    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatch::Drain);
}

SignalWatch::~SignalWatch()
{
    for (const int signalNumber : m_signals)
        std::signal(signalNumber, SIG_DFL);
    delete m_notifier;
    for (int& fd : g_pipe) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

void SignalWatch::Drain()
{
    char bytes[16];
    while (read(g_pipe[0], bytes, sizeof bytes) > 0) { }
    if (m_onSignal)
        m_onSignal();
}

} // namespace vesk
