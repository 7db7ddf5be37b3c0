#include "cli/interrupt_watch.h"

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vesk {

namespace {

// The signal handler may only touch these: a pipe end and a counter.
int g_pipe[2] = { -1, -1 };
std::atomic<int> g_interrupts { 0 };

extern "C" void OnSigint(int)
{
    if (g_interrupts.fetch_add(1) >= 1)
        _exit(130);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
}

} // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
    : m_onInterrupt(std::move(onInterrupt))
{
    if (pipe(g_pipe) != 0)
        return;
    for (const int fd : g_pipe)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

    struct sigaction action
    {
    };
    action.sa_handler = OnSigint;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGINT, &action, nullptr) != 0)
        return;

    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InterruptWatch::Drain);
}

InterruptWatch::~InterruptWatch()
{
    std::signal(SIGINT, SIG_DFL);
    delete m_notifier;
    for (int& fd : g_pipe) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

void InterruptWatch::Drain()
{
    char bytes[16];
    while (read(g_pipe[0], bytes, sizeof bytes) > 0) { }
    if (m_onInterrupt)
        m_onInterrupt();
}

} // namespace vesk
