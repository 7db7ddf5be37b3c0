#include "widgets/desktop_font.h"

#include <QFontMetrics>
#include <QStringList>
#include <gtest/gtest.h>

using vesk::DesktopFont;
using vesk::FitFontToWidth;

TEST(DesktopFontTest, AskedFaceComesFirstAndAppearsOnce)
{
    const QFont font = DesktopFont(QStringLiteral("Arial"), 13, true);
    EXPECT_EQ(font.family(), QStringLiteral("Arial"));
    EXPECT_EQ(font.families().count(QStringLiteral("Arial")), 1);
    EXPECT_GT(font.families().size(), 1);
    EXPECT_EQ(font.pixelSize(), 13);
    EXPECT_TRUE(font.bold());
}

TEST(DesktopFontTest, FitFontToWidth)
{
    const QString text = QStringLiteral("Last Update:");
    const QFont font = DesktopFont(QStringLiteral("MS Sans Serif"), 13);
    const int natural = QFontMetrics(font).horizontalAdvance(text);

    EXPECT_EQ(FitFontToWidth(font, text, natural), font) << "a font that fits stays as it is";

    const QFont narrower = FitFontToWidth(font, text, natural - 10);
    EXPECT_LT(narrower.pixelSize(), 13);
    EXPECT_LE(QFontMetrics(narrower).horizontalAdvance(text), natural - 10);
    EXPECT_EQ(narrower.families(), font.families());

    EXPECT_EQ(FitFontToWidth(font, text, 1).pixelSize(), 8) << "never below 8 pixels";
}
