#include "support/bare_socket.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace vesk::test {

QByteArray BareSocketExchange(quint16 port, const QByteArray& line)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    socket.waitForConnected(5000);
    socket.write(line);
    socket.waitForBytesWritten(5000);
    QByteArray reply;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
        reply.append(socket.readAll());
    reply.append(socket.readAll());
    return reply;
}

} // namespace vesk::test
