#include "fake_whois_server.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <algorithm>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace vesk::test {

namespace {

// Short polls keep the thread responsive to the destructor without spinning.
constexpr int kPollMs = 20;
constexpr qint64 kBulkChunkBytes = 64 * 1024;

} // namespace

FakeWhoisServer::FakeWhoisServer(const QHostAddress& address)
{
    m_clock.start();
    QSemaphore listening;
    m_thread.reset(QThread::create([this, &listening, address] {
        QTcpServer server;
        if (server.listen(address, 0))
            m_port = server.serverPort();
        listening.release();
        if (m_port == 0)
            return;
        while (!Stopping()) {
            server.waitForNewConnection(kPollMs);
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                Serve(*socket);
                delete socket;
            }
        }
    }));
    m_thread->start();
    listening.acquire();
}

FakeWhoisServer::~FakeWhoisServer()
{
    m_stop.store(true);
    m_thread->wait();
}

void FakeWhoisServer::SetReply(const QByteArray& query, const QByteArray& reply)
{
    QMutexLocker lock(&m_mutex);
    m_replies.insert(query, reply);
}

void FakeWhoisServer::SetDefaultReply(const QByteArray& reply)
{
    QMutexLocker lock(&m_mutex);
    m_defaultReply = reply;
    m_generatedSize = -1;
}

void FakeWhoisServer::SetGeneratedDefaultReply(qint64 size)
{
    QMutexLocker lock(&m_mutex);
    m_defaultReply.clear();
    m_generatedSize = size;
}

void FakeWhoisServer::SetMode(FakeWhoisMode mode)
{
    QMutexLocker lock(&m_mutex);
    m_mode = mode;
}

void FakeWhoisServer::SetModeFor(const QByteArray& query, FakeWhoisMode mode)
{
    QMutexLocker lock(&m_mutex);
    m_modes.insert(query, mode);
}

void FakeWhoisServer::SetPartialBytes(qint64 bytes)
{
    QMutexLocker lock(&m_mutex);
    m_partialBytes = bytes;
}

void FakeWhoisServer::SetChunking(qint64 bytes, int delayMs)
{
    QMutexLocker lock(&m_mutex);
    m_chunkBytes = std::max<qint64>(1, bytes);
    m_delayMs = delayMs;
}

QList<qint64> FakeWhoisServer::AcceptTimes() const
{
    QMutexLocker lock(&m_mutex);
    return m_acceptTimes;
}

QList<QByteArray> FakeWhoisServer::ReceivedQueries() const
{
    QMutexLocker lock(&m_mutex);
    return m_received;
}

int FakeWhoisServer::ConnectionCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_connections;
}

char FakeWhoisServer::GeneratedByte(qint64 offset)
{
    static constexpr qint64 kLine = 64;
    static constexpr int kDigits = 8;
    const qint64 line = offset / kLine;
    const qint64 pos = offset % kLine;
    if (pos == kLine - 2)
        return '\r';
    if (pos == kLine - 1)
        return '\n';
    if (pos < kDigits) {
        qint64 number = line;
        for (qint64 i = kDigits - 1; i > pos; --i)
            number /= 10;
        return static_cast<char>('0' + number % 10);
    }
    if (pos == kDigits)
        return ' ';
    return static_cast<char>('a' + (pos - kDigits - 1 + line) % 26);
}

QByteArray FakeWhoisServer::GeneratedReply(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = GeneratedByte(i);
    return bytes;
}

