#include "app/instance_lock.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace vesk {

namespace {

const QByteArray kActivateRequest = QByteArrayLiteral("activate\n");

QString LockFileName(const QString& title)
{
    QString name = QStringLiteral("PREVINST:") + title;
#ifdef Q_OS_WIN
    name.replace(QLatin1Char(':'), QLatin1Char('_')); // not allowed in a file name there
#endif
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name;
}

} // namespace

InstanceLock::InstanceLock(const QString& title, const QString& directory)
{
    // A per-user folder: another user's running copy must not stop this one from starting.
    QString folder = directory;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QDir().mkpath(folder);
    m_lockPath = QDir(folder).filePath(LockFileName(title));
    m_serverPath = m_lockPath + QStringLiteral(".socket");
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Only a dead owner makes the lock stale, however long the first instance has been running.
    m_lock->setStaleLockTime(0);
    m_first = m_lock->tryLock(0);
}

InstanceLock::~InstanceLock()
{
    if (m_server != nullptr)
        m_server->close();
    if (m_first)
        m_lock->unlock();
}

bool InstanceLock::Listen()
{
    if (!m_first)
        return false;
    if (m_server == nullptr) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = m_server->nextPendingConnection()) {
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                const auto drain = [this, socket] {
                    while (socket->canReadLine()) {
                        if (socket->readLine(64) == kActivateRequest)
                            Q_EMIT ActivateRequested();
                    }
                    // Anything else is no request of ours; do not let it pile up.
                    if (socket->bytesAvailable() > 64)
                        socket->abort();
                };
                connect(socket, &QLocalSocket::readyRead, this, drain);
                drain();
            }
        });
    }
    if (m_server->isListening())
        return true;
    // We hold the lock, so a socket file left there belongs to a process that is gone.
    QLocalServer::removeServer(m_serverPath);
    return m_server->listen(m_serverPath);
}

bool InstanceLock::ActivatePreviousInstance(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_serverPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kActivateRequest);
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return written;
}

} // namespace vesk
