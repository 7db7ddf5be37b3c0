#include "support/fake_http_server.h"

#include "support/test_data.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace vesk::test {

namespace {

QByteArray ReasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 429:
        return "Too Many Requests";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

QSslConfiguration TestServerTls(const char* certificateFile)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(
        QSslCertificate(ReadTestData(QStringLiteral("tls/") + QLatin1String(certificateFile)), QSsl::Pem));
    tls.setPrivateKey(QSslKey(ReadTestData(QStringLiteral("tls/server.key")), QSsl::Ec, QSsl::Pem));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // clients show no certificate
    if (tls.localCertificate().isNull() || tls.privateKey().isNull())
        ADD_FAILURE() << "the test certificate " << certificateFile << " or the test key cannot be read";
    return tls;
}

QList<QSslCertificate> TestCaRoots()
{
    return QSslCertificate::fromData(ReadTestData(QStringLiteral("tls/ca.pem")), QSsl::Pem);
}

FakeHttpServer::FakeHttpServer()
    : FakeHttpServer(QSslConfiguration())
{ }

FakeHttpServer::FakeHttpServer(const QSslConfiguration& tls)
    : FakeHttpServer(tls, QHostAddress(QHostAddress::LocalHost))
{ }

FakeHttpServer::FakeHttpServer(const QSslConfiguration& tls, const QHostAddress& address)
    : m_tls(!tls.localCertificate().isNull())
    , m_address(address)
{
    m_clock.start();
    m_thread.start();
    // The listening socket is made in the server's thread so its events are handled there.
    QObject* context = new QObject;
    context->moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        context,
        [this, context, &tls] {
            if (m_tls) {
                // Connections show up once their handshake is done; a failed one never does.
                auto* server = new QSslServer(context);
                server->setSslConfiguration(tls);
                m_server = server;
            } else {
                m_server = new QTcpServer(context);
            }
            if (!m_server->listen(m_address, 0))
                return;
            m_port = m_server->serverPort();
            // Emitted for every socket put in the queue, for a TLS one after its handshake (newConnection is not).
            QObject::connect(m_server, &QTcpServer::pendingConnectionAvailable, m_server, [this] {
                while (QTcpSocket* socket = m_server->nextPendingConnection())
                    Handle(socket);
            });
        },
        Qt::BlockingQueuedConnection);
    m_context = context;
    if (m_port == 0)
        ADD_FAILURE() << "the fake HTTP server could not listen on " << m_address.toString().toStdString();
}

FakeHttpServer::~FakeHttpServer()
{
    QMetaObject::invokeMethod(
        m_context, [context = m_context] { delete context; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QByteArray FakeHttpServer::BaseAddress() const
{
    const QByteArray host = m_address.protocol() == QAbstractSocket::IPv6Protocol
        ? '[' + m_address.toString().toLatin1() + ']'
        : m_address.toString().toLatin1();
    return (m_tls ? "https" : "http") + QByteArrayLiteral("://") + host + ':' + QByteArray::number(m_port) + '/';
}

void FakeHttpServer::Serve(const QByteArray& name, const QByteArray& body, int status)
{
    const QMutexLocker lock(&m_mutex);
    m_answers.insert(name, Answer { Mode::Normal, status, body });
}

void FakeHttpServer::ServeOnce(const QByteArray& name, const QByteArray& body, int status, const QByteArray& headers)
{
    const QMutexLocker lock(&m_mutex);
    m_queued[name].append(Answer { Mode::Normal, status, body, headers });
}

void FakeHttpServer::Fail(const QByteArray& name, Mode mode)
{
    const QMutexLocker lock(&m_mutex);
    m_answers.insert(name, Answer { mode, 200, QByteArray(1000, 'x') });
}

void FakeHttpServer::Remove(const QByteArray& name)
{
    const QMutexLocker lock(&m_mutex);
    m_answers.remove(name);
}

int FakeHttpServer::Requests(const QByteArray& name) const
{
    const QMutexLocker lock(&m_mutex);
    return m_requests.value(name);
}

QList<qint64> FakeHttpServer::RequestTimes(const QByteArray& name) const
{
    const QMutexLocker lock(&m_mutex);
    return m_requestTimes.value(name);
}

void FakeHttpServer::Handle(QTcpSocket* socket)
{
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        // Wait for the whole header block; the client sends no body with GET.
        if (!socket->property("request").isNull()) {
            socket->readAll();
            return;
        }
        QByteArray head = socket->property("head").toByteArray() + socket->readAll();
        socket->setProperty("head", head);
        if (!head.contains("\r\n\r\n"))
            return;
        socket->setProperty("request", true);
        // "GET /name HTTP/1.1"
        const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
        QByteArray name = words.size() >= 2 ? words.at(1) : QByteArray();
        if (name.startsWith('/'))
            name.remove(0, 1);

        Answer answer;
        bool known = false;
        {
            const QMutexLocker lock(&m_mutex);
            ++m_requests[name];
            m_requestTimes[name].append(m_clock.elapsed());
            known = m_answers.contains(name) || !m_queued.value(name).isEmpty();
            if (!m_queued.value(name).isEmpty())
                answer = m_queued[name].takeFirst();
            else if (known)
                answer = m_answers.value(name);
        }
        if (!known)
            answer = Answer { Mode::Normal, 404, "not here" };

        switch (answer.mode) {
        case Mode::Silent:
            return;
        case Mode::CloseAtOnce:
            socket->abort();
            socket->deleteLater();
            return;
        case Mode::Normal:
        case Mode::Truncated: {
            const qsizetype announced = answer.body.size() * (answer.mode == Mode::Truncated ? 2 : 1);
            QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + ReasonPhrase(answer.status)
                + "\r\nContent-Type: application/octet-stream\r\nContent-Length: " + QByteArray::number(announced)
                + "\r\nConnection: close\r\n" + answer.headers + "\r\n" + answer.body;
            socket->write(reply);
            socket->disconnectFromHost();
            return;
        }
        }
    });
}

} // namespace vesk::test
