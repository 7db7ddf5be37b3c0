#include "support/fake_http_server.h"
#include "support/test_files.h"
#include "update/download_to_cache.h"

#include <QFile>
#include <QTcpServer>
#include <gtest/gtest.h>
#include <vector>

namespace vesk {
namespace {

using test::FakeHttpServer;
using test::TakeWholeFile;

DownloadLimits ShortLimits()
{
    DownloadLimits limits;
    limits.StallTimeoutMs = 300;
    limits.TotalTimeoutMs = 2000;
    return limits;
}

TEST(DownloadToCacheTest, GivesAFileWithTheCompleteBytesAndShowsTheBusyState)
{
    FakeHttpServer server;
    QByteArray body(200'000, Qt::Uninitialized);
    for (qsizetype i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7);
    server.Serve("vesk1.def", body);
    std::vector<bool> busy;
    const QString path = DownloadToCache(
        server.BaseAddress() + "vesk1.def", [&busy](bool on) { busy.push_back(on); }, ShortLimits());
    ASSERT_FALSE(path.isEmpty());
    EXPECT_EQ(TakeWholeFile(path), body);
    EXPECT_EQ(busy, (std::vector<bool> { true, false }));
    EXPECT_EQ(server.Requests("vesk1.def"), 1);
}

TEST(DownloadToCacheTest, EveryKindOfFailureGivesNoFileAndEndsTheBusyState)
{
    FakeHttpServer server;
    server.Serve("missing", "no such file", 404);
    server.Serve("broken", "oops", 500);
    server.Fail("closed", FakeHttpServer::Mode::CloseAtOnce);
    server.Fail("silent", FakeHttpServer::Mode::Silent);
    server.Fail("truncated", FakeHttpServer::Mode::Truncated);
    server.Serve("large", QByteArray(5000, 'x'));

    // A port that nobody listens on: taken and released again.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QByteArray refused = "http://127.0.0.1:" + QByteArray::number(closed.serverPort()) + "/x";
    closed.close();

    DownloadLimits small = ShortLimits();
    small.MaxBytes = 4096;
    const struct
    {
        const char* name;
        QByteArray address;
        DownloadLimits limits;
    } rows[] = {
        { "404", server.BaseAddress() + "missing", ShortLimits() },
        { "500", server.BaseAddress() + "broken", ShortLimits() },
        { "connection closed at once", server.BaseAddress() + "closed", ShortLimits() },
        { "server never answers", server.BaseAddress() + "silent", ShortLimits() },
        { "fewer bytes than announced", server.BaseAddress() + "truncated", ShortLimits() },
        { "longer than allowed", server.BaseAddress() + "large", small },
        { "connection refused", refused, ShortLimits() },
        { "not an address", "::not a url::", ShortLimits() },
        { "empty address", "", ShortLimits() },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        int depth = 0;
        const QString path = DownloadToCache(
            row.address, [&depth](bool on) { depth += on ? 1 : -1; }, row.limits);
        EXPECT_TRUE(path.isEmpty()) << path.toStdString();
        EXPECT_EQ(depth, 0);
        if (!path.isEmpty())
            QFile::remove(path);
    }
}

} // namespace
} // namespace vesk
