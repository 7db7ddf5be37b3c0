#include "update/download_to_cache.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>

namespace vesk {

namespace {

// Shows the busy state for as long as it lives, whichever way the download ends.
class BusyGuard
{
public:
    explicit BusyGuard(const BusyCallback& busy)
        : m_busy(busy)
    {
        if (m_busy)
            m_busy(true);
    }
    ~BusyGuard()
    {
        if (m_busy)
            m_busy(false);
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    const BusyCallback& m_busy;
};

} // namespace

QString DownloadToCache(const QByteArray& address, const BusyCallback& busy, const DownloadLimits& limits)
{
    if (QCoreApplication::instance() == nullptr)
        return {};
    const QUrl url = QUrl::fromEncoded(address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return {};

    const BusyGuard busyGuard(busy);

    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("vesk-download-XXXXXX")));
    if (!file.open())
        return {};

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setTransferTimeout(limits.StallTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = manager.get(request);

    bool failed = false;
    qint64 received = 0;
    QEventLoop loop;
    // Bytes go to the file as they arrive, so a long answer never sits in memory.
    QObject::connect(reply, &QIODevice::readyRead, &loop, [&] {
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        if (received > limits.MaxBytes || file.write(chunk) != chunk.size()) {
            failed = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        failed = true;
        reply->abort();
    });
    deadline.start(limits.TotalTimeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();

    if (!failed && reply->bytesAvailable() > 0) {
        const QByteArray rest = reply->readAll();
        received += rest.size();
        failed = received > limits.MaxBytes || file.write(rest) != rest.size();
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool isHttp = url.scheme().startsWith(QStringLiteral("http"), Qt::CaseInsensitive);
    if (reply->error() != QNetworkReply::NoError || (isHttp && (status < 200 || status > 299)))
        failed = true;

    if (failed || !file.flush())
        return {};
    file.setAutoRemove(false);
    return file.fileName();
}

} // namespace vesk
