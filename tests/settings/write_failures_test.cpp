#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "support/failing_device.h"
#include "support/fixed_clock.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::FailingDevice;
using test::ReadWholeFile;

const QDateTime kNow(QDate(2004, 1, 14), QTime(9, 5, 7));

TEST(LogWriteFailureTest, ARecordCutShortAnywhereIsAFailure)
{
    const QByteArray whole("04.01.14 09:05:07 > Query: example.com\r\n");
    for (qint64 failAt = 0; failAt < whole.size(); ++failAt) {
        SCOPED_TRACE(failAt);
        FailingDevice device(failAt);
        EXPECT_FALSE(WriteLogRecord(device, kNow, "Query: example.com"));
    }
    FailingDevice device(FailingDevice::kNever);
    EXPECT_TRUE(WriteLogRecord(device, kNow, "Query: example.com"));
    EXPECT_EQ(device.Written(), whole);
}

TEST(LogWriteFailureTest, AFullDiskIsNotedAndTheLogGoesOn)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "needs /dev/full";
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("LOG")));
    // The log is a link to a device where every write fails for lack of space.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), dir.filePath(QStringLiteral("LOG/vesk.log"))));
    TLogFile log(dir.path(), QStringLiteral("vesk"), test::FixedClock(kNow));
    ASSERT_TRUE(log.IsActive());
    EXPECT_FALSE(log.HasWriteError()); // still in the buffer
    // Larger than any write buffer, so it must reach the device now.
    log.WriteLog(QByteArray(1 << 20, 'x'));
    EXPECT_TRUE(log.HasWriteError());
    EXPECT_TRUE(log.IsActive());

    QTemporaryDir healthy;
    TLogFile good(healthy.path(), QStringLiteral("vesk"), test::FixedClock(kNow));
    good.WriteLog(QByteArray(1 << 20, 'x'));
    EXPECT_FALSE(good.HasWriteError());
}

// A settings format whose writer puts a FailingDevice in front of the file, failing after g_failAt bytes.
qint64 g_failAt = FailingDevice::kNever;

bool WriteFailing(QIODevice& file, const QSettings::SettingsMap& values)
{
    FailingDevice out(g_failAt, &file);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QByteArray line = it.key().toUtf8() + '=' + it.value().toString().toUtf8() + '\n';
        if (out.write(line) != line.size())
            return false;
    }
    return true;
}

bool ReadLines(QIODevice& file, QSettings::SettingsMap& values)
{
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            values.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
    }
    return true;
}

TEST(SettingsWriteFailureTest, AFailedSaveIsReportedAndKeepsTheSavedSettings)
{
    static const QSettings::Format format
        = QSettings::registerFormat(QStringLiteral("failing"), ReadLines, WriteFailing);
    QTemporaryDir dir;
    const auto open = [&](const QString& path) {
        return std::make_unique<TReg>(std::make_unique<QSettings>(path, format), TReg::WriteBack::Never,
                                      test::FixedClock(kNow));
    };
    g_failAt = FailingDevice::kNever;
    ASSERT_TRUE(open(dir.filePath(QStringLiteral("first.failing")))->WriteSettings());
    const QByteArray saved = ReadWholeFile(dir.filePath(QStringLiteral("first.failing")));
    QByteArray changed = saved;
    changed.replace("Font/Name=Courier New\n", "Font/Name=Mono\n");
    ASSERT_NE(changed, saved);

    for (const qint64 failAt : { qint64(0), qint64(1), changed.size() / 2, changed.size() - 1 }) {
        SCOPED_TRACE(failAt);
        // A file of its own each time: the settings library keeps unsaved changes per file name and would
        // write them out when the next store opens the same file.
        const QString path = dir.filePath(QStringLiteral("%1.failing").arg(failAt));
        test::WriteWholeFile(path, saved);
        auto reg = open(path);
        reg->FontName = QStringLiteral("Mono");
        g_failAt = failAt;
        EXPECT_FALSE(reg->WriteSettings());
        g_failAt = FailingDevice::kNever;
        EXPECT_EQ(ReadWholeFile(path), saved);
        EXPECT_EQ(reg->FontName, QStringLiteral("Mono"));
    }

    const QString path = dir.filePath(QStringLiteral("last.failing"));
    test::WriteWholeFile(path, saved);
    auto reg = open(path);
    reg->FontName = QStringLiteral("Mono");
    EXPECT_TRUE(reg->WriteSettings());
    EXPECT_EQ(ReadWholeFile(path), changed);
}

} // namespace
} // namespace vesk
