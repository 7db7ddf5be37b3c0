// The kept worksheet: what was written reads back whole, and prints as the text output has always printed it.

#include "batch/report_lines.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

TEST(ReportLines, WhatWasWrittenReadsBackAndPrintsAsBefore)
{
    const QString lone = QString(QChar(0xDB80)) + u'x' + QChar(0xDC00);
    const QStringList lines { QStringLiteral("J\u00F6rg \U0001F600"), QString(), lone, QString(QChar(0xD800)) };
    const ReportLines kept(lines);
    EXPECT_EQ(kept.size(), 4);
    EXPECT_EQ(kept.ToList(), lines);
    EXPECT_EQ(kept.join(u'|'), lines.join(u'|'));
    // A pipe gets what QString::toUtf8 gives: valid UTF-8, an unpaired surrogate as '?'.
    EXPECT_EQ(ReportLines::Printed(kept.Utf8()), lines.join(u'\n').toUtf8() + '\n');
    // The last lines are found where they stand, and only there.
    EXPECT_EQ(kept.FindAtEnd(QString(QChar(0xD800))), kept.Utf8().size() - 4);
    EXPECT_GE(kept.FindAtEnd(lone + u'\n' + QChar(0xD800)), 0);
    EXPECT_EQ(kept.FindAtEnd(QStringLiteral("?")), -1);
    EXPECT_EQ(kept.FindAtEnd(lone.mid(1) + u'\n' + QChar(0xD800)), -1); // not from the start of a line
}

} // namespace
} // namespace vesk::test
