#include "app/jpeg_image.h"
#include "support/test_data.h"

#include <QColor>
#include <gtest/gtest.h>

using vesk::DecodeJpeg;
using vesk::LoadShippedPicture;

TEST(JpegImageTest, ShippedPicturesDecodeAtTheirSizes)
{
    const struct
    {
        const char* name;
        QSize size;
    } pictures[] = { { "banner.jpg", { 176, 68 } },
                     { "background.jpg", { 176, 426 } },
                     { "splash-side.jpg", { 80, 320 } },
                     { "splash.png", { 181, 174 } } };
    for (const auto& picture : pictures) {
        SCOPED_TRACE(picture.name);
        const QImage image = LoadShippedPicture(QString::fromLatin1(picture.name));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), picture.size);
    }
    // The banner's corner is the dark blue of its gradient, not black or noise: the channels are in order.
    const QColor corner = LoadShippedPicture(QStringLiteral("banner.jpg")).pixelColor(0, 0);
    EXPECT_GT(corner.blue(), corner.red() + 30);
    EXPECT_EQ(corner.alpha(), 255);
    EXPECT_TRUE(LoadShippedPicture(QStringLiteral("missing.jpg")).isNull());
}

TEST(JpegImageTest, GrayAndCmykPictures)
{
    const QImage gray = DecodeJpeg(vesk::test::ReadTestData(QStringLiteral("pictures/gray.jpg")));
    ASSERT_EQ(gray.size(), QSize(24, 16));
    EXPECT_GT(qGray(gray.pixel(0, 0)), 200);
    EXPECT_LT(qGray(gray.pixel(0, 15)), 60);
    EXPECT_EQ(qRed(gray.pixel(5, 5)), qBlue(gray.pixel(5, 5)));

    // #c03020 written as CMYK.
    const QImage cmyk = DecodeJpeg(vesk::test::ReadTestData(QStringLiteral("pictures/cmyk.jpg")));
    ASSERT_EQ(cmyk.size(), QSize(24, 16));
    const QColor c = cmyk.pixelColor(12, 8);
    EXPECT_NEAR(c.red(), 0xc0, 12);
    EXPECT_NEAR(c.green(), 0x30, 12);
    EXPECT_NEAR(c.blue(), 0x20, 12);
}

TEST(JpegImageTest, DamagedBytesGiveANullImage)
{
    EXPECT_TRUE(DecodeJpeg({}).isNull());
    EXPECT_TRUE(DecodeJpeg(QByteArrayLiteral("\xff\xd8")).isNull());
    EXPECT_TRUE(DecodeJpeg(QByteArrayLiteral("GIF89a this is not a jpeg at all")).isNull());
    EXPECT_TRUE(DecodeJpeg(QByteArray(4096, '\xff')).isNull());

    const QByteArray good = vesk::test::ReadTestData(QStringLiteral("pictures/gray.jpg"));
    ASSERT_FALSE(DecodeJpeg(good).isNull());
    // Every truncation: a null image (the decoder counts the early end as damage), never a crash.
    for (qsizetype n = 0; n < good.size() - 2; ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(DecodeJpeg(good.first(n)).isNull());
    }
    // Flipped bytes: a null image or a picture of the right size.
    for (qsizetype i = 0; i < good.size(); ++i) {
        QByteArray bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0x5a);
        const QImage image = DecodeJpeg(bad);
        if (!image.isNull()) {
            EXPECT_LE(image.width(), 16384);
        }
    }
}
