#include "settings/log_file.h"
#include "support/fixed_clock.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::ReadWholeFile;
using test::WriteWholeFile;

const QDateTime kNow(QDate(2004, 1, 14), QTime(9, 5, 7));
const QString kExe = QStringLiteral("vesk.exe");

class LogTest : public ::testing::Test
{
protected:
    QString LogDir() const { return m_dir.filePath(QStringLiteral("LOG")); }
    QString InLog(const QString& name) const { return QDir(LogDir()).filePath(name); }
    void MakeLogDir() const { ASSERT_TRUE(QDir().mkdir(LogDir())); }

    QTemporaryDir m_dir;
};

TEST_F(LogTest, FirstRunCreatesFolderAndLogStartingWithTwoEmptyLines)
{
    {
        TLogFile log(m_dir.path(), kExe, test::FixedClock(kNow));
        EXPECT_TRUE(log.IsActive());
        EXPECT_EQ(log.GetLogFileName(), InLog(QStringLiteral("vesk.log")));
        log.WriteLog("Query: example.com");
        log.WriteLog("100% done %s %d %n");
    }
    EXPECT_EQ(ReadWholeFile(InLog(QStringLiteral("vesk.log"))),
              QByteArray("\r\n\r\n04.01.14 09:05:07 > Query: example.com\r\n"
                         "04.01.14 09:05:07 > 100% done %s %d %n\r\n"));
}

TEST_F(LogTest, LaterRunsAppendAndRecordsWaitInTheBufferUntilTheEnd)
{
    MakeLogDir();
    WriteWholeFile(InLog(QStringLiteral("vesk.log")), "old\r\n");
    {
        TLogFile log(m_dir.path(), kExe, test::FixedClock(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58))));
        log.WriteLog("< End Vesk? >");
        EXPECT_EQ(ReadWholeFile(log.GetLogFileName()), QByteArray("old\r\n"));
    }
    EXPECT_EQ(ReadWholeFile(InLog(QStringLiteral("vesk.log"))),
              QByteArray("old\r\n\r\n\r\n99.12.31 23:59:58 > < End Vesk? >\r\n"));
}

TEST_F(LogTest, BaseNameIsTheExecutableNameWithoutItsLastExtension)
{
    const struct
    {
        QString exe, log;
    } rows[] = {
        { QStringLiteral("a.b.exe"), QStringLiteral("a.b.log") },
        { QStringLiteral("vesk"), QStringLiteral("vesk.log") },
        { QStringLiteral("vesk-query"), QStringLiteral("vesk-query.log") },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exe.toStdString());
        TLogFile log(m_dir.path(), row.exe, test::FixedClock(kNow));
        EXPECT_EQ(log.GetLogFileName(), InLog(row.log));
        EXPECT_TRUE(QFileInfo::exists(InLog(row.log)));
    }
}

TEST_F(LogTest, ArchiveNamesUseFourUpperCaseHexDigits)
{
    TLogFile log(m_dir.path(), kExe, test::FixedClock(kNow));
    EXPECT_EQ(log.ArchiveFileName(0), InLog(QStringLiteral("vesk_0000.LOG")));
    EXPECT_EQ(log.ArchiveFileName(10), InLog(QStringLiteral("vesk_000A.LOG")));
    EXPECT_EQ(log.ArchiveFileName(0xFFFE), InLog(QStringLiteral("vesk_FFFE.LOG")));
}

TEST_F(LogTest, OversizedLogIsArchivedUnderTheLowestFreeNumber)
{
    const struct
    {
        const char* name;
        qint64 size;
        QStringList existing;
        QString archive; // empty: not archived
    } rows[] = {
        { "one byte below the limit", TLogFile::kArchiveSize - 1, {}, QString() },
        { "at the limit", TLogFile::kArchiveSize, {}, QStringLiteral("vesk_0000.LOG") },
        { "after three archives",
          TLogFile::kArchiveSize + 5,
          { QStringLiteral("vesk_0000.LOG"), QStringLiteral("vesk_0001.LOG"), QStringLiteral("vesk_0002.LOG") },
          QStringLiteral("vesk_0003.LOG") },
        { "into a gap",
          TLogFile::kArchiveSize,
          { QStringLiteral("vesk_0000.LOG"), QStringLiteral("vesk_0002.LOG") },
          QStringLiteral("vesk_0001.LOG") },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString logDir = dir.filePath(QStringLiteral("LOG"));
        ASSERT_TRUE(QDir().mkdir(logDir));
        const QByteArray old(row.size, 'x');
        WriteWholeFile(logDir + QStringLiteral("/vesk.log"), old);
        for (const QString& name : row.existing)
            WriteWholeFile(logDir + u'/' + name, "kept");
        {
            TLogFile log(dir.path(), kExe, test::FixedClock(kNow));
            EXPECT_TRUE(log.IsActive());
        }
        const QByteArray current = ReadWholeFile(logDir + QStringLiteral("/vesk.log"));
        if (row.archive.isEmpty()) {
            EXPECT_EQ(current, old + "\r\n\r\n");
        } else {
            EXPECT_EQ(current, QByteArray("\r\n\r\n"));
            EXPECT_EQ(ReadWholeFile(logDir + u'/' + row.archive), old);
            for (const QString& name : row.existing)
                EXPECT_EQ(ReadWholeFile(logDir + u'/' + name), QByteArray("kept"));
        }
    }
}

TEST_F(LogTest, WhenEveryArchiveNumberIsTakenTheLogGrowsOn)
{
    MakeLogDir();
    const QByteArray old(TLogFile::kArchiveSize, 'x');
    WriteWholeFile(InLog(QStringLiteral("vesk.log")), old);
    for (const char* name : { "vesk_0000.LOG", "vesk_0001.LOG", "vesk_0002.LOG" })
        WriteWholeFile(InLog(QString::fromLatin1(name)), "kept");
    {
        TLogFile log(m_dir.path(), kExe, test::FixedClock(kNow), 3);
        ASSERT_TRUE(log.IsActive());
        log.WriteLog("Query: a.com");
    }
    EXPECT_EQ(ReadWholeFile(InLog(QStringLiteral("vesk.log"))), old + "\r\n\r\n04.01.14 09:05:07 > Query: a.com\r\n");
    EXPECT_FALSE(QFileInfo::exists(InLog(QStringLiteral("vesk_0003.LOG"))));
}

TEST_F(LogTest, UnusableFolderLeavesTheLogInactive)
{
    // "LOG" is a regular file: the folder cannot be made, even by root.
    WriteWholeFile(LogDir(), "not a folder");
    {
        TLogFile log(m_dir.path(), kExe, test::FixedClock(kNow));
        EXPECT_FALSE(log.IsActive());
        log.WriteLog("Query: example.com");
    }
    EXPECT_EQ(ReadWholeFile(LogDir()), QByteArray("not a folder"));

    TLogFile missing(m_dir.filePath(QStringLiteral("no/such/dir")), kExe, test::FixedClock(kNow));
    EXPECT_FALSE(missing.IsActive());
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QStringLiteral("no"))));
}

} // namespace
} // namespace vesk
