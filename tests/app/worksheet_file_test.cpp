#include "app/worksheet_file.h"
#include "support/failing_device.h"
#include "support/test_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::FailingDevice;

const QString kSheet = QStringLiteral("\u2552\u2550 caf\u00e9 \u2555\nsecond");

TEST(WorksheetFileTest, AWriteCutShortAnywhereIsAFailure)
{
    const QByteArray whole = WorksheetFileText(kSheet);
    ASSERT_EQ(whole, kSheet.toUtf8() + '\n');
    for (qint64 failAt = 0; failAt < whole.size(); ++failAt) {
        SCOPED_TRACE(failAt);
        FailingDevice device(failAt);
        EXPECT_FALSE(WriteWorksheet(device, kSheet));
    }
    FailingDevice device(FailingDevice::kNever);
    EXPECT_TRUE(WriteWorksheet(device, kSheet));
    EXPECT_EQ(device.Written(), whole);
}

TEST(WorksheetFileTest, AFailedSaveSaysWhyAndLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sheet.txt"));
    test::WriteWholeFile(path, "old\n");
    QString error;
    // The file stands where the new file's folder should be.
    EXPECT_FALSE(SaveWorksheetFile(path + QStringLiteral("/new.txt"), kSheet, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(test::ReadWholeFile(path), QByteArray("old\n"));

    ASSERT_TRUE(SaveWorksheetFile(path, kSheet, error));
    EXPECT_EQ(test::ReadWholeFile(path), kSheet.toUtf8() + '\n');
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("sheet.txt") });
}

} // namespace
} // namespace vesk
