// A loopback WHOIS server for the start benchmark: answers every connection with the bytes of one reply file and
// closes. Plain POSIX sockets, one connection at a time, so its own cost stays out of the clients' timings.
// Usage: bench_whois_replay_server REPLY_FILE [MAX_CONNECTIONS [IDLE_SECONDS]]
// Listens on 127.0.0.1 only, prints its port on the first line of standard output, and ends after
// MAX_CONNECTIONS connections (default 1000) or IDLE_SECONDS without one (default 30), whichever comes first.
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Reads the query line (up to LF, at most 4 KiB, at most 2 s) so the client never meets a reset while sending.
void ReadQuery(int client)
{
    char buffer[4096];
    size_t total = 0;
    pollfd poller { client, POLLIN, 0 };
    while (total < sizeof buffer && poll(&poller, 1, 2000) > 0) {
        const ssize_t got = read(client, buffer + total, sizeof buffer - total);
        if (got <= 0)
            return;
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[total + static_cast<size_t>(i)] == '\n')
                return;
        }
        total += static_cast<size_t>(got);
    }
}

void WriteAll(int client, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t wrote = write(client, bytes.data() + sent, bytes.size() - sent);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return;
        sent += static_cast<size_t>(wrote);
    }
}

long Number(const char* text, long fallback)
{
    if (text == nullptr)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (end != text && *end == '\0' && value > 0) ? value : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4) {
        std::fputs("usage: bench_whois_replay_server REPLY_FILE [MAX_CONNECTIONS [IDLE_SECONDS]]\n", stderr);
        return 2;
    }
    const long maxConnections = Number(argc > 2 ? argv[2] : nullptr, 1000);
    const long idleSeconds = Number(argc > 3 ? argv[3] : nullptr, 30);
    if (maxConnections < 0 || idleSeconds < 0 || idleSeconds > 3600) {
        std::fputs("bench_whois_replay_server: counts must be positive (idle at most 3600 s)\n", stderr);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "bench_whois_replay_server: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string reply((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::signal(SIGPIPE, SIG_IGN); // a client that leaves early must not end the server

    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || listen(listener, 16) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("bench_whois_replay_server");
        return 1;
    }
    std::printf("%d\n", ntohs(address.sin_port));
    std::fflush(stdout);

    pollfd poller { listener, POLLIN, 0 };
    for (long served = 0; served < maxConnections;) {
        const int ready = poll(&poller, 1, static_cast<int>(idleSeconds * 1000));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0)
            continue;
        ReadQuery(client);
        WriteAll(client, reply);
        close(client);
        ++served;
    }
    close(listener);
    return 0;
}
