#include "lookup/worksheet.h"
#include "support/lookup_world.h"
#include "support/recording_frontend.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace vesk::test {
namespace {

class WorksheetTest : public ::testing::Test
{
protected:
    RecordingFrontend window;
    Worksheet sheet { window, FixedNow };
};

TEST_F(WorksheetTest, HeaderBoxHasFiveLinesAndAnEmptyLine)
{
    sheet.WriteHeaderBox("DOMAIN REPORT FOR: EXAMPLE.COM");
    const QStringList expected {
        QStringLiteral("\u2552") + QString(64, u'\u2550') + QStringLiteral("\u2555"),
        QStringLiteral("\u2502  DOMAIN REPORT FOR: EXAMPLE.COM                                \u2502"),
        QStringLiteral("\u2502  by Vesk? {WHOIS In Details}  Mar 07, 2024                     \u2502"),
        QStringLiteral("\u2502  https://github.com/vesk-whois/vesk                            \u2502"),
        QStringLiteral("\u2558") + QString(64, u'\u2550') + QStringLiteral("\u255B"),
        QString(),
    };
    EXPECT_EQ(window.Lines(), expected);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(window.Lines()[i].size(), 66) << i;
}

TEST_F(WorksheetTest, BoxLinesCloseUpToSixtyOneCharactersAndStayOpenBeyond)
{
    struct Row
    {
        int titleLength;
        int lineLength;
        bool closed;
    };
    for (const Row row :
         { Row { 0, 66, true }, Row { 61, 66, true }, Row { 62, 65, false }, Row { 100, 103, false } }) {
        SCOPED_TRACE(row.titleLength);
        RecordingFrontend w;
        Worksheet s(w, FixedNow);
        s.WriteSourceBox(QByteArray(row.titleLength, 'T'), "source: x");
        const QString titleLine = w.Lines()[2];
        EXPECT_EQ(titleLine.size(), row.lineLength);
        EXPECT_EQ(titleLine.endsWith(u'\u2502'), row.closed);
        EXPECT_TRUE(titleLine.startsWith(QStringLiteral("\u2502  ") + QString(row.titleLength, u'T')));
    }
}

TEST_F(WorksheetTest, SourceBoxStartsWithAnEmptyLineAndIsFollowedDirectly)
{
    sheet.WriteSourceBox("DOMAIN DETAILS for EXAMPLE.COM", "source: whois.example.net");
    sheet.WriteLine(QStringLiteral("reply"));
    QStringList expected
        = SourceBox(QStringLiteral("DOMAIN DETAILS for EXAMPLE.COM"), QStringLiteral("source: whois.example.net"));
    expected.append(QStringLiteral("reply"));
    EXPECT_EQ(window.Lines(), expected);
    EXPECT_EQ(window.Lines()[1], QStringLiteral("\u250C") + QString(64, u'\u2500') + QStringLiteral("\u2510"));
    EXPECT_EQ(window.Lines()[4], QStringLiteral("\u2514") + QString(64, u'\u2500') + QStringLiteral("\u2518"));
}

TEST_F(WorksheetTest, WriteLineSplitsAtEveryLineBreak)
{
    struct Row
    {
        const char* name;
        QString text;
        QStringList lines;
    };
    const Row rows[] = {
        { "empty", QString(), { QString() } },
        { "plain", QStringLiteral("abc"), { QStringLiteral("abc") } },
        { "two CR LF",
          QStringLiteral("a\r\nb\r\nc"),
          { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") } },
        { "trailing CR LF", QStringLiteral("a\r\n"), { QStringLiteral("a"), QString() } },
        { "leading CR LF", QStringLiteral("\r\nAdmin-Contact:"), { QString(), QStringLiteral("Admin-Contact:") } },
        { "lone LF and CR",
          QStringLiteral("a\nb\rc"),
          { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") } },
        { "empty lines kept",
          QStringLiteral("a\r\n\r\n\nb"),
          { QStringLiteral("a"), QString(), QString(), QStringLiteral("b") } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingFrontend w;
        Worksheet(w, FixedNow).WriteLine(row.text);
        EXPECT_EQ(w.Lines(), row.lines);
    }
}

TEST_F(WorksheetTest, SignatureDateFollowsTheLocaleAndAlwaysHasTwoDigits)
{
    sheet.SetLocale(QLocale(QLocale::German, QLocale::Germany));
    sheet.WriteHeaderBox("T");
    const QString german = QLocale(QLocale::German, QLocale::Germany).monthName(3, QLocale::ShortFormat);
    EXPECT_TRUE(window.Lines()[2].contains(german + QStringLiteral(" 07, 2024"))) << window.Lines()[2].toStdString();

    RecordingFrontend w;
    Worksheet(w, [] { return QDateTime(QDate(2023, 12, 25), QTime(0, 0)); }).WriteHeaderBox("T");
    EXPECT_TRUE(w.Lines()[2].contains(QStringLiteral("Dec 25, 2023")));
}

// A window that refuses text loses the line; the report must go on regardless.
class FullFrontend : public RecordingFrontend
{
public:
    void AppendLine(const QString& line) override
    {
        if (line == QStringLiteral("too much"))
            throw std::length_error("full");
        RecordingFrontend::AppendLine(line);
    }
};

TEST(WorksheetErrors, AnAppendErrorLosesOnlyThatLine)
{
    FullFrontend window;
    Worksheet sheet(window, FixedNow);
    sheet.WriteLine(QStringLiteral("before\r\ntoo much\r\nafter"));
    EXPECT_EQ(window.Lines(), (QStringList { QStringLiteral("before"), QStringLiteral("after") }));
}

// The front end gets what one WriteLine writes in one batch, its lines joined by LF.
class BatchFrontend : public RecordingFrontend
{
public:
    void AppendLines(const QString& lines) override
    {
        batches.append(lines);
        RecordingFrontend::AppendLines(lines);
    }
    QStringList batches;
};

TEST(WorksheetBatches, OneWriteLineIsOneBatch)
{
    BatchFrontend window;
    Worksheet sheet(window, FixedNow);
    sheet.WriteLine(QStringLiteral("a\r\nb\rc\n\r\n"));
    sheet.WriteLine(QString());
    EXPECT_EQ(window.batches, (QStringList { QStringLiteral("a\nb\nc\n\n"), QString() }));
    EXPECT_EQ(window.Lines(),
              (QStringList { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QString(), QString(),
                             QString() }));
}

} // namespace
} // namespace vesk::test
