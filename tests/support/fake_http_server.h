#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QThread>
#include <memory>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace vesk::test {

/// The server side of https with the test key (tests/data/tls) and the certificate `certificateFile` there:
/// "server.pem" (issued by the test CA for rdap.identitydigital.services and rdap.test.example), "other-name.pem"
/// (the test CA, another name), "self-signed.pem".
QSslConfiguration TestServerTls(const char* certificateFile);
/// The test CA's certificate, for the client to trust.
QList<QSslCertificate> TestCaRoots();

/// A small HTTP/1.1 server on 127.0.0.1 (port chosen by the system) running in its own thread, so a client
/// that waits synchronously still gets its answer. Every path gets a scripted answer; paths without one get 404.
class FakeHttpServer
{
public:
    /// How the server answers one path.
    enum class Mode {
        Normal, ///< status line, Content-Length, body, close
        CloseAtOnce, ///< closes the connection without a byte
        Silent, ///< reads the request and never answers
        Truncated, ///< announces more bytes than it sends, then closes
    };

    /// Starts listening; the test fails (via ADD_FAILURE) when it cannot.
    FakeHttpServer();
    /// The same server speaking https with `tls` (see TestServerTls).
    explicit FakeHttpServer(const QSslConfiguration& tls);
    /// The same on the loopback `address` (::1 for IPv6); an empty `tls` speaks plain http.
    FakeHttpServer(const QSslConfiguration& tls, const QHostAddress& address);
    ~FakeHttpServer();

    FakeHttpServer(const FakeHttpServer&) = delete;
    FakeHttpServer& operator=(const FakeHttpServer&) = delete;

    /// "http://127.0.0.1:<port>/" ("https://" with TLS; "[::1]" on IPv6): the file names are appended to it.
    QByteArray BaseAddress() const;
    quint16 Port() const { return m_port; }

    /// Answers GET /`name` with `body` and `status` (200 OK by default).
    void Serve(const QByteArray& name, const QByteArray& body, int status = 200);
    /// Answers the next GET /`name` with `body`, `status` and the raw header lines `headers` ("Name: value\r\n"
    /// each); later requests get the following queued answer, then the standing one.
    void ServeOnce(const QByteArray& name, const QByteArray& body, int status, const QByteArray& headers = {});
    /// Answers GET /`name` in the given faulty way.
    void Fail(const QByteArray& name, Mode mode);
    /// Forgets the answer for /`name` (it gets 404 again).
    void Remove(const QByteArray& name);
    /// How many requests for /`name` arrived.
    int Requests(const QByteArray& name) const;
    /// When each request for /`name` arrived, in milliseconds on a steady clock started with the server.
    QList<qint64> RequestTimes(const QByteArray& name) const;

    struct Answer
    {
        Mode mode = Mode::Normal;
        int status = 200;
        QByteArray body;
        QByteArray headers = {};
    };

private:
    void Handle(QTcpSocket* socket);

    bool m_tls = false;
    QHostAddress m_address;
    QThread m_thread;
    QObject* m_context = nullptr; // lives in m_thread and owns the listening socket
    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QHash<QByteArray, Answer> m_answers;
    QHash<QByteArray, QList<Answer>> m_queued;
    QHash<QByteArray, int> m_requests;
    QElapsedTimer m_clock;
    QHash<QByteArray, QList<qint64>> m_requestTimes;
};

} // namespace vesk::test
