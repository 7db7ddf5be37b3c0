// The floor of a port-43 start: a Qt Core+Network program doing one WHOIS exchange and nothing else (resolve,
// connect, send, read to the end, print). What vesk-query costs above it is Vesk's own start.
// Usage: bench_start_floor HOST PORT QUERY
#include <QCoreApplication>
#include <QHostInfo>
#include <QTcpSocket>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool portOk = false;
    const quint16 port = arguments.size() == 4 ? arguments[2].toUShort(&portOk) : 0;
    if (!portOk || port == 0) {
        std::fputs("usage: bench_start_floor HOST PORT QUERY\n", stderr);
        return 2;
    }
    const QHostInfo host = QHostInfo::fromName(arguments[1]);
    if (host.addresses().isEmpty()) {
        std::fprintf(stderr, "bench_start_floor: cannot resolve %s\n", qPrintable(arguments[1]));
        return 1;
    }
    QTcpSocket socket;
    socket.connectToHost(host.addresses().constFirst(), port);
    constexpr int kWaitMs = 10000;
    if (!socket.waitForConnected(kWaitMs)) {
        std::fprintf(stderr, "bench_start_floor: %s\n", qPrintable(socket.errorString()));
        return 1;
    }
    socket.write(arguments[3].toUtf8() + "\r\n");
    QByteArray reply;
    // Read to the end: the server closes after its reply. Each wait is bounded, so a silent server ends the run.
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(kWaitMs))
        reply += socket.readAll();
    reply += socket.readAll();
    std::fwrite(reply.constData(), 1, static_cast<size_t>(reply.size()), stdout);
    return reply.isEmpty() ? 1 : 0;
}