QByteArray FakeWhoisServer::AllByteValues()
{
    QByteArray bytes(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        bytes[i] = static_cast<char>(i);
    return bytes;
}

FakeWhoisServer::Script FakeWhoisServer::ScriptFor(const QByteArray& received) const
{
    QByteArray query = received.left(received.indexOf('\n'));
    if (query.endsWith('\r'))
        query.chop(1);

    QMutexLocker lock(&m_mutex);
    Script script;
    script.Mode = m_modes.value(query, m_mode);
    script.PartialBytes = m_partialBytes;
    script.ChunkBytes = m_chunkBytes;
    script.DelayMs = m_delayMs;
    const auto it = m_replies.constFind(query);
    if (it != m_replies.constEnd()) {
        script.Reply = *it;
    } else {
        script.Reply = m_defaultReply;
        script.GeneratedSize = m_generatedSize;
    }
    return script;
}

void FakeWhoisServer::Serve(QTcpSocket& socket)
{
    FakeWhoisMode serverMode;
    int entry;
    {
        QMutexLocker lock(&m_mutex);
        ++m_connections;
        m_acceptTimes.append(m_clock.elapsed());
        serverMode = m_mode;
        entry = static_cast<int>(m_received.size());
        if (serverMode != FakeWhoisMode::CloseAtOnce)
            m_received.append(QByteArray());
    }
    if (serverMode == FakeWhoisMode::CloseAtOnce) {
        socket.close();
        return;
    }
    if (!ReadQueryLine(socket, entry))
        return;

    const Script script = ScriptFor(ReceivedQueries().at(entry));
    const qint64 total = script.GeneratedSize >= 0 ? script.GeneratedSize : script.Reply.size();
    const qint64 partial = std::min(script.PartialBytes, total);
    switch (script.Mode) {
    case FakeWhoisMode::AnswerAndClose:
    case FakeWhoisMode::AnswerSlowly: {
        const bool slow = script.Mode == FakeWhoisMode::AnswerSlowly;
        if (!SendRange(socket, script, entry, 0, total, slow ? script.ChunkBytes : kBulkChunkBytes,
                       slow ? script.DelayMs : 0))
            return;
        socket.disconnectFromHost();
        if (socket.state() != QAbstractSocket::UnconnectedState)
            socket.waitForDisconnected(1000);
        return;
    }
    case FakeWhoisMode::CloseAtOnce: // chosen for this query only: the line has been read, nothing is sent
        socket.close();
        return;
    case FakeWhoisMode::Reset: {
        if (!SendRange(socket, script, entry, 0, partial, kBulkChunkBytes, 0))
            return;
        // Linger with a zero time-out turns the close into a reset.
        struct linger hard = { 1, 0 };
        ::setsockopt(socket.socketDescriptor(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
                     sizeof hard);
        socket.abort();
        return;
    }
    case FakeWhoisMode::Silent:
        if (SendRange(socket, script, entry, 0, partial, kBulkChunkBytes, 0))
            HoldOpen(socket, entry);
        return;
    case FakeWhoisMode::NeverClose:
        if (SendRange(socket, script, entry, 0, total, kBulkChunkBytes, 0))
            HoldOpen(socket, entry);
        return;
    case FakeWhoisMode::Trickle: {
        if (total == 0) {
            HoldOpen(socket, entry);
            return;
        }
        for (qint64 offset = 0;; offset = (offset + 1) % total) {
            if (!SendRange(socket, script, entry, offset, offset + 1, 1, script.DelayMs))
                return;
        }
    }
    }
}

bool FakeWhoisServer::ReadQueryLine(QTcpSocket& socket, int entry)
{
    for (;;) {
        if (ReceivedQueries().at(entry).contains('\n'))
            return true;
        if (Stopping() || socket.state() != QAbstractSocket::ConnectedState)
            return false;
        socket.waitForReadyRead(kPollMs);
        AppendReceived(socket, entry);
    }
}

void FakeWhoisServer::AppendReceived(QTcpSocket& socket, int entry)
{
    const QByteArray bytes = socket.readAll();
    if (bytes.isEmpty())
        return;
    QMutexLocker lock(&m_mutex);
    m_received[entry].append(bytes);
}

bool FakeWhoisServer::SendRange(QTcpSocket& socket, const Script& script, int entry, qint64 from, qint64 to,
                                qint64 chunk, int delayMs)
{
    for (qint64 start = from; start < to; start += chunk) {
        const qint64 length = std::min(chunk, to - start);
        if (delayMs > 0 && !Pause(socket, entry, delayMs))
            return false;
        QByteArray piece;
        if (script.GeneratedSize >= 0) {
            piece.resize(length);
            for (qint64 i = 0; i < length; ++i)
                piece[i] = GeneratedByte(start + i);
        } else {
            piece = script.Reply.mid(start, length);
        }
        if (socket.write(piece) != piece.size())
            return false;
        while (socket.bytesToWrite() > 0) {
            if (Stopping() || socket.state() != QAbstractSocket::ConnectedState)
                return false;
            socket.waitForBytesWritten(kPollMs);
        }
    }
    return !Stopping() && socket.state() == QAbstractSocket::ConnectedState;
}

bool FakeWhoisServer::Pause(QTcpSocket& socket, int entry, int ms)
{
    const QDeadlineTimer until(ms);
    while (!until.hasExpired()) {
        if (Stopping() || socket.state() != QAbstractSocket::ConnectedState)
            return false;
        socket.waitForReadyRead(static_cast<int>(std::min<qint64>(kPollMs, until.remainingTime())));
        AppendReceived(socket, entry);
    }
    return true;
}

void FakeWhoisServer::HoldOpen(QTcpSocket& socket, int entry)
{
    while (!Stopping() && socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(kPollMs);
        AppendReceived(socket, entry);
    }
}

} // namespace vesk::test
